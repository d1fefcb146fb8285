#include "ui/ViewerWindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Colors.h"

namespace wendlar::ui {

namespace {

constexpr int kSidePanel = kViewerSideColumn;
constexpr int kDragCell = 2;         // the level of detail (pixels) while the mouse drags
constexpr uint32_t kLinesPerCall = 8192;

QLabel* Label(const char* name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  return l;
}

QPushButton* Button(const char* name, QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

ViewerCanvas::ViewerCanvas(ViewerModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("Canvas");
  setMinimumSize(300, 300);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  settle_.setSingleShot(true);
  settle_.setInterval(150);
  connect(&settle_, &QTimer::timeout, this, [this] {
    dragging_ = false;
    update();
  });
}

size_t ViewerCanvas::Draw(QPainter& painter) {
  const ViewerCamera& cam = model_.Camera;
  painter.setRenderHint(QPainter::Antialiasing, false);
  // The ground grid first, under the path.
  painter.setPen(QPen(ToQColor(kSilver), 0));
  const std::vector<ViewerPoint> grid = model_.GridLines();
  for (size_t i = 0; i + 1 < grid.size(); i += 2) {
    double x0, y0, x1, y1;
    cam.ProjectExact(grid[i].X, grid[i].Y, grid[i].Z, x0, y0);
    cam.ProjectExact(grid[i + 1].X, grid[i + 1].Y, grid[i + 1].Z, x1, y1);
    painter.drawLine(QPointF(x0, y0), QPointF(x1, y1));
  }

  // While the mouse drags, a coarser picture keeps up with it; the full one follows.
  const ViewerFrame& frame = model_.BuildFrame(dragging_ ? kDragCell : 1);
  QPen pen(ToQColor(kBlue), 0, Qt::SolidLine);
  for (const ViewerFrame::Batch& batch : frame.Batches) {
    pen.setColor(ToQColor(batch.Pen));
    pen.setStyle(batch.Rapid ? Qt::DotLine : Qt::SolidLine);
    painter.setPen(pen);
    // In pieces, so the buffer stays small however long the batch is.
    for (uint32_t done = 0; done < batch.Count;) {
      const uint32_t count = std::min<uint32_t>(batch.Count - done, kLinesPerCall);
      lines_.resize(count);
      const float* xy = frame.Lines.data() + (static_cast<size_t>(batch.First) + done) * 4;
      for (uint32_t i = 0; i < count; ++i, xy += 4) lines_[i] = QLineF(xy[0], xy[1], xy[2], xy[3]);
      painter.drawLines(lines_.data(), static_cast<int>(count));
      done += count;
    }
  }
  return frame.Segments();
}

void ViewerCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  lastDrawn_ = Draw(painter);
}

void ViewerCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The drawing area is the canvas; Zoom all counts the side column in as the model says.
  model_.SetWindowSize(width() + kSidePanel, height());
}

void ViewerCanvas::mousePressEvent(QMouseEvent* event) { last_ = event->position().toPoint(); }

void ViewerCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const bool left = (event->buttons() & Qt::LeftButton) != 0;
  const bool right = (event->buttons() & Qt::RightButton) != 0;
  if (left || right) {
    model_.MouseDrag(left, at.x() - last_.x(), at.y() - last_.y());
    Moving();
  }
  last_ = at;
}

void ViewerCanvas::wheelEvent(QWheelEvent* event) {
  if (event->angleDelta().y() == 0) return;
  model_.MouseWheel(event->angleDelta().y() > 0);
  Moving();
}

void ViewerCanvas::Moving() {
  dragging_ = true;
  settle_.start();
  update();
}

