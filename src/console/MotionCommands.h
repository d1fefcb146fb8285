// The controller's motion records as the console and the job engines send them: moves,
// positions, jogs and homing, with their counters and waits.
#pragma once

#include <cstdint>

#include "console/ManualContext.h"

namespace wendlar {

// Axis codes of SetAxisPosition and MoveAxis.
inline constexpr uint8_t kAxisX = 1, kAxisY = 2, kAxisZ = 3, kAxisW = 4;
// MoveAxis names Z by its bit (4), not by SetAxisPosition's 3.
inline constexpr uint8_t kMoveAxisZ = 4;

class MotionCommands {
 public:
  explicit MotionCommands(ManualContext& ctx) : ctx_(ctx) {}

  // Every operation below is skipped while not connected; true when the record was handed on.

  // Rapid XY move to absolute steps: waits for buffer room, then queued.
  bool RapidXY(int64_t xSteps, int64_t ySteps);
  // Z move to absolute steps: waits for buffer room and for earlier queued records, then
  // sent at once. `flag` asks the controller to finish the move before the next record.
  bool MoveZ(int64_t zSteps, uint8_t speed, bool flag);
  // W move to absolute steps, queued.
  bool MoveW(int64_t wSteps, uint8_t speed, bool flag);
  // One-axis move (axis 1 X, 2 Y, 4 Z), queued.
  bool MoveAxis(int64_t valueSteps, uint8_t axis, uint8_t speed);
  // Sets the controller's position of an axis (1 X, 2 Y, 3 Z, 4 W) without moving.
  bool SetAxisPosition(uint8_t axis, int64_t valueSteps);
  bool JogStart(uint8_t direction, uint8_t speed);
  bool JogStep(uint8_t direction, uint8_t speed);
  // Stops any jog and puts the velocity read-out back to X scale.
  void JogStop();
  bool HomeXY();
  // Both heads' X and Y at once (the Hm_XNYP machines).
  bool HomeXYDual();
  bool HomeZ();
  // The W homing of the menu entry.
  bool HomeWMenu();
  // The W homing of the macros and the knife, with the rotary scale's clearance.
  bool HomeWMacro();

  // Rapid to (x, y) in file units plus the caller's head and fixture offsets; the step
  // target becomes the segment buffer's last X and Y.
  bool RapidToXY(double x, double y, double offsetX, double offsetY);
  // Z in file units at the Z_1st_drop speed, finishing before the next record; the step
  // target becomes the segment buffer's last Z.
  bool RapidToZ(double z);

  // Clearances in steps, as the homing records carry them.
  uint16_t XYClearance() const;
  uint16_t ZClearance() const;

 private:
  bool Connected() const { return ctx_.sender.Connected(); }
  void Counted();
  // Waits until every queued record has left, so a record sent at once keeps its place.
  bool WaitQueueEmpty();

  ManualContext& ctx_;
};

// The low byte of a configured value, as several records carry it.
inline uint8_t LowByte(int v) { return static_cast<uint8_t>(v & 0xFF); }

}  // namespace wendlar
