#include "ui/Gui.h"

namespace wendlar::ui {

void Gui::WireProbe() {
  ViewBinding& con = console_->Binding();
  TProbeBox& probe = sys_.probe;
  TouchOff& touch = sys_.touchOff;
  EventLoop& loop = sys_.loop;
  // The routines wait on the controller; they run after the click's handler has returned.
  con.OnClick("N3DProbeMenu1", [&probe] { probe.Open(); });
  con.OnClick("ToolTouchpad1", [&loop, &touch] { loop.Post([&touch] { (void)touch.ToolTouchOff(); }); });
  con.OnClick("Touch", [&loop, &touch] { loop.Post([&touch] { touch.TouchClick(); }); });
  con.OnClick("CornerFinder1", [&loop, &touch] { loop.Post([&touch] { (void)touch.FindCorner(); }); });

  ViewBinding& b = probe_->Binding();
  b.OnClick("Start_probe", [&loop, &probe] { loop.Post([&probe] { (void)probe.StartProbe(); }); });
  b.OnClick("Pause_probe", [&probe] { probe.PauseProbe(); });
  b.OnClick("Abort_probe", [&probe] { probe.AbortProbe(); });
  b.OnClick("Close_probe", [&probe] { probe.Close(); });
  b.OnClick("Grid_up", [&probe] { probe.Grid_upClick(); });
  b.OnClick("Grid_down", [&probe] { probe.Grid_downClick(); });
  b.OnClick("Dxf_save", [&probe] { probe.Dxf_saveClick(); });
  b.OnClick("Q3Dsave", [&probe] { probe.Q3DsaveClick(); });
  probe_->SetOnClose([&probe] { probe.Close(); });
}

}  // namespace wendlar::ui
