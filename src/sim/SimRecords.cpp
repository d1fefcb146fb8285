// Command records of the simulated controller: the ring buffer, immediate records and
// what each buffered record sets going when its turn comes.
#include <algorithm>

#include "sim/SimController.h"
#include "sim/SimRecordTable.h"

namespace wendlar::sim {
namespace {

int64_t Signed24(uint8_t lo, uint8_t mid, uint8_t hi) {
  int64_t v = lo | (mid << 8) | (hi << 16);
  return (hi & 0x80) ? v - (1 << 24) : v;
}

int Word(uint8_t lo, uint8_t hi) { return lo | (hi << 8); }

// Every 25th entry of the 32-bit family's table reads as the marker word.
bool IsMarkerEntry(int entry) { return entry % 25 == 0; }

}  // namespace

bool SimController::AcceptRecord(const Record& r) {
  readJustLatched_ = false;
  switch (HandlingOf(r[0])) {
    case Handling::kImmediate:
      ActImmediately(r);
      return true;
    case Handling::kBuffered:
      return EnterRing(r);
    case Handling::kIgnored:
      return true;
  }
  return true;
}

bool SimController::EnterRing(const Record& r) {
  if (abandoned_) {
    tail_ = head_;
    abandoned_ = false;
  }
  const int size = BufferSize();
  const int next = (head_ + 1) % size;
  if (next == tail_) {
    ++overruns_;
    return false;
  }
  ring_[static_cast<size_t>(head_)] = r;
  head_ = next;
  starving_ = false;
  // Anything that can start now starts at the time it arrived.
  while (SettleInstant()) {
  }
  return true;
}

int SimController::BufferFill() {
  Update();
  return head_ >= tail_ ? head_ - tail_ : BufferSize() - (tail_ - head_);
}

void SimController::ActImmediately(const Record& r) {
  switch (r[0]) {
    case kReset:
      ResetRecord();
      break;
    case kStartBuffer:
      if (abandoned_) {
        tail_ = head_;
        abandoned_ = false;
      }
      running_ = true;
      stoppedByOperator_ = false;
      jobStartUs_ = simUs_;
      jobFed_ = false;
      starving_ = false;
      break;
    case kClearProgramCounter:
      executedCount_ = 0;
      break;
    case kJogStop:
      CancelJogs();
      break;
    case kMiscSettings:
      speeds_.Configure(r[1], r[3] == 1);
      gotAccel_ = true;
      break;
    case kClearBuffer:
      tail_ = head_;
      abandoned_ = false;
      break;
    case kBuildTable:
      speeds_.BuildTable();
      gotTable_ = true;
      break;
    case kFourthAxis:
      fourthAxis_ = r[1];
      break;
    case kSelectVariable:
      selectedVariable_ = r[1];
      break;
    case kToolChangerSpi: {
      // b2 5 keeps the byte clocked back for the memory report.
      const bool stopped = SpindleStopped();
      const uint8_t answer = changer_.Transfer(r[1], stopped);
      if (r[2] == 5) {
        toolChangerAnswer_ = answer;
        memoryReply_ = {1, answer, r[1], changer_.Outputs(), changer_.InputPort(stopped)};
      }
      break;
    }
    case kToolChangerSelect:
      changer_.Select(r[1] != 0);
      break;
    case kToolChangerMode:
      changer_.SetMode(r[1]);
      break;
    case kSetHeadTail:
      head_ = Word(r[1], r[2]) % BufferSize();
      tail_ = Word(r[3], r[4]) % BufferSize();
      readPointer_ = tail_;
      abandoned_ = false;
      break;
    case kReadTail: {
      const Record& m = ring_[static_cast<size_t>(readPointer_)];
      std::copy(m.begin(), m.end(), window_.begin());
      readPointer_ = (readPointer_ + 1) % BufferSize();
      readJustLatched_ = true;
      break;
    }
    case kStop:
      stoppedByOperator_ = true;
      paused_ = false;
      StopEverything();
      break;
    case kStopRelease:
      stoppedByOperator_ = false;
      break;
    case kOptionFlags:
      optionFlags_ = r[1];
      break;
    case kSpindleSpeed:
      spindleRpm_ = Word(r[2], r[3]);
      break;
    case kOverrides:
      overrideByte_ = r[1];
      feedOverride_ = (r[1] & 0x80) ? -(r[1] & 0x7F) : (r[1] & 0x7F);
      rapidIndex_ = r[2];
      contourMax_ = r[4];
      break;
    case kPause:
      paused_ = r[1] || r[2] || r[3] || r[4];
      break;
    case kReadMemory:
      ReadMemory(r);
      break;
    default:  // 68, 95, 131, 136: settings this model has no use for
      break;
  }
}

void SimController::ReadMemory(const Record& r) {
  uint16_t word = 0;
  if (WideFamily()) {
    // Five words, entries k-1..k+3, wait for the next variable read.
    const int k = r[1];
    const auto entry = [&](int e) -> uint16_t {
      if (!speeds_.TableBuilt()) return 0;
      return IsMarkerEntry(e) ? kMarkerWord : speeds_.TableWord(e);
    };
    for (int i = 0; i < 5; ++i) {
      const uint16_t w = entry(k - 1 + i);
      window_[2 * i] = static_cast<uint8_t>(w);
      window_[2 * i + 1] = static_cast<uint8_t>(w >> 8);
    }
    window_[10] = window_[11] = 0;
    readJustLatched_ = true;
    word = entry(k - 1);
  } else if (r[1] == 13 && (r[2] == 4 || r[2] == 5)) {
    // Selector 4 asks for the low byte and 5 for the high one; both come in bytes 3 and 4.
    word = speeds_.TableWord(r[3]);
  }
  memoryReply_ = {1, toolChangerAnswer_, 0, static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)};
}

