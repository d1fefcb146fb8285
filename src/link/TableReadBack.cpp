#include "link/TableReadBack.h"

#include <algorithm>
#include <vector>

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {
constexpr int kSlowEntries = 100;
constexpr int kFastEntries = 255;
constexpr int kFastLastStart = 251;
constexpr int kWordsPerRead = 5;
constexpr int kMaxRetries = 5;
constexpr uint8_t kTableSelector = 13;
constexpr uint8_t kLowByteSelector = 4;
constexpr uint8_t kHighByteSelector = 5;
constexpr int kDelaysAround = 3;
constexpr int kLastMarkerIndex = 255;
}  // namespace

void RepairMarkers(std::array<uint16_t, kControllerTableEntries>& e) {
  if (e[0] != kTableMarker) return;
  e[0] = 0;
  for (size_t i = 5; i <= kLastMarkerIndex; i += 5) {
    if (e[i] != kTableMarker) continue;
    const double below = e[i - 1], above = e[i + 1];
    e[i] = static_cast<uint16_t>(std::clamp<int64_t>(Nearest(below + (above - below) / 2.0), 0, UINT16_MAX));
  }
}

TableReadBack::TableReadBack(Link& link, Polling& polling, ControllerReport& report, const HomeDir& home,
                             TableReadEvents& events)
    : link_(link), polling_(polling), report_(report), home_(home), events_(events) {}

bool TableReadBack::Stopped() const { return link_.Flags().StopWaiting() || !link_.Connected; }

bool TableReadBack::ReadControllerTable() {
  if (!link_.Connected) return false;
  const bool ok = report_.FirmwareVersion < kFirmwareWide ? SlowRead() : FastRead();
  RepairMarkers(Words);
  CopyToTarget();
  return ok;
}

void TableReadBack::CopyToTarget() {
  const size_t n = std::min(target_.size(), Words.size());
  std::copy_n(Words.begin(), n, target_.begin());
}

bool TableReadBack::SlowRead() {
  events_.SetTableProgressColor(kBlack);
  ErrorCount = 0;
  Timer& timer = link_.UsbTimer();
  timer.SetEnabled(false);
  polling_.PollingEnabled = false;
  std::fill_n(Words.begin(), kSlowEntries, uint16_t{0});

  bool cutShort = false;
  uint16_t previous = 0;
  for (int n = 1; n <= kSlowEntries && !cutShort; ++n) {
    RetryCount = 0;
    uint16_t value = 0;
    for (;;) {
      const auto index = static_cast<uint8_t>(n);
      const bool lowRead = link_.ReadControllerWord(kTableSelector, kLowByteSelector, index);
      const uint8_t low = link_.MemoryReply[3];
      const bool highRead = link_.ReadControllerWord(kTableSelector, kHighByteSelector, index);
      const uint8_t high = link_.MemoryReply[4];
      value = static_cast<uint16_t>(low + 256 * high);
      link_.Loop().PumpMessages();
      if (Stopped()) {
        cutShort = true;
        break;
      }
      // A word that did not arrive is no value at all; it is retried like a wrong one.
      const bool accepted = lowRead && highRead && value > previous;
      if (!accepted) {
        ++ErrorCount;
        ++RetryCount;
      }
      events_.ShowTableProgress("Loading Table #" + std::to_string(n) + " (" + std::to_string(ErrorCount) + ")");
      if (accepted || RetryCount > kMaxRetries) break;
    }
    if (cutShort) break;
    Words[static_cast<size_t>(n - 1)] = value;
    previous = value;
    events_.AddTableLine(std::to_string(n) + " " + std::to_string(value));
  }

  bool bad = cutShort;
  for (size_t i = 2; i < kSlowEntries && !bad; ++i) {
    if (Words[i] == 0 || Words[i] < Words[i - 1]) bad = true;
  }
  if (bad) {
    events_.SetTableProgressColor(kRed);
    events_.ShowTableProgress("Loading Table #100 (" + std::to_string(ErrorCount) + ")");
  } else {
    (void)SaveControllerTable();
  }
  polling_.PollingEnabled = true;
  if (link_.Connected) timer.SetEnabled(true);
  return !bad;
}

bool TableReadBack::FastRead() {
  std::fill_n(Words.begin(), kFastEntries - 5, uint16_t{0});
  bool ok = true;
  for (int k = 1; k <= kFastLastStart; k += kWordsPerRead) {
    if (Stopped()) {
      ok = false;
      break;
    }
    polling_.PollingEnabled = false;
    link_.QueueCommand(commands::ReadMemory(static_cast<uint8_t>(k), 0, 0));
    link_.Loop().PumpMessages();
    link_.IoReply.fill(0xFF);
    for (int i = 0; i < kDelaysAround; ++i) link_.PacketDelay();
    if (!link_.ReadVariables(0)) ok = false;
    for (int w = 0; w < kWordsPerRead; ++w) {
      const size_t at = static_cast<size_t>(k - 1 + w);
      Words[at] = static_cast<uint16_t>(link_.IoReply[2 * w] | (link_.IoReply[2 * w + 1] << 8));
    }
    events_.ShowTableProgress("Loading Table #" + std::to_string(k + 5) + " (0)");
    polling_.PollingEnabled = true;
    for (int i = 0; i < kDelaysAround; ++i) link_.PacketDelay();
  }
  polling_.PollingEnabled = true;
  return ok && !Stopped();
}

bool TableReadBack::SaveControllerTable() {
  std::vector<std::string> lines;
  lines.reserve(kSlowEntries + 2);
  for (size_t i = 0; i < kSlowEntries; ++i) lines.push_back(std::to_string(Words[i]));
  lines.push_back(std::to_string(Words[kSlowEntries - 1]));
  lines.push_back(std::to_string(Words[kSlowEntries - 1]));
  std::string why;
  if (!home_.WriteLinesAtomic(kControllerTableFile, lines, &why)) {
    events_.ShowTableProgress("Error creating d_table file: " + why);
    return false;
  }
  return true;
}

}  // namespace wendlar
