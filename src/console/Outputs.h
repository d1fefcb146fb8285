// The machine's outputs: spindles and torch, auxiliary outputs, laser, dwell and spindle speed.
#pragma once

#include <cstdint>

#include "console/ManualContext.h"

namespace wendlar {

// Laser power at full scale, in the controller's units.
inline constexpr int kLaserFullScale = 2250;
// Longest dwell the controller is asked for, in seconds.
inline constexpr double kMaxDwellSeconds = 10.0;

class Outputs {
 public:
  explicit Outputs(ManualContext& ctx) : ctx_(ctx) {}

  // The record operations. They queue whether or not connected (the link drops records
  // while not connected); SetLaserPower sends only while connected.

  // Selects output 0 (spindle 1) or 1 (spindle 2, torch) and switches it on.
  void SpindleOn(uint8_t output);
  // Switches every spindle off and readies the spindle-1 button to switch on again.
  void SpindleOff();
  void SetAux1(bool on);
  void SetAux2(bool on);
  void SetLaser(bool on);
  // Power 0..255 (clamped) scaled to the laser's full scale.
  void SetLaserPower(int power);
  // A pause in the program, clamped to 0..10 s, in hundredths.
  void Dwell(double seconds);
  // The console's spindle speed: only while Use_rpm is checked; updates Rpmlab.
  void SendSpindleSpeed(int rpm);
  // A job's spindle speed: no Use_rpm test, no label.
  void SetJobSpindleSpeed(int rpm);

  // The 6-bit PWM code of an rpm within the configured range, bit-reversed into bits 7..2
  // for the 100-step (8-bit) controller.
  uint8_t PwmCode(int rpm) const;

  // --- Console buttons ---
  void SpindlebutClick();
  void SpindletwoClick();
  void Aux1_butClick();
  void Aux2_butClick();
  // Shows or hides the laser box.
  void LasbutClick();
  void Button1Click();  // laser "ON"
  void Button3Click();  // laser "OFF"
  // The pwm_on spin edit changed to `power`.
  void pwm_onChange(int power);

  // Full scale last stored with a power change; 0 before any.
  int LaserScale = 0;

 private:
  static uint8_t Advance(uint8_t& state);
  // Clamps rpm into the spindle range, queues the speed record with `code`; false (nothing
  // sent) when the range is empty.
  bool SendSpeedRecord(uint8_t code, int& rpm);

  ManualContext& ctx_;
};

}  // namespace wendlar
