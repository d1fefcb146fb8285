// Reading the controller's speed (ramp-distance) table back, word by word or five at a time,
// repairing its marker words and keeping the 8-bit controller's copy in "d_table.txt".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "core/Colors.h"
#include "core/HomeDir.h"
#include "link/Link.h"
#include "link/Polling.h"

namespace wendlar {

// Where the read-back shows its progress: the console's Progress label and command list.
class TableReadEvents {
 public:
  virtual ~TableReadEvents() = default;
  virtual void ShowTableProgress(const std::string& text) = 0;
  virtual void SetTableProgressColor(Color color) = 0;
  // One "n value" line of the slow read.
  virtual void AddTableLine(const std::string& line) = 0;
};

inline constexpr uint16_t kTableMarker = 5653;
inline constexpr size_t kControllerTableEntries = 257;
inline constexpr const char* kControllerTableFile = "d_table.txt";

// Replaces marker words by the rounded mean of their neighbours when entry 0 holds the
// marker (the 32-bit controller's sign that it uses them); entry 0 becomes 0.
void RepairMarkers(std::array<uint16_t, kControllerTableEntries>& table);

class TableReadBack {
 public:
  TableReadBack(Link& link, Polling& polling, ControllerReport& report, const HomeDir& home,
                TableReadEvents& events);

  // The planner's copy the read-back fills (entries beyond its size are kept here only).
  void SetTarget(std::span<uint16_t> target) { target_ = target; }

  // Slow read below firmware 100, fast read from 100; then the marker repair and the copy to
  // the target. False when the read was cut short (a stop, a silent controller, not
  // connected) or the slow read's table failed its check.
  [[nodiscard]] bool ReadControllerTable();
  // Writes entries 0..99 and entry 99 twice more to "d_table.txt"; on failure shows
  // "Error creating d_table file".
  [[nodiscard]] bool SaveControllerTable();

  std::array<uint16_t, kControllerTableEntries> Words{};
  int ErrorCount = 0;
  int RetryCount = 0;

 private:
  bool SlowRead();
  bool FastRead();
  bool Stopped() const;
  void CopyToTarget();

  Link& link_;
  Polling& polling_;
  ControllerReport& report_;
  const HomeDir& home_;
  TableReadEvents& events_;
  std::span<uint16_t> target_;
};

}  // namespace wendlar
