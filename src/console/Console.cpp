#include "console/Console.h"

#include "config/ConfigFile.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {
constexpr int kClockIntervalMs = 200;
}

Console::Console(EventLoop& loop, ConfigState& config, RunFlags& flags)
    : loop_(loop), config_(config), flags_(flags) {}

void Console::Create() {
  SetDefaultConfig(config_.Config);
  SetInchUnits(config_.Units);
  State = ConsoleState{};
  State.SpindleRpm = config_.Config.Spind_low;
  State.ConsoleHeight = kConsoleHeight;

  View.Form.SetCaption("Tovrel Wendlar Controller");
  View.Form.SetBounds(0, 0, 576, 698);
  View.Form.SetHeight(State.ConsoleHeight);
  View.Form.SetChecked(true);  // always on top at start
  View.Form.SetBackColor(kLightGrey);

  View.Running.SetCaption("Not connected");
  View.Machine_state.SetCaption("Offline");
  View.Machine_state.SetBackColor(kGray);
  View.Running.SetHint("Click to Reset");
  View.Micros.SetCaption("SXYZWL");
  View.Micros.SetHint("Inputs");
  View.ILOCK.SetCaption(" DOOR");
  View.ILOCK.SetVisible(false);
  View.ServoF_Lab.SetCaption("Servo Fault");
  View.ServoF_Lab.SetVisible(false);
  View.Progcnt_lab.SetHint("Ran / Sent");
  View.Gauge1.SetHint("Buffer ram");
  View.Com_list.SetVisible(false);
  for (Control* led : {&View.Sp1_LED, &View.SP2_LED, &View.Aux1_LED, &View.Aux2_LED, &View.Dwell_LED}) {
    led->SetBackColor(kGray);
  }

  View.Run_button.SetCaption("Run");
  View.Run_button.SetEnabled(false);
  View.Run_button.SetWidth(91);
  View.Run_button.SetFontColor(kGreen);
  View.Pausebut.SetCaption("Pause");
  View.Pausebut.SetVisible(true);
  View.Pausebut.SetEnabled(false);  // until a job runs
  View.Run_Border.SetCaption("Run around Border");
  View.Move_2_XY.SetCaption("Move to XY Position");
  View.Set_New_XY.SetCaption("Set  XY Position");
  View.Zero_Z2_Work.SetCaption("Set New Z Position");
  View.Z_zero.SetCaption("Z to Zero");
  View.Z_2top.SetCaption("Z to Safe");
  View.Preview.SetCaption("Preview / Preset");
  View.Preview.SetEnabled(false);
  View.User_mach.SetCaption("U");
  View.Continue.SetCaption("M00 detected, Press to Continue");
  View.Continue.SetVisible(false);
  View.Estopbut.SetCaption("STOP");

  View.fakexn.SetCaption("X-");
  View.fakexp.SetCaption("X+");
  View.fakeyn.SetCaption("Y-");
  View.fakeyp.SetCaption("Y+");
  View.fakezp.SetCaption("Z+");
  View.fakezn.SetCaption("Z-");
  View.fv50.SetCaption("Feed");
  View.fv100.SetCaption("100%");
  View.fv100.SetChecked(true);
  // Unchecked until Spooler.cfg says otherwise: on a first start a job's own F words rule,
  // not whatever feed the on-screen index happens to hold.
  View.Use_feed.SetChecked(false);
  View.Feedlab.SetFontColor(kGray);
  View.Use_feed.SetVisible(false);
  View.Use_feed.SetHint("Use Feed on screen");
  View.Use_rpm.SetChecked(true);
  View.Use_rpm.SetVisible(false);

  View.Plasma_Top_panel.SetVisible(false);
  View.Material.SetCaption("Material");
  View.pierce_height.SetCaption("0.100");
  View.Pierce_delay.SetCaption("0.25");
  View.Pierce_delay.SetHint("In Seconds");
  View.Plasma_feed.SetCaption("50");
  View.Set_current.SetCaption("40");
  View.Set_current.SetHint("Manually set on Plasma");
  View.THC_voltage.SetCaption("160");
  View.Volt_good.SetCaption("Cutting");

  View.Touch.SetCaption("Touch Pad");
  View.Touch.SetEnabled(false);
  View.Work_offset_but.SetCaption("Fixtures");
  View.Laser_Box.SetVisible(false);
  View.Button1.SetCaption("ON");
  View.Button3.SetCaption("OFF");
  View.pwm_on.SetPosition(10);

  View.QuorlexMode1.SetChecked(true);
  View.GcodeMode1.SetChecked(false);
  View.OpenSpoolerfile1.SetEnabled(true);
  View.OpenGcodefile1.SetEnabled(false);
  View.CornerFinder1.SetEnabled(false);
  View.Toolchangemode1.SetEnabled(false);
  // Why an entry is greyed, for its hint.
  View.CornerFinder1.SetHint("Needs firmware 65 or later");
  View.Preview.SetHint("Opens when a job is loaded");
  View.Touch.SetHint("Needs \"Touch pad Enable\" in Configure Machine");
  View.ToolTouchpad1.SetHint("Needs \"Touch pad Enable\" in Configure Machine");
  View.Toolchangemode1.SetHint("Needs a controller with a tool changer");
  View.StayonTop1.SetChecked(true);

  ShowWAxis(false);
  View.Diag1.SetVisible(false);

  View.Feedlab.SetCaption("Rate  " + std::to_string(State.FeedIndex) + "%");
  View.Fro_lab.SetCaption("Feed  0");
  View.Rpmlab.SetCaption("Rpm " + std::to_string(State.SpindleRpm));
  View.JogSpdbut.SetCaption("F");
  ShowJogButtons(true);
}

