// The workstation's settings (Spooler.cfg) and the environment setup window (TEnvir_setup).
#pragma once

#include <cstdint>
#include <string>

#include "config/ConfigFile.h"
#include "config/SettingsPorts.h"
#include "config/SetupDialog.h"
#include "core/Prompts.h"
#include "core/ViewModel.h"

namespace wendlar {

inline constexpr const char* kEnvironmentFile = "Spooler.cfg";

// Settings of this file that no other window owns.
struct EnvironmentState {
  int CpuType = 1;                          // 1..4, CPU_Combo position + 1
  std::string CheckBoxFlags = "NNNNNNNNNN";
  int LastUsbPort = 0;                      // the link's last port found
  int UsbDelayDivisor = 2;                  // 1, 2, 4 or 10
  uint8_t RouterMode = 1;
  uint8_t PlasmaMode = 0;
  // The link window's auto_scan and Use_last_port boxes, kept here so they survive a restart.
  bool AutoScan = false;
  bool UseLastPort = false;
};

struct TEnvir_setupView : ViewModel {
  TEnvir_setupView();

  Control Form{*this, "Envir_setup"};
  Control Port1{*this, "Port1"}, Port2{*this, "Port2"}, Port3{*this, "Port3"}, USB_port{*this, "USB_port"};
  Control Spoolerfiles{*this, "Spoolerfiles"}, Gcodefiles{*this, "Gcodefiles"};
  Control Spool_label{*this, "Spool_label"}, Gcode_label{*this, "Gcode_label"};
  Control SpoolBrowse{*this, "SpoolBrowse"}, GcodeBrowse{*this, "GcodeBrowse"};
  Control Quorlex_scr{*this, "Quorlex_scr"}, Gcode_scr{*this, "Gcode_scr"};
  Control CPU_Combo{*this, "CPU_Combo"};  // Items; Position is the list position
  Control Router{*this, "Router"}, Plasma{*this, "Plasma"};
  Control CloseBtn{*this, "CloseBtn"}, SaveSetup{*this, "SaveSetup"};
};

class TEnvir_setup {
 public:
  TEnvir_setup(ConfigState& config, const ConfigIo& io, Prompts& prompts, ConsoleSettings& console,
               TSetupmenu& setup);

  TEnvir_setupView View;
  EnvironmentState Env;

  // Reads Spooler.cfg, applies it and loads the machine file it names. Pairs are taken by
  // position: a missing pair or an unreadable number keeps that setting as it was, and
  // Progress then shows "DATA ERROR READING Spooler.cfg". False when anything was missing.
  bool LoadEnvironment();
  // Writes Spooler.cfg atomically from the current state; false (and no message) on
  // failure, with the reason in `why`.
  bool SaveEnvironment(std::string* why = nullptr);

  // Shows the window with the settings as they stand, the job mode included (the File
  // menu may have changed it).
  void Show();
  void CloseBtnClick();
  // Saves Spooler.cfg; a failure is shown in a message box with its reason.
  void SaveSetupClick();
  void PortClick(int digit);
  void Quorlex_scrClick();
  void Gcode_scrClick();
  void RouterClick();
  void PlasmaClick();
  // The combo's list position changed.
  void CPU_ComboChange(int position);
  void SpoolBrowseClick();
  void GcodeBrowseClick();

 private:
  Control* PortRadio(int digit);
  std::string PortDigit() const;

  ConfigState& config_;
  ConfigIo io_;
  Prompts& prompts_;
  ConsoleSettings& console_;
  TSetupmenu& setup_;
};

// FeedIndex kept within 1..SpeedSteps (100 while the table size is not known yet).
int ClampFeedIndex(int index, int speedSteps);

}  // namespace wendlar
