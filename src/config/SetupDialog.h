// The machine configuration dialog (TSetupmenu): its controls, the copy to and from the
// configuration, the actions that take effect at once, and its buttons and file menu.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "config/ConfigFile.h"
#include "config/SettingsPorts.h"
#include "core/Prompts.h"
#include "core/ViewModel.h"

namespace wendlar {

struct TSetupmenuView : ViewModel {
  TSetupmenuView();

  Control Form{*this, "Setupmenu"};  // the window itself: caption, visible

  // Rapid and Scale
  Control Rap_timer{*this, "Rap_timer"}, R_vel_max{*this, "R_vel_max"}, R_vel_start{*this, "R_vel_start"},
      R_accel{*this, "R_accel"};
  Control Xscale_edit{*this, "Xscale_edit"}, Yscale_edit{*this, "Yscale_edit"}, Zscale_edit{*this, "Zscale_edit"};
  Control Label51{*this, "Label51"}, Max_Velocity{*this, "Max_Velocity"}, jogbox4{*this, "jogbox4"};
  Control Jogslowvel{*this, "Jogslowvel"}, Jogfastvel{*this, "Jogfastvel"};
  Control Inch_rb{*this, "Inch_rb"}, Metric_rb{*this, "Metric_rb"};
  // Contouring Settings
  Control Cut_timer{*this, "Cut_timer"}, CV_Max_edit{*this, "CV_Max_edit"}, Slow_safe{*this, "Slow_safe"},
      Contour_accel{*this, "Contour_accel"}, Mass_comp{*this, "Mass_comp"}, SHORT_VLEN{*this, "SHORT_VLEN"},
      Sharp_ang_paz{*this, "Sharp_ang_paz"}, Corner_paz{*this, "Corner_paz"};
  Control Arc_enable{*this, "Arc_enable"}, Arc_rez{*this, "Arc_rez"}, Arcvec_lab{*this, "Arcvec_lab"},
      Max_speeds{*this, "Max_speeds"};
  // Z axis
  Control Z_raise_vel{*this, "Z_raise_vel"}, Z_1st_drop{*this, "Z_1st_drop"}, Z_start_vel{*this, "Z_start_vel"},
      drop_pause{*this, "drop_pause"}, Tool_above_work{*this, "Tool_above_work"};
  Control No_Man_toolch_check{*this, "No_Man_toolch_check"}, Man_toolch_check{*this, "Man_toolch_check"};
  Control Toolch_xpos{*this, "Toolch_xpos"}, Toolch_ypos{*this, "Toolch_ypos"}, Toolch_Zpos{*this, "Toolch_Zpos"};
  // Spindle
  Control Spind_low{*this, "Spind_low"}, Spind_hi{*this, "Spind_hi"}, Min_rpm_lab{*this, "Min_rpm_lab"},
      Max_rpm_lab{*this, "Max_rpm_lab"}, Spindle_delay{*this, "Spindle_delay"};
  Control Auto_Spindle_Start{*this, "Auto_Spindle_Start"}, Auto_Spindle_Stop{*this, "Auto_Spindle_Stop"};
  Control CheckBox1{*this, "CheckBox1"}, Focus_pwr{*this, "Focus_pwr"};
  Control Laser_Xoff{*this, "Laser_Xoff"}, Laser_Yoff{*this, "Laser_Yoff"};
  // Limit Switches
  Control XYhome_vel{*this, "XYhome_vel"}, Zhome_vel{*this, "Zhome_vel"}, XY_home_dist{*this, "XY_home_dist"},
      Z_home_dist{*this, "Z_home_dist"};
  Control Limit_enable_CBox{*this, "Limit_enable_CBox"}, Normally_open{*this, "Normally_open"},
      Normally_closed{*this, "Normally_closed"}, Z_limit_enable{*this, "Z_limit_enable"}, Hm_XNYP{*this, "Hm_XNYP"};
  Control Touch_pad_enable{*this, "Touch_pad_enable"}, TP_Seek_vel{*this, "TP_Seek_vel"},
      Tpad_Size{*this, "Tpad_Size"}, Touch_dia{*this, "Touch_dia"};
  Control Interlock_enable{*this, "Interlock_enable"}, En_Servo{*this, "En_Servo"};
  // 4th Axis
  Control Enable_4th{*this, "Enable_4th"}, Enable_knife{*this, "Enable_knife"};
  Control Fourth_Rotory{*this, "Fourth_Rotory"}, Dual_Head{*this, "Dual_Head"};
  Control R_cal_edit{*this, "R_cal_edit"}, Rvel_edit{*this, "Rvel_edit"}, Raxis_GBox{*this, "Raxis_GBox"};
  Control Wslave_But{*this, "Wslave_But"}, Sec_Z_but{*this, "Sec_Z_but"}, Waxis_Gbox{*this, "Waxis_Gbox"};
  Control W_xof_edit{*this, "W_xof_edit"}, W_yof_edit{*this, "W_yof_edit"};
  // Auxillary 1/2
  Control aux1_dw_down{*this, "aux1_dw_down"}, aux1_dw_up{*this, "aux1_dw_up"}, Aux1R_xoff{*this, "Aux1R_xoff"},
      Aux1R_yoff{*this, "Aux1R_yoff"};
  Control aux2_dw_down{*this, "aux2_dw_down"}, aux2_dw_up{*this, "aux2_dw_up"}, Aux2R_xoff{*this, "Aux2R_xoff"},
      Aux2R_yoff{*this, "Aux2R_yoff"};
  // Gcode
  Control PauseonM0{*this, "PauseonM0"}, G28_enable{*this, "G28_enable"}, Ignore_overfeed{*this, "Ignore_overfeed"};
  // Travel (Travel.cfg): steps from home; both boxes of an axis empty leave it unchecked
  Control Travel_Xmin{*this, "Travel_Xmin"}, Travel_Xmax{*this, "Travel_Xmax"}, Travel_Ymin{*this, "Travel_Ymin"},
      Travel_Ymax{*this, "Travel_Ymax"}, Travel_Zmin{*this, "Travel_Zmin"}, Travel_Zmax{*this, "Travel_Zmax"},
      Travel_Wmin{*this, "Travel_Wmin"}, Travel_Wmax{*this, "Travel_Wmax"}, Travel_note{*this, "Travel_note"};
  // Outside the tabs
  Control mac_label{*this, "mac_label"}, Comment{*this, "Comment"};
  Control Makedefault{*this, "Makedefault"}, Apply{*this, "Apply"}, ResetPIC{*this, "ResetPIC"},
      OKBtn{*this, "OKBtn"}, Savecfg{*this, "Savecfg"}, CancelBtn{*this, "CancelBtn"};
  Control Openmac1{*this, "Openmac1"}, Saveasmachineconfig1{*this, "Saveasmachineconfig1"}, Save{*this, "Save"};

