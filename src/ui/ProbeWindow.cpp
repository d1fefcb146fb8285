#include "ui/ProbeWindow.h"

#include <QCloseEvent>

#include "ui_TProbeBox.h"

namespace wendlar::ui {

ProbeWindow::ProbeWindow(TProbeBoxView& view, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      form_(std::make_unique<Ui::TProbeBox>()),
      binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

ProbeWindow::~ProbeWindow() = default;

void ProbeWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Visible() == isVisible()) return;
  if (!form.Visible()) {
    hide();
    return;
  }
  show();
  raise();
  activateWindow();
}

void ProbeWindow::closeEvent(QCloseEvent* event) {
  if (onClose_) onClose_();
  event->accept();
}

}  // namespace wendlar::ui
