#include "ui/ConsoleLayout.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>

#include "ui_Spool.h"

namespace wendlar::ui {

namespace {

// The widest text a read-out shows in normal use; its size sets the digits' size, so the
// digits keep one size while the machine moves.
constexpr const char* kReadoutSample = "-000.000\"";
// The digits' share of their label's height.
constexpr double kReadoutHeightShare = 0.72;

QWidget* Mark(QWidget* w) {
  w->setProperty("laidOut", true);
  return w;
}

void Add(QBoxLayout* l, QWidget* w, int stretch = 0, Qt::Alignment align = {}) {
  l->addWidget(Mark(w), stretch, align);
}

void Add(QGridLayout* l, QWidget* w, int row, int col, int rows = 1, int cols = 1) {
  l->addWidget(Mark(w), row, col, rows, cols);
}

template <typename L>
L* Tight(L* layout, int margin = 0, int spacing = 4) {
  layout->setContentsMargins(margin, margin, margin, margin);
  layout->setSpacing(spacing);
  return layout;
}

void Led(QWidget* w) {
  w->setFixedSize(14, 14);
}

// Panels used as buttons: a usable minimum, and room to grow.
void Grows(QWidget* w, int minWidth, int minHeight) {
  w->setMinimumSize(minWidth, minHeight);
  w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QLayout* TopRow(Ui::Spool& f) {
  auto* row = Tight(new QHBoxLayout);
  for (QLabel* l : {f.Running, f.Progress, f.Micros}) l->setMinimumHeight(24);
  f.Running->setMinimumWidth(120);
  f.Progress->setMinimumWidth(100);
  f.Micros->setMinimumWidth(80);
  // The job's time above the thin bar that fills while it is being estimated.
  auto* time = Tight(new QVBoxLayout, 0, 0);
  f.Job_time->setMinimumSize(120, 18);
  f.Estimate_bar->setFixedHeight(6);
  Add(time, f.Job_time);
  Add(time, f.Estimate_bar);
  // The state in one word, large, where the eye lands first.
  f.Machine_state->setMinimumSize(100, 24);
  Add(row, f.Machine_state, 2);
  Add(row, f.Running, 3);
  Add(row, f.Progress, 4);
  row->addLayout(time, 3);
  Add(row, f.Micros, 2);
  return row;
}

QLayout* Readouts(Ui::Spool& f) {
  auto* grid = Tight(new QGridLayout);
  QLabel* panels[] = {f.X_pan, f.Y_pan, f.Z_pan, f.W_pan1};
  QWidget* values[] = {f.XPOS, f.ypos, f.ZPOS, f.W_pan2};
  for (int r = 0; r < 4; ++r) {
    panels[r]->setMinimumSize(30, 30);
    panels[r]->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    // The digits follow the label's size (FitReadouts), never the other way round.
    values[r]->setMinimumSize(150, 30);
    values[r]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Add(grid, panels[r], r, 0);
    Add(grid, values[r], r, 1);
    grid->setRowStretch(r, 1);
  }
  // WPOS fills its sunken frame.
  auto* wFrame = Tight(new QHBoxLayout(f.W_pan2), 2, 0);
  f.WPOS->setMinimumSize(10, 10);
  f.WPOS->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  Add(wFrame, f.WPOS);
  // The rapid choice takes the W row while there is no W axis (one of them is hidden).
  auto* rapid = Tight(new QHBoxLayout(f.Rapid_pan), 6, 6);
  rapid->setContentsMargins(8, 16, 8, 2);
  Add(rapid, f.fv50);
  Add(rapid, f.fv100);
  f.Rapid_pan->setMinimumHeight(40);
  f.Rapid_pan->setMaximumHeight(56);
  Add(grid, f.Rapid_pan, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  return grid;
}

QLayout* StateColumn(Ui::Spool& f) {
  auto* col = Tight(new QVBoxLayout, 0, 2);
  f.User_mach->setMinimumSize(34, 30);
  f.User_mach->setMaximumSize(60, 60);
  Add(col, f.User_mach, 0, Qt::AlignLeft);
  for (QLabel* l : {f.Cvelo, f.ILOCK, f.ServoF_Lab, f.Tooln_lab}) {
    l->setMinimumSize(80, 16);
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    Add(col, l);
  }
  col->addStretch(1);
  return col;
}

QLayout* RunColumn(Ui::Spool& f) {
  auto* col = Tight(new QVBoxLayout, 0, 4);
  for (QLabel* l : {f.Progcnt_lab, f.Gline_lab, f.realrpmlab}) {
    l->setMinimumSize(150, 16);
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    Add(col, l);
  }
  auto* run = Tight(new QHBoxLayout);
  Grows(f.Run_button, 80, 34);
  Grows(f.Pausebut, 64, 34);
  f.Run_button->setMaximumHeight(64);
  f.Pausebut->setMaximumHeight(64);
  Add(run, f.Run_button, 4);
  Add(run, f.Pausebut, 3);
  col->addLayout(run, 2);
  auto* more = Tight(new QHBoxLayout);
  Grows(f.Preview, 100, 26);
  Grows(f.Run_Border, 110, 26);
  f.Preview->setMaximumHeight(40);
  f.Run_Border->setMaximumHeight(40);
  Add(more, f.Preview);
  Add(more, f.Run_Border);
  col->addLayout(more, 1);
  f.usbspdBar1->setFixedHeight(8);
  Add(col, f.usbspdBar1);
  f.Fixture_lab->setMinimumSize(120, 16);
  Add(col, f.Fixture_lab);
  col->addStretch(1);
  return col;
}

QWidget* CodeLines(Ui::Spool& f) {
  auto* lines = Tight(new QVBoxLayout(f.Codelist), 4, 0);
  lines->setContentsMargins(4, 2, 4, 2);
  for (QLabel* l : {f.GCL1, f.GCL2, f.GCL3, f.GCL4, f.GCL5, f.GCL6}) {
    l->setMinimumSize(100, 14);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Add(lines, l);
  }
  f.Codelist->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  return Mark(f.Codelist);
}

QLayout* JogPad(Ui::Spool& f) {
  auto* grid = Tight(new QGridLayout);
  // Each jog button shares its cell with the inert look-alike shown during a job.
  struct Cell {
    QWidget* button;
    QWidget* fake;
    int row, col;
  };
  const Cell cells[] = {
      {f.Y_Pos, f.fakeyp, 0, 1}, {f.X_Neg, f.fakexn, 1, 0}, {f.JogSpdbut, nullptr, 1, 1},
      {f.X_Pos, f.fakexp, 1, 2}, {f.Y_neg, f.fakeyn, 2, 1}, {f.Z_Pos, f.fakezp, 0, 3},
      {f.Z_Neg, f.fakezn, 2, 3}, {f.W_Pos, nullptr, 0, 4}, {f.W_Neg, nullptr, 2, 4},
  };
  for (const Cell& c : cells) {
    for (QWidget* w : {c.button, c.fake}) {
      if (w == nullptr) continue;
      Grows(w, 44, 36);
      Add(grid, w, c.row, c.col);
    }
  }
  grid->setColumnMinimumWidth(3, 44);
  return grid;
}

QLayout* MovePanels(Ui::Spool& f) {
  auto* grid = Tight(new QGridLayout);
  const std::pair<QWidget*, std::pair<int, int>> cells[] = {
      {f.Move_2_XY, {0, 0}}, {f.Set_New_XY, {1, 0}}, {f.Zero_Z2_Work, {2, 0}}, {f.Z_zero, {0, 1}}, {f.Z_2top, {1, 1}},
  };
  for (const auto& [w, at] : cells) {
    Grows(w, 120, 26);
    Add(grid, w, at.first, at.second);
  }
  return grid;
}

QLayout* Speeds(Ui::Spool& f) {
  auto* row = Tight(new QGridLayout, 0, 2);
  Add(row, f.Feedl, 0, 1);
  Add(row, f.Use_feed, 1, 0);
  f.Feedlab->setMinimumWidth(90);
  Add(row, f.Feedlab, 1, 1);
  f.Feedspin->setFixedSize(20, 38);
  Add(row, f.Feedspin, 0, 2, 2, 1);
  f.Fro_lab->setMinimumWidth(80);
  Add(row, f.Fro_lab, 1, 3);
  f.FRO_spin->setFixedSize(20, 38);
  Add(row, f.FRO_spin, 0, 4, 2, 1);
  Add(row, f.Use_rpm, 1, 5);
  f.Rpmlab->setMinimumWidth(90);
  Add(row, f.Rpmlab, 1, 6);
  f.rpmspin->setFixedSize(20, 38);
  Add(row, f.rpmspin, 0, 7, 2, 1);
  Led(f.Dwell_LED);
  Add(row, f.Dwell_LED, 1, 8);
  Add(row, f.Dwell_cap, 1, 9);
  for (int c : {1, 3, 6}) row->setColumnStretch(c, 1);
  row->setColumnMinimumWidth(2, 24);
  row->setColumnMinimumWidth(4, 24);
  return row;
}

void RouterPanel(Ui::Spool& f) {
  auto* grid = Tight(new QGridLayout(f.Route_Top_panel), 6, 4);
  const std::pair<QWidget*, int> first[] = {{f.HomeXYbut, 0}, {f.HomeZbut, 1}, {f.Spindlebut, 2}, {f.Sp1_LED, 3},
                                            {f.Spindletwo, 4}, {f.SP2_LED, 5}, {f.Lasbut, 6}, {f.Touch, 7}};
  for (const auto& [w, col] : first) Add(grid, w, 0, col);
  auto* aux1 = Tight(new QHBoxLayout);
  Add(aux1, f.Aux1_but, 1);
  Add(aux1, f.Aux1_LED);
  grid->addLayout(aux1, 1, 0);
  auto* aux2 = Tight(new QHBoxLayout);
  Add(aux2, f.Aux2_but, 1);
  Add(aux2, f.Aux2_LED);
  grid->addLayout(aux2, 1, 1, 1, 2);
  Add(grid, f.Work_offset_but, 1, 3, 1, 2);
  Add(grid, f.Laser_Box, 1, 5, 1, 3);
  for (QWidget* led : {f.Sp1_LED, f.SP2_LED, f.Aux1_LED, f.Aux2_LED}) Led(led);
  for (QWidget* b : {f.HomeXYbut, f.HomeZbut, f.Spindlebut, f.Spindletwo, f.Lasbut, f.Touch, f.Aux1_but, f.Aux2_but,
                     f.Work_offset_but}) {
    b->setMinimumHeight(30);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  auto* laser = Tight(new QHBoxLayout(f.Laser_Box), 2, 4);
  for (QWidget* w : {static_cast<QWidget*>(f.Button1), static_cast<QWidget*>(f.Button3),
                     static_cast<QWidget*>(f.Power_cap), static_cast<QWidget*>(f.pwm_on)}) {
    Add(laser, w);
  }
}

void PlasmaPanel(Ui::Spool& f) {
  auto* grid = Tight(new QGridLayout(f.Plasma_Top_panel), 6, 4);
  Add(grid, f.Material, 0, 0, 2, 1);
  const std::pair<QLabel*, QWidget*> fields[] = {{f.pierce_height_cap, f.pierce_height},
                                                 {f.Pierce_delay_cap, f.Pierce_delay},
                                                 {f.Plasma_feed_cap, f.Plasma_feed},
                                                 {f.Set_current_cap, f.Set_current},
                                                 {f.THC_voltage_cap, f.THC_voltage}};
  int col = 1;
  for (const auto& [cap, edit] : fields) {
    Add(grid, cap, 0, col);
    Add(grid, edit, 1, col);
    ++col;
  }
  auto* volts = Tight(new QHBoxLayout);
  for (QLabel* l : {f.Volt_Hi, f.Volt_good, f.Volt_low}) {
    l->setMinimumHeight(24);
    Add(volts, l, 1);
  }
  grid->addLayout(volts, 2, 1, 1, 5);
}

}  // namespace

void LayOutConsole(Ui::Spool& f, QWidget& central) {
  auto* root = Tight(new QVBoxLayout(&central), 4, 4);
  root->addLayout(TopRow(f));

  auto* middle = Tight(new QHBoxLayout, 0, 6);
  middle->addLayout(Readouts(f), 5);
  middle->addLayout(StateColumn(f), 1);
  middle->addLayout(RunColumn(f), 4);
  f.Gauge1->setMinimumSize(20, 100);
  f.Gauge1->setMaximumWidth(28);
  Add(middle, f.Gauge1);
  root->addLayout(middle, 6);

  root->addWidget(CodeLines(f), 2);

  auto* manual = Tight(new QHBoxLayout, 0, 10);
  manual->addLayout(JogPad(f), 1);
  manual->addLayout(MovePanels(f), 1);
  root->addLayout(manual, 3);

  root->addLayout(Speeds(f));

  RouterPanel(f);
  PlasmaPanel(f);
  // The machine-type panels share one place; one of them is hidden.
  auto* panels = Tight(new QVBoxLayout, 0, 0);
  Add(panels, f.Route_Top_panel);
  Add(panels, f.Plasma_Top_panel);
  root->addLayout(panels);

  f.Com_list->setMinimumHeight(60);
  Add(root, f.Com_list, 1);

  f.Estopbut->setMinimumHeight(kStopMinimumHeight);
  f.Estopbut->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  QFont stop = f.Estopbut->font();
  stop.setPointSize(28);
  f.Estopbut->setFont(stop);
  Add(root, f.Estopbut, 1);
  f.Continue->setMinimumHeight(36);
  Add(root, f.Continue);
}

void FitReadouts(Ui::Spool& f) {
  QLabel* values[] = {f.XPOS, f.ypos, f.ZPOS};
  const QLabel* reference = f.XPOS;
  const QRect room = reference->contentsRect();
  if (room.height() <= 0 || room.width() <= 0) return;
  QFont font = reference->font();
  font.setPixelSize(100);
  const int sampleWidth = QFontMetrics(font).horizontalAdvance(kReadoutSample);
  const int byHeight = static_cast<int>(room.height() * kReadoutHeightShare);
  const int byWidth = sampleWidth > 0 ? room.width() * 100 * 95 / (sampleWidth * 100) : byHeight;
  const int pixels = std::max(10, std::min(byHeight, byWidth));
  font.setPixelSize(pixels);
  for (QLabel* l : values) l->setFont(font);
  f.WPOS->setFont(font);
  QFont letters = f.X_pan->font();
  letters.setPixelSize(std::max(10, pixels * 3 / 4));
  // Their minimum stays fixed, so the window's smallest size never follows the font.
  for (QLabel* l : {f.X_pan, f.Y_pan, f.Z_pan, f.W_pan1}) l->setFont(letters);
}

}  // namespace wendlar::ui
