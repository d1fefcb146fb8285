#include "core/ViewModel.h"

namespace wendlar {

Control::Control(ViewModel& owner, std::string name) : owner_(owner), name_(std::move(name)) {
  owner_.Register(this);
}

void Control::Changed() { owner_.Notify(*this); }

#define WENDLAR_SETTER(Method, field, Type)  \
  void Control::Method(Type value) {         \
    if (field == value) return;              \
    field = std::move(value);                \
    Changed();                               \
  }

// Text setters copy into the string they keep, so a caption that changes on every report
// reuses its storage instead of allocating.
#define WENDLAR_TEXT_SETTER(Method, field)      \
  void Control::Method(std::string_view value) { \
    if (field == value) return;                  \
    field.assign(value);                         \
    Changed();                                   \
  }

WENDLAR_TEXT_SETTER(SetCaption, caption_)
WENDLAR_TEXT_SETTER(SetHint, hint_)
WENDLAR_SETTER(SetFontColor, fontColor_, Color)
WENDLAR_SETTER(SetBackColor, backColor_, Color)
WENDLAR_SETTER(SetVisible, visible_, bool)
WENDLAR_SETTER(SetEnabled, enabled_, bool)
WENDLAR_SETTER(SetChecked, checked_, bool)
WENDLAR_SETTER(SetRaised, raised_, bool)
WENDLAR_SETTER(SetPosition, position_, int)
WENDLAR_SETTER(SetLeft, left_, int)
WENDLAR_SETTER(SetTop, top_, int)
WENDLAR_SETTER(SetWidth, width_, int)
WENDLAR_SETTER(SetHeight, height_, int)
WENDLAR_SETTER(SetItems, items_, std::vector<std::string>)

#undef WENDLAR_SETTER
#undef WENDLAR_TEXT_SETTER

void Control::SetBounds(int left, int top, int width, int height) {
  if (left_ == left && top_ == top && width_ == width && height_ == height) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed();
}

void Control::AddItem(std::string item) {
  items_.push_back(std::move(item));
  Changed();
}

void Control::ClearItems() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

Control* ViewModel::Find(const std::string& name) const {
  for (Control* c : controls_) {
    if (c->Name() == name) return c;
  }
  return nullptr;
}

}  // namespace wendlar