void SimController::ResetRecord() {
  StopEverything();
  tail_ = head_;
  abandoned_ = false;
  paused_ = false;
  stopButtonLatched_ = stopButtonDown_;
  overtravelLatched_ = false;
  stoppedByOperator_ = false;
  dataChecksumError_ = false;
  memoryChecksumError_ = false;
  executedCount_ = 0;
}

void SimController::StopEverything() {
  if (!activity_.empty() && stepStarted_ && activity_.front().kind != Step::Kind::kDwell &&
      activity_.front().kind != Step::Kind::kAction) {
    move_.StopHere();
    physical_ = move_.to;
  }
  activity_.clear();
  stepStarted_ = false;
  faultAtMoveEnd_ = false;
  carryIndex_ = 0;
  if (running_) EndJob();
  abandoned_ = head_ != tail_;
}

void SimController::SpindlesOff() {
  if (spindleOn_[0] || spindleOn_[1]) spindleOffUs_ = simUs_;
  spindleOn_[0] = spindleOn_[1] = false;
}

bool SimController::SpindleStopped() {
  Update();
  return !spindleOn_[0] && !spindleOn_[1] && simUs_ - spindleOffUs_ >= options_.spindleCoastUs;
}

void SimController::Fault(bool overtravel) {
  (overtravel ? overtravelLatched_ : stopButtonLatched_) = true;
  StopEverything();
  // A tripped switch or the stop button cuts the outputs in the controller itself.
  SpindlesOff();
  aux_[0] = aux_[1] = false;
  laserOn_ = false;
}

