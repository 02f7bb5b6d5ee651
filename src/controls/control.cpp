// State and actions shared by every control.
#include "controls/control.h"

#include "controls/form.h"

namespace korvane::controls {
namespace {

// Keys that also produce a character (the host fires KeyPress for them).
bool ProducesCharacter(int key_code) {
  return key_code == keys::kReturn || key_code == keys::kEscape || key_code == keys::kBack ||
         key_code == keys::kSpace || (key_code >= '0' && key_code <= '9') ||
         (key_code >= 'A' && key_code <= 'Z');
}

}  // namespace

Control::Control(ControlKind kind, std::string type_name, std::string name, int index)
    : kind_(kind), type_name_(std::move(type_name)), name_(std::move(name)), index_(index) {}

void Control::set_caption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed("caption");
}

void Control::set_enabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed("enabled");
}

void Control::set_visible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed("visible");
}

void Control::set_tag(std::string tag) {
  if (tag == tag_) return;
  tag_ = std::move(tag);
  Changed("tag");
}

void Control::set_tooltip(std::string tooltip) {
  if (tooltip == tooltip_) return;
  tooltip_ = std::move(tooltip);
  Changed("tooltip");
}

void Control::set_geometry(const Geometry& geometry) {
  if (geometry == geometry_) return;
  geometry_ = geometry;
  Changed("geometry");
}

void Control::set_back_color(std::uint32_t color) {
  if (color == back_color_) return;
  back_color_ = color;
  Changed("back_color");
}

void Control::set_fore_color(std::uint32_t color) {
  if (color == fore_color_) return;
  fore_color_ = color;
  Changed("fore_color");
}

bool Control::HasFocus() const { return form_ != nullptr && form_->focused() == this; }

void Control::SetFocus() {
  if (form_ != nullptr) form_->SetFocus(this);
}

bool Control::Click() {
  if (!CanAct()) return false;
  SetFocus();
  click();
  return true;
}

bool Control::DoubleClick() {
  if (!CanAct()) return false;
  SetFocus();
  double_click();
  return true;
}

bool Control::PressKey(int key_code, int shift) {
  if (!CanAct()) return false;
  if (!HasFocus()) SetFocus();
  int key = key_code;
  if (form_ != nullptr && form_->key_preview()) form_->key_down(key, shift);
  if (key != 0) key_down(key, shift);
  if (key != 0 && ProducesCharacter(key)) {
    int ascii = key;
    // Letters arrive as lower case unless Shift is held.
    if (ascii >= 'A' && ascii <= 'Z' && (shift & keys::kShiftMask) == 0 &&
        (shift & keys::kCtrlMask) == 0) {
      ascii = ascii - 'A' + 'a';
    }
    if (form_ != nullptr && form_->key_preview()) form_->key_press(ascii);
    if (ascii != 0) key_press(ascii);
  }
  int up = key_code;
  if (form_ != nullptr && form_->key_preview()) form_->key_up(up, shift);
  if (up != 0) key_up(up, shift);
  return true;
}

}  // namespace korvane::controls
