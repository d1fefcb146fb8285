// The connection window (TUSBmodule): the Designer form bound to the link's view model.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

#include "link/UsbView.h"
#include "ui/ViewBinding.h"

namespace Ui {
class USBmodule;
}

namespace wendlar::ui {

// Window heights in the model count the title bar and borders; the form gets this much less.
inline constexpr int kWindowChromeHeight = 30;

class UsbWindow : public QWidget {
  Q_OBJECT
 public:
  explicit UsbWindow(UsbView& view, QWidget* parent = nullptr);
  ~UsbWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::USBmodule& Form() { return *form_; }
  // The first time the model shows the window it opens beside `beside`, not over it.
  void SetBeside(QWidget* beside) { beside_ = beside; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);
  // Puts the window beside the console: right of it when the screen has room, else left.
  void PlaceBeside();

  static constexpr int kRowMargin = 4;
  static constexpr int kSettleMs = 300;

  std::unique_ptr<Ui::USBmodule> form_;
  UsbView& view_;
  ViewBinding binding_;
  QPointer<QWidget> beside_;
  bool placed_ = false;
};

}  // namespace wendlar::ui
