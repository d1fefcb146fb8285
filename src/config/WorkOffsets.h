// Work offsets (Offsets.cfg), the fault history (History.lst) and their window (TJumpbox).
#pragma once

#include <array>
#include <string>

#include "config/ConfigFile.h"
#include "config/SettingsPorts.h"
#include "core/EventLoop.h"
#include "core/ViewModel.h"

namespace wendlar {

inline constexpr const char* kOffsetsFile = "Offsets.cfg";
inline constexpr const char* kHistoryFile = "History.lst";

struct OffsetXY {
  double X = 0, Y = 0;
};

// The six fixtures (G54 to G59, index 0 is offset 1) and the one in force.
struct WorkOffsetState {
  std::array<OffsetXY, 6> WorkOffsets{};
  int ActiveFixture = 1;
  double ActiveOffsetX = 0, ActiveOffsetY = 0;
};

struct TJumpboxView : ViewModel {
  TJumpboxView();

  Control Form{*this, "Jumpbox"};
  Control Fixtures_pan{*this, "Fixtures_pan"};
  std::array<Control, 6> Radios{Control{*this, "G54R"}, Control{*this, "G55R"}, Control{*this, "G56R"},
                                Control{*this, "G57R"}, Control{*this, "G58R"}, Control{*this, "G59R"}};
  std::array<Control, 6> EditX{Control{*this, "G54X"}, Control{*this, "G55X"}, Control{*this, "G56X"},
                               Control{*this, "G57X"}, Control{*this, "G58X"}, Control{*this, "G59X"}};
  std::array<Control, 6> EditY{Control{*this, "G54Y"}, Control{*this, "G55Y"}, Control{*this, "G56Y"},
                               Control{*this, "G57Y"}, Control{*this, "G58Y"}, Control{*this, "G59Y"}};
  Control Button4{*this, "Button4"}, Button2{*this, "Button2"}, Close_fixt{*this, "Close_fixt"};
  Control Fault_box{*this, "Fault_box"}, Fault_list{*this, "Fault_list"}, Button1{*this, "Button1"};
};

class TJumpbox {
 public:
  // Window creation: loads the offsets and makes offset 1 active.
  TJumpbox(WorkOffsetState& offsets, const ConfigState& config, const ConfigIo& io, EventLoop& loop,
           ConsoleSettings& console, MachineActions& machine);

  TJumpboxView View;

  // Reads Offsets.cfg. Values are taken by position: a missing or unreadable number keeps
  // that offset's previous value and Progress shows "DATA ERROR READING Offsets.cfg".
  // False when the file is missing (offsets unchanged, no message) or was not wholly read.
  bool LoadOffsets();
  // Writes the offsets as the edits show them; false (no message) when it cannot be written.
  bool SaveOffsets();
  void OffsetsToDialog();
  // Edits to offsets; an edit that is not a number keeps that value.
  void DialogToOffsets();
  void ShowWorkOffsets();
  void ShowFaultHistory();
  // Adds "<long time>- <short date> * <message>" to Fault_list and appends it to History.lst;
  // an append that fails is reported with its reason, once until appending works again.
  void AddFaultHistory(const std::string& message);

  void SelectFixture(int fixture);  // a radio G54R..G59R clicked (1..6)
  int SelectedFixture() const;
  void SaveClick();    // Button2; a failed save is shown in a message box with its reason
  void CloseClick();   // Close_fixt and Button1
  void SetFromMachineClick();  // Button4

 private:
  WorkOffsetState& offsets_;
  const ConfigState& config_;
  ConfigIo io_;
  EventLoop& loop_;
  ConsoleSettings& console_;
  MachineActions& machine_;
  std::string lastSaveError_;  // for the Save button's message box
  bool historyFailing_ = false;  // said once until an append works again
};

}  // namespace wendlar
