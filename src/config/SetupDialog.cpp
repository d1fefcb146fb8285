#include "config/SetupDialog.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <tuple>

#include "config/EditText.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {

constexpr double kMinArcRez = 0.005;

void SetInt(Control& box, int64_t value) { box.SetCaption(std::to_string(value)); }
void SetReal(Control& box, double value) { box.SetCaption(RealEditText(value)); }

// Reads the boxes into a scratch configuration. A box that is not a number, or whose number
// does not fit its field, is refused: the field keeps its value, the box shows it again, and
// a line naming the box and its range is kept for the operator.
class BoxReader {
 public:
  explicit BoxReader(const TSetupmenuView& view) : view_(view) {}

  // A whole number (a typed real is rounded) within the field's width.
  template <typename T>
  void Int(Control& box, T& field) {
    constexpr int64_t kMax = std::numeric_limits<T>::max();
    constexpr int64_t kMin = std::numeric_limits<T>::min();
    auto v = ReadIntEdit(box.Caption());
    if (v && *v >= kMin && *v <= kMax) {
      field = static_cast<T>(*v);
      return;
    }
    Refuse(box, "a whole number from " + std::to_string(kMin) + " to " + std::to_string(kMax));
    SetInt(box, field);
  }

  void Real(Control& box, double& field) {
    if (auto v = ReadRealEdit(box.Caption())) {
      field = *v;
      return;
    }
    Refuse(box, "a number");
    SetReal(box, field);
  }

  // Scales divide later computations: only values above zero.
  void Positive(Control& box, double& field) {
    if (auto v = ReadRealEdit(box.Caption()); v && *v > 0.0) {
      field = *v;
      return;
    }
    Refuse(box, "a number above 0");
    SetReal(box, field);
  }

  void Refuse(const Control& box, const std::string& range) {
    // Labels that say little on their own get the group they stand in.
    static const std::map<std::string, std::string> kPlainer = {
        {"Jogslowvel", "Slow jog speed"}, {"Jogfastvel", "Fast jog speed"},
        {"Aux1R_xoff", "Aux 1 offset X"}, {"Aux1R_yoff", "Aux 1 offset Y"},
        {"Aux2R_xoff", "Aux 2 offset X"}, {"Aux2R_yoff", "Aux 2 offset Y"},
        {"aux1_dw_down", "Aux 1 delay after drop"}, {"aux1_dw_up", "Aux 1 delay after raise"},
        {"aux2_dw_down", "Aux 2 delay after drop"}, {"aux2_dw_up", "Aux 2 delay after raise"},
        {"Toolch_xpos", "Tool change X Pos"}, {"Toolch_ypos", "Tool change Y Pos"},
        {"Toolch_Zpos", "Tool change Z Pos"}, {"Laser_Xoff", "Laser X Offset"},
        {"Laser_Yoff", "Laser Y Offset"}, {"W_xof_edit", "Second head Offset X"},
        {"W_yof_edit", "Second head Offset Y"}};
    auto plainer = kPlainer.find(box.Name());
    auto label = view_.EditLabels.find(box.Name());
    const std::string name = plainer != kPlainer.end()          ? plainer->second
                             : label != view_.EditLabels.end() ? label->second
                                                               : box.Name();
    Refused.push_back(name + ": \"" + box.Caption() + "\" refused, it must be " + range + ".");
  }

  std::vector<std::string> Refused;

 private:
  const TSetupmenuView& view_;
};

void Select(Control& chosen, Control& other) {
  chosen.SetChecked(true);
  other.SetChecked(false);
}

}  // namespace

