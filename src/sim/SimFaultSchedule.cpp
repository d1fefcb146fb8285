#include "sim/SimFaultSchedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace wendlar::sim {

namespace {

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> words;
  for (std::string w; in >> w;) {
    std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) { return std::tolower(c); });
    words.push_back(w);
  }
  return words;
}

bool ReadCount(const std::string& text, int most, int& count) {
  int n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > most) return false;
  count = n;
  return true;
}

std::string Describe(const SimFaultCommand& c) {
  std::string text = (c.clear ? "clear " : "fault ") + c.kind;
  if (!c.axis.empty()) text += " " + c.axis;
  if (c.kind == "silence" || c.kind == "garble" || c.kind == "e1") text += " " + std::to_string(c.count);
  return text;
}

}  // namespace

bool ParseSimFault(std::string_view line, SimFaultCommand& command, std::string& error) {
  auto words = Words(line);
  SimFaultCommand c;
  if (!words.empty() && (words[0] == "fault" || words[0] == "clear")) {
    c.clear = words[0] == "clear";
    words.erase(words.begin());
  }
  if (words.empty()) {
    error = "no fault named";
    return false;
  }
  c.kind = words[0];
  const std::vector<std::string> args(words.begin() + 1, words.end());
  static const char* kHeld[] = {"door", "stop-button", "servo", "dead"};
  static const char* kOnce[] = {"overtravel", "checksum", "reset", "silence", "garble", "e1"};
  const bool held = std::find(std::begin(kHeld), std::end(kHeld), c.kind) != std::end(kHeld);
  const bool once = std::find(std::begin(kOnce), std::end(kOnce), c.kind) != std::end(kOnce);
  if (!held && !once) {
    error = "unknown fault \"" + c.kind +
            "\" (door, overtravel, stop-button, servo, checksum, reset, silence, garble, e1, dead)";
    return false;
  }
  if (c.clear && !held) {
    error = "\"" + c.kind + "\" ends by itself; only door, stop-button, servo and dead are cleared";
    return false;
  }
  bool argsOk = args.empty();
  if (c.kind == "overtravel" && args.size() <= 1) {
    argsOk = args.empty() || args[0] == "x" || args[0] == "y" || args[0] == "z" || args[0] == "w";
    if (!args.empty()) c.axis = args[0];
  } else if ((c.kind == "silence" || c.kind == "garble" || c.kind == "e1") && args.size() <= 1) {
    // A silence longer than an hour is a dead line; say so instead.
    argsOk = args.empty() || ReadCount(args[0], c.kind == "silence" ? 3600 : 1000000, c.count);
  }
  if (!argsOk) {
    error = "\"" + std::string(line) + "\": " +
            (c.kind == "overtravel"       ? std::string("the axis is x, y, z or w")
             : c.kind == "silence"        ? std::string("the seconds are a whole number from 1 to 3600")
             : c.kind == "garble" || c.kind == "e1" ? std::string("the count is a whole number from 1")
                                          : "\"" + c.kind + "\" takes nothing more");
    return false;
  }
  command = c;
  return true;
}

bool SimFaultSchedule::AddTimed(std::string_view timedFault, int64_t nowUs, std::string& error) {
  const size_t at = timedFault.rfind('@');
  if (at == std::string_view::npos) {
    error = "\"" + std::string(timedFault) + "\": give the fault and its time as KIND@SECONDS";
    return false;
  }
  std::string what(timedFault.substr(0, at));
  std::replace(what.begin(), what.end(), ':', ' ');
  const std::string when(timedFault.substr(at + 1));
  char* end = nullptr;
  const double seconds = std::strtod(when.c_str(), &end);
  if (when.empty() || end != when.c_str() + when.size() || !std::isfinite(seconds) || seconds < 0 ||
      seconds > 86400) {
    error = "\"" + std::string(timedFault) + "\": the time is seconds from 0 to 86400";
    return false;
  }
  SimFaultCommand command;
  if (!ParseSimFault(what, command, error)) return false;
  due_.push_back({nowUs + static_cast<int64_t>(std::llround(seconds * 1e6)), command});
  return true;
}

bool SimFaultSchedule::ApplyLine(std::string_view line, int64_t nowUs, std::string& error) {
  SimFaultCommand command;
  if (!ParseSimFault(line, command, error)) return false;
  Apply(command, nowUs);
  return true;
}

std::vector<std::string> SimFaultSchedule::Run(int64_t nowUs) {
  std::vector<std::string> applied;
  // Applying may add an end (a silence), so take the due ones out first.
  std::vector<Due> now;
  auto split = std::stable_partition(due_.begin(), due_.end(), [&](const Due& d) { return d.atUs > nowUs; });
  now.assign(split, due_.end());
  due_.erase(split, due_.end());
  std::stable_sort(now.begin(), now.end(), [](const Due& a, const Due& b) { return a.atUs < b.atUs; });
  for (const auto& d : now) {
    Apply(d.command, nowUs);
    applied.push_back(Describe(d.command));
  }
  return applied;
}

void SimFaultSchedule::Apply(const SimFaultCommand& c, int64_t nowUs) {
  const std::string& k = c.kind;
  if (k == "door") {
    c.clear ? sim_.CloseDoor() : sim_.OpenDoor();
  } else if (k == "stop-button") {
    c.clear ? sim_.ReleaseStopButton() : sim_.PressStopButton();
  } else if (k == "servo") {
    sim_.SetServoFault(!c.clear);
  } else if (k == "dead") {
    sim_.SetDeadLine(!c.clear);
  } else if (k == "overtravel") {
    sim_.TripOvertravel();
  } else if (k == "checksum") {
    sim_.InjectDataChecksumError();
  } else if (k == "reset") {
    sim_.HardwareReset();
  } else if (k == "garble") {
    sim_.GarbleReplies(c.count);
  } else if (k == "e1") {
    sim_.AnswerOffline(c.count);
  } else if (k == "silence") {
    sim_.SetDeadLine(true);
    SimFaultCommand end;
    end.clear = true;
    end.kind = "dead";
    due_.push_back({nowUs + int64_t{c.count} * 1000000, end});
  }
}

}  // namespace wendlar::sim
