#include "config/Environment.h"

#include <algorithm>

#include "config/EditText.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {

constexpr int kPairs = 16;
const char* const kLabels[kPairs] = {
    "[port#]",        "[Spooler Dir]", "[Gcode Dir]",  "[Screen Mode]", "[Machine config file]", "[Screen Feed]",
    "[Screen Rpm]",   "[CPU type]",    "[Top pos]",    "[Left pos]",    "[CHECK BOXS]",          "[Last USB port]",
    "[USB_Comp]",     "[blank]",       "[blank]",      "[blank]",
};

void Select(Control& chosen, std::initializer_list<Control*> others) {
  for (Control* c : others) c->SetChecked(false);
  chosen.SetChecked(true);
}

}  // namespace

int ClampFeedIndex(int index, int speedSteps) {
  const int top = speedSteps > 0 ? speedSteps : 100;
  return std::clamp(index, 1, top);
}

TEnvir_setupView::TEnvir_setupView() : ViewModel("TEnvir_setup") {
  Form.SetCaption("Environment Setup");
  Form.SetVisible(false);
  Port1.SetCaption("Port1 (888)");
  Port2.SetCaption("Port2 (956)");
  Port3.SetCaption("Port3 (632)");
  for (Control* c : {&Port1, &Port2, &Port3}) c->SetEnabled(false);
  USB_port.SetCaption("USB");
  USB_port.SetChecked(true);
  Spool_label.SetCaption("QuorLex Spooler files");
  Gcode_label.SetCaption("Gcode files");
  SpoolBrowse.SetCaption("Browse");
  GcodeBrowse.SetCaption("Browse");
  Quorlex_scr.SetCaption("QuorLex Layers");
  Quorlex_scr.SetChecked(true);
  Gcode_scr.SetCaption("Gcode Interpreter");
  CPU_Combo.SetItems({"Controller Rev 1", "Controller with interface V11", "Controller with interface V5-10",
                      "Controller Rev 2"});
  Router.SetCaption("Router");
  Router.SetChecked(true);
  Plasma.SetCaption("Plasma");
  Plasma.SetEnabled(false);
  CloseBtn.SetCaption("Close");
  SaveSetup.SetCaption("Save Setup");
}

TEnvir_setup::TEnvir_setup(ConfigState& config, const ConfigIo& io, Prompts& prompts, ConsoleSettings& console,
                           TSetupmenu& setup)
    : config_(config), io_(io), prompts_(prompts), console_(console), setup_(setup) {}

Control* TEnvir_setup::PortRadio(int digit) {
  switch (digit) {
    case 1: return &View.Port1;
    case 2: return &View.Port2;
    case 3: return &View.Port3;
    case 4: return &View.USB_port;
    default: return nullptr;
  }
}

std::string TEnvir_setup::PortDigit() const {
  if (View.Port1.Checked()) return "1";
  if (View.Port2.Checked()) return "2";
  if (View.Port3.Checked()) return "3";
  return "4";
}

bool TEnvir_setup::LoadEnvironment() {
  auto lines = ReadConfigLines(io_.Home, kEnvironmentFile);
  bool complete = true;
  std::string problem;  // the first one, with its line
  auto fault = [&](int pair, const std::string& what) {
    if (complete) problem = LoadErrorText(kEnvironmentFile, 2 * pair, what);
    complete = false;
  };
  if (lines) {
    // The value line of pair n (1-based), or nothing past the end of the file.
    auto value = [&](int pair) -> const std::string* {
      const size_t index = static_cast<size_t>(2 * pair - 1);
      if (index >= lines->size()) {
        fault(pair, "the file ends before it");
        return nullptr;
      }
      return &(*lines)[index];
    };
    auto number = [&](int pair) -> std::optional<int64_t> {
      const std::string* text = value(pair);
      if (text == nullptr) return std::nullopt;
      auto n = ReadLeadingInt(*text);
      if (!n) fault(pair, "\"" + *text + "\" is not a number");
      return n;
    };

    if (const std::string* port = value(1); port && !port->empty()) {
      const int digit = (*port)[0] - '0';
      if (PortRadio(digit) != nullptr) PortClick(digit);
    }
    if (const std::string* dir = value(2)) View.Spoolerfiles.SetCaption(*dir);
    if (const std::string* dir = value(3)) View.Gcodefiles.SetCaption(*dir);
    if (auto mode = number(4)) {
      if (*mode == 1) Quorlex_scrClick();
      if (*mode == 2) Gcode_scrClick();
    }
    if (const std::string* mac = value(5)) config_.MacFileName = *mac;
    if (auto feed = number(6)) {
      console_.SetFeedIndex(ClampFeedIndex(static_cast<uint8_t>(*feed), console_.SpeedSteps()));
    }
    if (auto rpm = number(7)) console_.SetSpindleRpm(static_cast<int32_t>(*rpm));
    if (auto cpu = number(8); cpu && *cpu >= 1 && *cpu <= 4) Env.CpuType = static_cast<int>(*cpu);
    if (auto top = number(9); top && *top != 0) console_.SetWindowTop(static_cast<int32_t>(*top));
    if (auto left = number(10); left && *left != 0) console_.SetWindowLeft(static_cast<int32_t>(*left));
    const std::string* flags = value(11);
    if (flags) Env.CheckBoxFlags = *flags;
    if (auto port = number(12)) Env.LastUsbPort = static_cast<int32_t>(*port);
    if (const std::string* text = value(13)) {
      auto divisor = ReadLeadingInt(*text);
      const bool valid = divisor && (*divisor == 1 || *divisor == 2 || *divisor == 4 || *divisor == 10);
      Env.UsbDelayDivisor = valid ? static_cast<int>(*divisor) : 2;
    }
    (void)value(16);  // the "[blank]" pairs are not used; a file that ends early is still short

    if (flags) {
      auto at = [&](size_t i) { return i < flags->size() ? (*flags)[i] : '\0'; };
      // Use_feed starts unchecked (a job's own F words rule until the operator says
      // otherwise), so a saved 'Y' must check it again.
      if (at(0) == 'Y') console_.SetUseFeed(true);
      if (at(0) == 'N') console_.SetUseFeed(false);
      if (at(1) == 'N') console_.SetUseRpm(false);
      if (at(2) == 'Y') RouterClick();
      if (at(3) == 'Y') PlasmaClick();
      Env.AutoScan = at(4) == 'Y';
      Env.UseLastPort = at(5) == 'Y';
    }
    if (!complete) {
      io_.Events.ShowProgress(std::string("DATA ERROR READING ") + kEnvironmentFile);
      io_.Events.ReportLoadError(problem);
    }
  } else {
    // First start: a job's F words rule; the feed index is chosen from the contour
    // velocity once the speed table exists (FeedIndex 0 means nobody chose one).
    console_.SetUseFeed(false);
  }

  (void)LoadMachineConfig(config_, config_.MacFileName, io_);
  console_.SetRpmCaption("Rpm " + std::to_string(console_.SpindleRpm()));
  const MachineConfig& c = config_.Config;
  console_.SetJogSpeed(console_.JogMode() == 1 ? c.Jogslowvel : c.Jogfastvel);
  setup_.ShowSpindleRangeLabels(Env.PlasmaMode == 1);
  return lines.has_value() && complete;
}

