// What the settings windows ask of the console and the link; the console implements these.
#pragma once

#include <cstdint>
#include <string>

#include "link/CommandRecord.h"

namespace wendlar {

// The plasma panel's edits, as the material picker's "Select" fills them.
struct PlasmaRow {
  double Amps = 0, PierceDelay = 0, PierceHeight = 0, Volts = 0, Feed = 0;
};

// The console's state and controls that the settings windows read and set.
class ConsoleSettings {
 public:
  virtual ~ConsoleSettings() = default;
  virtual int JobMode() const = 0;
  // The mode radios: menu check marks and enables, Run button greyed, JobMode := mode and
  // SpoolFileName, GcodeFileName := " ".
  virtual void ChooseJobMode(int mode) = 0;
  virtual int FeedIndex() const = 0;
  // Callers keep the index within 1..SpeedSteps.
  virtual void SetFeedIndex(int index) = 0;
  // 100 or 250 once the first information report is in; 0 before.
  virtual int SpeedSteps() const = 0;
  virtual int SpindleRpm() const = 0;
  virtual void SetSpindleRpm(int rpm) = 0;
  virtual void SetFeedCaption(const std::string& text) = 0;  // Feedlab
  virtual void SetRpmCaption(const std::string& text) = 0;   // Rpmlab
  virtual bool UseFeed() const = 0;
  // Checks or unchecks Use_feed; the feed label is greyed while unchecked.
  virtual void SetUseFeed(bool checked) = 0;
  virtual bool UseRpm() const = 0;
  virtual void SetUseRpm(bool checked) = 0;
  // A port radio applied (1 to 4; 4 is USB).
  virtual void SelectPort(int digit) = 0;
  virtual int WindowTop() const = 0;
  virtual int WindowLeft() const = 0;
  virtual void SetWindowTop(int top) = 0;
  virtual void SetWindowLeft(int left) = 0;
  // 0 fast, 1 slow, 2 single step.
  virtual int JogMode() const = 0;
  virtual void SetJogSpeed(int speed) = 0;
  virtual void ShowWAxis(bool shown) = 0;
  // Fixture button and label; the position read-out subtracts the offset.
  virtual void ShowActiveOffset(int fixture, double x, double y) = 0;
  // The "Tool Touch pad" menu item.
  virtual void EnableToolTouchPad(bool enabled) = 0;
  virtual void SetPlasmaPanel(const PlasmaRow& row) = 0;
  // Always-on-top again when "Stay on Top" is checked (a dialog closed).
  virtual void RestoreTop() = 0;
};

// The controller side of the settings windows: commands and what the link knows.
class MachineActions {
 public:
  virtual ~MachineActions() = default;
  // Queued; does nothing while not connected.
  virtual void SendCommand(const CommandRecord& record) = 0;
  // The console's spindle-speed operation (only while Use_rpm is checked).
  virtual void SendSpindleSpeed(int rpm) = 0;
  virtual void InitialiseController() = 0;
  // Clears VersionSeen and runs the information-report handler on the last report, so the
  // speed table is rebuilt for the configuration just applied.
  virtual void RebuildSpeedTable() = 0;
  // The speed table's highest velocity; 0 while no table has been built.
  virtual int MaxSpeedValue() const = 0;
  // Machine position from the last position report, in steps.
  virtual int32_t MachineXSteps() const = 0;
  virtual int32_t MachineYSteps() const = 0;
};

}  // namespace wendlar
