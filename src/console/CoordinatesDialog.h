// The move-to-coordinates and set-position dialog (TCoordinates): its model and its logic.
#pragma once

#include "console/ManualContext.h"
#include "console/MotionCommands.h"
#include "console/Overrides.h"
#include "core/ViewModel.h"

namespace wendlar {

struct TCoordinatesView : ViewModel {
  TCoordinatesView();

  Control Form{*this, "Coordinates"};  // caption is the title; Visible while shown
  Control Xedit{*this, "Xedit"}, Yedit{*this, "Yedit"}, Zedit{*this, "Zedit"};
  Control Xlab{*this, "Xlab"}, Ylab{*this, "Ylab"}, Zlab{*this, "Zlab"};  // the edits' labels
  Control Incremental{*this, "Incremental"}, Absolute{*this, "Absolute"};
  Control Axis{*this, "Axis"};
  Control Xbut{*this, "Xbut"}, Ybut{*this, "Ybut"}, Zbut{*this, "Zbut"};
  Control x_ck{*this, "x_ck"}, y_ck{*this, "y_ck"};
  Control Go_move{*this, "Go_move"}, Cancel_move{*this, "Cancel_move"};
};

enum class CoordinatesMode { MoveXY, MoveZ, MoveAxis, SetXY, SetZ, SetW };

class TCoordinates {
 public:
  TCoordinates(ManualContext& ctx, MotionCommands& motion, Overrides& overrides);

  TCoordinatesView View;
  CoordinatesMode Mode = CoordinatesMode::MoveXY;

  // Openers (menu entries and console clicks). Each drops the console from always-on-top,
  // shows the dialog and arranges it for its mode.
  // "Move to XY position" and Move_2_XY: asks to re-enable disabled limit switches first.
  void MoveToXY();
  void MoveToZ();
  // "Move  X,Y or Z".
  void MoveXYorZ();
  // Set_New_XY and clicks on XPOS, ypos and the X and Y axis panels.
  void SetNewXY();
  // Zero_Z2_Work and clicks on ZPOS and the Z axis panel.
  void SetNewZ();
  // Clicks on WPOS and the W axis panel.
  void SetNewW();

  // Go_move ("Go" or "Ok"): acts by mode; the move modes leave the dialog open.
  void Go_moveClick();
  void Cancel_moveClick();
  // The check boxes after a click changed them: each enables its edit.
  void x_ckClick();
  void y_ckClick();
  // Closing by any means.
  void Close();

 private:
  void Open(CoordinatesMode mode, const char* title, const char* button);
  static void ShowEdit(Control& edit, Control& label, bool shown);

  ManualContext& ctx_;
  MotionCommands& motion_;
  Overrides& overrides_;
};

}  // namespace wendlar
