#include "ui/ScriptWindow.h"

#include "ui_Script_reader.h"

namespace wendlar::ui {

ScriptWindow::ScriptWindow(TScript_readerView& view, QWidget* parent)
    : BoundDialog(view, parent), form_(std::make_unique<Ui::Script_reader>()) {
  form_->setupUi(this);
  StartBinding();
}

ScriptWindow::~ScriptWindow() = default;

}  // namespace wendlar::ui
