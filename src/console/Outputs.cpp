#include "console/Outputs.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

void Outputs::SpindleOn(uint8_t output) {
  const StopMark stop(ctx_.flags);
  ctx_.sender.Queue(commands::SelectSpindle(output));
  // The controller takes the selection before the switch; the wait gives the link time to
  // send it and ends at once when the link is not polling.
  (void)ctx_.sender.WaitPolls(2);
  // A stop pressed during the wait leaves the spindle off.
  if (stop.Stopped()) return;
  ctx_.sender.Queue(commands::SpindleOn());
  ctx_.State().SentCount += 2;
  ctx_.State().SpindleRunning = true;
}

void Outputs::SpindleOff() {
  ctx_.sender.Queue(commands::SpindleOff());
  ctx_.View().Spindlebut.SetCaption(ctx_.Plasma() ? "Plasma Off" : "Spindle Off");
  ctx_.State().Spindle1State = 2;
  ctx_.State().SpindleRunning = false;
}

void Outputs::SetAux1(bool on) {
  ctx_.sender.Queue(commands::Aux1(on));
  ++ctx_.State().SentCount;
}

void Outputs::SetAux2(bool on) {
  ctx_.sender.Queue(commands::Aux2(on));
  ++ctx_.State().SentCount;
}

void Outputs::SetLaser(bool on) {
  ctx_.sender.Queue(commands::Laser(on));
  ++ctx_.State().SentCount;
  ctx_.WriteDebug(" laser");
}

void Outputs::SetLaserPower(int power) {
  power = std::clamp(power, 0, 255);
  LaserScale = kLaserFullScale;
  const auto value = static_cast<uint16_t>(Nearest(power * static_cast<double>(kLaserFullScale) / 255.0));
  ctx_.sender.Send(commands::SetPwm(value));
}

void Outputs::Dwell(double seconds) {
  // A negative or absurd time must not wrap into a long dwell.
  if (!(seconds > 0.0)) seconds = 0.0;
  seconds = std::min(seconds, kMaxDwellSeconds);
  const auto ticks = static_cast<uint16_t>(Nearest(seconds * 100.0));
  ctx_.sender.Queue(commands::Dwell(ticks));
  ++ctx_.State().SentCount;
  ctx_.WriteDebug(std::to_string(ctx_.buffer.BufHead()) + " Dwell " + std::to_string(ticks));
}

uint8_t Outputs::PwmCode(int rpm) const {
  const MachineConfig& m = ctx_.config.Config;
  if (m.Spind_hi <= m.Spind_low) return 0;
  double fraction = static_cast<double>(rpm - m.Spind_low) / (m.Spind_hi - m.Spind_low);
  fraction = std::clamp(fraction, 0.0, 1.0);
  const auto p = static_cast<uint8_t>(Nearest(63.0 * fraction));
  if (ctx_.tables.SpeedSteps() != 100) return p;
  // The 8-bit controller reads the code from bit 7 down.
  uint8_t reversed = 0;
  for (int bit = 0; bit < 6; ++bit) {
    if (p & (1 << bit)) reversed |= static_cast<uint8_t>(0x80 >> bit);
  }
  return reversed;
}

bool Outputs::SendSpeedRecord(uint8_t code, int& rpm) {
  const MachineConfig& m = ctx_.config.Config;
  if (m.Spind_low >= m.Spind_hi) return false;
  rpm = std::clamp(rpm, static_cast<int>(m.Spind_low), static_cast<int>(m.Spind_hi));
  const auto word = static_cast<uint16_t>(rpm);
  ctx_.sender.Queue(code == commands::kSpindleSpeed ? commands::SpindleSpeed(PwmCode(rpm), word)
                                                    : commands::SpindleSpeedFromJob(PwmCode(rpm), word));
  ++ctx_.State().SentCount;
  return true;
}

void Outputs::SendSpindleSpeed(int rpm) {
  if (!ctx_.View().Use_rpm.Checked()) return;
  SendSpeedRecord(commands::kSpindleSpeed, rpm);
  ctx_.State().SpindleRpm = rpm;
  ctx_.View().Rpmlab.SetCaption("Rpm " + std::to_string(rpm));
}

void Outputs::SetJobSpindleSpeed(int rpm) {
  if (SendSpeedRecord(commands::kSpindleSpeedFromJob, rpm)) {
    ctx_.WriteDebug(std::to_string(ctx_.buffer.BufHead()) + "Setrpm" + std::to_string(rpm));
  }
  ctx_.State().SpindleRpm = rpm;
}

uint8_t Outputs::Advance(uint8_t& state) {
  ++state;
  if (state > 2) state = 1;
  return state;
}

void Outputs::SpindlebutClick() {
  ConsoleView& v = ctx_.View();
  const bool plasma = ctx_.Plasma();
  if (Advance(ctx_.State().Spindle1State) == 1) {
    v.Spindlebut.SetCaption(plasma ? "Plasma On" : "Spindle1 On");
    SpindleOn(plasma ? 1 : 0);
  } else {
    v.Spindlebut.SetCaption(plasma ? "Plasma Off" : "Spindle1 Off");
    SpindleOff();
  }
}

void Outputs::SpindletwoClick() {
  if (Advance(ctx_.State().Spindle2State) == 1) {
    ctx_.View().Spindletwo.SetCaption("Spindle2 On");
    SpindleOn(1);
  } else {
    ctx_.View().Spindletwo.SetCaption("Spindle2 Off");
    SpindleOff();
  }
}

void Outputs::Aux1_butClick() {
  const bool on = Advance(ctx_.State().Aux1State) == 1;
  ctx_.View().Aux1_but.SetCaption(on ? "1 On" : "1 Off");
  SetAux1(on);
}

void Outputs::Aux2_butClick() {
  const bool on = Advance(ctx_.State().Aux2State) == 1;
  ctx_.View().Aux2_but.SetCaption(on ? "2 On" : "2 Off");
  SetAux2(on);
}

void Outputs::LasbutClick() {
  ConsoleView& v = ctx_.View();
  const bool shown = !v.Laser_Box.Visible();
  v.Laser_Box.SetVisible(shown);
  v.Lasbut.SetRaised(!shown);
}

void Outputs::Button1Click() { SetLaser(true); }
void Outputs::Button3Click() { SetLaser(false); }

void Outputs::pwm_onChange(int power) {
  ctx_.View().pwm_on.SetPosition(std::clamp(power, 0, 255));
  SetLaserPower(power);
}

}  // namespace wendlar
