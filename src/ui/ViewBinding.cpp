#include "ui/ViewBinding.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QWidget>

#include "ui/PanelButton.h"
#include "ui/SpinButton.h"

namespace wendlar::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

int ButtonOf(Qt::MouseButton b) {
  if (b == Qt::RightButton) return 1;
  if (b == Qt::MiddleButton) return 2;
  return 0;
}

bool IsActionable(QObject* o) {
  if (auto* a = qobject_cast<QAction*>(o)) return a->menu() == nullptr && !a->isSeparator();
  if (qobject_cast<PanelButton*>(o) || qobject_cast<SpinButton*>(o)) return true;
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return !b->isCheckable();
  return false;
}

void SetColorRole(QWidget* w, QPalette::ColorRole role, Color color, const QPalette& design) {
  QPalette p = w->palette();
  const bool text = role == QPalette::WindowText || role == QPalette::ButtonText || role == QPalette::Text;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    // A disabled control keeps the greyed caption of its form, so it looks disabled.
    const bool keep = color == kColorDefault || (text && group == QPalette::Disabled);
    p.setColor(group, role, keep ? design.color(group, role) : ToQColor(color));
  }
  w->setPalette(p);
}

}  // namespace

QColor ToQColor(Color color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

ViewBinding::ViewBinding(ViewModel& model, QWidget& window) : model_(model), window_(window) {}

ViewBinding::~ViewBinding() { model_.SetOnChange(nullptr); }

void ViewBinding::On(const std::string& name, ControlEventKind kind, ControlHandler handler) {
  handlers_[name][kind] = std::move(handler);
  if (!started_) return;
  auto it = bindings_.find(name);
  if (it != bindings_.end()) UpdateInert(it->second);
}

void ViewBinding::OnClick(const std::string& name, std::function<void()> handler) {
  On(name, ControlEventKind::kClick, [handler = std::move(handler)](const ControlEvent&) { handler(); });
}

bool ViewBinding::HasHandler(const std::string& name) const {
  auto it = handlers_.find(name);
  return it != handlers_.end() && !it->second.empty();
}

QObject* ViewBinding::Target(const std::string& name) const {
  auto it = bindings_.find(name);
  return it == bindings_.end() ? nullptr : it->second.target.data();
}

bool ViewBinding::IsInert(const std::string& name) const {
  auto it = bindings_.find(name);
  return it != bindings_.end() && it->second.inert;
}

std::vector<std::string> ViewBinding::Unbound() const {
  std::vector<std::string> names;
  for (const Control* c : model_.Controls()) {
    if (bindings_.find(c->Name()) == bindings_.end()) names.push_back(c->Name());
  }
  return names;
}

void ViewBinding::Start() {
  for (Control* c : model_.Controls()) {
    const QString name = Q(c->Name());
    QObject* target = window_.objectName() == name ? static_cast<QObject*>(&window_) : window_.findChild<QObject*>(name);
    if (target == nullptr) continue;
    Binding& b = bindings_[c->Name()];
    b.control = c;
    b.target = target;
    if (auto* w = qobject_cast<QWidget*>(target)) {
      b.designPalette = w->palette();
      b.autoFillDesign = w->autoFillBackground();
    }
    b.actionable = target != &window_ && IsActionable(target);
    Connect(b);
  }
  // Parts of the form that no model control names: buttons still need a handler, and
  // labels may open something when clicked (the axis panels).
  for (QObject* o : window_.findChildren<QObject*>()) {
    const std::string name = o->objectName().toStdString();
    const bool actionable = IsActionable(o);
    if (name.empty() || bindings_.count(name) != 0 || !(actionable || qobject_cast<QLabel*>(o))) continue;
    if (qobject_cast<SpinButton*>(o->parent()) != nullptr) continue;  // the arrows of a spin button
    Binding& b = bindings_[name];
    b.target = o;
    b.actionable = actionable;
    b.formOnly = true;
    if (auto* w = qobject_cast<QWidget*>(o)) {
      b.designEnabled = w->isEnabled();
    } else if (auto* a = qobject_cast<QAction*>(o)) {
      b.designEnabled = a->isEnabled();
    }
    Connect(b);
  }
  window_.installEventFilter(this);
  started_ = true;
  // The form is where controls sit: the logic places one control relative to another
  // (the M00 button below the stop button), so the model learns every position it left open.
  for (auto& [name, b] : bindings_) {
    auto* w = qobject_cast<QWidget*>(b.target);
    if (b.control == nullptr || w == nullptr || w == &window_) continue;
    const Control& c = *b.control;
    const QRect g = w->geometry();
    b.control->SetBounds(c.Left() != 0 ? c.Left() : g.x(), c.Top() != 0 ? c.Top() : g.y(),
                         c.Width() != 0 ? c.Width() : g.width(), c.Height() != 0 ? c.Height() : g.height());
  }
  for (auto& [name, b] : bindings_) {
    b.inert = b.actionable && !HasHandler(name);
    RenderInto(b, true);
  }
  model_.SetOnChange([this](const Control& c) { Render(c); });
}

namespace {

// What an entry without its window says instead of doing nothing; the model's own reason
// (firmware, a setting) comes first.
QString InertHint(const std::string& reason) {
  const QString coming = QStringLiteral("its window is not in this version yet");
  if (reason.empty()) return QStringLiteral("Not available: ") + coming;
  return QString::fromStdString(reason) + QStringLiteral("; ") + coming;
}

void ShowHint(QObject* target, const QString& hint) {
  if (auto* w = qobject_cast<QWidget*>(target)) w->setToolTip(hint);
  if (auto* a = qobject_cast<QAction*>(target)) a->setToolTip(hint);
}

}  // namespace

void ViewBinding::UpdateInert(Binding& b) {
  const bool inert = b.actionable && !HasHandler(b.target->objectName().toStdString());
  if (inert == b.inert) return;
  b.inert = inert;
  if (!inert) ShowHint(b.target, b.control != nullptr ? QString::fromStdString(b.control->Hint()) : QString());
  RenderInto(b, false);
}

void ViewBinding::Connect(Binding& b) {
  const std::string name = b.target->objectName().toStdString();
  Control* control = b.control;  // null for parts of the form the model does not name
  QObject* t = b.target;
  if (auto* a = qobject_cast<QAction*>(t)) {
    // The logic owns a menu entry's check mark: undo Qt's own toggle before forwarding.
    connect(a, &QAction::triggered, this, [this, a, control, name] {
      if (control != nullptr && a->isCheckable() && a->isChecked() != control->Checked()) {
        const QSignalBlocker block(a);
        a->setChecked(control->Checked());
      }
      Forward(name, {ControlEventKind::kClick, 0});
    });
    return;
  }
  if (auto* p = qobject_cast<PanelButton*>(t)) {
    connect(p, &PanelButton::mouseDown, this, [this, name](int button) {
      Forward(name, {ControlEventKind::kMouseDown, button});
    });
    connect(p, &PanelButton::mouseUp, this, [this, name](int button) {
      Forward(name, {ControlEventKind::kMouseUp, button});
    });
    connect(p, &PanelButton::clicked, this, [this, name] { Forward(name, {ControlEventKind::kClick, 0}); });
    connect(p, &PanelButton::pressLost, this, [this, name](int button) {
      Forward(name, {ControlEventKind::kPressLost, button});
    });
    return;
  }
  if (auto* s = qobject_cast<SpinButton*>(t)) {
    connect(s, &SpinButton::upClicked, this, [this, name] { Forward(name, {ControlEventKind::kSpinUp, 0}); });
    connect(s, &SpinButton::downClicked, this, [this, name] { Forward(name, {ControlEventKind::kSpinDown, 0}); });
    return;
  }
  if (auto* btn = qobject_cast<QAbstractButton*>(t)) {
    if (btn->isCheckable() && control != nullptr) {
      connect(btn, &QAbstractButton::toggled, this, [control](bool on) { control->SetChecked(on); });
    }
    connect(btn, &QAbstractButton::pressed, this, [this, name] { Forward(name, {ControlEventKind::kMouseDown, 0}); });
    connect(btn, &QAbstractButton::released, this, [this, name] { Forward(name, {ControlEventKind::kMouseUp, 0}); });
    connect(btn, &QAbstractButton::clicked, this, [this, name] { Forward(name, {ControlEventKind::kClick, 0}); });
    return;
  }
  if (auto* e = qobject_cast<QLineEdit*>(t)) {
    connect(e, &QLineEdit::textEdited, this, [this, control, name](const QString& text) {
      control->SetCaption(text.toStdString());
      Forward(name, {ControlEventKind::kChange, 0});
    });
    return;
  }
  if (auto* sb = qobject_cast<QSpinBox*>(t)) {
    connect(sb, &QSpinBox::valueChanged, this, [this, control, name](int v) {
      control->SetPosition(v);
      Forward(name, {ControlEventKind::kChange, 0});
    });
    return;
  }
  if (auto* sl = qobject_cast<QSlider*>(t)) {
    connect(sl, &QSlider::valueChanged, this, [this, control, name](int v) {
      control->SetPosition(v);
      Forward(name, {ControlEventKind::kChange, 0});
    });
    return;
  }
  if (auto* list = qobject_cast<QListWidget*>(t)) {
    connect(list, &QListWidget::currentRowChanged, this, [this, control, name](int row) {
      control->SetPosition(row);
      Forward(name, {ControlEventKind::kChange, 0});
    });
    return;
  }
  if (qobject_cast<QLabel*>(t) != nullptr) t->installEventFilter(this);  // labels that open dialogs
}

void ViewBinding::Forward(const std::string& name, ControlEvent event) {
  // Changes the model drives are not the operator's, except a press the model ended by
  // hiding or disabling its panel, which must still reach the logic.
  if (rendering_ > 0 && event.kind != ControlEventKind::kPressLost) return;
  auto it = handlers_.find(name);
  if (it == handlers_.end()) return;
  auto h = it->second.find(event.kind);
  if (h == it->second.end()) return;
  ControlHandler handler = h->second;  // the handler may replace itself
  handler(event);
}

bool ViewBinding::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_) {
    // A press the window will never see released must still end (a jog must stop).
    if (event->type() == QEvent::WindowDeactivate) {
      for (PanelButton* p : window_.findChildren<PanelButton*>()) p->CancelPress();
    }
    return false;
  }
  if (qobject_cast<QLabel*>(watched) == nullptr || qobject_cast<PanelButton*>(watched) != nullptr) return false;
  const std::string name = watched->objectName().toStdString();
  auto* me = static_cast<QMouseEvent*>(event);
  if (event->type() == QEvent::MouseButtonPress) {
    Forward(name, {ControlEventKind::kMouseDown, ButtonOf(me->button())});
  } else if (event->type() == QEvent::MouseButtonRelease) {
    const int button = ButtonOf(me->button());
    Forward(name, {ControlEventKind::kMouseUp, button});
    auto* label = static_cast<QWidget*>(watched);
    if (button == 0 && label->rect().contains(me->position().toPoint())) Forward(name, {ControlEventKind::kClick, 0});
  }
  return false;
}

