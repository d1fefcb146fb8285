// The spooler engine's record step: what each spooler record does to the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/MachineConfig.h"
#include "core/RunFlags.h"
#include "job/GcodeState.h"
#include "job/JobMachine.h"
#include "job/SpoolFile.h"

namespace wendlar {

// What a spooler record needs beyond the readers' machine: the W axis as a second Z head,
// the knife, the spooler's own speed indexes and the rpm label.
class SpoolOps {
 public:
  virtual ~SpoolOps() = default;
  // W-axis move to absolute steps; `wait` makes the controller finish it first.
  virtual void MoveW(int32_t wSteps, int speedIndex, bool wait) = 0;
  // Homes the knife's W axis.
  virtual void HomeW() = 0;
  // Turns the knife to the direction (dx, dy).
  virtual void SendKnifeAngle(int32_t dx, int32_t dy) = 0;
  // The contour feed's speed index and the plunge speed index of the last flush.
  virtual int FeedSpeedIndex() const = 0;
  virtual int PlungeSpeedIndex() const = 0;
  // The console's Rpmlab after a job's spindle speed.
  virtual void ShowRpm(int rpm) = 0;
  virtual bool KnifeMode() const = 0;
  // The fourth axis is enabled and set up as a second Z head.
  virtual bool SecondHeadMachine() const = 0;
};

// The spooler engine's registers; lengths in file units (0.001 in or 0.01 mm).
struct SpoolEngineState {
  bool SecondHead = false;
  int32_t HeadOffX = 0, HeadOffY = 0;
  int32_t FixtureOffX = 0, FixtureOffY = 0;
  int SpoolXYFeed = 21, SpoolZFeed = 22;
  bool LaserSegments = false;
  int32_t LaserPower = 20;  // power value of the last laser feed; laser arcs carry it
  double WorkTopZ = 0;  // user units, from the file's header
};

// What the records did, for the checker.
struct SpoolStats {
  int64_t Rapids = 0, Feeds = 0, Arcs = 0, Drills = 0;
};

// The first approach of a peck cycle stops this far above the work top (user units).
inline constexpr double kPeckClearance = 0.05;

class SpoolStepper {
 public:
  SpoolStepper(JobMachine& machine, SpoolOps& ops, const ConfigState& config, RunFlags& flags,
               SpoolEngineState& state);

  // Carries out one record; unknown kinds are read and ignored. A record whose targets
  // leave the controller's step range is refused: nothing of it runs.
  void Execute(const SpoolRecord& record);

  // The number refusals name: the record's place after the header.
  void SetRecordNumber(int record) { recordNumber_ = record; }
  // From now on refusals are collected here instead of stopping the run (the pre-flight).
  void CollectRefusals(std::vector<JobRefusal>* list) { refusals_ = list; }

  // Step values of a record's X and Y with the head and fixture offsets.
  int32_t StepX(int64_t a) const;
  int32_t StepY(int64_t b) const;

  const SpoolStats& Stats() const { return stats_; }

 private:
  // A Z move of the current head (W on the second head); also the buffer's last Z.
  void ZMove(int32_t steps, int speedIndex, bool wait);
  void Peck(const SpoolRecord& r);
  void Arc(const SpoolRecord& r);
  void AuxHead(const SpoolRecord& r, bool first);
  void SetHeadOffsets(double x, double y);
  int32_t ZSteps(double v) const;
  // True when every step value of the record fits the controller's 24-bit range.
  bool InRange(const SpoolRecord& r) const;
  void Refuse(const std::string& text);

  JobMachine& m_;
  SpoolOps& ops_;
  const ConfigState& config_;
  RunFlags& flags_;
  SpoolEngineState& s_;
  SpoolStats stats_;
  int recordNumber_ = 0;
  std::vector<JobRefusal>* refusals_ = nullptr;
};

}  // namespace wendlar
