#include "ui/ProbeWindow.h"

#include "ui_TProbeBox.h"

namespace wendlar::ui {

ProbeWindow::ProbeWindow(TProbeBoxView& view, QWidget* parent)
    : BoundWindow(view, parent, Qt::Window | Qt::WindowStaysOnTopHint), form_(std::make_unique<Ui::TProbeBox>()) {
  form_->setupUi(this);
  StartBinding();
}

ProbeWindow::~ProbeWindow() = default;

}  // namespace wendlar::ui
