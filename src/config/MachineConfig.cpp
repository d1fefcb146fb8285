#include "config/MachineConfig.h"

namespace wendlar {

void SetInchUnits(UnitState& units) {
  units.UnitsFactor = 1000.0;
  units.UnitsDecimals = 3;
  units.UnitsMark = "\"";
  units.SpeedUnits = " ipm";
}

void SetMetricUnits(UnitState& units) {
  units.UnitsFactor = 100.0;
  units.UnitsDecimals = 2;
  units.UnitsMark = "";
  units.SpeedUnits = " mm/m";
}

}  // namespace wendlar