TSetupmenuView::TSetupmenuView() : ViewModel("TSetupmenu") {
  Form.SetCaption("Tovrel Motion Control setup");
  Form.SetVisible(false);
  const std::pair<Control*, const char*> labels[] = {
      {&Rap_timer, "Rapid Speed Range"},  {&R_vel_max, "Rapid Vel Max"},     {&R_vel_start, "Rapid Vel Start"},
      {&R_accel, "Rapid Accel"},          {&Xscale_edit, "X axis scale"},    {&Yscale_edit, "Y axis scale"},
      {&Zscale_edit, "Z axis scale"},     {&Jogslowvel, "Slow"},             {&Jogfastvel, "Fast"},
      {&Cut_timer, "Contour Speed range"}, {&CV_Max_edit, "Contour Max vel"}, {&Slow_safe, "Slow contour vel"},
      {&Contour_accel, "Contour Acceleration"}, {&Mass_comp, "Mass compensation"},
      {&SHORT_VLEN, "Short Vector length"}, {&Sharp_ang_paz, "Sharp angle for pause"},
      {&Corner_paz, "Corner pause time"}, {&Arc_rez, "Arc vector length"},
      {&Z_raise_vel, "Z   Raise Speed"},  {&Z_1st_drop, "Z   Drop speed"},  {&Z_start_vel, "Z   Start Vel"},
      {&drop_pause, "Pause on tool drop"}, {&Tool_above_work, "Tool above Work"},
      {&Toolch_xpos, "X Pos"},            {&Toolch_ypos, "Y Pos"},           {&Toolch_Zpos, "Z Pos"},
      {&Spind_low, "Minimum Spindle RPM (0V)"}, {&Spind_hi, "Maximum Spindle RPM (10V)"},
      {&Spindle_delay, "Spin up time (seconds)"}, {&Focus_pwr, "Focus power"},
      {&Laser_Xoff, "X Offset"},          {&Laser_Yoff, "Y Offset"},         {&XYhome_vel, "XY Home vel"},
      {&Zhome_vel, "Z Home Vel"},         {&XY_home_dist, "XY Clearance"},   {&Z_home_dist, "Z Clearance"},
      {&TP_Seek_vel, "Seek Vel"},         {&Tpad_Size, "TP Thickness"},      {&Touch_dia, "Tool Dia"},
      {&R_cal_edit, "R axis scale"},      {&Rvel_edit, "R axis Vel"},        {&W_xof_edit, "Offset X"},
      {&W_yof_edit, "Offset Y"},          {&aux1_dw_down, "Delay after drop"}, {&aux1_dw_up, "Delay after Raise"},
      {&Aux1R_xoff, "X"},                 {&Aux1R_yoff, "Y"},                {&aux2_dw_down, "Delay after drop"},
      {&aux2_dw_up, "Delay after Raise"}, {&Aux2R_xoff, "X"},                {&Aux2R_yoff, "Y"},
      {&Comment, "Comment"},
      {&Travel_Xmin, "X"},                {&Travel_Ymin, "Y"},               {&Travel_Zmin, "Z"},
      {&Travel_Wmin, "W"},
  };
  for (const auto& [control, label] : labels) EditLabels[control->Name()] = label;

  const std::pair<const char*, std::vector<Control*>> tabs[] = {
      {"Rapid and Scale", {&Rap_timer, &R_vel_max, &R_vel_start, &R_accel, &Xscale_edit, &Yscale_edit, &Zscale_edit,
                           &Label51, &Max_Velocity, &jogbox4, &Jogslowvel, &Jogfastvel, &Inch_rb, &Metric_rb}},
      {"Contouring Settings", {&Cut_timer, &CV_Max_edit, &Slow_safe, &Contour_accel, &Mass_comp, &SHORT_VLEN,
                               &Sharp_ang_paz, &Corner_paz, &Arc_enable, &Arc_rez, &Arcvec_lab, &Max_speeds}},
      {"Z axis", {&Z_raise_vel, &Z_1st_drop, &Z_start_vel, &drop_pause, &Tool_above_work, &No_Man_toolch_check,
                  &Man_toolch_check, &Toolch_xpos, &Toolch_ypos, &Toolch_Zpos}},
      {"Spindle", {&Spind_low, &Spind_hi, &Min_rpm_lab, &Max_rpm_lab, &Spindle_delay, &Auto_Spindle_Start,
                   &Auto_Spindle_Stop, &CheckBox1, &Focus_pwr, &Laser_Xoff, &Laser_Yoff}},
      {"Limit Switches", {&XYhome_vel, &Zhome_vel, &XY_home_dist, &Z_home_dist, &Limit_enable_CBox, &Normally_open,
                          &Normally_closed, &Z_limit_enable, &Hm_XNYP, &Touch_pad_enable, &TP_Seek_vel, &Tpad_Size,
                          &Touch_dia, &Interlock_enable, &En_Servo}},
      {"4th Axis", {&Enable_4th, &Enable_knife, &Fourth_Rotory, &Dual_Head, &R_cal_edit, &Rvel_edit, &Raxis_GBox,
                    &Wslave_But, &Sec_Z_but, &Waxis_Gbox, &W_xof_edit, &W_yof_edit}},
      {"Auxillary 1/2", {&aux1_dw_down, &aux1_dw_up, &Aux1R_xoff, &Aux1R_yoff, &aux2_dw_down, &aux2_dw_up,
                         &Aux2R_xoff, &Aux2R_yoff}},
      {"Gcode", {&PauseonM0, &G28_enable, &Ignore_overfeed}},
      {"Travel", {&Travel_Xmin, &Travel_Xmax, &Travel_Ymin, &Travel_Ymax, &Travel_Zmin, &Travel_Zmax, &Travel_Wmin,
                  &Travel_Wmax, &Travel_note}},
  };
  for (const auto& [tab, controls] : tabs) {
    for (Control* c : controls) TabOf[c->Name()] = tab;
  }

  R_accel.SetHint("220=S ..... 250=F");
  Contour_accel.SetHint("220=S ..... 245=F");
  Mass_comp.SetHint("1-10");
  Sharp_ang_paz.SetHint("10-100");
  drop_pause.SetHint("in Seconds");
  Auto_Spindle_Stop.SetHint("Reset Pic after changing");

  Label51.SetCaption("( steps per 0.001 inch )");
  jogbox4.SetCaption("Jog speed");
  Inch_rb.SetCaption("Imperial ( 0.001\" )");
  Inch_rb.SetChecked(true);
  Metric_rb.SetCaption("Metric    ( 0.01 mm )");
  Metric_rb.SetEnabled(false);
  Arc_enable.SetCaption("True Arcs Enable");
  Arc_enable.SetEnabled(false);
  Arcvec_lab.SetCaption("Arc vector length");
  No_Man_toolch_check.SetCaption("No Tool change");
  No_Man_toolch_check.SetChecked(true);
  Man_toolch_check.SetCaption("Prompt for manual");
  Min_rpm_lab.SetCaption("Minimum Spindle RPM (0V)");
  Max_rpm_lab.SetCaption("Maximum Spindle RPM (10V)");
  Auto_Spindle_Start.SetCaption("Auto_Spindle_Start");
  Auto_Spindle_Stop.SetCaption("Auto_Spindle_Stop");
  CheckBox1.SetCaption("Enable Laser");
  Limit_enable_CBox.SetCaption("Limit Switch Enable");
  Normally_open.SetCaption("Normally_open");
  Normally_open.SetChecked(true);
  Normally_closed.SetCaption("Normally_closed");
  Z_limit_enable.SetCaption("Z Limit switch enable");
  Hm_XNYP.SetCaption("Hm_XNYP");
  Touch_pad_enable.SetCaption("Touch pad Enable");
  Interlock_enable.SetCaption("Use Safety Interlock ");
  En_Servo.SetCaption("Enable Servo fault");
  Enable_4th.SetCaption("Enable 4th axis");
  Enable_knife.SetCaption("Enable Knife");
  Fourth_Rotory.SetCaption("Use 4th Axis as Rotory");
  Dual_Head.SetCaption("Use 4th Axis as 2nd Z ");
  Dual_Head.SetChecked(true);
  Raxis_GBox.SetCaption("Rotory 4th Axis");
  Wslave_But.SetCaption("Dual Z slave mode (3 axis)");
  Wslave_But.SetChecked(true);
  Sec_Z_but.SetCaption("W axis  ( Z Head #2,)");
  Waxis_Gbox.SetCaption("Second Z Head (W)");
  PauseonM0.SetCaption("Pause on M00");
  G28_enable.SetCaption("G28_enable");
  Ignore_overfeed.SetCaption("Ignore over feed");
  Makedefault.SetCaption("Set as Default");
  Apply.SetCaption("Apply");
  ResetPIC.SetCaption("Reset Pic");
  OKBtn.SetCaption("OK");
  Savecfg.SetCaption(" Save Config");
  CancelBtn.SetCaption("Cancel");
  Openmac1.SetCaption("Open machine config");
  Saveasmachineconfig1.SetCaption("Save machine config as");
  Save.SetCaption("Save machine config ");
}

