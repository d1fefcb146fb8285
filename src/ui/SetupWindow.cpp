#include "ui/SetupWindow.h"

#include <QLineEdit>

#include "ui_Setupmenu.h"

namespace wendlar::ui {

void OnEditExit(QWidget& window, const std::string& name, std::function<void()> handler) {
  auto* edit = window.findChild<QLineEdit*>(QString::fromStdString(name));
  if (edit == nullptr) return;
  QObject::connect(edit, &QLineEdit::editingFinished, &window, std::move(handler));
}

SetupWindow::SetupWindow(TSetupmenuView& view, QWidget* parent)
    : BoundWindow(view, parent), form_(std::make_unique<Ui::Setupmenu>()) {
  form_->setupUi(this);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  StartBinding();
}

SetupWindow::~SetupWindow() = default;

}  // namespace wendlar::ui