void Console::Show() {
  if (Hooks.ApplyConfigDialog) Hooks.ApplyConfigDialog();
  for (Control* c : {&View.Aux1_but, &View.Aux2_but, &View.Spindlebut, &View.Spindletwo}) c->SetVisible(true);
  View.Plasma_Top_panel.SetVisible(false);
  View.Form.SetHeight(State.ConsoleHeight);
  View.Use_feed.SetVisible(true);
  View.Use_rpm.SetVisible(true);
  State.RpmStep = 100;
  View.Rpmlab.SetCaption("Rpm " + std::to_string(State.SpindleRpm));
  const std::string& io = config_.Config.Io_flags;
  View.Touch.SetEnabled(!io.empty() && io[0] == 'X');
  if (State.FirstShow) {
    State.FirstShow = false;
    if (Hooks.OpenLinkWindow) Hooks.OpenLinkWindow();
  }
}

void Console::StartClock() {
  clock_ = loop_.CreateTimer(kClockIntervalMs, true, [this] { ClockTick(); });
}

void Console::ClockTick() {
  ++State.ClockTicks;
  if (State.DoorOpen) {
    View.ILOCK.SetVisible(!View.ILOCK.Visible());
  } else {
    View.ILOCK.SetVisible(false);
  }
  if (State.ServoFault) View.ServoF_Lab.SetVisible(!View.ServoF_Lab.Visible());
  if (OnClockTick) OnClockTick();
}

void Console::ShowLength(Control& readOut, ShownLength& shown, double userUnits) {
  const UnitState& units = config_.Units;
  if (shown.value == userUnits && shown.decimals == units.UnitsDecimals && shown.mark == units.UnitsMark) return;
  shown.value = userUnits;
  shown.decimals = units.UnitsDecimals;
  shown.mark = units.UnitsMark;
  ShortText text;
  FormatFixedTo(text, userUnits, units.UnitsDecimals);
  text.Append(units.UnitsMark);
  readOut.SetCaption(text.View());
}

void Console::ShowPositions(int32_t xSteps, int32_t ySteps, int32_t thirdSteps, bool thirdIsW) {
  const MachineConfig& c = config_.Config;
  const double factor = config_.Units.UnitsFactor;
  // Scales are kept above zero by the loader; guard anyway so a read-out never shows inf.
  auto toUnits = [factor](int32_t steps, double scale) {
    return scale > 0 && factor > 0 ? steps / factor / scale : 0.0;
  };
  State.MachineXSteps = xSteps;
  State.MachineYSteps = ySteps;
  State.MachineX = toUnits(xSteps, c.Xscale);
  State.MachineY = toUnits(ySteps, c.Yscale);
  const double offX = State.UserCoords ? State.ActiveOffsetX : 0.0;
  const double offY = State.UserCoords ? State.ActiveOffsetY : 0.0;
  ShowLength(View.XPOS, shownX_, State.MachineX - offX);
  ShowLength(View.ypos, shownY_, State.MachineY - offY);
  // Z and W counts are inverted: program Z is positive upward.
  const double third = -toUnits(thirdSteps, c.Zscale);
  if (thirdIsW) {
    State.MachineWSteps = thirdSteps;
    State.MachineW = third;
    if (State.WAxisShown) ShowLength(View.WPOS, shownW_, third);
  } else {
    State.MachineZSteps = thirdSteps;
    State.MachineZ = third;
    ShowLength(View.ZPOS, shownZ_, third);
  }
  State.PositionValid = true;
}

void Console::ShowVelocity(int speedIndex) {
  const int mode = Hooks.JogDisplayMode ? Hooks.JogDisplayMode() : 2;
  if (mode == 1) {
    const int value = Hooks.SpeedTableValue ? Hooks.SpeedTableValue(speedIndex) : 0;
    View.Cvelo.SetCaption(std::to_string(Nearest(value * State.VelocityScale)) + config_.Units.SpeedUnits);
  } else {
    ShortText text;
    text.Append(" ");
    text.AppendInt(speedIndex);
    text.Append(" %");
    View.Cvelo.SetCaption(text.View());
  }
}

