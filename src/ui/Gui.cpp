#include "ui/Gui.h"

#include <QApplication>

#include <optional>

#include "core/Numbers.h"

#include "ui_Spool.h"


namespace wendlar::ui {

namespace {

MouseButton ToMouseButton(const ControlEvent& e) { return e.button == 1 ? MouseButton::Right : MouseButton::Left; }

ConsoleKey ToConsoleKey(int key) {
  switch (key) {
    case keys::kLeft: return ConsoleKey::Left;
    case keys::kRight: return ConsoleKey::Right;
    case keys::kUp: return ConsoleKey::Up;
    case keys::kDown: return ConsoleKey::Down;
    case keys::kPageUp: return ConsoleKey::PageUp;
    case keys::kPageDown: return ConsoleKey::PageDown;
    case keys::kHome: return ConsoleKey::Home;
    case keys::kEnd: return ConsoleKey::End;
    case keys::kF1 + 8: return ConsoleKey::F9;
    case keys::kF1 + 9: return ConsoleKey::F10;
    default: return ConsoleKey::Other;
  }
}

// Where the console's size is kept between runs: a window matter, so not in Spooler.cfg,
// whose lines other versions read by position.
constexpr const char* kWindowFile = "Window.cfg";

std::optional<QSize> ReadConsoleSize(const HomeDir& home) {
  auto lines = home.ReadLines(kWindowFile);
  if (!lines || lines->size() < 3) return std::nullopt;
  const auto width = ParseInt((*lines)[1]);
  const auto height = ParseInt((*lines)[2]);
  if (!width || !height || *width <= 0 || *height <= 0 || *width > 20000 || *height > 20000) return std::nullopt;
  return QSize(static_cast<int>(*width), static_cast<int>(*height));
}

KeyEvent ToKeyEvent(const KeyStroke& k) {
  KeyEvent e;
  e.Key = ToConsoleKey(k.key);
  e.Modifiers = (k.shift ? kModShift : 0u) | (k.ctrl ? kModCtrl : 0u) | (k.alt ? kModAlt : 0u);
  e.AutoRepeat = k.autoRepeat;
  return e;
}

}  // namespace

Gui::Gui(System& system) : sys_(system) {
  // The documented creation order, for the windows this program has so far.
  console_ = std::make_unique<ConsoleWindow>(sys_.console.View);
  setup_ = std::make_unique<SetupWindow>(sys_.setup.View);
  coordinates_ = std::make_unique<CoordinatesWindow>(sys_.manual.Coordinates.View, console_.get());
  environment_ = std::make_unique<EnvironmentWindow>(sys_.environment.View);
  about_ = std::make_unique<AboutBox>(console_.get());
  diagnostics_ = std::make_unique<DiagnosticsWindow>(sys_.diagnostics.View);
  toolChanger_ = std::make_unique<ToolChangerWindow>(sys_.toolChanger.View);
  jumpbox_ = std::make_unique<JumpboxWindow>(sys_.jumpbox.View);
  materials_ = std::make_unique<MaterialsWindow>(sys_.materials.View);
  usb_ = std::make_unique<UsbWindow>(sys_.link.View());
  probe_ = std::make_unique<ProbeWindow>(sys_.probe.View);
  usb_->SetBeside(console_.get());
  script_ = std::make_unique<ScriptWindow>(sys_.script.View, console_.get());
  viewer_ = std::make_unique<ViewerWindow>(sys_.viewer, console_.get());
  WireViewer();  // before the console, whose Preview button needs the viewer's hook
  WireConsole();
  WireKeys();
  WireUsb();
  WireService();
  WireCoordinates();
  WireSettings();
  WireProbe();
  WireScript();
}

Gui::~Gui() = default;

void Gui::Start() {
  if (auto size = ReadConsoleSize(sys_.home)) console_->SetClientSize(*size);
  console_->show();
  // The stop button holds the focus at start, so a stray Space or Enter can only stop.
  console_->Form().Estopbut->setFocus();
  sys_.Start();
}

void Gui::AutoConnectTo(int port) {
  std::string& flags = sys_.environment.Env.CheckBoxFlags;
  if (flags.size() < 6) flags.resize(6, 'N');
  flags[5] = 'Y';
  sys_.environment.Env.LastUsbPort = port;
}

void Gui::WireConsole() {
  ViewBinding& b = console_->Binding();
  wendlar::Console& con = sys_.console;
  ManualControl& m = sys_.manual;
  TCoordinates& dlg = m.Coordinates;
  using K = ControlEventKind;

  RunControl& run = sys_.run;

  // Menu: File.
  b.OnClick("OpenSpoolerfile1", [&run] { run.OpenSpoolFile(); });
  b.OnClick("OpenGcodefile1", [&run] { run.OpenGcodeFile(); });
  b.OnClick("QuorlexMode1", [&run] { run.QuorlexModeClick(); });
  b.OnClick("GcodeMode1", [&run] { run.GcodeModeClick(); });
  b.OnClick("Exit1", [this] { console_->close(); });
  // Menu: Functions.
  b.OnClick("Limitswitchdisable1", [this] { sys_.initialisation.LimitSwitchDisableClick(); });
  b.OnClick("MovetoXYposition1", [&dlg] { dlg.MoveToXY(); });
  b.OnClick("MovetoZposition1", [&dlg] { dlg.MoveToZ(); });
  b.OnClick("MoveXYorZ1", [&dlg] { dlg.MoveXYorZ(); });
  b.OnClick("HomeXnonzero1", [&m] { m.Home.HomeXNonZero(); });
  b.OnClick("HomeYnonzero1", [&m] { m.Home.HomeYNonZero(); });
  b.OnClick("HomeZnonzero1", [&m] { m.Home.HomeZNonZero(); });
  b.OnClick("HomeWaxis1", [&m] { m.Home.HomeWaxisClick(); });
  b.OnClick("Run1", [&run] { run.RunJob(); });
  // Menu: Setup and Help.
  b.OnClick("StayonTop1", [&con] { con.StayOnTopClick(); });
  b.OnClick("USBmenu1", [this, &con] {
    con.LeaveTop();
    sys_.connection.Show();
  });
  b.OnClick("About1", [this, &con] {
    con.LeaveTop();
    about_->exec();
  });
  // Menu: Diag (hidden until the diagnostics window shows it).
  DiagMenu& diag = sys_.diag;
  b.OnClick("ResetOVT1", [&diag] { diag.ResetClick(); });
  b.OnClick("InitiallizePic1", [&diag] { diag.ResetClick(); });
  b.OnClick("Clearbuffer1", [&diag] { diag.ClearBufferClick(); });
  b.OnClick("SpindleStart1", [&diag] { diag.SpindleStartClick(); });
  b.OnClick("SpindleOff1", [&diag] { diag.SpindleOffClick(); });
  b.OnClick("SetSpindle11", [&diag] { diag.SetSpindleClick(0); });
  b.OnClick("SetSpindle21", [&diag] { diag.SetSpindleClick(1); });
  b.OnClick("On1", [&diag] { diag.Aux1Click(true); });
  b.OnClick("Off1", [&diag] { diag.Aux1Click(false); });
  b.OnClick("BuildTable1", [&diag] { diag.BuildTableClick(); });
  b.OnClick("JumpTable1", [&diag] { (void)diag.LoadTableClick(); });
  b.OnClick("SendAccellparams1", [&diag] { diag.SendAccelParamsClick(); });

  // Run control. The stop acts on the press, not on the release.
  b.On("Run_button", K::kMouseUp, [&run](const ControlEvent& e) { run.Run_buttonMouseUp(e.button == 0); });
  b.On("Pausebut", K::kMouseDown, [&run](const ControlEvent&) { run.PausebutMouseDown(); });
  b.On("Pausebut", K::kMouseUp, [&run](const ControlEvent&) { run.PausebutMouseUp(); });
  b.On("Estopbut", K::kMouseDown, [&run](const ControlEvent&) { run.EmergencyStop(); });
  b.OnClick("Continue", [&run] { run.ContinueJob(); });
  // Preview opens the toolpath viewer; without a viewer hooked in it stays inert (disabled)
  // rather than a click that does nothing.
  if (run.Hooks.ShowPreview) {
    b.On("Preview", K::kMouseDown, [&run](const ControlEvent&) { run.PreviewMouseDown(); });
    b.OnClick("Preview", [&run] { run.PreviewClick(); });
  }

  // State labels.
  b.OnClick("Running", [this] { sys_.initialisation.RunningClick(); });
  b.OnClick("ServoF_Lab", [this] { sys_.status.ServoF_LabClick(); });
  b.OnClick("Progress", [this] { sys_.status.ProgressClick(); });
  b.OnClick("Progcnt_lab", [this] { sys_.status.Progcnt_labClick(); });

  // Positions and the axis panels open the set-position dialog.
  for (const char* name : {"XPOS", "ypos", "X_pan", "Y_pan"}) b.OnClick(name, [&dlg] { dlg.SetNewXY(); });
  for (const char* name : {"ZPOS", "Z_pan"}) b.OnClick(name, [&dlg] { dlg.SetNewZ(); });
  for (const char* name : {"WPOS", "W_pan1"}) b.OnClick(name, [&dlg] { dlg.SetNewW(); });
  b.OnClick("User_mach", [&con] { con.UserMachClick(); });

  // Manual moves.
  b.OnClick("Move_2_XY", [&dlg] { dlg.MoveToXY(); });
  b.OnClick("Set_New_XY", [&dlg] { dlg.SetNewXY(); });
  b.OnClick("Zero_Z2_Work", [&dlg] { dlg.SetNewZ(); });
  b.OnClick("Run_Border", [&m] { (void)m.Border.Run_BorderClick(); });
  b.On("Z_zero", K::kMouseDown, [&m](const ControlEvent&) { m.Home.Z_zeroMouseDown(); });
  b.On("Z_zero", K::kMouseUp, [&m](const ControlEvent& e) { m.Home.Z_zeroMouseUp(ToMouseButton(e)); });
  b.On("Z_2top", K::kMouseDown, [&m](const ControlEvent&) { m.Home.Z_2topMouseDown(); });
  b.On("Z_2top", K::kMouseUp, [&m](const ControlEvent& e) { m.Home.Z_2topMouseUp(ToMouseButton(e)); });

  // Jog buttons: a press that ends without a release must still stop the jog.
  const std::pair<const char*, JogButton> jogs[] = {
      {"X_Pos", JogButton::XPos}, {"X_Neg", JogButton::XNeg}, {"Y_Pos", JogButton::YPos}, {"Y_neg", JogButton::YNeg},
      {"Z_Pos", JogButton::ZPos}, {"Z_Neg", JogButton::ZNeg}, {"W_Pos", JogButton::WPos}, {"W_Neg", JogButton::WNeg}};
  for (const auto& [name, button] : jogs) {
    const JogButton jb = button;
    b.On(name, K::kMouseDown, [&m, jb](const ControlEvent& e) {
      if (e.button == 0) m.Jog.JogButtonDown(jb);
    });
    b.On(name, K::kMouseUp, [&m, jb](const ControlEvent& e) {
      if (e.button == 0) m.Jog.JogButtonUp(jb);
    });
    b.On(name, K::kPressLost, [&m](const ControlEvent&) { m.Jog.JogButtonLost(); });
  }
  b.OnClick("JogSpdbut", [&m] { m.Jog.JogSpdbutClick(); });
  console_->SetOnDeactivate([&m] { m.Jog.FocusLost(); });

  // Router panel, laser box and speed controls.
  b.OnClick("HomeXYbut", [&m] { m.Home.HomeXYbutClick(); });
  b.OnClick("HomeZbut", [&m] { m.Home.HomeZbutClick(); });
  b.OnClick("Spindlebut", [&m] { m.Out.SpindlebutClick(); });
  b.OnClick("Spindletwo", [&m] { m.Out.SpindletwoClick(); });
  b.OnClick("Aux1_but", [&m] { m.Out.Aux1_butClick(); });
  b.OnClick("Aux2_but", [&m] { m.Out.Aux2_butClick(); });
  b.OnClick("Lasbut", [&m] { m.Out.LasbutClick(); });
  b.OnClick("Button1", [&m] { m.Out.Button1Click(); });
  b.OnClick("Button3", [&m] { m.Out.Button3Click(); });
  b.On("pwm_on", K::kChange, [&m, &con](const ControlEvent&) { m.Out.pwm_onChange(con.View.pwm_on.Position()); });
  b.On("Feedspin", K::kSpinUp, [&m](const ControlEvent&) { m.Speeds.FeedspinClick(true); });
  b.On("Feedspin", K::kSpinDown, [&m](const ControlEvent&) { m.Speeds.FeedspinClick(false); });
  b.On("FRO_spin", K::kSpinUp, [&m](const ControlEvent&) { m.Speeds.FRO_spinClick(true); });
  b.On("FRO_spin", K::kSpinDown, [&m](const ControlEvent&) { m.Speeds.FRO_spinClick(false); });
  b.On("rpmspin", K::kSpinUp, [&m](const ControlEvent&) { m.Speeds.rpmspinClick(true); });
  b.On("rpmspin", K::kSpinDown, [&m](const ControlEvent&) { m.Speeds.rpmspinClick(false); });
  b.OnClick("fv50", [&m] { m.Speeds.fv50Click(); });
  b.OnClick("fv100", [&m] { m.Speeds.fv100Click(); });
  b.OnClick("Feedl", [&m] { m.Speeds.FeedlClick(); });
  b.OnClick("Feedlab", [&m] { m.Speeds.FeedlClick(); });
  b.OnClick("Rpmlab", [&m] { m.Speeds.RpmlabClick(); });
  b.OnClick("Material", [&m] { m.Speeds.MaterialClick(); });

  console_->SetOnClose([this] {
    const QSize size = console_->ClientSize();
    // Losing the size is no reason to keep the program from closing; it is said on
    // standard error, the one place left to read it.
    std::string why;
    if (!sys_.home.WriteLinesAtomic(kWindowFile, {"[Console size]", std::to_string(size.width()),
                                                  std::to_string(size.height())},
                                    &why)) {
      sys_.ReportWriteError("Cannot save " + sys_.home.Resolve(kWindowFile).string() + ": " + why);
    }
    sys_.run.CloseConsole(sys_.link.Connected);
    // The connection window and the dialogs go with the console.
    QApplication::quit();
  });
}

void Gui::WireKeys() {
  ManualControl& m = sys_.manual;
  console_->Keys().SetHandler([&m](const KeyStroke& k) {
    const KeyEvent e = ToKeyEvent(k);
    if (k.press) return m.Jog.KeyDown(e);
    m.Jog.KeyUp(e);
    return false;
  });
}

void Gui::WireUsb() {
  ViewBinding& b = usb_->Binding();
  Connection& c = sys_.connection;
  b.OnClick("Connect_USB", [&c] { c.Connect_USBClick(); });
  b.OnClick("Refresh1", [&c] { c.Refresh1Click(); });
  b.OnClick("Stop_usb", [&c] { c.Stop_usbClick(); });
  b.OnClick("Loop_test", [&c] { c.Loop_testClick(); });
  b.OnClick("Save_params", [&c] { c.Save_paramsClick(); });
  b.OnClick("D100uS", [&c] { c.DelayClick(1); });
  b.OnClick("D50uS", [&c] { c.DelayClick(2); });
  b.OnClick("D25uS", [&c] { c.DelayClick(4); });
  b.OnClick("D10uS", [&c] { c.DelayClick(10); });
  b.OnClick("Start_USB", [&c] { c.Start_USBClick(); });
  b.OnClick("stop_timer", [&c] { c.stop_timerClick(); });
  b.OnClick("Coords", [&c] { c.CoordsClick(); });
  b.OnClick("Status", [&c] { c.StatusClick(); });
  b.OnClick("CHECK", [&c] { c.CHECKClick(); });
  b.OnClick("Test", [&c] { c.TestClick(); });
  b.OnClick("Send12", [&c] { c.Send12Click(); });
  b.OnClick("Response_lab", [&c] { c.Response_labClick(); });
  b.OnClick("Maxi", [&c] { c.MaxiClick(); });
  const char* radios[] = {"selectcom_A", "selectcom_B", "selectcom_C", "selectcom_D"};
  for (int i = 0; i < 4; ++i) b.OnClick(radios[i], [&c, i] { c.SelectPortClick(i); });
}

void Gui::WireCoordinates() {
  ViewBinding& b = coordinates_->Binding();
  TCoordinates& dlg = sys_.manual.Coordinates;
  b.OnClick("Go_move", [&dlg] { dlg.Go_moveClick(); });
  b.OnClick("Cancel_move", [&dlg] { dlg.Cancel_moveClick(); });
  b.OnClick("x_ck", [&dlg] { dlg.x_ckClick(); });
  b.OnClick("y_ck", [&dlg] { dlg.y_ckClick(); });
  coordinates_->SetOnClose([&dlg] { dlg.Close(); });
}

}  // namespace wendlar::ui