void SimController::StartBuffered(const Record& r) {
  ++executedCount_;
  ++totalExecuted_;
  if (running_) jobFed_ = true;
  switch (r[0]) {
    case kJogStep:
      StartJog(r[1], r[2], true);
      break;
    case kJogStart:
      StartJog(r[1], r[2], false);
      break;
    case kHomeZ:
    case kHomeZToPosition:
      StartHoming(1 << kZ, r[3], Word(r[4], r[5]));
      break;
    case kHomeXY:
      StartHoming((1 << kX) | (1 << kY), r[3], Word(r[4], r[5]));
      break;
    case kHomeW:
      StartHoming(1 << kW, r[3], Word(r[4], r[5]));
      break;
    case kHomeXYToPosition: {
      const uint8_t mask = r[2] == 3 ? (1 << kX) : r[2] == 4 ? (1 << kY) : ((1 << kX) | (1 << kY));
      StartHoming(mask, r[3], Word(r[4], r[5]));
      break;
    }
    case kSetPosition:
      if (r[1] >= 1 && r[1] <= 4) {
        const int a = r[1] - 1;
        offset_[a] = Signed24(r[2], r[3], r[4]) - physical_[a];
      }
      break;
    case kSelectSpindle:
      selectedSpindle_ = r[1] ? 1 : 0;
      break;
    case kSpindleOn:
      spindleOn_[selectedSpindle_] = true;
      break;
    case kSpindleOff:
      SpindlesOff();
      break;
    case kSpindleSpeedFromJob:
      spindleRpm_ = Word(r[2], r[3]);
      break;
    case kAux1:
    case kAux2:
      aux_[r[0] == kAux1 ? 0 : 1] = r[2] != 0;
      break;
    case kDwell:
      PushDwell(static_cast<int64_t>(Word(r[1], r[2])) * 10000);
      break;
    case kMoveXY: {
      const int64_t x = Signed24(r[1], r[2], r[3]) - offset_[kX];
      const int64_t y = Signed24(r[4], r[5], r[6]) - offset_[kY];
      const int cruise = rapidIndex_ > 0 ? std::min<int>(r[7], rapidIndex_) : r[7];
      PushMove([x, y](const Steps4& p) { return Steps4{x, y, p[kZ], p[kW]}; }, std::max<int>(r[8], 1),
               cruise, 1, false);
      break;
    }
    case kMoveZ:
    case kMoveW: {
      const int a = r[0] == kMoveZ ? kZ : kW;
      const int64_t v = Signed24(r[1], r[2], r[3]) - offset_[a];
      PushMove([a, v](const Steps4& p) { Steps4 t = p; t[a] = v; return t; }, std::max<int>(r[5], 1), r[4],
               1, false);
      break;
    }
    case kMoveAxis: {
      const int a = r[6] == 1 ? kX : r[6] == 2 ? kY : r[6] == 4 ? kZ : -1;
      if (a < 0) break;
      const int64_t v = Signed24(r[1], r[2], r[3]) - offset_[a];
      PushMove([a, v](const Steps4& p) { Steps4 t = p; t[a] = v; return t; }, std::max<int>(r[5], 1), r[4],
               1, false);
      break;
    }
    case kSegment:
    case kSegmentW: {
      const uint8_t dir = r[9];
      lastDirection_ = dir;
      const int64_t dx = (dir & 0x08) ? Word(r[1], r[2]) : -Word(r[1], r[2]);
      const int64_t dy = (dir & 0x04) ? Word(r[3], r[4]) : -Word(r[3], r[4]);
      const int64_t third = (dir & 0x02) ? Word(r[5], r[6]) : -Word(r[5], r[6]);
      // Segment 23 carries the laser value in its fourth channel, not a distance.
      const int64_t dz = r[0] == kSegment ? third : 0;
      if (r[0] == kSegmentW) laserValue_ = static_cast<int>(third);
      int cruise = std::max<int>(r[10], r[8]);
      if (contourMax_ > 0) cruise = std::min(cruise, contourMax_);
      PushMove([dx, dy, dz](const Steps4& p) { return Steps4{p[kX] + dx, p[kY] + dy, p[kZ] + dz, p[kW]}; }, 0,
               cruise, r[8], true);
      break;
    }
    case kLaser:
      laserOn_ = r[1] != 0;
      break;
    case kSetPwm:
      pwm_ = Word(r[1], r[2]);
      break;
    case kProbeMove:
      StartProbe(r);
      break;
    case kTouchPad:
      StartTouchPad(r);
      break;
    case kEdgeProbe:
      StartEdgeProbe(r);
      break;
    case kEndOfJob:
      if (running_) EndJob();
      break;
    default:  // 54 and the RAM test pattern: nothing to do but take their turn
      break;
  }
}

}  // namespace wendlar::sim