TSetupmenu::TSetupmenu(ConfigState& state, const ConfigIo& io, Prompts& prompts, ConsoleSettings& console,
                       MachineActions& machine)
    : state_(state), io_(io), prompts_(prompts), console_(console), machine_(machine) {}

void TSetupmenu::ConfigToDialog() {
  filled_ = true;
  const MachineConfig& c = state_.Config;
  TSetupmenuView& v = View;
  v.Rap_timer.SetPosition(c.Rap_timer);
  v.Cut_timer.SetPosition(c.Cut_timer);
  SetInt(v.R_vel_max, c.R_vel_max);
  SetInt(v.R_vel_start, c.R_vel_start);
  SetReal(v.R_accel, c.R_accel);
  SetReal(v.Xscale_edit, c.Xscale);
  SetReal(v.Yscale_edit, c.Yscale);
  SetReal(v.Zscale_edit, c.Zscale);
  SetInt(v.Jogslowvel, c.Jogslowvel);
  SetInt(v.Jogfastvel, c.Jogfastvel);
  SetInt(v.CV_Max_edit, c.CV_Max);
  SetInt(v.Slow_safe, c.Slow_safe);
  SetReal(v.Contour_accel, c.Contour_accel);
  SetInt(v.Mass_comp, c.Mass_comp);
  const double stepsPerUnit = c.Xscale * state_.Units.UnitsFactor;
  SetReal(v.SHORT_VLEN, stepsPerUnit > 0.0 ? c.Short_vlen_steps / stepsPerUnit : 0.0);
  SetInt(v.Sharp_ang_paz, c.Sharp_ang_paz);
  SetInt(v.Corner_paz, c.Corner_paz);
  SetReal(v.Arc_rez, c.Arc_rez);
  SetInt(v.Z_raise_vel, c.Z_raise_vel);
  SetInt(v.Z_1st_drop, c.Z_1st_drop);
  SetInt(v.Z_start_vel, c.Z_start_vel);
  SetReal(v.drop_pause, c.Drop_pause);
  SetReal(v.Tool_above_work, c.Tool_above_work);
  SetReal(v.Toolch_xpos, c.Toolch_xpos);
  SetReal(v.Toolch_ypos, c.Toolch_ypos);
  SetReal(v.Toolch_Zpos, c.Toolch_Zpos);
  SetInt(v.Spind_low, c.Spind_low);
  SetInt(v.Spind_hi, c.Spind_hi);
  SetReal(v.Spindle_delay, c.Spindle_delay);
  SetReal(v.Laser_Xoff, c.Laser_Xoff);
  SetReal(v.Laser_Yoff, c.Laser_Yoff);
  SetInt(v.XYhome_vel, c.XYhome_vel);
  SetInt(v.Zhome_vel, c.Zhome_vel);
  SetReal(v.XY_home_dist, c.XY_home_dist);
  SetReal(v.Z_home_dist, c.Z_home_dist);
  SetInt(v.TP_Seek_vel, c.TP_Seek_vel);
  SetReal(v.Tpad_Size, c.Tpad_Size);
  SetReal(v.R_cal_edit, c.R_cal);
  SetInt(v.Rvel_edit, c.Rvel);
  SetReal(v.W_xof_edit, c.W_xof);
  SetReal(v.W_yof_edit, c.W_yof);
  SetReal(v.aux1_dw_down, c.Aux1_dw_down);
  SetReal(v.aux1_dw_up, c.Aux1_dw_up);
  SetReal(v.Aux1R_xoff, c.Aux1R_xoff);
  SetReal(v.Aux1R_yoff, c.Aux1R_yoff);
  SetReal(v.aux2_dw_down, c.Aux2_dw_down);
  SetReal(v.aux2_dw_up, c.Aux2_dw_up);
  SetReal(v.Aux2R_xoff, c.Aux2R_xoff);
  SetReal(v.Aux2R_yoff, c.Aux2R_yoff);

  v.Auto_Spindle_Start.SetChecked(c.Auto_Spindle_Start == 1);
  v.Auto_Spindle_Stop.SetChecked(c.Auto_Spindle_Stop == 1);
  v.Limit_enable_CBox.SetChecked(c.Limit_enable == 1);
  if (c.Switch_NC != 0) {
    Select(v.Normally_closed, v.Normally_open);
  } else {
    Select(v.Normally_open, v.Normally_closed);
  }

  v.Enable_4th.SetChecked(c.Enable_4th != 0);
  console_.ShowWAxis(c.Enable_4th != 0);
  v.Waxis_Gbox.SetEnabled(true);
  v.Raxis_GBox.SetEnabled(true);
  if (c.Fourth_is_rotary != 0) {
    Select(v.Fourth_Rotory, v.Dual_Head);
    v.Waxis_Gbox.SetEnabled(false);
  } else {
    Select(v.Dual_Head, v.Fourth_Rotory);
    v.Raxis_GBox.SetEnabled(false);
  }
  if (c.W_slave != 0) {
    Select(v.Wslave_But, v.Sec_Z_but);
  } else {
    Select(v.Sec_Z_but, v.Wslave_But);
  }

  v.mac_label.SetCaption(state_.MacFileName);
  // A file without a manual tool change must show it, or the next apply would turn it on.
  if (c.Man_toolch == 1) Select(v.Man_toolch_check, v.No_Man_toolch_check);
  if (c.Man_toolch == 0) Select(v.No_Man_toolch_check, v.Man_toolch_check);

  auto flag = [&c](size_t i) { return c.Io_flags.size() > i && c.Io_flags[i] == 'X'; };
  v.Touch_pad_enable.SetChecked(flag(0));
  v.Interlock_enable.SetChecked(flag(1));
  v.En_Servo.SetChecked(flag(2));
  Flags.ServoEnabled = flag(2) ? 1 : 0;
  console_.EnableToolTouchPad(v.Touch_pad_enable.Checked());
  TravelToDialog();
}

