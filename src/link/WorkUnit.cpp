#include "link/WorkUnit.h"

#include <cmath>

namespace wendlar {

namespace {
// Read and written through volatiles so the compiler can neither fold the work into
// constants nor drop it as unused.
volatile double workOffset = 4.321;
volatile double workSink = 0.0;
}  // namespace

void CalibrationWorkUnit(EventLoop& loop) {
  // On virtual time only the charge counts; the arithmetic would just slow the run down.
  if (loop.IsVirtual()) {
    loop.Charge(kWorkUnitCostUs);
    return;
  }
  constexpr double kDivisor = 43.23 * 2.3456;
  double c = 0.0;
  for (int rep = 0; rep < 20; ++rep) {
    const double offset = workOffset;
    for (int i = 1; i <= 10; ++i) {
      const double s = std::sin(i + offset) / kDivisor + i;
      c = std::cos(i + offset) / kDivisor + s;
    }
    workSink = c;
  }
  loop.Charge(kWorkUnitCostUs);
}

}  // namespace wendlar
