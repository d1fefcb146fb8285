// The console window's model (TSpool): every control the logic writes, by its documented name.
#pragma once

#include "core/ViewModel.h"

namespace wendlar {

struct ConsoleView : ViewModel {
  ConsoleView() : ViewModel("TSpool") {}

  Control Form{*this, "Spool"};  // caption, height, always-on-top (Checked), colour

  // Read-outs and state labels.
  Control XPOS{*this, "XPOS"}, ypos{*this, "ypos"}, ZPOS{*this, "ZPOS"}, WPOS{*this, "WPOS"};
  Control Running{*this, "Running"};
  Control Machine_state{*this, "Machine_state"};  // the large one-word state
  Control Progress{*this, "Progress"};
  Control Job_time{*this, "Job_time"};          // the loaded job's machine time
  Control Estimate_bar{*this, "Estimate_bar"};  // while that time is being estimated
  Control Micros{*this, "Micros"};
  Control Cvelo{*this, "Cvelo"};
  Control ILOCK{*this, "ILOCK"};
  Control ServoF_Lab{*this, "ServoF_Lab"};
  Control Tooln_lab{*this, "Tooln_lab"};
  Control Progcnt_lab{*this, "Progcnt_lab"};
  Control Gline_lab{*this, "Gline_lab"};
  Control Gauge1{*this, "Gauge1"};
  Control usbspdBar1{*this, "usbspdBar1"};
  Control Fixture_lab{*this, "Fixture_lab"};
  Control realrpmlab{*this, "realrpmlab"};
  Control Feedl{*this, "Feedl"};
  Control Feedlab{*this, "Feedlab"}, Fro_lab{*this, "Fro_lab"}, Rpmlab{*this, "Rpmlab"};
  Control Com_list{*this, "Com_list"};  // hidden message list

  // Code-line panel.
  Control Codelist{*this, "Codelist"};
  Control GCL1{*this, "GCL1"}, GCL2{*this, "GCL2"}, GCL3{*this, "GCL3"};
  Control GCL4{*this, "GCL4"}, GCL5{*this, "GCL5"}, GCL6{*this, "GCL6"};

  // Output LEDs.
  Control Sp1_LED{*this, "Sp1_LED"}, SP2_LED{*this, "SP2_LED"};
  Control Aux1_LED{*this, "Aux1_LED"}, Aux2_LED{*this, "Aux2_LED"}, Dwell_LED{*this, "Dwell_LED"};

  // Panels used as buttons.
  Control Run_button{*this, "Run_button"};
  Control Pausebut{*this, "Pausebut"};
  Control Run_Border{*this, "Run_Border"};
  Control Move_2_XY{*this, "Move_2_XY"};
  Control Set_New_XY{*this, "Set_New_XY"};
  Control Zero_Z2_Work{*this, "Zero_Z2_Work"};
  Control Z_zero{*this, "Z_zero"};
  Control Z_2top{*this, "Z_2top"};
  Control Preview{*this, "Preview"};
  Control User_mach{*this, "User_mach"};
  Control Continue{*this, "Continue"};
  Control Estopbut{*this, "Estopbut"};

  // Jogging: the buttons and the inert look-alikes shown while a job runs.
  Control X_Pos{*this, "X_Pos"}, X_Neg{*this, "X_Neg"}, Y_Pos{*this, "Y_Pos"}, Y_neg{*this, "Y_neg"};
  Control Z_Pos{*this, "Z_Pos"}, Z_Neg{*this, "Z_Neg"}, W_Pos{*this, "W_Pos"}, W_Neg{*this, "W_Neg"};
  Control JogSpdbut{*this, "JogSpdbut"};
  Control fakexn{*this, "fakexn"}, fakexp{*this, "fakexp"}, fakeyn{*this, "fakeyn"};
  Control fakeyp{*this, "fakeyp"}, fakezp{*this, "fakezp"}, fakezn{*this, "fakezn"};
  Control W_pan1{*this, "W_pan1"}, W_pan2{*this, "W_pan2"};
  Control Rapid_pan{*this, "Rapid_pan"};
  Control fv50{*this, "fv50"}, fv100{*this, "fv100"};
  Control Feedspin{*this, "Feedspin"}, FRO_spin{*this, "FRO_spin"}, rpmspin{*this, "rpmspin"};
  Control Use_feed{*this, "Use_feed"}, Use_rpm{*this, "Use_rpm"};