bool TSetupmenu::DialogToConfig() {
  // Boxes never filled hold no configuration: applying them would clear every flag.
  if (!filled_) return true;
  MachineConfig c = state_.Config;  // committed only when every box was taken
  TSetupmenuView& v = View;
  BoxReader r(v);
  c.Rap_timer = static_cast<uint8_t>(v.Rap_timer.Position());
  c.Cut_timer = static_cast<uint8_t>(v.Cut_timer.Position());
  r.Int(v.R_vel_max, c.R_vel_max);
  r.Int(v.R_vel_start, c.R_vel_start);
  r.Int(v.R_accel, c.R_accel);  // a typed real is rounded to the nearest integer
  r.Positive(v.Xscale_edit, c.Xscale);
  r.Positive(v.Yscale_edit, c.Yscale);
  r.Positive(v.Zscale_edit, c.Zscale);
  r.Int(v.Jogslowvel, c.Jogslowvel);
  r.Int(v.Jogfastvel, c.Jogfastvel);
  r.Int(v.CV_Max_edit, c.CV_Max);
  r.Int(v.Slow_safe, c.Slow_safe);
  r.Int(v.Contour_accel, c.Contour_accel);
  r.Int(v.Mass_comp, c.Mass_comp);
  r.Int(v.Sharp_ang_paz, c.Sharp_ang_paz);
  r.Int(v.Corner_paz, c.Corner_paz);
  if (auto rez = ReadRealEdit(v.Arc_rez.Caption())) {
    if (*rez < kMinArcRez) Arc_rezExit();
    c.Arc_rez = std::max(*rez, kMinArcRez);
  } else {
    r.Refuse(v.Arc_rez, "a number");
    SetReal(v.Arc_rez, c.Arc_rez);
  }
  r.Int(v.Z_raise_vel, c.Z_raise_vel);
  r.Int(v.Z_1st_drop, c.Z_1st_drop);
  r.Int(v.Z_start_vel, c.Z_start_vel);
  r.Real(v.drop_pause, c.Drop_pause);
  r.Real(v.Tool_above_work, c.Tool_above_work);
  r.Real(v.Toolch_xpos, c.Toolch_xpos);
  r.Real(v.Toolch_ypos, c.Toolch_ypos);
  r.Real(v.Toolch_Zpos, c.Toolch_Zpos);
  r.Int(v.Spind_low, c.Spind_low);
  r.Int(v.Spind_hi, c.Spind_hi);
  r.Real(v.Spindle_delay, c.Spindle_delay);
  r.Real(v.Laser_Xoff, c.Laser_Xoff);
  r.Real(v.Laser_Yoff, c.Laser_Yoff);
  r.Int(v.XYhome_vel, c.XYhome_vel);
  r.Int(v.Zhome_vel, c.Zhome_vel);
  r.Real(v.XY_home_dist, c.XY_home_dist);
  r.Real(v.Z_home_dist, c.Z_home_dist);
  r.Int(v.TP_Seek_vel, c.TP_Seek_vel);
  r.Real(v.Tpad_Size, c.Tpad_Size);
  r.Positive(v.R_cal_edit, c.R_cal);
  r.Int(v.Rvel_edit, c.Rvel);
  r.Real(v.W_xof_edit, c.W_xof);
  r.Real(v.W_yof_edit, c.W_yof);
  r.Real(v.aux1_dw_down, c.Aux1_dw_down);
  r.Real(v.aux1_dw_up, c.Aux1_dw_up);
  r.Real(v.Aux1R_xoff, c.Aux1R_xoff);
  r.Real(v.Aux1R_yoff, c.Aux1R_yoff);
  r.Real(v.aux2_dw_down, c.Aux2_dw_down);
  r.Real(v.aux2_dw_up, c.Aux2_dw_up);
  r.Real(v.Aux2R_xoff, c.Aux2R_xoff);
  r.Real(v.Aux2R_yoff, c.Aux2R_yoff);

  // After Xscale, so the conversion uses the scale just applied.
  const double stepsPerUnit = c.Xscale * state_.Units.UnitsFactor;
  auto len = ReadRealEdit(v.SHORT_VLEN.Caption());
  const int64_t steps = len ? Nearest(*len * stepsPerUnit) : -1;
  if (len && steps >= 0 && steps <= std::numeric_limits<uint16_t>::max()) {
    c.Short_vlen_steps = static_cast<uint16_t>(steps);
  } else {
    r.Refuse(v.SHORT_VLEN, "a length from 0 to " + RealEditText(65535.0 / stepsPerUnit));
    SetReal(v.SHORT_VLEN, c.Short_vlen_steps / stepsPerUnit);
  }

  TravelState travel = state_.Travel;
  const bool travelChanged = DialogToTravel(travel, r.Refused);

  if (!r.Refused.empty()) {
    std::string text;
    for (const std::string& line : r.Refused) text += (text.empty() ? "" : "\n") + line;
    prompts_.Warning(text + "\nNothing was applied.");
    return false;
  }
  state_.Config = c;
  state_.ToolAboveWorkNow = c.Tool_above_work;
  if (travelChanged) {
    state_.Travel = travel;
    // The travel has no Save button of its own: a change is kept at once.
    std::string why;
    if (!SaveTravel(io_.Home, travel, &why)) prompts_.Warning(std::string(kTravelFile) + " could not be written: " + why);
    TravelToDialog();
  }
  console_.SetJogSpeed(console_.JogMode() == 1 ? c.Jogslowvel : c.Jogfastvel);
  Arc_enableClick();
  MachineConfig& m = state_.Config;
  m.Auto_Spindle_Start = v.Auto_Spindle_Start.Checked() ? 1 : 0;
  m.Auto_Spindle_Stop = v.Auto_Spindle_Stop.Checked() ? 1 : 0;
  m.Limit_enable = v.Limit_enable_CBox.Checked() ? 1 : 0;
  m.Switch_NC = v.Normally_open.Checked() ? 0 : 1;
  m.Enable_4th = v.Enable_4th.Checked() ? 1 : 0;
  console_.ShowWAxis(v.Enable_4th.Checked());
  m.Fourth_is_rotary = v.Dual_Head.Checked() ? 0 : 1;
  m.W_slave = v.Sec_Z_but.Checked() ? 0 : 1;
  if (v.Man_toolch_check.Checked()) m.Man_toolch = 1;
  SetIoFlag(0, v.Touch_pad_enable.Checked());
  SetIoFlag(1, v.Interlock_enable.Checked());
  SetIoFlag(2, v.En_Servo.Checked());
  console_.EnableToolTouchPad(v.Touch_pad_enable.Checked());
  return true;
}

