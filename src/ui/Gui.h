// The desktop program's windows over one System: creates them in the documented order and
// connects every control that has logic behind it.
#pragma once

#include <memory>

#include "system/System.h"
#include "ui/AboutBox.h"
#include "ui/ConsoleWindow.h"
#include "ui/CoordinatesWindow.h"
#include "ui/EnvironmentWindow.h"
#include "ui/JumpboxWindow.h"
#include "ui/MaterialsWindow.h"
#include "ui/ProbeWindow.h"
#include "ui/ScriptWindow.h"
#include "ui/ServiceWindows.h"
#include "ui/SetupWindow.h"
#include "ui/UsbWindow.h"
#include "ui/ViewerWindow.h"

namespace wendlar::ui {

class Gui {
 public:
  // Creates the windows (console first) and wires them; nothing is shown yet.
  explicit Gui(System& system);
  ~Gui();
  Gui(const Gui&) = delete;
  Gui& operator=(const Gui&) = delete;

  // Shows the console, then lets the system start: environment file, Clock, the console's
  // show and with it the connection window, whose clock then auto-connects.
  void Start();
  // Makes `port` the remembered port with "use last port" ticked, so the start-up
  // auto-connect takes it (the simulated controller's port); call right after Start().
  void AutoConnectTo(int port);

  ConsoleWindow& Console() { return *console_; }
  CoordinatesWindow& Coordinates() { return *coordinates_; }
  AboutBox& About() { return *about_; }
  UsbWindow& Usb() { return *usb_; }
  SetupWindow& Setup() { return *setup_; }
  EnvironmentWindow& Environment() { return *environment_; }
  JumpboxWindow& Jumpbox() { return *jumpbox_; }
  MaterialsWindow& Materials() { return *materials_; }
  ProbeWindow& Probe() { return *probe_; }
  ScriptWindow& Script() { return *script_; }
  ViewerWindow& Viewer() { return *viewer_; }
  DiagnosticsWindow& Diagnostics() { return *diagnostics_; }
  ToolChangerWindow& ToolChanger() { return *toolChanger_; }

 private:
  void WireConsole();
  void WireKeys();
  void WireUsb();
  void WireCoordinates();
  // The settings windows and the console entries that open them (GuiSettings.cpp).
  void WireSettings();
  // The digitiser window, touch-off and corner finder entries (GuiProbe.cpp).
  void WireProbe();
  // The macro script window and the console entry that opens it (GuiScript.cpp).
  void WireScript();
  // The toolpath viewer behind the console's Preview button (GuiViewer.cpp).
  void WireViewer();
  // The tool changer and diagnostics windows, the console entries that open them and the
  // Diag menu's timer entries (GuiService.cpp).
  void WireService();

  System& sys_;
  std::unique_ptr<ConsoleWindow> console_;
  std::unique_ptr<CoordinatesWindow> coordinates_;
  std::unique_ptr<AboutBox> about_;
  std::unique_ptr<UsbWindow> usb_;
  std::unique_ptr<SetupWindow> setup_;
  std::unique_ptr<EnvironmentWindow> environment_;
  std::unique_ptr<JumpboxWindow> jumpbox_;
  std::unique_ptr<MaterialsWindow> materials_;
  std::unique_ptr<ProbeWindow> probe_;
  std::unique_ptr<ScriptWindow> script_;
  std::unique_ptr<ViewerWindow> viewer_;
  std::unique_ptr<DiagnosticsWindow> diagnostics_;
  std::unique_ptr<ToolChangerWindow> toolChanger_;
};

}  // namespace wendlar::ui
