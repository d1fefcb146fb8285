#include "console/CoordinatesDialog.h"

#include <optional>

#include "core/Numbers.h"

namespace wendlar {

TCoordinatesView::TCoordinatesView() : ViewModel("TCoordinates") {
  Form.SetCaption("Move to Coordinates");
  Form.SetVisible(false);
  Xlab.SetCaption("Xpos");
  Ylab.SetCaption("Ypos");
  Zlab.SetCaption("Zpos");
  Incremental.SetCaption("Incremental");
  Absolute.SetCaption("Absolute");
  Absolute.SetChecked(true);
  Axis.SetCaption("Axis");
  Xbut.SetCaption("X");
  Ybut.SetCaption("Y");
  Zbut.SetCaption("Z");
  x_ck.SetCaption("Xpos");
  y_ck.SetCaption("Ypos");
  x_ck.SetChecked(true);
  y_ck.SetChecked(true);
  Go_move.SetCaption("Go");
  Cancel_move.SetCaption("Cancel");
}

TCoordinates::TCoordinates(ManualContext& ctx, MotionCommands& motion, Overrides& overrides)
    : ctx_(ctx), motion_(motion), overrides_(overrides) {}

void TCoordinates::ShowEdit(Control& edit, Control& label, bool shown) {
  edit.SetVisible(shown);
  label.SetVisible(shown);
  if (shown) edit.SetCaption("0.0");
}

void TCoordinates::Open(CoordinatesMode mode, const char* title, const char* button) {
  ctx_.console.LeaveTop();
  View.Form.SetVisible(true);
  Mode = mode;
  View.Form.SetCaption(title);
  View.Go_move.SetCaption(button);
  const bool xy = mode == CoordinatesMode::MoveXY || mode == CoordinatesMode::SetXY;
  ShowEdit(View.Xedit, View.Xlab, xy);
  ShowEdit(View.Yedit, View.Ylab, xy);
  ShowEdit(View.Zedit, View.Zlab, !xy);
  View.Incremental.SetVisible(mode == CoordinatesMode::MoveXY);
  View.Absolute.SetVisible(mode == CoordinatesMode::MoveXY || mode == CoordinatesMode::MoveAxis);
  View.Axis.SetVisible(mode == CoordinatesMode::MoveAxis);
  View.x_ck.SetVisible(mode == CoordinatesMode::SetXY);
  View.y_ck.SetVisible(mode == CoordinatesMode::SetXY);
}

void TCoordinates::MoveToXY() {
  ctx_.console.LeaveTop();
  if (ctx_.View().Limitswitchdisable1.Checked() &&
      ctx_.prompts.AskYesNo("Limit switches are Disabled, Enable them?") && ctx_.hooks.EnableLimits) {
    ctx_.hooks.EnableLimits();
  }
  overrides_.SendOverrides();
  Open(CoordinatesMode::MoveXY, "Move to Coordinates", "Go");
}

void TCoordinates::MoveToZ() {
  overrides_.SendOverrides();
  Open(CoordinatesMode::MoveZ, "Move to Coordinates", "Go");
}

void TCoordinates::MoveXYorZ() {
  overrides_.SendOverrides();
  Open(CoordinatesMode::MoveAxis, "Set New Z Position", "Go");
  View.Zlab.SetCaption("Pos");
  View.Absolute.SetChecked(true);
  View.Incremental.SetChecked(false);
}

void TCoordinates::SetNewXY() {
  Open(CoordinatesMode::SetXY, "Set New XY Position", "Ok");
  View.Xedit.SetEnabled(true);
  View.Yedit.SetEnabled(true);
  View.x_ck.SetChecked(true);
  View.y_ck.SetChecked(true);
}

void TCoordinates::SetNewZ() {
  overrides_.SendOverrides();
  Open(CoordinatesMode::SetZ, "Set New Z Position", "Ok");
}

void TCoordinates::SetNewW() {
  overrides_.SendOverrides();
  Open(CoordinatesMode::SetW, "Set New W Position", "Ok");
}

void TCoordinates::x_ckClick() { View.Xedit.SetEnabled(View.x_ck.Checked()); }
void TCoordinates::y_ckClick() { View.Yedit.SetEnabled(View.y_ck.Checked()); }

void TCoordinates::Go_moveClick() {
  // Nothing moves or is redefined beside a job or another long operation.
  if (!ctx_.CheckManual()) return;
  const MachineConfig& m = ctx_.Config();
  const double uf = ctx_.UnitsFactor();
  const ConsoleState& s = ctx_.State();
  const std::optional<double> x = ParseDouble(View.Xedit.Caption());
  const std::optional<double> y = ParseDouble(View.Yedit.Caption());
  const std::optional<double> z = ParseDouble(View.Zedit.Caption());
  const bool absolute = View.Absolute.Checked();

  switch (Mode) {
    case CoordinatesMode::MoveXY:
      if (x && y) {
        double tx = *x + s.ActiveOffsetX, ty = *y + s.ActiveOffsetY;
        if (!absolute) {
          tx += s.MachineX;
          ty += s.MachineY;
        }
        motion_.RapidXY(Nearest(tx * uf * m.Xscale), Nearest(ty * uf * m.Yscale));
      }
      return;
    case CoordinatesMode::MoveZ:
      if (z) {
        const double tz = absolute ? *z : *z + s.MachineZ;
        motion_.MoveZ(-Nearest(tz * m.Zscale * uf), LowByte(m.Z_raise_vel), true);
      }
      return;
    case CoordinatesMode::MoveAxis:
      if (!absolute || !z) return;
      if (View.Xbut.Checked()) {
        motion_.MoveAxis(Nearest(*z * uf * m.Xscale), kAxisX, LowByte(m.Z_1st_drop));
      } else if (View.Ybut.Checked()) {
        motion_.MoveAxis(Nearest(*z * uf * m.Yscale), kAxisY, LowByte(m.Z_1st_drop));
      } else if (View.Zbut.Checked()) {
        motion_.MoveAxis(-Nearest(*z * uf * m.Zscale), kMoveAxisZ, LowByte(m.Z_1st_drop));
      }
      return;
    case CoordinatesMode::SetZ:
      if (z) motion_.SetAxisPosition(kAxisZ, -Nearest(*z * m.Zscale * uf));
      break;
    case CoordinatesMode::SetW:
      if (z) motion_.SetAxisPosition(kAxisW, -Nearest(*z * m.Zscale * uf));
      break;
    case CoordinatesMode::SetXY:
      if (View.x_ck.Checked() && x) motion_.SetAxisPosition(kAxisX, Nearest(*x * m.Xscale * uf));
      if (View.y_ck.Checked() && y) motion_.SetAxisPosition(kAxisY, Nearest(*y * m.Yscale * uf));
      View.Xedit.SetEnabled(true);
      View.Yedit.SetEnabled(true);
      break;
  }
  Close();
}

void TCoordinates::Cancel_moveClick() {
  View.Xedit.SetEnabled(true);
  View.Yedit.SetEnabled(true);
  Close();
}

void TCoordinates::Close() {
  View.Form.SetVisible(false);
  View.Zlab.SetCaption("Zpos");
  ctx_.console.RestoreTop();
}

}  // namespace wendlar
