// The simulated motion controller: the controller's side of the serial line, on a clock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/EventLoop.h"
#include "core/SerialDevice.h"
#include "sim/SimMotion.h"
#include "sim/SimToolChanger.h"
#include "sim/SimTraceRing.h"
#include "sim/SimTypes.h"

namespace wendlar::sim {

enum class TorchVoltage { kGood, kHigh, kLow };

// Answers every line synchronously when the host writes it and moves the machine lazily up
// to the clock's "now" whenever it is written to or asked. Never throws, never blocks.
//
// The executed-command count (info report bytes 2-4) is the number of buffered records
// taken from the ring for execution since power-up, the last reset record 1 or the last
// clear-program-counter record 4; immediate records are not counted. The end-of-job
// record 80 counts like any other buffered record.
class SimController : public SerialDevice {
 public:
  // `clockUs` gives the current time in microseconds (virtual in tests, real on a pty).
  explicit SimController(std::function<int64_t()> clockUs, SimOptions options = {});
  // Takes its time from the loop, which must outlive it.
  explicit SimController(EventLoop& loop, SimOptions options = {});

  // Takes the host's bytes and appends the replies to every complete line.
  void Write(std::string_view bytes, std::string& reply) override;
  // The options' reply latency.
  int64_t ReplyLatencyUs() const override { return options_.replyLatencyUs; }

  // Moves the machine up to the clock's now; every query below does this first.
  void Update();

  const SimOptions& Options() const { return options_; }
  // The machine's travel in the steps the position report counts now: from home once the
  // axes are homed, from the power-up position before (Z and W down positive). No record
  // reports it: the host reads it here in place of a travel setting, so a real controller's
  // protocol stays as it is.
  Steps4 ReportedTravelMin() { return Reported(options_.world.travelMin); }
  Steps4 ReportedTravelMax() { return Reported(options_.world.travelMax); }
  bool WideFamily() const { return options_.firmware >= kWideFirmware; }

  // --- What the controller would report, decoded (tests compare these with the lines).
  Steps4 Position();          // as the position report gives it
  Steps4 MachinePosition();   // in the world's own coordinates
  // Z of whatever the probe meets at (x, y): stock top with its tilt and bump, the pad on
  // it, or the table beside it. World coordinates, down positive.
  int64_t SurfaceZ(int64_t x, int64_t y) const;
  uint8_t StateByte();        // buffer report byte 5
  uint8_t InputsByte();       // buffer report byte 4
  int Head() { Update(); return head_; }  // where the next record enters
  int Tail() { Update(); return tail_; }  // the next record to execute
  int BufferSize() const { return static_cast<int>(ring_.size()); }  // 4096 or 4000
  int BufferFill();           // records waiting, computed as the host computes it
  int CurrentSpeedIndex();    // 0 when nothing moves
  uint8_t OutputStates() const;  // bit 0 spindle 1, 1 spindle 2, 2 aux 1, 3 aux 2
  int MeasuredRpm() const;    // the set speed while a spindle runs, else 0
  int LaserValue() const { return laserValue_; }  // last fourth-channel value of record 23
  const SimSpeeds& Speeds() const { return speeds_; }

  // --- Observability.
  uint32_t ExecutedCount() { Update(); return executedCount_; }  // as the info report gives it
  uint64_t TotalExecuted() { Update(); return totalExecuted_; }  // never cleared but by a restart
  // Records written while the ring was full (the host's pacing failed); they are dropped.
  uint64_t Overruns() const { return overruns_; }
  // Times a running job found its buffer empty before its end record, and the time spent so.
  uint64_t Starvations() { Update(); return starvations_; }
  int64_t StarvedUs() { Update(); return starvedUs_; }
  // Simulated time from the start record 3 to the end record 80 (or to the job's end by a
  // stop or fault); while a job runs, the time so far.
  int64_t JobRunTimeUs();
  bool JobRunning() { Update(); return running_; }  // state bit 7
  // Every line received and reply sent, and every packet line with what became of it.
  const SimTraceRing<TraceLine>& TraceLines() const { return lines_; }
  const SimTraceRing<TraceRecord>& TraceRecords() const { return records_; }
  void ClearTrace();

