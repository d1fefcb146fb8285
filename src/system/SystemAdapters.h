// The adapters through which System wires its modules' small interfaces to each other.
#pragma once

#include <functional>
#include <string>

#include "config/SettingsPorts.h"
#include "console/Initialisation.h"
#include "link/Connection.h"
#include "link/TableReadBack.h"
#include "motion/MotionPorts.h"

namespace wendlar {

class System;

// The console's state and controls as the settings windows see them.
class ConsoleSettingsAdapter : public ConsoleSettings {
 public:
  explicit ConsoleSettingsAdapter(System& system) : s_(system) {}
  int JobMode() const override;
  void ChooseJobMode(int mode) override;
  int FeedIndex() const override;
  void SetFeedIndex(int index) override;
  int SpeedSteps() const override;
  int SpindleRpm() const override;
  void SetSpindleRpm(int rpm) override;
  void SetFeedCaption(const std::string& text) override;
  void SetRpmCaption(const std::string& text) override;
  bool UseFeed() const override;
  void SetUseFeed(bool checked) override;
  bool UseRpm() const override;
  void SetUseRpm(bool checked) override;
  void SelectPort(int digit) override;
  int WindowTop() const override;
  int WindowLeft() const override;
  void SetWindowTop(int top) override;
  void SetWindowLeft(int left) override;
  int JogMode() const override;
  void SetJogSpeed(int speed) override;
  void ShowWAxis(bool shown) override;
  void ShowActiveOffset(int fixture, double x, double y) override;
  void EnableToolTouchPad(bool enabled) override;
  void SetPlasmaPanel(const PlasmaRow& row) override;
  void RestoreTop() override;

 private:
  System& s_;
};

// The controller side of the settings windows, and the initialisation's operations.
class MachineAdapter : public MachineActions, public InitialisationPorts {
 public:
  explicit MachineAdapter(System& system) : s_(system) {}
  // MachineActions
  void SendCommand(const CommandRecord& record) override;
  void SendSpindleSpeed(int rpm) override;
  void InitialiseController() override;
  void RebuildSpeedTable() override;
  int MaxSpeedValue() const override;
  int32_t MachineXSteps() const override;
  int32_t MachineYSteps() const override;
  // InitialisationPorts
  void MoveZNow(int32_t zSteps, uint8_t speedIndex, bool wait) override;
  int SpeedIndexOf(int velocity) const override;
  void SendOverrides() override;
  void SetUpFourthAxis() override;
  bool ReadControllerTable() override;
  bool InterlockEnabled() const override;
  bool AutoSpindleStopChecked() const override;
  std::string SetUpBlocked() const override;
  void AddFaultHistory(const std::string& text) override;

 private:
  System& s_;
};

// The motion layer's view of the console queue, the controller buffer and the feeds.
class MotionAdapter : public CommandSink, public ControllerBuffer, public FeedSource {
 public:
  explicit MotionAdapter(System& system) : s_(system) {}
  // The job engines supply their feeds here.
  std::function<double()> GcodeFeed;
  std::function<int()> SpoolXY;
  std::function<int()> SpoolZ;

  void QueueCommand(const CommandRecord& record) override;
  void QueueFromLine(const CommandRecord& record, int32_t line) override;
  bool Connected() const override;
  uint16_t BufHead() const override;
  uint16_t BufTail() const override;
  int BufferSize() const override;
  bool PollWhileWaiting() override;
  bool UseFeed() const override;
  int FeedIndex() const override;
  int JobMode() const override;
  double CurrentFeed() const override;
  int SpoolXYFeed() const override;
  int SpoolZFeed() const override;

 private:
  System& s_;
};

// What the connection and the table read-back show on the console and save.
class LinkEventsAdapter : public ConnectionEvents, public TableReadEvents {
 public:
  explicit LinkEventsAdapter(System& system) : s_(system) {}
  void ConsoleConnected(bool connected) override;
  bool SaveEnvironment() override;
  void ShowTransferSpeed(const std::string& caption, int position, Color color) override;
  bool LinkChangeAllowed() const override;
  void ShowTableProgress(const std::string& text) override;
  void SetTableProgressColor(Color color) override;
  void AddTableLine(const std::string& line) override;

 private:
  System& s_;
};

}  // namespace wendlar
