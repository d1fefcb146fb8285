#include "ui/SpinButton.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace wendlar::ui {

SpinButton::SpinButton(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* b : {up_, down_}) {
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setAutoRepeat(true);  // held, it keeps stepping as the arrows of a spin box do
    b->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(b);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setObjectName("up");
  down_->setObjectName("down");
  connect(up_, &QToolButton::clicked, this, &SpinButton::upClicked);
  connect(down_, &QToolButton::clicked, this, &SpinButton::downClicked);
}

}  // namespace wendlar::ui
