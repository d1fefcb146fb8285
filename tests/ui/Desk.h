// The whole program on the offscreen desk without a controller: the system over in-process
// serial ports, its windows built and the console shown.
#pragma once

#include <QCoreApplication>

#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"

namespace wendlar::ui {

struct Desk {
  Desk() {
    gui.Console().show();
    Settle();
  }
  // Lets the queued work of a click or a show run.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  bool ConsoleOnTop() const { return sys.console.View.Form.Checked(); }

  testing::TempDir home;
  QtEventLoop loop;
  InProcessSerialPort ports{loop};
  testing::ScriptedPrompts prompts;
  std::ostringstream out;
  System sys{loop, ports, prompts, HomeDir(home.Path()), out};
  Gui gui{sys};
};

}  // namespace wendlar::ui
