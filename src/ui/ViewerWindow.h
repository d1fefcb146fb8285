// The toolpath viewer window (TViewer_box): draws the viewer model's path and forwards the
// mouse, the buttons, the slider and Timer1 to it.
#pragma once

#include <QDialog>
#include <QLineF>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

#include "tools/ViewerModel.h"
#include "ui/ViewBinding.h"

namespace wendlar::ui {

// The drawing area: the ground grid and the path up to ViewLine, in perspective.
class ViewerCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit ViewerCanvas(ViewerModel& model, QWidget* parent = nullptr);
  // Segments drawn by the last paint (after the level of detail), for tests and the benchmark.
  size_t LastDrawn() const { return lastDrawn_; }
  // Draws the picture onto any painter (the window's paint and the benchmark); returns the
  // segments drawn.
  size_t Draw(class QPainter& painter);
  // True from a drag or wheel event until the mouse has rested a moment: the picture is coarser.
  bool Dragging() const { return dragging_; }
  void SetDragging(bool on) { dragging_ = on; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Moving();
  ViewerModel& model_;
  QPoint last_;
  size_t lastDrawn_ = 0;
  bool dragging_ = false;
  QTimer settle_;                 // the full picture once the mouse rests
  std::vector<QLineF> lines_;  // a batch's segments, kept between frames
};

class ViewerWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ViewerWindow(ViewerModel& model, QWidget* parent = nullptr);

  // Shows the window and reads the job in steps, pumping events; false when it cannot be
  // read or the window was closed while reading.
  bool OpenJob(const std::string& path, const ConfigState& config, const PreflightStart& start);
  // Go_button and Cancel_jump: set by the console's wiring; both close the window on success.
  void SetRunFromHere(std::function<bool()> go, std::function<void()> cancelJump);

  ViewerCanvas& Canvas() { return *canvas_; }
  ViewBinding& Binding() { return binding_; }
  QTimer& Timer1() { return timer1_; }

 protected:
  void reject() override;
  // However the window goes (Ok, Cancel, the title bar), playback stops with it.
  void hideEvent(QHideEvent* event) override;

 private:
  ViewerModel& model_;
  ViewerCanvas* canvas_ = nullptr;
  ViewBinding binding_;
  QTimer timer1_;
  bool reading_ = false;
  std::function<bool()> go_;
  std::function<void()> cancelJump_;
};

}  // namespace wendlar::ui
