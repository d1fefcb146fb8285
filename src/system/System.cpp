#include "system/System.h"

#include <ostream>

namespace wendlar {

System::System(EventLoop& loopRef, SerialPort& portsRef, Prompts& promptsRef, HomeDir homeDir, std::ostream& outRef)
    : loop(loopRef),
      ports(portsRef),
      prompts(promptsRef),
      home(std::move(homeDir)),
      out(outRef),
      link(loop, ports, flags),
      console(loop, config, flags),
      sender(link, console.State, console.View, flags) {
  link.SetConsole(this);
  link.SetPoller(this);
  console.Create();
}

System::~System() {
  flags.Closing = true;
  link.SetConsole(nullptr);
  link.SetPoller(nullptr);
}

void System::OnLinkTick(bool) { ++console.State.PollCount; }

void System::ControllerOffline() {
  console.View.Running.SetCaption("Controller OfflIne");
  console.SetConsoleIdle(false);
}

void System::SetBufferGaugeColor(Color color) { console.View.Gauge1.SetBackColor(color); }

void System::ShowProgress(const std::string& text) { console.View.Progress.SetCaption(text); }

void System::ShowMessage(const std::string& text) { console.View.Com_list.AddItem(text); }

void System::RefreshDialog() {}

}  // namespace wendlar
