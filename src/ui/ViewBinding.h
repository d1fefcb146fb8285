// Renders a window's view model onto its widgets and forwards the operator's input to
// the logic: the only bridge between the plain-data models and Qt.
#pragma once

#include <QObject>
#include <QPalette>
#include <QPointer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/ViewModel.h"

class QWidget;

namespace wendlar::ui {

enum class ControlEventKind {
  kClick,      // buttons, menu entries, panels, labels with a click handler
  kMouseDown,  // panels and labels: press, with the mouse button
  kMouseUp,    // release
  kPressLost,  // a held panel was hidden or disabled, or its window lost the focus
  kSpinUp,     // spin buttons
  kSpinDown,
  kChange,     // the operator changed an edit's text, a spin box or a check box
};

struct ControlEvent {
  ControlEventKind kind = ControlEventKind::kClick;
  int button = 0;  // 0 left, 1 right, 2 middle
};

using ControlHandler = std::function<void(const ControlEvent&)>;

// Widgets and menu entries are found by object name under the window, so the Designer
// form's names are the model's control names. What the model never set keeps the look
// the form gives it; visible, enabled, checked and position always follow the model.
// Buttons, panels, spin buttons and menu entries without a handler are disabled, so no
// click is ever silently dropped.
class ViewBinding : public QObject {
  Q_OBJECT
 public:
  ViewBinding(ViewModel& model, QWidget& window);
  ~ViewBinding() override;

  // Sends `kind` events of the control `name` to `handler`. May be called before or after
  // Start(); a handler makes an inert control live.
  void On(const std::string& name, ControlEventKind kind, ControlHandler handler);
  void OnClick(const std::string& name, std::function<void()> handler);
  // The window itself (a control named like the window's object) is drawn by `render`,
  // since title, size and stacking are the window class's business.
  void SetWindowRenderer(std::function<void(const Control&)> render) { windowRenderer_ = std::move(render); }

  // Finds the widgets, connects them, renders every control and follows every change.
  void Start();

  // The widget, action or menu bound to a control, or null.
  QObject* Target(const std::string& name) const;
  // Controls of the model that have no widget in the form.
  std::vector<std::string> Unbound() const;
  // True when the control's widget is disabled for want of a handler.
  bool IsInert(const std::string& name) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Rendered {
    std::string caption;
    Color fontColor = kColorDefault;
    Color backColor = kColorDefault;
    std::string hint;
    bool raised = true;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::string> items;
  };
  struct Binding {
    Control* control = nullptr;
    QPointer<QObject> target;
    QPalette designPalette;
    bool autoFillDesign = false;
    bool actionable = false;  // a button-like target that needs a handler
    bool inert = false;
    bool formOnly = false;     // in the form but not in the model: only its handler matters
    bool designEnabled = true;
    Rendered shown;
  };

  void Connect(Binding& b);
  void Render(const Control& control);
  void RenderInto(Binding& b, bool first);
  void RenderWidget(Binding& b, QWidget* w, bool first);
  void Forward(const std::string& name, ControlEvent event);
  bool HasHandler(const std::string& name) const;
  void UpdateInert(Binding& b);

  ViewModel& model_;
  QWidget& window_;
  std::map<std::string, Binding> bindings_;
  std::map<std::string, std::map<ControlEventKind, ControlHandler>> handlers_;
  std::function<void(const Control&)> windowRenderer_;
  bool started_ = false;
  int rendering_ = 0;  // model-driven widget changes are not operator input
};

// 0x00BBGGRR as the logic writes colours.
QColor ToQColor(Color color);

}  // namespace wendlar::ui
