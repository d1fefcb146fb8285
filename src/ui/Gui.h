// The desktop program's windows over one System: creates them in the documented order and
// connects every control that has logic behind it.
#pragma once

#include <memory>

#include "system/System.h"
#include "ui/AboutBox.h"
#include "ui/ConsoleWindow.h"
#include "ui/CoordinatesWindow.h"
#include "ui/UsbWindow.h"

namespace wendlar::ui {

class QtPrompts;

class Gui {
 public:
  // Creates the windows (console first) and wires them; nothing is shown yet.
  Gui(System& system, QtPrompts& prompts);
  ~Gui();
  Gui(const Gui&) = delete;
  Gui& operator=(const Gui&) = delete;

  // Shows the console, then lets the system start: environment file, Clock, the console's
  // show and with it the connection window, whose clock then auto-connects.
  void Start();

  ConsoleWindow& Console() { return *console_; }
  CoordinatesWindow& Coordinates() { return *coordinates_; }
  AboutBox& About() { return *about_; }
  UsbWindow& Usb() { return *usb_; }

 private:
  void WireConsole();
  void WireKeys();
  void WireUsb();
  void WireCoordinates();

  System& sys_;
  std::unique_ptr<ConsoleWindow> console_;
  std::unique_ptr<CoordinatesWindow> coordinates_;
  std::unique_ptr<AboutBox> about_;
  std::unique_ptr<UsbWindow> usb_;
};

}  // namespace wendlar::ui