  // --- Fault injection. Latched faults stay in the state byte until a reset record 1.
  // The stop button: inputs bit 7 while held, state bit 6 latched; the job ends.
  void PressStopButton();
  void ReleaseStopButton();
  // State bit 5; the job ends. Moves beyond the travel trip it too while limits are on.
  void TripOvertravel();
  // Inputs bit 1 while open; with the door interlock option, motion holds while open.
  void OpenDoor();
  void CloseDoor();
  // Inputs bit 2 clear while the servo drive reports a fault.
  void SetServoFault(bool fault);
  // Plasma use only: the torch-height controller's two voltage lines (inputs bits 1, 2).
  void SetTorchVoltage(TorchVoltage v);
  // As if a packet had failed its checksum (state bit 2) or the ring's memory had (bit 1).
  void InjectDataChecksumError();
  void InjectMemoryChecksumError();
  // Power failure and restart: ring emptied, table and settings forgotten, position
  // report back to 0 where the machine stands, "not initialised" until set up again.
  void HardwareReset();
  // The next n reply lines are lost on the way (the lines themselves still act).
  void DropReplies(int n);
  // The next reply arrives with one character corrupted (same length).
  void GarbleNextReply() { GarbleReplies(1); }
  // The next n replies arrive so.
  void GarbleReplies(int n);
  // The same for the next report line ("1." to "5."), leaving packet answers alone.
  void GarbleNextReport() { garbleReport_ = true; }
  // A dead line: nothing reaches the controller and nothing comes back.
  void SetDeadLine(bool dead);
  // The next n lines are answered "E1" (controller offline) instead of their reply.
  void AnswerOffline(int n);
  // The tool number the info report gives (a tool changer's business).
  void SetToolNumber(int tool) { toolNumber_ = tool; }

  // --- The tool changer on the SPI link (records 81, 83, 85).
  const SimToolChanger& ToolChanger() const { return changer_; }
  // Both spindles off and coasted down (SimOptions::spindleCoastUs).
  bool SpindleStopped();

 private:
  Steps4 Reported(const Steps4& world) {
    Update();
    Steps4 p{};
    for (int a = 0; a < kAxes; ++a) p[a] = world[a] + offset_[a];
    return p;
  }
  // One piece of what the executing record does: a move, a dwell, a jog or an instant action.
  struct Step {
    enum class Kind { kMove, kDwell, kJog, kAction } kind = Kind::kAction;
    std::function<Steps4(const Steps4&)> target;  // where a move or jog goes, from where it starts
    int startIndex = 1;
    int cruiseIndex = 1;
    int endIndex = 1;
    bool feed = false;  // a cutting move: follows the feed override, hands its speed on
    int64_t dwellUs = 0;
    std::function<void()> action;
  };
  using Record = std::array<uint8_t, 12>;  // code, b1..b10, checksum

  // Line handling (SimLine.cpp).
  void HandleLine(std::string_view line, std::string& reply);
  void HandlePacketLine(std::string_view line, std::string& reply);
  // Appends one reply line (with its line end) to `reply`, as the reply faults leave it.
  void SendReply(std::string_view text, std::string& reply);
  // A report line: its kind, '.', and up to 12 bytes in hex, built without the heap.
  struct ReportText {
    std::array<char, 2 + 2 * 12> chars{};
    size_t size = 0;
    std::string_view View() const { return {chars.data(), size}; }
  };
  template <size_t N>
  static ReportText ReportLine(char kind, const std::array<uint8_t, N>& bytes);
  ReportText InfoReport();
  ReportText BufferReport();
  ReportText PositionReport();
  ReportText VariableReport();
  ReportText MemoryReport() const;
  void Trace(bool fromHost, std::string_view text);

  // Records (SimRecords.cpp).
  bool AcceptRecord(const Record& r);
  void ActImmediately(const Record& r);
  bool EnterRing(const Record& r);
  void StartBuffered(const Record& r);
  void ReadMemory(const Record& r);
  void ResetRecord();
  void StopEverything();
  // Both spindles off; a spindle that was turning starts to coast down now.
  void SpindlesOff();