void TSetupmenu::RefreshAfterLoad() {
  if (state_.Dialog.InchSelected) {
    Select(View.Inch_rb, View.Metric_rb);
    View.Label51.SetCaption("( steps per 0.001 inch )");
  } else {
    Select(View.Metric_rb, View.Inch_rb);
    View.Label51.SetCaption("( steps per 0.01 mm )");
  }
  View.Comment.SetCaption(state_.Dialog.Comment);
  ConfigToDialog();
}

void TSetupmenu::SendFourthAxisMode() {
  if (state_.Config.Enable_4th == 0) {
    machine_.SendCommand(CommandRecord(67, {0, 0}));
    console_.ShowWAxis(false);
    return;
  }
  console_.ShowWAxis(true);
  if (!View.Dual_Head.Checked()) {
    machine_.SendCommand(CommandRecord(67, {0, 0}));
    return;
  }
  if (View.Wslave_But.Checked()) machine_.SendCommand(CommandRecord(67, {128, 0}));
  if (View.Sec_Z_but.Checked()) machine_.SendCommand(CommandRecord(67, {1, 0}));
}

void TSetupmenu::ShowSpindleRangeLabels(bool plasma) {
  View.Min_rpm_lab.SetCaption(plasma ? "Plasma Voltage Min  " : "Minimum Spindle RPM (0V)");
  View.Max_rpm_lab.SetCaption(plasma ? "Plasma Voltage Max  " : "Maximum Spindle RPM (10V)");
}

