// The machine configuration: every field of a machine file, and the unit state derived from it.
#pragma once

#include <cstdint>
#include <string>

#include "config/Travel.h"

namespace wendlar {

// Field names are the machine file's own; the comment gives the file line.
struct MachineConfig {
  uint16_t Cfg_line2 = 0;          // 2
  uint8_t Rap_timer = 0;           // 3  rapid speed range 0/1
  uint8_t Cut_timer = 0;           // 4  contour speed range 0/1
  uint16_t R_vel_max = 0;          // 5
  uint16_t R_vel_start = 0;        // 6
  uint16_t Vel_ceiling = 0;        // 7  the planner's per-run speed ceiling lives here too
  double Xscale = 0;               // 8  steps per 0.001 in / 0.01 mm
  double Yscale = 0;               // 9
  double Zscale = 0;               // 10
  double R_cal = 0;                // 11 rotary fourth-axis scale
  uint16_t Z_start_vel = 0;        // 12
  uint16_t Cfg_line13 = 0;         // 13
  uint16_t Z_1st_drop = 0;         // 14
  uint16_t Z_raise_vel = 0;        // 15
  double Drop_pause = 0;           // 16 seconds
  double Tool_above_work = 0;      // 17 user units
  uint8_t R_accel = 0;             // 18
  uint8_t Contour_accel = 0;       // 19
  uint16_t Mass_comp = 0;          // 20
  uint16_t Slow_safe = 0;          // 21
  uint16_t Sharp_ang_paz = 0;      // 22
  uint16_t Short_vlen_steps = 0;   // 23 X steps
  uint16_t Corner_paz = 0;         // 24
  uint16_t Spind_low = 0;          // 25 rpm at 0 V (plasma: voltage minimum)
  uint16_t Spind_hi = 0;           // 26 rpm at 10 V (plasma: voltage maximum)
  uint16_t Auto_Spindle_Start = 0; // 27
  uint16_t Auto_Spindle_Stop = 0;  // 28
  uint16_t XYhome_vel = 0;         // 29
  uint16_t Zhome_vel = 0;          // 30 and again 34
  uint16_t Switch_NC = 0;          // 31
  uint16_t Limit_enable = 0;       // 32
  uint16_t Cfg_line33 = 0;         // 33
  uint16_t Fourth_is_rotary = 0;   // 35
  uint16_t W_slave = 0;            // 36
  uint16_t Rvel = 0;               // 37
  double W_xof = 0;                // 38
  double W_yof = 0;                // 39
  uint16_t True_arcs = 0;          // 40
  double Arc_rez = 0;              // 41 chord resolution
  uint16_t Jogslowvel = 0;         // 42
  uint16_t Jogfastvel = 0;         // 43
  uint16_t CV_Max = 0;             // 44
  int32_t UnitsMode = 0;           // 45 1 inch, 2 metric
  int32_t Cfg_line46 = 0;          // 46
  double Cfg_line47 = 0;           // 47
  double XY_home_dist = 0;         // 48
  double Z_home_dist = 0;          // 49
  uint16_t Enable_4th = 0;         // 50
  std::string Comment;             // 51
  std::string Option_flags5;       // 52
  double Aux1_dw_up = 0;           // 53
  double Aux1_dw_down = 0;         // 54
  double Aux2_dw_up = 0;           // 55
  double Aux2_dw_down = 0;         // 56
  double Aux1R_xoff = 0;           // 57
  double Aux1R_yoff = 0;           // 58
  double Aux2R_xoff = 0;           // 59
  double Aux2R_yoff = 0;           // 60
  int32_t Man_toolch = 0;          // 61
  double Toolch_xpos = 0;          // 62
  double Toolch_ypos = 0;          // 63
  double Toolch_Zpos = 0;          // 64
  double Spindle_delay = 0;        // 65
  double Cfg_line67 = 0;           // 67 (line 66 is reserved)
  double Cfg_line68 = 0;           // 68
  double Cfg_line69 = 0;           // 69
  std::string Io_flags;            // 70 'X' at 1 touch pad, 2 interlock, 3 servo fault
  double Tpad_Size = 0;            // 71
  uint16_t TP_Seek_vel = 0;        // 72
  double Laser_Xoff = 0;           // 73
  double Laser_Yoff = 0;           // 74
};

// Inch or metric, as set by SetInchUnits / SetMetricUnits.
struct UnitState {
  double UnitsFactor = 1000.0;     // scale units (0.001 in, 0.01 mm) per user unit
  int32_t UnitsDecimals = 3;
  std::string UnitsMark = "\"";
  std::string SpeedUnits = " ipm";
};

void SetInchUnits(UnitState& units);
void SetMetricUnits(UnitState& units);

// What the configuration dialog shows at a given moment and SaveMachineConfig writes in place
// of the fields: its Inch/Metric choice and its Comment box. The dialog's model fills it.
struct ConfigDialogState {
  bool InchSelected = true;
  std::string Comment;
};

// The configuration as the running program holds it, with the values derived from it.
struct ConfigState {
  MachineConfig Config;
  TravelState Travel;  // Travel.cfg, apart from the fixed machine file
  UnitState Units;
  ConfigDialogState Dialog;
  std::string MacFileName;        // the current machine file
  double ToolAboveWorkNow = 0.0;  // working copy of Tool_above_work used during runs
};

}  // namespace wendlar
