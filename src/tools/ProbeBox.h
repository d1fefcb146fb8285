// The 3D digitiser (TProbeBox): its window model, the serpentine probe scan and the saves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/ManualContext.h"
#include "core/HomeDir.h"
#include "core/ViewModel.h"
#include "link/Polling.h"

namespace wendlar {

struct TProbeBoxView : ViewModel {
  TProbeBoxView();

  Control Form{*this, "TProbeBox"};  // caption is the title; Visible while shown
  Control Xsize{*this, "Xsize"}, Ysize{*this, "Ysize"}, Grid_size{*this, "Grid_size"};
  Control XYvel{*this, "XYvel"}, Zvel{*this, "Zvel"};
  Control Xsize_lab{*this, "Xsize_lab"}, Ysize_lab{*this, "Ysize_lab"}, Grid_lab{*this, "Grid_lab"};
  Control XYvel_lab{*this, "XYvel_lab"}, Zvel_lab{*this, "Zvel_lab"};
  Control Grid_up{*this, "Grid_up"}, Grid_down{*this, "Grid_down"};
  Control Start_probe{*this, "Start_probe"}, Pause_probe{*this, "Pause_probe"}, Abort_probe{*this, "Abort_probe"};
  Control Close_probe{*this, "Close_probe"}, Dxf_save{*this, "Dxf_save"}, Q3Dsave{*this, "Q3Dsave"};
  Control Status{*this, "Status"};      // "Probing ....", "Paused!", "Done Probing", errors
  Control Progress{*this, "Progress"};  // points done of the total and the time left
  Control Progress_bar{*this, "Progress_bar"};  // percent of the points done
  Control Row_count{*this, "Row_count"};  // points per row of the last conversion
};

// What the scan reads and drives besides the console's manual context.
struct ProbeLinks {
  Polling& polling;
  ControllerReport& report;
  bool& probing;  // the console's probing flag: the status shows "Probing"
  const HomeDir& home;
};

// How one touch ended.
enum class TouchResult { Touched, Stopped, Lost, TimedOut, NotStarted };

class TProbeBox {
 public:
  TProbeBox(ManualContext& ctx, ProbeLinks links);

  TProbeBoxView View;
  bool ProbePaused = false;
  bool ProbeAborted = false;
  bool ProbeFailed = false;
  // Touches done and planned in the current scan; the faces show them as progress.
  int PointsDone = 0;
  int PointsTotal = 0;
  std::function<void()> OnProgress;

  // Menu "3D Probe Menu": shows the dialog (always on top).
  void Open();
  void Close();
  // "Start Probe": the whole scan; returns when it has ended. False when it did not run
  // to the end (refused, stopped, aborted, lost controller); Status says why.
  bool StartProbe();
  // "Pause" toggles the pause; "Abort" ends the scan after the current touch.
  void PauseProbe();
  void AbortProbe();
  // The sample pitch arrows.
  void Grid_upClick();
  void Grid_downClick();
  // "Save Q3D" (probe.Q3D) and "Save DXF" (asks for the file name).
  void Q3DsaveClick();
  void Dxf_saveClick();

  // One probing touch at absolute steps: record 61, the busy wait, a fresh position.
  [[nodiscard]] TouchResult ProbeMoveAndWait(int64_t xSteps, int64_t ySteps, uint8_t xySpeed, uint8_t zSpeed);
  // Adds one point (machine position in user units) to PROBE.TMP.
  void WriteProbePoint(double x, double y, double z);

 private:
  struct Settings {
    double xSize, ySize, pitch;
    int xyVel, zVel;
    int rows, perRow;
  };
  bool ReadSettings(Settings& s);
  bool TouchAt(const Settings& s, double x, double y);
  bool WaitWhilePaused();
  bool FlushPoints();
  void ShowProgress();
  void Fail(const std::string& text);
  bool LinkLost() const;

  ManualContext& ctx_;
  ProbeLinks links_;
  std::vector<std::string> points_;
  int64_t startUs_ = 0;
  int lastReplies_ = 0;
  int64_t lastReplyUs_ = 0;
  std::string failure_;
};

}  // namespace wendlar