void TSetupmenu::Show() {
  View.Form.SetVisible(true);
  ConfigToDialog();
}

void TSetupmenu::Close() {
  View.Form.SetVisible(false);
  console_.RestoreTop();
}

void TSetupmenu::Inch_rbClick() {
  Select(View.Inch_rb, View.Metric_rb);
  state_.Dialog.InchSelected = true;
  View.Label51.SetCaption("( steps per 0.001 inch )");
  SetInchUnits(state_.Units);
}

void TSetupmenu::Metric_rbClick() {
  Select(View.Metric_rb, View.Inch_rb);
  state_.Dialog.InchSelected = false;
  View.Label51.SetCaption("( steps per 0.01 mm )");
  SetMetricUnits(state_.Units);
}

void TSetupmenu::Max_VelocityClick() {
  if (Flags.JogDisplayMode != 1) {
    View.jogbox4.SetCaption("Jog Speeds");
    Flags.JogDisplayMode = 1;
  } else {
    View.jogbox4.SetCaption("Jog in %");
    Flags.JogDisplayMode = 2;
  }
}

void TSetupmenu::Dual_HeadClick() {
  Select(View.Dual_Head, View.Fourth_Rotory);
  View.Waxis_Gbox.SetEnabled(true);
  View.Raxis_GBox.SetEnabled(false);
}