  // The label beside each edit (an edit's Caption is its text), and each tab's caption
  // with the controls it holds.
  std::map<std::string, std::string> EditLabels;
  std::map<std::string, std::string> TabOf;
};

// Values the dialog drives that are not part of the machine file.
struct SetupFlags {
  int JogDisplayMode = 1;    // 1 jog speeds shown as speeds, 2 in percent
  uint8_t KnifeMode = 0;     // 1 knife machine
  uint8_t ServoEnabled = 0;  // 1 servo fault input in use
};

class TSetupmenu {
 public:
  TSetupmenu(ConfigState& state, const ConfigIo& io, Prompts& prompts, ConsoleSettings& console,
             MachineActions& machine);

  TSetupmenuView View;
  SetupFlags Flags;
  // "Set as Default": writes Spooler.cfg (set by whoever owns the environment window).
  std::function<void()> SaveEnvironment;

  // Fields to controls; runs at every show and after every load.
  void ConfigToDialog();
  // Controls to fields; nothing until ConfigToDialog has filled the boxes once. A box that
  // is not a number or does not fit its field refuses the whole apply: a warning names each
  // such box and its range, the box shows its field again, and false is returned.
  bool DialogToConfig();
  // After a machine file load: the units radios and Comment the loader chose, then ConfigToDialog.
  void RefreshAfterLoad();
  // Command 67 with the fourth-axis mode.
  void SendFourthAxisMode();
  // Spindle range captions for a plasma (voltage) or router (rpm) machine.
  void ShowSpindleRangeLabels(bool plasma);

  void Show();
  void Close();

  // Immediate actions. Radio handlers select their own radio; check-box handlers read the
  // state the click left; exit handlers run when the edit is left.
  void Inch_rbClick();
  void Metric_rbClick();
  void Max_VelocityClick();
  void Dual_HeadClick();
  void Fourth_RotoryClick();
  void Enable_4thClick();
  void Wslave_ButClick();
  void Sec_Z_butClick();
  void Arc_enableClick();
  void Enable_knifeClick();
  void No_Man_toolch_checkClick();
  void Man_toolch_checkClick();
  void Normally_openClick();
  void Normally_closedClick();
  void Auto_Spindle_StartClick();
  void Auto_Spindle_StopClick();
  void Touch_pad_enableClick();
  void Interlock_enableClick();
  void En_ServoClick();
  void JogfastvelExit();
  void R_vel_maxExit();
  void CV_Max_editExit();
  void Arc_rezExit();
  // The operator typed in the Comment box.
  void CommentChange();

  // Buttons and menu.
  void OKBtnClick();
  void CancelBtnClick();
  void ApplyClick();
  void ResetPICClick();
  // Also "Save machine config "; with no machine file named yet it asks for one.
  void SavecfgClick();
  void Saveasmachineconfig1Click();
  void Openmac1Click();
  void MakedefaultClick();

 private:
  void SetIoFlag(size_t index, bool on);
  void TravelToDialog();
  void ShowWTravel();
  // The Travel tab's boxes into `travel`; a refused pair is named in `refused`. True when
  // the travel differs from the one in force.
  bool DialogToTravel(TravelState& travel, std::vector<std::string>& refused);
  // DialogToConfig and the speed-table rebuild; false when a box was refused.
  bool Apply();
  // Saves the configuration; a failure is shown in a message box with its reason.
  void SaveTo(const std::string& name);
  void ClampToMaxSpeed(Control& box);

  ConfigState& state_;
  ConfigIo io_;
  Prompts& prompts_;
  ConsoleSettings& console_;
  MachineActions& machine_;
  bool filled_ = false;
};

}  // namespace wendlar