ViewerWindow::ViewerWindow(ViewerModel& model, QWidget* parent)
    : QDialog(parent), model_(model), binding_(model.View, *this) {
  setObjectName("TViewer_box");
  setWindowTitle("Toolpath viewer");
  setWindowModality(Qt::ApplicationModal);
  resize(950, 650);

  auto* top = new QHBoxLayout(this);
  auto* left = new QVBoxLayout();
  canvas_ = new ViewerCanvas(model_, this);
  left->addWidget(canvas_, 1);
  auto* slider = new QSlider(Qt::Horizontal, this);
  slider->setObjectName("Horiz_bar");
  slider->setRange(0, 1000);
  left->addWidget(slider);
  left->addWidget(Label("Hint", this));
  top->addLayout(left, 1);

  auto* side = new QWidget(this);
  side->setFixedWidth(kSidePanel + 40);
  auto* col = new QVBoxLayout(side);
  col->setContentsMargins(0, 0, 0, 0);
  for (const char* name : {"Xsize_lab", "Ysize_lab", "Zsize_lab", "Ztop_lab", "Zbot_lab", "Tot_lines",
                           "Cur_line_lab", "Cur_tool_lab", "Cur_lay_lab", "Xpos_lab", "Ypos_Lab", "Zpos_lab",
                           "Angle_lab"}) {
    col->addWidget(Label(name, side));
  }
  auto* list = new QFrame(side);
  list->setFrameShape(QFrame::StyledPanel);
  auto* listCol = new QVBoxLayout(list);
  listCol->setSpacing(0);
  for (const char* name : {"L1", "L2", "L3", "L4", "L5"}) listCol->addWidget(Label(name, list));
  col->addWidget(list);
  for (const char* name : {"Step_it", "Start_timer", "Run_it", "Button1", "Rewind", "Cancel_jump"}) {
    col->addWidget(Button(name, side));
  }
  auto* bar = new QProgressBar(side);
  bar->setObjectName("Load_bar");
  bar->setRange(0, 100);
  col->addWidget(bar);

  auto* pan = new QFrame(side);
  pan->setObjectName("Restart_pan");
  pan->setFrameShape(QFrame::StyledPanel);
  auto* panCol = new QVBoxLayout(pan);
  panCol->addWidget(Label("XY_go", pan));
  panCol->addWidget(Label("Z_go", pan));
  auto* spindle = new QCheckBox(pan);
  spindle->setObjectName("Start_router");
  panCol->addWidget(spindle);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(Button("Go_button", pan));
  buttons->addWidget(Button("Cancel_go", pan));
  panCol->addLayout(buttons);
  col->addWidget(pan);
  col->addStretch(1);
  top->addWidget(side);

  // Every change the logic makes may move the picture.
  auto redraw = [this](std::function<void()> act) {
    return [this, act] {
      act();
      canvas_->update();
    };
  };
  binding_.OnClick("Step_it", redraw([this] { model_.Step_itClick(); }));
  binding_.OnClick("Start_timer", [this] {
    model_.Start_timerClick();
    if (model_.Playing) {
      timer1_.start();
    } else {
      timer1_.stop();
    }
    canvas_->update();
  });
  binding_.OnClick("Button1", redraw([this] { model_.ZoomAllClick(); }));
  binding_.OnClick("Rewind", redraw([this] { model_.RewindClick(); }));
  binding_.OnClick("Run_it", [this] { model_.Run_itClick(); });
  binding_.OnClick("Cancel_go", [this] { model_.Cancel_goClick(); });
  binding_.OnClick("Go_button", [this] {
    if (go_ && go_()) hide();
  });
  binding_.OnClick("Cancel_jump", [this] {
    if (cancelJump_) cancelJump_();
    hide();
  });
  binding_.On("Horiz_bar", ControlEventKind::kChange, [this](const ControlEvent&) {
    if (reading_) return;
    model_.Horiz_barChange(model_.View.Horiz_bar.Position());
    canvas_->update();
  });
  // Playback at a pace the eye can follow: one line or record per tick.
  timer1_.setInterval(40);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    model_.Timer1Tick();
    if (!model_.Playing) timer1_.stop();
    canvas_->update();
  });
  binding_.Start();
}

void ViewerWindow::SetRunFromHere(std::function<bool()> go, std::function<void()> cancelJump) {
  go_ = std::move(go);
  cancelJump_ = std::move(cancelJump);
}

bool ViewerWindow::OpenJob(const std::string& path, const ConfigState& config, const PreflightStart& start) {
  show();
  raise();
  model_.SetWindowSize(canvas_->width() + kSidePanel, canvas_->height());
  reading_ = true;
  int64_t total = 0;
  {
    // For the bar only: a spooler job's records are its size over 20 bytes; a program's
    // lines are estimated at 24 bytes each (the bar stops at full).
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    total = ec ? 0 : static_cast<int64_t>(bytes / (IsSpoolJobFile(path) ? kSpoolRecordBytes : 24));
  }
  const bool ok = model_.Open(path, config, start, [this, total](int line) {
    if (total > 0) model_.View.Load_bar.SetPosition(static_cast<int>(std::min<int64_t>(100, line * 100 / total)));
    QCoreApplication::processEvents();
    return isVisible();  // closing the window abandons the reading
  });
  reading_ = false;
  canvas_->update();
  return ok;
}

void ViewerWindow::reject() { hide(); }

void ViewerWindow::hideEvent(QHideEvent* event) {
  timer1_.stop();
  model_.Playing = false;
  model_.View.Start_timer.SetCaption("Start");
  QDialog::hideEvent(event);
}

}  // namespace wendlar::ui
