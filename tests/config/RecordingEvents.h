// Test doubles for the windows the configuration modules report to.
#pragma once

#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "config/SettingsPorts.h"

namespace wendlar::testing {

class RecordingConfigEvents : public ConfigEvents {
 public:
  std::vector<std::string> Progress;
  std::vector<std::string> Messages;
  std::vector<std::string> LoadErrors;
  std::vector<std::string> SaveErrors;
  std::vector<std::string> WriteErrors;
  int Refreshes = 0;

  void ShowProgress(const std::string& text) override { Progress.push_back(text); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ReportLoadError(const std::string& text) override { LoadErrors.push_back(text); }
  void ReportSaveError(const std::string& text) override { SaveErrors.push_back(text); }
  void ReportWriteError(const std::string& text) override { WriteErrors.push_back(text); }
  void RefreshDialog() override { ++Refreshes; }
};

// The console as far as the settings windows see it, as plain values.
class FakeConsole : public ConsoleSettings {
 public:
  int Mode = 1, Feed = 0, Steps = 0, Rpm = 0, Top = 0, Left = 0, Jog = 0, JogSpeed = -1;
  bool FeedOn = true, RpmOn = true, WAxis = false, TouchPadMenu = false;
  std::string FeedCaption, RpmCaption;
  std::vector<int> PortsSelected;
  std::vector<int> ModesChosen;
  std::vector<std::string> ActiveOffsets;  // "fixture:x:y"
  std::vector<PlasmaRow> Plasma;
  int TopRestored = 0;

  int JobMode() const override { return Mode; }
  void ChooseJobMode(int mode) override {
    Mode = mode;
    ModesChosen.push_back(mode);
  }
  int FeedIndex() const override { return Feed; }
  void SetFeedIndex(int index) override { Feed = index; }
  int SpeedSteps() const override { return Steps; }
  int SpindleRpm() const override { return Rpm; }
  void SetSpindleRpm(int rpm) override { Rpm = rpm; }
  void SetFeedCaption(const std::string& text) override { FeedCaption = text; }
  void SetRpmCaption(const std::string& text) override { RpmCaption = text; }
  bool UseFeed() const override { return FeedOn; }
  void SetUseFeed(bool checked) override { FeedOn = checked; }
  bool UseRpm() const override { return RpmOn; }
  void SetUseRpm(bool checked) override { RpmOn = checked; }
  void SelectPort(int digit) override { PortsSelected.push_back(digit); }
  int WindowTop() const override { return Top; }
  int WindowLeft() const override { return Left; }
  void SetWindowTop(int top) override { Top = top; }
  void SetWindowLeft(int left) override { Left = left; }
  int JogMode() const override { return Jog; }
  void SetJogSpeed(int speed) override { JogSpeed = speed; }
  void ShowWAxis(bool shown) override { WAxis = shown; }
  void ShowActiveOffset(int fixture, double x, double y) override {
    ActiveOffsets.push_back(std::to_string(fixture) + ":" + std::to_string(x) + ":" + std::to_string(y));
  }
  void EnableToolTouchPad(bool enabled) override { TouchPadMenu = enabled; }
  void SetPlasmaPanel(const PlasmaRow& row) override { Plasma.push_back(row); }
  void RestoreTop() override { ++TopRestored; }
};

class FakeMachine : public MachineActions {
 public:
  std::vector<CommandRecord> Sent;
  std::vector<int> SpindleSpeeds;
  int Initialised = 0, Rebuilt = 0, MaxSpeed = 0;
  int32_t XSteps = 0, YSteps = 0;

  void SendCommand(const CommandRecord& record) override { Sent.push_back(record); }
  void SendSpindleSpeed(int rpm) override { SpindleSpeeds.push_back(rpm); }
  void InitialiseController() override { ++Initialised; }
  void RebuildSpeedTable() override { ++Rebuilt; }
  int MaxSpeedValue() const override { return MaxSpeed; }
  int32_t MachineXSteps() const override { return XSteps; }
  int32_t MachineYSteps() const override { return YSteps; }
};

// Joins lines with CR LF, each line ended, as the program writes files.
inline std::string CrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace wendlar::testing
