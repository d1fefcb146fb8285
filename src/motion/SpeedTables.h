// Speed tables: step rates and velocities of every speed index, feed look-ups, corner limits.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/MachineConfig.h"
#include "core/HomeDir.h"
#include "motion/MotionPorts.h"

namespace wendlar {

inline constexpr const char* kSpeedTableFile = "Speed_table.txt";

// The tables are 1-based: entry 1 is the slowest speed, entry SpeedSteps() the fastest.
class SpeedTables {
 public:
  static constexpr int kMaxSteps = 250;
  static constexpr int kCornerEntries = 100;

  // Builds the corner table; the speed tables stay empty until BuildSpeedTable runs.
  SpeedTables(ConfigState& config, const HomeDir& home, const FeedSource& feeds);

  std::array<uint16_t, kMaxSteps + 1> RateTable{};  // steps per second
  std::array<uint16_t, kMaxSteps + 1> VelTableX{};  // user units per minute on X
  std::array<uint16_t, kMaxSteps + 1> VelTableZ{};  // user units per minute on Z
  // Ramp step count up to each index, filled by the table read-back from the controller.
  std::array<uint16_t, kMaxSteps + 1> ControllerTable{};
  // Highest speed index allowed at a corner of severity 1..100.
  std::array<uint8_t, kCornerEntries + 1> CornerTable{};
  int MaxSpeedValue = 0;  // X velocity of the fastest index

  // Receives the configuration dialog's `Max_Velocity` caption whenever the table is built.
  std::function<void(const std::string&)> ShowMaxVelocity;
  // Told when "Speed_table.txt" cannot be written, with the file and the reason.
  std::function<void(const std::string&)> ReportWriteError;

  // Fills the rate and velocity tables for n speed steps (100, or 250 for the 32-bit
  // controller), sets MaxSpeedValue and writes "Speed_table.txt". False when the file
  // could not be written; the tables are built either way.
  [[nodiscard]] bool BuildSpeedTable(int n);
  // Entries in the current tables: the n of the last build, 100 before any.
  int SpeedSteps() const { return speedSteps_; }

  // The slowest index at least as fast as v on X, v capped at `Z_raise_vel`.
  int SpeedIndexOf(int v) const;
  // The slowest index at least as fast as v on X, uncapped (rapids, jogs, overrides).
  int VelocityIndexOf(int v) const;
  // The contour speed index: the operator's feed box when in use, else the job's feed.
  int FeedSpeedIndex() const;
  // The plunge speed index of the spooler engine; feedIdx is the one of the last flush.
  int PlungeSpeedIndex(int feedIdx) const;
  // Fills CornerTable; done once by the constructor.
  void BuildCornerTable();

  // v limited to 1..SpeedSteps(), so no index outside the table reaches the controller.
  int ClampIndex(int v) const;

 private:
  int Search(const std::array<uint16_t, kMaxSteps + 1>& table, int v) const;

  ConfigState& config_;
  const HomeDir& home_;
  const FeedSource& feeds_;
  int speedSteps_ = 100;
};

}  // namespace wendlar
