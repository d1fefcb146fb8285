#include "ui/EnvironmentWindow.h"

#include <QTimer>

#include "ui_Envir_setup.h"

namespace wendlar::ui {

EnvironmentWindow::EnvironmentWindow(TEnvir_setupView& view, QWidget* parent)
    : BoundWindow(view, parent, Qt::Window), form_(std::make_unique<Ui::Envir_setup>()), view_(view) {
  form_->setupUi(this);
  StartBinding();
  RenderCpuCombo();
  // Only the operator's picks go to the logic, never the list being filled or set.
  connect(form_->CPU_Combo, &QComboBox::activated, this, [this](int position) {
    if (onCpuChoice_) onCpuChoice_(position);
  });
}

EnvironmentWindow::~EnvironmentWindow() = default;

void EnvironmentWindow::RenderCpuCombo() {
  QComboBox* combo = form_->CPU_Combo;
  QStringList items;
  for (const std::string& item : view_.CPU_Combo.Items()) items << QString::fromStdString(item);
  QStringList shown;
  for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
  if (shown != items) {
    combo->clear();
    combo->addItems(items);
  }
  if (combo->currentIndex() != view_.CPU_Combo.Position()) combo->setCurrentIndex(view_.CPU_Combo.Position());
}

void EnvironmentWindow::RenderForm(const Control& form) {
  if (!RenderWindowControl(*this, form)) return;
  // Showing chooses the list position after making the window visible: take it once the
  // logic's show has run to its end.
  QTimer::singleShot(0, this, [this] { RenderCpuCombo(); });
}

}  // namespace wendlar::ui