bool TEnvir_setup::SaveEnvironment(std::string* why) {
  std::string flags = "NNNNNNNNNN";
  const bool checked[] = {console_.UseFeed(), console_.UseRpm(), View.Router.Checked(), View.Plasma.Checked(),
                          Env.AutoScan,       Env.UseLastPort};
  for (size_t i = 0; i < std::size(checked); ++i) {
    if (checked[i]) flags[i] = 'Y';
  }
  Env.CheckBoxFlags = flags;
  View.Form.SetCaption(config_.MacFileName);

  const std::string& mac = config_.MacFileName;
  const size_t slash = mac.rfind('\\');
  const std::string values[kPairs] = {
      PortDigit(),
      OneLine(View.Spoolerfiles.Caption()),
      OneLine(View.Gcodefiles.Caption()),
      std::to_string(console_.JobMode()),
      OneLine(slash == std::string::npos ? mac : mac.substr(slash + 1)),
      std::to_string(console_.FeedIndex()),
      std::to_string(console_.SpindleRpm()),
      std::to_string(Env.CpuType),
      std::to_string(console_.WindowTop()),
      std::to_string(console_.WindowLeft()),
      flags,
      std::to_string(Env.LastUsbPort),
      std::to_string(Env.UsbDelayDivisor),
      "0",
      "0",
      "0",
  };
  std::vector<std::string> lines;
  for (int i = 0; i < kPairs; ++i) {
    lines.push_back(kLabels[i]);
    lines.push_back(values[i]);
  }
  std::string reason = CannotCreateReason(io_.Home, kEnvironmentFile);
  if (reason.empty() && io_.Home.WriteLinesAtomic(kEnvironmentFile, lines, &reason)) return true;
  if (why != nullptr) *why = reason;
  return false;
}

void TEnvir_setup::Show() {
  View.Form.SetVisible(true);
  const bool gcode = console_.JobMode() == 2;
  View.Gcode_scr.SetChecked(gcode);
  View.Quorlex_scr.SetChecked(!gcode);
  View.CPU_Combo.SetPosition(std::clamp(Env.CpuType, 1, 4) - 1);
}

void TEnvir_setup::CloseBtnClick() {
  View.Form.SetVisible(false);
  console_.RestoreTop();
}

void TEnvir_setup::SaveSetupClick() {
  std::string why;
  if (!SaveEnvironment(&why)) prompts_.Warning(std::string("Cannot save ") + kEnvironmentFile + ": " + why);
}

void TEnvir_setup::PortClick(int digit) {
  Control* radio = PortRadio(digit);
  if (radio == nullptr) return;
  Select(*radio, {&View.Port1, &View.Port2, &View.Port3, &View.USB_port});
  console_.SelectPort(digit);
}

void TEnvir_setup::Quorlex_scrClick() {
  Select(View.Quorlex_scr, {&View.Gcode_scr});
  console_.ChooseJobMode(1);
}

void TEnvir_setup::Gcode_scrClick() {
  Select(View.Gcode_scr, {&View.Quorlex_scr});
  console_.ChooseJobMode(2);
}

void TEnvir_setup::RouterClick() {
  Select(View.Router, {&View.Plasma});
  Env.RouterMode = 1;
  Env.PlasmaMode = 0;
}

void TEnvir_setup::PlasmaClick() {
  Select(View.Plasma, {&View.Router});
  Env.PlasmaMode = 1;
  Env.RouterMode = 0;
}

void TEnvir_setup::CPU_ComboChange(int position) {
  if (position < 0 || position > 3) return;
  View.CPU_Combo.SetPosition(position);
  Env.CpuType = position + 1;
}

void TEnvir_setup::SpoolBrowseClick() {
  if (auto dir = prompts_.BrowseDirectory("QuorLex Spooler files", View.Spoolerfiles.Caption())) {
    View.Spoolerfiles.SetCaption(*dir);
  }
}

void TEnvir_setup::GcodeBrowseClick() {
  if (auto dir = prompts_.BrowseDirectory("Gcode files", View.Gcodefiles.Caption())) {
    View.Gcodefiles.SetCaption(*dir);
  }
}

}  // namespace wendlar