void TSetupmenu::Fourth_RotoryClick() {
  Select(View.Fourth_Rotory, View.Dual_Head);
  View.Waxis_Gbox.SetEnabled(false);
  View.Raxis_GBox.SetEnabled(true);
}

void TSetupmenu::Enable_4thClick() {
  if (View.Enable_4th.Checked()) {
    console_.ShowWAxis(true);
    state_.Config.Enable_4th = View.Wslave_But.Checked() ? 2 : 1;
  } else {
    console_.ShowWAxis(false);
    state_.Config.Enable_4th = 0;
  }
  SendFourthAxisMode();
  ShowWTravel();
}

void TSetupmenu::Wslave_ButClick() {
  Select(View.Wslave_But, View.Sec_Z_but);
  SendFourthAxisMode();
}

void TSetupmenu::Sec_Z_butClick() {
  Select(View.Sec_Z_but, View.Wslave_But);
  SendFourthAxisMode();
}

void TSetupmenu::Arc_enableClick() {
  const bool on = View.Arc_enable.Checked();
  state_.Config.True_arcs = on ? 1 : 0;
  View.Arcvec_lab.SetEnabled(!on);
}

void TSetupmenu::Enable_knifeClick() { Flags.KnifeMode = View.Enable_knife.Checked() ? 1 : 0; }

void TSetupmenu::No_Man_toolch_checkClick() {
  Select(View.No_Man_toolch_check, View.Man_toolch_check);
  state_.Config.Man_toolch = 0;
}

void TSetupmenu::Man_toolch_checkClick() {
  Select(View.Man_toolch_check, View.No_Man_toolch_check);
  state_.Config.Man_toolch = 1;
}

void TSetupmenu::Normally_openClick() { Select(View.Normally_open, View.Normally_closed); }
void TSetupmenu::Normally_closedClick() { Select(View.Normally_closed, View.Normally_open); }

void TSetupmenu::Auto_Spindle_StartClick() {
  state_.Config.Auto_Spindle_Start = View.Auto_Spindle_Start.Checked() ? 1 : 0;
}

void TSetupmenu::Auto_Spindle_StopClick() {
  state_.Config.Auto_Spindle_Stop = View.Auto_Spindle_Stop.Checked() ? 1 : 0;
}

void TSetupmenu::Touch_pad_enableClick() {
  SetIoFlag(0, View.Touch_pad_enable.Checked());
  console_.EnableToolTouchPad(View.Touch_pad_enable.Checked());
}

void TSetupmenu::Interlock_enableClick() { SetIoFlag(1, View.Interlock_enable.Checked()); }

void TSetupmenu::En_ServoClick() {
  SetIoFlag(2, View.En_Servo.Checked());
  Flags.ServoEnabled = View.En_Servo.Checked() ? 1 : 0;
}

void TSetupmenu::JogfastvelExit() {
  auto rapid = ReadIntEdit(View.R_vel_max.Caption());
  auto fast = ReadIntEdit(View.Jogfastvel.Caption());
  if (rapid && fast && *rapid < *fast) View.Jogfastvel.SetCaption(View.R_vel_max.Caption());
}

void TSetupmenu::ClampToMaxSpeed(Control& box) {
  // No speed table yet (offline editing): there is nothing to clamp to.
  const int maxSpeed = machine_.MaxSpeedValue();
  if (maxSpeed <= 0) return;
  auto value = ReadIntEdit(box.Caption());
  if (value && *value > maxSpeed) SetInt(box, maxSpeed);
}

void TSetupmenu::R_vel_maxExit() { ClampToMaxSpeed(View.R_vel_max); }
void TSetupmenu::CV_Max_editExit() { ClampToMaxSpeed(View.CV_Max_edit); }

void TSetupmenu::Arc_rezExit() {
  auto rez = ReadRealEdit(View.Arc_rez.Caption());
  if (rez && *rez < kMinArcRez) View.Arc_rez.SetCaption("0.005");
}

void TSetupmenu::CommentChange() { state_.Dialog.Comment = View.Comment.Caption(); }

void TSetupmenu::OKBtnClick() {
  // A refused box keeps the window open for the correction.
  if (DialogToConfig()) Close();
}

void TSetupmenu::CancelBtnClick() {
  // Abandoned edits must not reach the configuration through a later DialogToConfig.
  ConfigToDialog();
  Close();
}

void TSetupmenu::ApplyClick() { (void)Apply(); }

bool TSetupmenu::Apply() {
  if (!DialogToConfig()) return false;
  machine_.RebuildSpeedTable();
  return true;
}

