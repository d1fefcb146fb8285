// Up and down arrows without a number box, each click a step the logic counts.
#pragma once

#include <QWidget>

class QToolButton;

namespace wendlar::ui {

class SpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit SpinButton(QWidget* parent = nullptr);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void upClicked();
  void downClicked();

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace wendlar::ui
