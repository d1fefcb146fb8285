#include "ui/BoundWindow.h"

namespace wendlar::ui {

bool RenderWindowControl(QWidget& window, const Control& form) {
  if (!form.Caption().empty()) window.setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Visible() == window.isVisible()) return false;
  if (!form.Visible()) {
    window.hide();
    return false;
  }
  window.show();
  window.raise();
  window.activateWindow();
  return true;
}

}  // namespace wendlar::ui