  // Execution in time (SimExecution.cpp).
  void AdvanceTo(int64_t nowUs);
  bool SettleInstant();
  int64_t RunFrontStep(int64_t budgetUs);
  void BeginMove(Step& step);
  void FinishFrontStep();
  bool Held() const;
  bool Blocked() const;
  void EndJob();
  // A start index below 1 takes over the speed the previous cutting move ended at.
  void PushMove(std::function<Steps4(const Steps4&)> target, int startIndex, int cruiseIndex,
                int endIndex, bool feed, bool jog = false);
  void PushAction(std::function<void()> action);
  void PushDwell(int64_t us);
  void StartHoming(uint8_t axisMask, int speed, int64_t clearance);
  void StartJog(uint8_t direction, int speed, bool single);
  void CancelJogs();
  void Fault(bool overtravel);
  void StartProbe(const Record& r);
  void StartTouchPad(const Record& r);
  void StartEdgeProbe(const Record& r);
  Steps4 Physical(const Steps4& reported) const;

  std::function<int64_t()> clock_;
  SimOptions options_;
  SimSpeeds speeds_;

  // Line assembly.
  std::string pending_;
  bool overlong_ = false;
  bool handshakeHigh_ = false;
  bool handshakeSeen_ = false;

  // Reply faults.
  int dropReplies_ = 0;
  int garbleReplies_ = 0;
  bool garbleReport_ = false;
  bool deadLine_ = false;
  int offlineReplies_ = 0;

  // Ring buffer: every record is one entry; the memory keeps what was written.
  std::vector<Record> ring_;
  int head_ = 0;
  int tail_ = 0;
  int readPointer_ = 0;      // where record 93 reads next
  bool abandoned_ = false;   // what is left in the ring after a stop never runs

  // Machine.
  Steps4 physical_{};
  Steps4 offset_{};           // reported = physical + offset
  std::deque<Step> activity_;
  bool stepStarted_ = false;
  SimMove move_;
  bool faultAtMoveEnd_ = false;
  int64_t dwellLeftUs_ = 0;
  int carryIndex_ = 0;        // speed a segment hands to the next one
  int64_t simUs_ = 0;

  // State.
  bool running_ = false;
  bool stopButtonLatched_ = false;
  bool overtravelLatched_ = false;
  bool stoppedByOperator_ = false;
  bool dataChecksumError_ = false;
  bool memoryChecksumError_ = false;
  bool gotAccel_ = false;
  bool gotTable_ = false;
  bool paused_ = false;

  // Inputs.
  bool stopButtonDown_ = false;
  bool doorOpen_ = false;
  bool servoFault_ = false;
  TorchVoltage torch_ = TorchVoltage::kGood;

  // Settings.
  uint8_t optionFlags_ = 0;
  uint8_t fourthAxis_ = 0;
  int feedOverride_ = 0;     // percent, -30..+10
  uint8_t overrideByte_ = 0;
  int rapidIndex_ = 0;       // cap on rapid moves, 0 none
  int contourMax_ = 0;       // cap on feed moves, 0 none
  uint8_t lastDirection_ = 0;
  uint8_t toolChangerAnswer_ = 0;

  // Outputs.
  int selectedSpindle_ = 0;
  bool spindleOn_[2] = {false, false};
  bool aux_[2] = {false, false};
  int spindleRpm_ = 0;
  int laserValue_ = 0;
  bool laserOn_ = false;
  int pwm_ = 0;
  int toolNumber_ = 0;
  int64_t spindleOffUs_ = INT64_MIN / 2;  // when the last turning spindle was switched off
  SimToolChanger changer_;

  // Reports.
  int selectedVariable_ = 0;
  bool readJustLatched_ = false;       // the last record was a memory read
  std::array<uint8_t, 12> window_{};   // variable set 0: the memory window
  std::array<uint8_t, 5> memoryReply_{};
  bool infoShowsOutputs_ = false;
  bool positionShowsW_ = false;

  // Counters.
  uint32_t executedCount_ = 0;
  uint64_t totalExecuted_ = 0;
  uint64_t overruns_ = 0;
  uint64_t starvations_ = 0;
  int64_t starvedUs_ = 0;
  bool starving_ = false;
  bool jobFed_ = false;
  int64_t jobStartUs_ = 0;
  int64_t lastJobRunUs_ = 0;

  SimTraceRing<TraceLine> lines_;
  SimTraceRing<TraceRecord> records_;
};

}  // namespace wendlar::sim
