// Lets a window see its keys before its controls do, as the console's jog keys need.
#pragma once

#include <QObject>
#include <QPointer>

#include "ui/KeyStroke.h"

class QKeyEvent;
class QWidget;

namespace wendlar::ui {

// Converts a Qt key event; exposed for tests.
KeyStroke ToKeyStroke(const QKeyEvent& event);

// An application-wide filter: key presses and releases whose first receiver lies in
// `window` go to the handler before any control of the window.
class KeyPreview : public QObject {
  Q_OBJECT
 public:
  explicit KeyPreview(QWidget& window);
  ~KeyPreview() override;
  void SetHandler(KeyHandler handler) { handler_ = std::move(handler); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  KeyHandler handler_;
};

}  // namespace wendlar::ui