void Console::ShowActiveOffset(int fixture, double x, double y) {
  State.ActiveOffsetX = x;
  State.ActiveOffsetY = y;
  const int decimals = config_.Units.UnitsDecimals;
  View.Work_offset_but.SetCaption("Fixture " + std::to_string(fixture));
  View.Fixture_lab.SetCaption(FormatFixed(x, decimals, 3) + " , " + FormatFixed(y, decimals, 3));
}

void Console::ShowJogButtons(bool shown) {
  for (Control* c : {&View.X_Pos, &View.X_Neg, &View.Y_Pos, &View.Y_neg, &View.Z_Pos, &View.Z_Neg}) {
    c->SetVisible(shown);
  }
  // The look-alikes are inert: grey, so nobody takes them for live jog buttons.
  for (Control* c : {&View.fakexn, &View.fakexp, &View.fakeyn, &View.fakeyp, &View.fakezp, &View.fakezn}) {
    c->SetVisible(!shown);
    c->SetFontColor(kGray);
  }
  View.JogSpdbut.SetEnabled(shown);
}

void Console::SetConsoleIdle(bool idle) {
  ShowJogButtons(idle);
  // Hide the W controls during a job without forgetting that the machine has a W axis;
  // clearing WAxisShown here would lose the W panel for good after the first job.
  if (State.WAxisShown) {
    ShowWAxis(idle);
    State.WAxisShown = true;
  }
  for (Control* c : {&View.Z_2top, &View.Zero_Z2_Work, &View.Set_New_XY, &View.Move_2_XY, &View.Run_Border}) {
    c->SetEnabled(idle);
  }
  // Nothing that moves or redefines an axis is offered beside a job.
  for (Control* c : {&View.HomeXYbut, &View.HomeZbut, &View.MovetoXYposition1, &View.MovetoZposition1,
                     &View.MoveXYorZ1, &View.HomeSwitchDetect1, &View.HomeWaxis1}) {
    c->SetEnabled(idle);
  }
  // Pause holds a running job; there is nothing to pause otherwise.
  View.Pausebut.SetEnabled(!idle);
  if (idle) {
    View.Z_zero.SetFontColor(kBlack);
    View.Z_2top.SetFontColor(kBlack);
    View.Run_Border.SetFontColor(kBlack);
    View.Zero_Z2_Work.SetFontColor(kNavy);
    View.Set_New_XY.SetFontColor(kNavy);
    View.Move_2_XY.SetFontColor(kGreen);
    View.Preview.SetFontColor(kOlive);
  } else {
    for (Control* c : {&View.Z_zero, &View.Z_2top, &View.Run_Border, &View.Zero_Z2_Work, &View.Set_New_XY,
                       &View.Move_2_XY, &View.Preview}) {
      c->SetFontColor(kGray);
    }
    View.Preview.SetEnabled(false);
  }
}

void Console::ShowWAxis(bool shown) {
  State.WAxisShown = shown;
  for (Control* c : {&View.W_pan1, &View.W_pan2, &View.W_Pos, &View.W_Neg}) c->SetVisible(shown);
  View.Rapid_pan.SetVisible(!shown);
}

void Console::StayOnTopClick() {
  State.StayOnTop = !State.StayOnTop;
  View.StayonTop1.SetChecked(State.StayOnTop);
  View.Form.SetChecked(State.StayOnTop);
}

void Console::LeaveTop() { View.Form.SetChecked(false); }

void Console::RestoreTop() {
  if (State.StayOnTop) View.Form.SetChecked(true);
}

void Console::QuorlexModeClick() {
  View.QuorlexMode1.SetChecked(true);
  View.GcodeMode1.SetChecked(false);
  View.OpenSpoolerfile1.SetEnabled(true);
  View.OpenGcodefile1.SetEnabled(false);
  State.JobMode = 1;
  State.SpoolFileName = " ";
  State.GcodeFileName = " ";
}

void Console::GcodeModeClick() {
  View.QuorlexMode1.SetChecked(false);
  View.GcodeMode1.SetChecked(true);
  View.OpenSpoolerfile1.SetEnabled(false);
  View.OpenGcodefile1.SetEnabled(true);
  State.JobMode = 2;
  State.SpoolFileName = " ";
  State.GcodeFileName = " ";
}

void Console::UserMachClick() {
  State.UserCoords = !State.UserCoords;
  View.User_mach.SetCaption(State.UserCoords ? "U" : "M");
  View.User_mach.SetRaised(State.UserCoords);
}

void Console::Close(bool connected) {
  flags_.Closing = true;
  flags_.AbortRun = 1;
  if (connected && Hooks.CloseLink) Hooks.CloseLink();
}

void Console::ShowMessage(const std::string& text) {
  const auto& items = View.Com_list.Items();
  if (!items.empty() && items.back() == text) return;
  View.Com_list.AddItem(text);
  CodeLines.Add(text);
}

}  // namespace wendlar