void TSetupmenu::ResetPICClick() {
  if (Apply()) machine_.InitialiseController();
}

void TSetupmenu::SavecfgClick() {
  if (!DialogToConfig()) return;
  // No file to save to yet (a first start): ask for one rather than write nothing.
  if (state_.MacFileName.find_first_not_of(' ') == std::string::npos) {
    Saveasmachineconfig1Click();
    return;
  }
  SaveTo(state_.MacFileName);
}

void TSetupmenu::SaveTo(const std::string& name) {
  std::string why;
  if (!SaveMachineConfig(state_, name, io_, &why)) prompts_.Warning(why);
}

void TSetupmenu::Saveasmachineconfig1Click() {
  FileDialog dialog;
  dialog.Title = "Save machine (*.mac)";
  dialog.Filter = "Machine config file|*.mac";
  dialog.FileName = "*.mac";
  dialog.InitialDir = io_.Home.Path().string();
  dialog.ConfirmOverwrite = true;
  auto name = prompts_.SaveFile(dialog);
  if (!name) return;
  // Machine files are found by their extension: a bare name gets it.
  if (!std::filesystem::path(*name).has_extension()) *name += ".MAC";
  state_.MacFileName = *name;
  View.mac_label.SetCaption(*name);
  SaveTo(*name);
}

void TSetupmenu::Openmac1Click() {
  FileDialog dialog;
  dialog.Title = "Load Machine configuration";
  dialog.Filter = "Machine Config file|*.mac";
  dialog.FileName = "*.mac";
  dialog.InitialDir = io_.Home.Path().string();
  auto name = prompts_.OpenFile(dialog);
  if (!name) return;
  state_.MacFileName = *name;
  (void)LoadMachineConfig(state_, *name, io_);
  RefreshAfterLoad();
}

void TSetupmenu::MakedefaultClick() {
  if (SaveEnvironment) SaveEnvironment();
}

namespace {

std::array<std::tuple<Control*, Control*, AxisTravel TravelState::*>, 4> TravelBoxes(TSetupmenuView& v) {
  return {{{&v.Travel_Xmin, &v.Travel_Xmax, &TravelState::X},
           {&v.Travel_Ymin, &v.Travel_Ymax, &TravelState::Y},
           {&v.Travel_Zmin, &v.Travel_Zmax, &TravelState::Z},
           {&v.Travel_Wmin, &v.Travel_Wmax, &TravelState::W}}};
}

bool Blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

void TSetupmenu::TravelToDialog() {
  const TravelState& t = state_.Travel;
  for (auto [lo, hi, axis] : TravelBoxes(View)) {
    const AxisTravel& a = t.*axis;
    lo->SetCaption(a.Set ? std::to_string(a.MinSteps) : "");
    hi->SetCaption(a.Set ? std::to_string(a.MaxSteps) : "");
  }
  ShowWTravel();
  View.Travel_note.SetCaption(t.FromController ? "The simulated controller's own travel (no Travel.cfg)"
                              : t.Any()        ? "Kept in Travel.cfg"
                                               : "No travel set: the job's extents are not checked");
}

void TSetupmenu::ShowWTravel() {
  // W has a travel only while the fourth axis is on; what was typed stays for when it is.
  const bool on = View.Enable_4th.Checked();
  View.Travel_Wmin.SetEnabled(on);
  View.Travel_Wmax.SetEnabled(on);
}

bool TSetupmenu::DialogToTravel(TravelState& travel, std::vector<std::string>& refused) {
  bool changed = false;
  for (auto [lo, hi, axis] : TravelBoxes(View)) {
    AxisTravel read;
    if (!Blank(lo->Caption()) || !Blank(hi->Caption())) {
      const auto range = ParseTravelRange(lo->Caption() + ":" + hi->Caption());
      if (!range) {
        refused.push_back("Travel " + View.EditLabels[lo->Name()] + ": \"" + lo->Caption() + "\" to \"" + hi->Caption() +
                          "\" refused, it must be whole steps with the minimum below the maximum, or both empty.");
        continue;
      }
      read = *range;
    }
    const AxisTravel& now = travel.*axis;
    if (read.Set != now.Set || read.MinSteps != now.MinSteps || read.MaxSteps != now.MaxSteps) {
      travel.*axis = read;
      changed = true;
    }
  }
  if (changed) travel.FromController = false;
  return changed;
}

void TSetupmenu::SetIoFlag(size_t index, bool on) {
  std::string& flags = state_.Config.Io_flags;
  if (flags.size() < 3) flags = "00000000";
  flags[index] = on ? 'X' : '0';
}

}  // namespace wendlar
