// A panel used as a button: a bevelled caption that reports mouse down and up with the
// mouse button, and a press that ends any other way (hidden, disabled, window left).
#pragma once

#include <QLabel>

namespace wendlar::ui {

class PanelButton : public QLabel {
  Q_OBJECT
 public:
  // Mouse buttons as the logic numbers them.
  enum Button { kLeft = 0, kRight = 1, kMiddle = 2 };

  explicit PanelButton(QWidget* parent = nullptr);

  // The bevel the model asks for; a held press shows sunken on top of it.
  void SetRaised(bool raised);
  bool IsPressed() const { return pressed_ >= 0; }
  // Ends a press that will see no mouse release (the window lost the focus).
  void CancelPress();

 signals:
  void mouseDown(int button);
  void mouseUp(int button);
  // A left press and release over the panel.
  void clicked();
  // A press ended without a release: the panel was hidden or disabled, or the window
  // lost the focus, while the button was held.
  void pressLost(int button);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ShowBevel();

  bool raised_ = true;
  int pressed_ = -1;  // the button held, or -1
};

}  // namespace wendlar::ui