void ViewBinding::Render(const Control& control) {
  auto it = bindings_.find(control.Name());
  if (it == bindings_.end()) return;
  RenderInto(it->second, false);
}

void ViewBinding::RenderInto(Binding& b, bool first) {
  if (b.target.isNull()) return;
  if (b.control == nullptr) {
    if (auto* w = qobject_cast<QWidget*>(b.target)) w->setEnabled(b.designEnabled && !b.inert);
    if (auto* a = qobject_cast<QAction*>(b.target)) a->setEnabled(b.designEnabled && !b.inert);
    if (b.inert) ShowHint(b.target, InertHint({}));
    return;
  }
  const Control& c = *b.control;
  ++rendering_;
  if (b.target == &window_) {
    if (windowRenderer_) windowRenderer_(c);
  } else if (auto* a = qobject_cast<QAction*>(b.target)) {
    if (first ? !c.Caption().empty() : c.Caption() != b.shown.caption) a->setText(Q(c.Caption()));
    if (first ? !c.Hint().empty() : c.Hint() != b.shown.hint) a->setToolTip(Q(c.Hint()));
    a->setVisible(c.Visible());
    a->setEnabled(c.Enabled() && !b.inert);
    if (a->isCheckable()) a->setChecked(c.Checked());
  } else if (auto* m = qobject_cast<QMenu*>(b.target)) {
    if (first ? !c.Caption().empty() : c.Caption() != b.shown.caption) m->setTitle(Q(c.Caption()));
    m->menuAction()->setVisible(c.Visible());
    m->menuAction()->setEnabled(c.Enabled());
  } else if (auto* w = qobject_cast<QWidget*>(b.target)) {
    RenderWidget(b, w, first);
  }
  if (b.inert) ShowHint(b.target, InertHint(c.Hint()));
  b.shown.caption = c.Caption();
  b.shown.hint = c.Hint();
  b.shown.fontColor = c.FontColor();
  b.shown.backColor = c.BackColor();
  b.shown.raised = c.Raised();
  b.shown.left = c.Left();
  b.shown.top = c.Top();
  b.shown.width = c.Width();
  b.shown.height = c.Height();
  b.shown.items = c.Items();
  --rendering_;
}

