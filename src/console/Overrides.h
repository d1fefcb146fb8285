// The operator's speed controls: feed selection and override, rapid choice, spindle speed,
// the Use_feed and Use_rpm toggles, and the plasma panel.
#pragma once

#include "config/SettingsPorts.h"
#include "console/ManualContext.h"
#include "console/Outputs.h"

namespace wendlar {

inline constexpr int kFeedOverrideMin = -30;
inline constexpr int kFeedOverrideMax = 10;

class Overrides {
 public:
  Overrides(ManualContext& ctx, Outputs& outputs) : ctx_(ctx), outputs_(outputs) {}

  // Record 135 at once: feed override, rapid speed index, Slow_safe, CV_Max.
  void SendOverrides();
  // The rapid speed index the overrides carry: the feed's with fv50, else R_vel_max's.
  int RapidSpeedIndex() const;

  // Spin buttons: `up` is the upper arrow.
  void FeedspinClick(bool up);
  void FRO_spinClick(bool up);
  void rpmspinClick(bool up);
  // The rapid radios ("Feed" and "100%"): select and send at once.
  void fv50Click();
  void fv100Click();
  // Clicks on the feed labels toggle Use_feed, on Rpmlab Use_rpm; in plasma mode a click
  // always checks the box.
  void FeedlClick();
  void RpmlabClick();
  // Feedlab for the current FeedIndex: the table's velocity and the speed unit.
  void ShowFeed();
  // Checks or unchecks a box; its label is black while checked and grey while not.
  void SetUseFeed(bool checked);
  void SetUseRpm(bool checked);

  // Plasma panel: fills the edits (the material picker's Select).
  void SetPlasmaPanel(const PlasmaRow& row);
  // The panel's edits read back; an edit that is not a number reads as 0.
  PlasmaRow PlasmaPanel() const;
  void MaterialClick();

 private:
  ManualContext& ctx_;
  Outputs& outputs_;
};

}  // namespace wendlar