  // Plasma panel.
  Control Plasma_Top_panel{*this, "Plasma_Top_panel"};
  Control Material{*this, "Material"};
  Control pierce_height{*this, "pierce_height"}, Pierce_delay{*this, "Pierce_delay"};
  Control Plasma_feed{*this, "Plasma_feed"}, Set_current{*this, "Set_current"};
  Control THC_voltage{*this, "THC_voltage"};
  Control Volt_Hi{*this, "Volt_Hi"}, Volt_good{*this, "Volt_good"}, Volt_low{*this, "Volt_low"};

  // Router panel.
  Control Route_Top_panel{*this, "Route_Top_panel"};
  Control HomeXYbut{*this, "HomeXYbut"}, HomeZbut{*this, "HomeZbut"};
  Control Aux1_but{*this, "Aux1_but"}, Aux2_but{*this, "Aux2_but"};
  Control Spindlebut{*this, "Spindlebut"}, Spindletwo{*this, "Spindletwo"};
  Control Touch{*this, "Touch"}, Lasbut{*this, "Lasbut"}, Work_offset_but{*this, "Work_offset_but"};

  // Laser box.
  Control Laser_Box{*this, "Laser_Box"};
  Control Button1{*this, "Button1"}, Button3{*this, "Button3"}, pwm_on{*this, "pwm_on"};

  // Menu entries (Checked is the check mark).
  Control OpenSpoolerfile1{*this, "OpenSpoolerfile1"}, OpenGcodefile1{*this, "OpenGcodefile1"};
  Control QuorlexMode1{*this, "QuorlexMode1"}, GcodeMode1{*this, "GcodeMode1"}, Exit1{*this, "Exit1"};
  Control Functions1{*this, "Functions1"};
  Control Limitswitchdisable1{*this, "Limitswitchdisable1"};
  Control MovetoXYposition1{*this, "MovetoXYposition1"}, MovetoZposition1{*this, "MovetoZposition1"};
  Control MoveXYorZ1{*this, "MoveXYorZ1"};
  Control HomeSwitchDetect1{*this, "HomeSwitchDetect1"};
  Control HomeXnonzero1{*this, "HomeXnonzero1"}, HomeYnonzero1{*this, "HomeYnonzero1"};
  Control HomeZnonzero1{*this, "HomeZnonzero1"}, HomeWaxis1{*this, "HomeWaxis1"};
  Control WorkOffsets1{*this, "WorkOffsets1"}, N3DProbeMenu1{*this, "N3DProbeMenu1"};
  Control Run1{*this, "Run1"}, ToolTouchpad1{*this, "ToolTouchpad1"}, CornerFinder1{*this, "CornerFinder1"};
  Control Setup1{*this, "Setup1"};
  Control EnvironmentSetup1{*this, "EnvironmentSetup1"}, ConfigureMachine1{*this, "ConfigureMachine1"};
  Control Toolchangemode1{*this, "Toolchangemode1"}, RunScriptfile1{*this, "RunScriptfile1"};
  Control StayonTop1{*this, "StayonTop1"}, USBmenu1{*this, "USBmenu1"};
  Control Diagnostics1{*this, "Diagnostics1"}, FaultHistory1{*this, "FaultHistory1"};
  Control Diag1{*this, "Diag1"};  // the hidden diagnostics menu
  Control ResetOVT1{*this, "ResetOVT1"}, InitiallizePic1{*this, "InitiallizePic1"};
  Control Clearbuffer1{*this, "Clearbuffer1"};
  Control SpindleStart1{*this, "SpindleStart1"}, SpindleOff1{*this, "SpindleOff1"};
  Control SetSpindle11{*this, "SetSpindle11"}, SetSpindle21{*this, "SetSpindle21"};
  Control On1{*this, "On1"}, Off1{*this, "Off1"};  // Diag > "Aux1"
  Control BuildTable1{*this, "BuildTable1"};
  Control JumpTable1{*this, "JumpTable1"};  // Diag > "Load Table"
  Control SendAccellparams1{*this, "SendAccellparams1"};
  Control About1{*this, "About1"};
};

}  // namespace wendlar
