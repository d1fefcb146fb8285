// The service windows: the tool changer (TTC_menu) and diagnostics (TTest), bound to their
// models.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

#include "tools/DiagnosticsWindow.h"
#include "tools/ToolChangerMenu.h"
#include "ui/BoundDialog.h"
#include "ui/BoundWindow.h"

namespace Ui {
class TC_menu;
class Test;
}

namespace wendlar::ui {

// Modeless, at 50, 50.
class ToolChangerWindow : public BoundDialog {
  Q_OBJECT
 public:
  explicit ToolChangerWindow(TTC_menuView& view, QWidget* parent = nullptr);
  ~ToolChangerWindow() override;

  Ui::TC_menu& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::TC_menu> form_;
};

// A window of its own with a menu bar; a double click anywhere on the result list clears it.
class DiagnosticsWindow : public BoundWindow<QMainWindow> {
  Q_OBJECT
 public:
  explicit DiagnosticsWindow(TTestView& view, QWidget* parent = nullptr);
  ~DiagnosticsWindow() override;

  Ui::Test& Form() { return *form_; }
  void SetOnListDoubleClick(std::function<void()> onDouble) { onDouble_ = std::move(onDouble); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<Ui::Test> form_;
  std::function<void()> onDouble_;
};

}  // namespace wendlar::ui
