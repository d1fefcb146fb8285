#include "tools/ProbeBox.h"

#include <algorithm>
#include <cmath>

#include "core/Numbers.h"
#include "link/Commands.h"
#include "tools/ProbeFiles.h"

namespace wendlar {

namespace {
// Bit 3 of the buffer report's state byte: the controller is still probing.
constexpr uint8_t kProbingBit = 0x08;
// How long the controller may take to report busy after the touch record.
constexpr int64_t kBusyAppearMs = 300;
// Gap between two status requests while a touch runs: fresh enough to see the touch end
// within a few milliseconds without flooding the line.
constexpr int64_t kPollGapMs = 5;
// Longest single touch: lift, cross one pitch, descend at the slowest probe speed.
constexpr int64_t kTouchTimeoutMs = 120000;
// Longest pause before the scan gives up waiting for the operator.
constexpr int64_t kPauseLimitMs = 30 * 60 * 1000;
// Tolerance of the row and scan ends, in user units.
constexpr double kEndSlack = 0.004;
constexpr double kPitchStep = 0.005, kPitchMax = 0.25, kPitchMin = 0.01;
constexpr int kVelMin = 5, kVelMax = 60;
}  // namespace

TProbeBoxView::TProbeBoxView() : ViewModel("TProbeBox") {
  Form.SetCaption("3D Digitizer Probe");
  Form.SetVisible(false);
  Xsize_lab.SetCaption("X Size");
  Ysize_lab.SetCaption("Y Size");
  Grid_lab.SetCaption("Sample Pitch");
  XYvel_lab.SetCaption("XY Probe speed");
  Zvel_lab.SetCaption("Z Probe Speed");
  Xsize.SetCaption("1.000");
  Ysize.SetCaption("1.000");
  Grid_size.SetCaption("0.050");
  XYvel.SetPosition(18);
  Zvel.SetPosition(18);
  Start_probe.SetCaption("Start Probe");
  Pause_probe.SetCaption("Pause");
  Pause_probe.SetEnabled(false);
  Abort_probe.SetCaption("Abort");
  Close_probe.SetCaption("Close");
  Dxf_save.SetCaption("Save DXF");
  Dxf_save.SetEnabled(false);
  Q3Dsave.SetCaption("Save Q3D");
  Q3Dsave.SetEnabled(false);
}

TProbeBox::TProbeBox(ManualContext& ctx, ProbeLinks links) : ctx_(ctx), links_(links) {}

void TProbeBox::Open() { View.Form.SetVisible(true); }

void TProbeBox::Close() {
  // Closing mid-scan ends the scan after the current touch, as Abort does.
  ProbeAborted = true;
  ProbePaused = false;
  View.Form.SetVisible(false);
}

void TProbeBox::Grid_upClick() {
  const double pitch = ParseDouble(View.Grid_size.Caption()).value_or(0.05);
  if (pitch < kPitchMax) View.Grid_size.SetCaption(FormatFixed(pitch + kPitchStep, 3));
}

void TProbeBox::Grid_downClick() {
  const double pitch = ParseDouble(View.Grid_size.Caption()).value_or(0.05);
  if (pitch > kPitchMin) View.Grid_size.SetCaption(FormatFixed(pitch - kPitchStep, 3));
}

void TProbeBox::Fail(const std::string& text) {
  failure_ = text;
  View.Status.SetCaption(text);
  View.Status.SetFontColor(kRed);
}

bool TProbeBox::ReadSettings(Settings& s) {
  const auto x = ParseDouble(View.Xsize.Caption());
  const auto y = ParseDouble(View.Ysize.Caption());
  const auto pitch = ParseDouble(View.Grid_size.Caption());
  if (!x || !y || *x < 0 || *y < 0) {
    Fail("X and Y size must be numbers of at least 0");
    return false;
  }
  if (!pitch || *pitch < kPitchMin - 1e-9) {
    Fail("Sample pitch must be at least 0.010");
    return false;
  }
  s = Settings{*x, *y, *pitch, std::clamp(View.XYvel.Position(), kVelMin, kVelMax),
               std::clamp(View.Zvel.Position(), kVelMin, kVelMax), 0, 0};
  // Counted as the scan walks, so the counts match its end tests exactly.
  auto count = [&](double size) {
    int n = 1;
    for (double v = 0; !(v + kEndSlack >= size) && n <= kMaxRowPoints; v += s.pitch) ++n;
    return n;
  };
  s.perRow = count(s.ySize);
  if (s.perRow > kMaxRowPoints) {
    Fail(kTooManyPoints);
    return false;
  }
  s.rows = 0;
  for (double v = 0; v <= s.xSize + kEndSlack; v += s.pitch) ++s.rows;
  return true;
}

bool TProbeBox::LinkLost() const {
  return !ctx_.sender.Connected() || ctx_.sender.LinkRef().Loop().NowUs() - lastReplyUs_ > kSilenceLimitMs * 1000;
}

TouchResult TProbeBox::ProbeMoveAndWait(int64_t xSteps, int64_t ySteps, uint8_t xySpeed, uint8_t zSpeed) {
  Link& link = ctx_.sender.LinkRef();
  EventLoop& loop = link.Loop();
  StopMark mark(ctx_.flags);
  auto stopped = [&] { return mark.Stopped() || ctx_.flags.StopWaiting(); };
  if (!ctx_.sender.SendChecked(commands::ProbeMove(xSteps, ySteps, xySpeed, zSpeed), true)) return TouchResult::Stopped;
  // Held back by a stop: there is no touch to wait for.
  if (link.MotionStopped()) return TouchResult::Stopped;
  // The link timer is held during a scan, so this loop polls for itself. A reply counts
  // as a sign of life; none for the silence limit means the controller is gone.
  lastReplies_ = link.RepliesDecoded;
  lastReplyUs_ = loop.NowUs();
  auto pollOnce = [&] {
    links_.polling.RequestPositions();
    links_.polling.RequestBufferStatus();
    if (link.RepliesDecoded != lastReplies_) {
      lastReplies_ = link.RepliesDecoded;
      lastReplyUs_ = loop.NowUs();
    }
    loop.WaitUntil([&] { return stopped(); }, kPollGapMs);
  };
  auto probing = [&] { return links_.polling.BufferFresh && (links_.report.StateByte & kProbingBit) != 0; };
  const int64_t start = loop.NowUs();
  // A controller that is slow to take the record must not read as a finished touch.
  bool seenBusy = false;
  while (!seenBusy && loop.NowUs() - start < kBusyAppearMs * 1000) {
    pollOnce();
    if (stopped()) return TouchResult::Stopped;
    if (LinkLost()) return TouchResult::Lost;
    seenBusy = probing();
  }
  // Polled every few milliseconds, a touch cannot pass unseen: the controller ignored it,
  // and its old position is no surface point.
  if (!seenBusy) return TouchResult::NotStarted;
  while (probing()) {
    pollOnce();
    if (stopped()) return TouchResult::Stopped;
    if (LinkLost()) return TouchResult::Lost;
    if (loop.NowUs() - start > kTouchTimeoutMs * 1000) return TouchResult::TimedOut;
  }
  // A fresh position: the touch point, not a report from before it.
  for (int i = 0; i < 3; ++i) {
    links_.polling.RequestPositions();
    if (links_.polling.PositionsFresh) return stopped() ? TouchResult::Stopped : TouchResult::Touched;
    loop.PumpMessages();
  }
  return TouchResult::Lost;
}

void TProbeBox::WriteProbePoint(double x, double y, double z) {
  points_.push_back(ProbePointLine(x, y, z, ctx_.UnitsFactor()));
}

bool TProbeBox::FlushPoints() {
  std::string why;
  if (links_.home.WriteLinesAtomic(kProbeFileName, points_, &why)) return true;
  Fail("Cannot write " + links_.home.Resolve(kProbeFileName).string() + ": " + why);
  return false;
}

void TProbeBox::ShowProgress() {
  std::string text = "Point " + std::to_string(PointsDone) + " of " + std::to_string(PointsTotal);
  if (PointsDone > 0) {
    const int64_t usedUs = ctx_.sender.LinkRef().Loop().NowUs() - startUs_;
    const int64_t leftS = usedUs / PointsDone * (PointsTotal - PointsDone) / 1000000;
    text += ", " + std::to_string(leftS / 60) + ":" + (leftS % 60 < 10 ? "0" : "") + std::to_string(leftS % 60) +
            " left";
  }
  View.Progress.SetCaption(text);
  View.Progress_bar.SetPosition(PointsTotal > 0 ? PointsDone * 100 / PointsTotal : 0);
  if (OnProgress) OnProgress();
}

bool TProbeBox::TouchAt(const Settings& s, double x, double y) {
  const MachineConfig& m = ctx_.Config();
  const double uf = ctx_.UnitsFactor();
  const TouchResult r = ProbeMoveAndWait(Nearest(x * uf * m.Xscale), Nearest(y * uf * m.Yscale),
                                         static_cast<uint8_t>(s.xyVel), static_cast<uint8_t>(s.zVel));
  switch (r) {
    case TouchResult::Touched: {
      const ConsoleState& st = ctx_.State();
      WriteProbePoint(st.MachineX, st.MachineY, st.MachineZ);
      ++PointsDone;
      ShowProgress();
      return true;
    }
    case TouchResult::Stopped:
      ProbeFailed = true;
      Fail("Probing stopped");
      return false;
    case TouchResult::Lost:
      ProbeFailed = true;
      Fail("Controller not answering: probing ended");
      return false;
    case TouchResult::NotStarted:
      ProbeFailed = true;
      Fail("Controller did not start the touch");
      return false;
    case TouchResult::TimedOut:
      // The probe never tripped; stop it before it drives further.
      ctx_.sender.LinkRef().StopMotion();
      ProbeFailed = true;
      Fail("Probe did not touch");
      return false;
  }
  return false;
}

bool TProbeBox::WaitWhilePaused() {
  Link& link = ctx_.sender.LinkRef();
  EventLoop& loop = link.Loop();
  links_.polling.PollingEnabled = true;
  link.UsbTimer().SetEnabled(true);
  View.Pause_probe.SetCaption("Paused!");
  View.Pause_probe.SetFontColor(kRed);
  ctx_.console.SetConsoleIdle(true);
  StopMark mark(ctx_.flags);
  const bool resumed = loop.WaitUntil(
      [&] { return !ProbePaused || ProbeAborted || mark.Stopped() || ctx_.flags.StopWaiting() || !link.Connected; },
      kPauseLimitMs);
  View.Pause_probe.SetCaption("Pause");
  View.Pause_probe.SetFontColor(kBlack);
  link.UsbTimer().SetEnabled(false);
  links_.polling.PollingEnabled = false;
  ctx_.console.SetConsoleIdle(false);
  if (mark.Stopped() || ctx_.flags.StopWaiting()) {
    ProbeFailed = true;
    Fail("Probing stopped");
    return false;
  }
  if (!link.Connected) {
    ProbeFailed = true;
    Fail("Controller not answering: probing ended");
    return false;
  }
  if (!resumed) {
    ProbeAborted = true;
    Fail("Paused too long: probing ended");
    return false;
  }
  ProbePaused = false;
  lastReplyUs_ = loop.NowUs();
  return !ProbeAborted;
}

bool TProbeBox::StartProbe() {
  failure_.clear();
  View.Status.SetFontColor(kBlack);
  if (!ctx_.sender.Connected()) {
    Fail("Not connected");
    return false;
  }
  Settings s{};
  if (!ReadSettings(s)) return false;
  const std::string refusal = ctx_.ManualRefusal();
  if (!refusal.empty()) {
    Fail(refusal);
    return false;
  }
  OperationGuard guard(ctx_.State(), LongOperation::Probing);
  if (!guard.Acquired()) {
    Fail("Busy: probing is locked");
    return false;
  }
  Link& link = ctx_.sender.LinkRef();
  link.UsbTimer().SetEnabled(false);
  links_.polling.PollingEnabled = false;
  ProbeAborted = false;
  ProbeFailed = false;
  points_.clear();
  View.Dxf_save.SetEnabled(false);
  View.Q3Dsave.SetEnabled(false);
  const bool created = FlushPoints();
  if (created) {
    ctx_.sender.SendCommandNow(commands::kReset, 0, 0);
    ProbePaused = false;
    ctx_.flags.AbortRun = 0;
    links_.probing = true;
    View.Pause_probe.SetEnabled(true);
    ctx_.console.SetConsoleIdle(false);
    View.Start_probe.SetEnabled(false);
    View.Status.SetCaption("Probing ....");
    PointsDone = 0;
    PointsTotal = s.rows * s.perRow;
    startUs_ = link.Loop().NowUs();
    ShowProgress();

    double x = 0, y = 0;
    bool forward = true;
    bool ok = TouchAt(s, x, y);
    while (ok) {
      for (;;) {
        if (forward ? y + kEndSlack >= s.ySize : kEndSlack >= y) break;
        if (ProbeAborted || ProbeFailed) break;
        if (ProbePaused && !WaitWhilePaused()) break;
        y += forward ? s.pitch : -s.pitch;
        if (!TouchAt(s, x, y)) break;
      }
      forward = !forward;
      points_.push_back(RowEndLine(x, ctx_.UnitsFactor()));
      if (!FlushPoints()) ProbeFailed = true;
      x += s.pitch;
      if (!(x <= s.xSize + kEndSlack) || ProbeFailed || ProbeAborted) break;
      ok = TouchAt(s, x, y);
    }
  }

  links_.probing = false;
  if (created && !FlushPoints()) ProbeFailed = true;
  const bool complete = created && !ProbeFailed && !ProbeAborted;
  View.Dxf_save.SetEnabled(complete);
  View.Q3Dsave.SetEnabled(complete);
  View.Start_probe.SetEnabled(true);
  View.Pause_probe.SetEnabled(false);
  View.Pause_probe.SetCaption("Pause");
  View.Pause_probe.SetFontColor(kBlack);
  ctx_.console.SetConsoleIdle(true);
  if (complete) {
    View.Status.SetCaption("Done Probing");
  } else if (failure_.empty()) {
    Fail("Probing aborted");
  }
  links_.polling.PollingEnabled = true;
  link.UsbTimer().SetEnabled(true);
  return complete;
}

void TProbeBox::PauseProbe() {
  ProbePaused = !ProbePaused;
  if (!ProbePaused) {
    View.Pause_probe.SetCaption("Pause");
    View.Pause_probe.SetFontColor(kBlack);
  }
}

void TProbeBox::AbortProbe() { ProbeAborted = true; }

void TProbeBox::Q3DsaveClick() {
  const ConversionResult r = SaveFacets(links_.home, kQ3dDefaultName);
  if (!r.ok) {
    ctx_.prompts.Warning(r.error);
    return;
  }
  View.Row_count.SetCaption("Points per row: " + std::to_string(r.rowCount));
}

void TProbeBox::Dxf_saveClick() {
  FileDialog dialog;
  dialog.Title = "Save DXF file";
  dialog.Filter = "Drawing Exchange Format|*.DXF";
  dialog.DefaultExt = "DXF";
  dialog.InitialDir = links_.home.Path().string();
  dialog.ConfirmOverwrite = true;
  const auto name = ctx_.prompts.SaveFile(dialog);
  if (!name) return;
  const ConversionResult r = SaveDxf(links_.home, *name);
  if (!r.ok) {
    ctx_.prompts.Warning(r.error);
    return;
  }
  View.Row_count.SetCaption("Points per row: " + std::to_string(r.rowCount));
}

}  // namespace wendlar
