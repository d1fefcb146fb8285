// Faults named in words, at once or after a delay: how `wendlar-cli sim` takes them from its
// command line and its standard input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimController.h"

namespace wendlar::sim {

// One fault line, e.g. "fault door", "fault silence 5", "clear stop-button".
struct SimFaultCommand {
  bool clear = false;  // "clear KIND" ends a held fault (door, stop-button, servo, dead)
  std::string kind;    // door, overtravel, stop-button, servo, checksum, reset, silence, garble, e1, dead
  std::string axis;    // overtravel only: x, y, z or w (the report does not say which)
  int count = 1;       // silence: seconds; garble and e1: replies
};

// Reads "fault KIND [ARG]" or "clear KIND"; the leading "fault" may be left out. False with
// the reason in `error` when the line is not one of them.
[[nodiscard]] bool ParseSimFault(std::string_view line, SimFaultCommand& command, std::string& error);

// The faults still to come and the ones that end by themselves (a silence).
class SimFaultSchedule {
 public:
  explicit SimFaultSchedule(SimController& sim) : sim_(sim) {}

  // "KIND[ ARG]@SECONDS" (a colon may stand for the space, as in "silence:5@2"): the fault
  // falls due that long after `nowUs`. False with the reason when it is not one.
  [[nodiscard]] bool AddTimed(std::string_view timedFault, int64_t nowUs, std::string& error);
  // A fault line applied at once; false with the reason when it is not one.
  [[nodiscard]] bool ApplyLine(std::string_view line, int64_t nowUs, std::string& error);
  // Applies everything that has fallen due by `nowUs`; returns what it applied, in words.
  std::vector<std::string> Run(int64_t nowUs);

 private:
  struct Due {
    int64_t atUs;
    SimFaultCommand command;
  };
  void Apply(const SimFaultCommand& command, int64_t nowUs);

  SimController& sim_;
  std::vector<Due> due_;
};

}  // namespace wendlar::sim
