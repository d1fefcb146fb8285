#include "console/Overrides.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "console/MotionCommands.h"
#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {
Color CheckedColor(bool checked) { return checked ? kBlack : kGray; }

// Whole numbers without decimals, anything else with the given decimals.
std::string EditText(double v, int decimals) {
  if (v == std::floor(v) && std::fabs(v) < 1e9) return std::to_string(static_cast<int64_t>(v));
  return FormatFixed(v, decimals);
}
}  // namespace

int Overrides::RapidSpeedIndex() const {
  if (ctx_.console.View.fv50.Checked()) return ctx_.tables.VelocityIndexOf(ctx_.console.State.FeedIndex);
  return ctx_.tables.VelocityIndexOf(ctx_.config.Config.R_vel_max);
}

void Overrides::SendOverrides() {
  const MachineConfig& m = ctx_.Config();
  ctx_.sender.SendNow(commands::Overrides(ctx_.State().FeedOverride, static_cast<uint8_t>(RapidSpeedIndex()),
                                          LowByte(m.Slow_safe), LowByte(m.CV_Max)));
}

void Overrides::ShowFeed() {
  const int index = std::clamp(ctx_.State().FeedIndex, 0, SpeedTables::kMaxSteps);
  ctx_.View().Feedlab.SetCaption(std::to_string(ctx_.tables.VelTableX[static_cast<size_t>(index)]) +
                                 ctx_.config.Units.SpeedUnits);
}

void Overrides::FeedspinClick(bool up) {
  int& index = ctx_.State().FeedIndex;
  if (up) {
    if (index < ctx_.tables.SpeedSteps()) {
      ++index;
      if (ctx_.tables.VelTableX[static_cast<size_t>(index)] > ctx_.Config().CV_Max) --index;
    }
  } else if (index > 1) {
    --index;
  }
  ShowFeed();
}

void Overrides::FRO_spinClick(bool up) {
  int& fro = ctx_.State().FeedOverride;
  if (up && fro < kFeedOverrideMax) ++fro;
  if (!up && fro > kFeedOverrideMin) --fro;
  ctx_.View().Fro_lab.SetCaption("Feed  " + std::to_string(fro));
  SendOverrides();
}

void Overrides::rpmspinClick(bool up) {
  const MachineConfig& m = ctx_.Config();
  int& rpm = ctx_.State().SpindleRpm;
  if (up && rpm < m.Spind_hi) rpm = std::min(rpm + ctx_.State().RpmStep, static_cast<int>(m.Spind_hi));
  if (!up && rpm > m.Spind_low) rpm = std::max(rpm - ctx_.State().RpmStep, static_cast<int>(m.Spind_low));
  ctx_.View().Rpmlab.SetCaption("Rpm " + std::to_string(rpm));
  outputs_.SendSpindleSpeed(rpm);
}

void Overrides::fv50Click() {
  ctx_.View().fv50.SetChecked(true);
  ctx_.View().fv100.SetChecked(false);
  SendOverrides();
}

void Overrides::fv100Click() {
  ctx_.View().fv100.SetChecked(true);
  ctx_.View().fv50.SetChecked(false);
  SendOverrides();
}

void Overrides::SetUseFeed(bool checked) {
  ConsoleView& v = ctx_.View();
  v.Use_feed.SetChecked(checked);
  v.Feedl.SetFontColor(CheckedColor(checked));
  v.Feedlab.SetFontColor(CheckedColor(checked));
}

void Overrides::SetUseRpm(bool checked) {
  ctx_.View().Use_rpm.SetChecked(checked);
  ctx_.View().Rpmlab.SetFontColor(CheckedColor(checked));
}

void Overrides::FeedlClick() { SetUseFeed(ctx_.Plasma() || !ctx_.View().Use_feed.Checked()); }

void Overrides::RpmlabClick() { SetUseRpm(ctx_.Plasma() || !ctx_.View().Use_rpm.Checked()); }

void Overrides::SetPlasmaPanel(const PlasmaRow& row) {
  ConsoleView& v = ctx_.View();
  v.Set_current.SetCaption(EditText(row.Amps, 1));
  v.Pierce_delay.SetCaption(FormatFixed(row.PierceDelay, 2));
  v.pierce_height.SetCaption(FormatFixed(row.PierceHeight, ctx_.config.Units.UnitsDecimals));
  v.THC_voltage.SetCaption(EditText(row.Volts, 1));
  v.Plasma_feed.SetCaption(EditText(row.Feed, 1));
}

PlasmaRow Overrides::PlasmaPanel() const {
  const ConsoleView& v = ctx_.console.View;
  auto read = [](const Control& c) { return ParseDouble(c.Caption()).value_or(0.0); };
  return PlasmaRow{read(v.Set_current), read(v.Pierce_delay), read(v.pierce_height), read(v.THC_voltage),
                   read(v.Plasma_feed)};
}

void Overrides::MaterialClick() {
  if (ctx_.hooks.OpenMaterialPicker) {
    ctx_.console.LeaveTop();
    ctx_.hooks.OpenMaterialPicker();
  }
}

}  // namespace wendlar
