// The view seam: windows as plain data the logic writes and the Qt classes render.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Colors.h"

namespace wendlar {

class ViewModel;

// One control of a window, by its documented name. Setters notify the window only when a
// value really changes, so a binding can redraw just what moved.
class Control {
 public:
  Control(ViewModel& owner, std::string name);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }

  const std::string& Caption() const { return caption_; }  // caption, label text or edit text
  Color FontColor() const { return fontColor_; }           // caption colour
  Color BackColor() const { return backColor_; }           // panel, LED and window colour
  bool Visible() const { return visible_; }
  bool Enabled() const { return enabled_; }
  const std::string& Hint() const { return hint_; }
  bool Checked() const { return checked_; }   // check boxes, radio buttons, menu check marks
  bool Raised() const { return raised_; }     // bevel of panels used as buttons
  int Position() const { return position_; }  // gauges, spin edits, list selection
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<std::string>& Items() const { return items_; }  // list boxes

  void SetCaption(std::string_view caption);
  void SetFontColor(Color color);
  void SetBackColor(Color color);
  void SetVisible(bool visible);
  void SetEnabled(bool enabled);
  void SetHint(std::string_view hint);
  void SetChecked(bool checked);
  void SetRaised(bool raised);
  void SetPosition(int position);
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  void AddItem(std::string item);
  void ClearItems();
  void SetItems(std::vector<std::string> items);

 private:
  void Changed();

  ViewModel& owner_;
  std::string name_;
  std::string caption_;
  Color fontColor_ = kColorDefault;
  Color backColor_ = kColorDefault;
  bool visible_ = true;
  bool enabled_ = true;
  std::string hint_;
  bool checked_ = false;
  bool raised_ = true;
  int position_ = 0;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<std::string> items_;
};

// A window's model: its controls are members named as the window documents them.
class ViewModel {
 public:
  explicit ViewModel(std::string className) : className_(std::move(className)) {}
  ViewModel(const ViewModel&) = delete;
  ViewModel& operator=(const ViewModel&) = delete;
  virtual ~ViewModel() = default;

  const std::string& ClassName() const { return className_; }
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* Find(const std::string& name) const;

  // Called after every change of any control of this window.
  void SetOnChange(std::function<void(const Control&)> onChange) { onChange_ = std::move(onChange); }

 private:
  friend class Control;
  void Register(Control* control) { controls_.push_back(control); }
  void Notify(const Control& control) {
    if (onChange_) onChange_(control);
  }

  std::string className_;
  std::vector<Control*> controls_;
  std::function<void(const Control&)> onChange_;
};

}  // namespace wendlar
