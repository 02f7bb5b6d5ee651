// A module's window surface: its controls, focus, cursor and size.
#include "controls/form.h"

#include <algorithm>

#include "values/variant.h"

namespace korvane::controls {

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() {
  // Controls may still be observed while the form goes; drop the focus first.
  focused_ = nullptr;
}

void Form::set_caption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  changed(*this, "caption");
}

void Form::set_back_color(std::uint32_t color) {
  if (color == back_color_) return;
  back_color_ = color;
  changed(*this, "back_color");
}

void Form::Adopt(std::unique_ptr<Control> control) {
  if (Find(control->name(), control->index()) != nullptr) {
    throw std::invalid_argument(
        "form " + name_ + " already has a control " + control->name() +
        (control->index() >= 0 ? "(" + std::to_string(control->index()) + ")" : std::string()));
  }
  control->form_ = this;
  controls_.push_back(std::move(control));
}

Control* Form::Find(std::string_view name, int index) const {
  for (const auto& control : controls_) {
    if (control->index() == index && EqualsIgnoreCase(control->name(), name)) {
      return control.get();
    }
  }
  return nullptr;
}

std::vector<Control*> Form::Array(std::string_view name) const {
  std::vector<Control*> members;
  for (const auto& control : controls_) {
    if (control->index() >= 0 && EqualsIgnoreCase(control->name(), name)) {
      members.push_back(control.get());
    }
  }
  std::sort(members.begin(), members.end(),
            [](const Control* a, const Control* b) { return a->index() < b->index(); });
  return members;
}

void Form::SetFocus(Control* control) {
  if (control == focused_) return;
  if (control != nullptr && control->form() != this) {
    throw std::invalid_argument("the control is not on form " + name_);
  }
  Control* previous = focused_;
  focused_ = control;
  if (previous != nullptr) previous->lost_focus();
  // A lost_focus handler may have moved the focus elsewhere; only then announce the new one
  // if it still holds.
  if (focused_ == control && control != nullptr) control->got_focus();
  changed(*this, "focus");
}

void Form::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  changed(*this, "busy");
}

void Form::SetInnerSize(double width, double height) {
  if (width == inner_width_ && height == inner_height_) return;
  inner_width_ = width;
  inner_height_ = height;
  changed(*this, "size");
  resize();
}

}  // namespace korvane::controls