void ViewBinding::RenderWidget(Binding& b, QWidget* w, bool first) {
  const Control& c = *b.control;
  const Rendered& was = b.shown;
  auto changed = [first](const auto& now, const auto& before, const auto& unset) {
    return first ? now != unset : now != before;
  };

  if (changed(c.Caption(), was.caption, std::string())) {
    const QString text = Q(c.Caption());
    if (auto* l = qobject_cast<QLabel*>(w)) {
      l->setText(text);
    } else if (auto* btn = qobject_cast<QAbstractButton*>(w)) {
      btn->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      if (e->text() != text) e->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      g->setTitle(text);
    }
  }
  if (changed(c.Hint(), was.hint, std::string())) w->setToolTip(Q(c.Hint()));

  const bool isButton = qobject_cast<QAbstractButton*>(w) != nullptr;
  const bool isEntry = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QListWidget*>(w);
  if (changed(c.FontColor(), was.fontColor, kColorDefault)) {
    const auto role = isButton ? QPalette::ButtonText : isEntry ? QPalette::Text : QPalette::WindowText;
    SetColorRole(w, role, c.FontColor(), b.designPalette);
  }
  if (changed(c.BackColor(), was.backColor, kColorDefault)) {
    if (qobject_cast<QProgressBar*>(w)) {
      SetColorRole(w, QPalette::Highlight, c.BackColor(), b.designPalette);
    } else if (isButton) {
      SetColorRole(w, QPalette::Button, c.BackColor(), b.designPalette);
    } else if (isEntry) {
      SetColorRole(w, QPalette::Base, c.BackColor(), b.designPalette);
    } else {
      SetColorRole(w, QPalette::Window, c.BackColor(), b.designPalette);
      w->setAutoFillBackground(c.BackColor() != kColorDefault || b.autoFillDesign);
    }
  }

  if (auto* p = qobject_cast<PanelButton*>(w)) {
    p->SetRaised(c.Raised());
  } else if (auto* f = qobject_cast<QFrame*>(w); f && !qobject_cast<QAbstractScrollArea*>(w) && f->frameShape() == QFrame::Panel) {
    f->setFrameShadow(c.Raised() ? QFrame::Raised : QFrame::Sunken);
  }

  if (auto* btn = qobject_cast<QAbstractButton*>(w); btn && btn->isCheckable() && btn->isChecked() != c.Checked()) {
    auto* radio = qobject_cast<QRadioButton*>(btn);
    // An exclusive radio refuses to be unticked; the logic may untick a whole group.
    const bool exclusive = radio && radio->autoExclusive() && !c.Checked();
    if (exclusive) radio->setAutoExclusive(false);
    btn->setChecked(c.Checked());
    if (exclusive) radio->setAutoExclusive(true);
  }

  if (auto* bar = qobject_cast<QProgressBar*>(w)) {
    bar->setValue(std::clamp(c.Position(), bar->minimum(), bar->maximum()));
  } else if (auto* sb = qobject_cast<QSpinBox*>(w)) {
    if (first && c.Position() < sb->minimum()) {
      b.control->SetPosition(sb->value());  // the form's value stands until the logic sets one
    } else if (sb->value() != c.Position()) {
      sb->setValue(c.Position());
    }
  } else if (auto* sl = qobject_cast<QSlider*>(w)) {
    if (sl->value() != c.Position()) sl->setValue(c.Position());
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    const auto& now = c.Items();
    const auto& before = was.items;
    const bool appended = !first && now.size() >= before.size() && std::equal(before.begin(), before.end(), now.begin());
    if (!appended) list->clear();
    const bool atEnd = list->count() == 0 || list->currentRow() < 0;
    for (size_t i = appended ? before.size() : 0; i < now.size(); ++i) list->addItem(Q(now[i]));
    if (now.size() != before.size() && atEnd) list->scrollToBottom();
  }

  // A control in a layout is placed by it; the model's geometry would only fight it.
  const bool laidOut = w->property("laidOut").toBool();
  if (!laidOut &&
      (first || c.Left() != was.left || c.Top() != was.top || c.Width() != was.width || c.Height() != was.height)) {
    QRect g = w->geometry();
    if (first ? c.Left() != 0 : c.Left() != was.left) g.moveLeft(c.Left());
    if (first ? c.Top() != 0 : c.Top() != was.top) g.moveTop(c.Top());
    if (first ? c.Width() != 0 : c.Width() != was.width) g.setWidth(c.Width());
    if (first ? c.Height() != 0 : c.Height() != was.height) g.setHeight(c.Height());
    if (g != w->geometry()) w->setGeometry(g);
  }

  w->setEnabled(c.Enabled() && !b.inert);
  w->setVisible(c.Visible());
}

}  // namespace wendlar::ui
