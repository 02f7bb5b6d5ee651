// The simple controls: what a person's actions and a module's writes do to them.
#include "controls/basic_controls.h"

#include "controls/form.h"

namespace korvane::controls {

void TextBox::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  Changed("text");
  change();
}

void TextBox::set_locked(bool locked) {
  if (locked == locked_) return;
  locked_ = locked;
  Changed("locked");
}

bool TextBox::Type(std::string text) {
  if (!CanAct() || locked_ || HoldsNul(text)) return false;
  SetFocus();
  set_text(std::move(text));
  return true;
}

bool TextBox::Leave() {
  if (!CanAct()) return false;
  bool cancel = false;
  validate(cancel);
  if (cancel) return false;
  if (HasFocus() && form() != nullptr) form()->SetFocus(nullptr);
  return true;
}

void CheckBox::set_value(int value) {
  if (value == value_) return;
  value_ = value;
  Changed("value");
  click();
}

bool CheckBox::Click() {
  if (!CanAct()) return false;
  SetFocus();
  // set_value fires click.
  set_value(value_ == 1 ? 0 : 1);
  return true;
}

void OptionButton::set_value(bool value) {
  if (value == value_) return;
  value_ = value;
  Changed("value");
  if (!value_) return;
  if (form() != nullptr && index() >= 0) {
    for (Control* member : form()->Array(name())) {
      auto* option = dynamic_cast<OptionButton*>(member);
      if (option != nullptr && option != this && option->value_) {
        option->value_ = false;
        option->Changed("value");
      }
    }
  }
  click();
}

bool OptionButton::Click() {
  if (!CanAct()) return false;
  SetFocus();
  if (value_) {
    click();
  } else {
    set_value(true);
  }
  return true;
}

void ComboBox::Clear() {
  items_.clear();
  const bool had_choice = list_index_ != -1 || !text_.empty();
  list_index_ = -1;
  text_.clear();
  Changed("items");
  if (had_choice) Changed("list_index");
}

void ComboBox::AddItem(std::string text, Variant data) {
  items_.push_back({std::move(text), std::move(data)});
  Changed("items");
}

void ComboBox::set_list_index(int index) {
  if (index < -1 || index >= ListCount()) {
    throw std::out_of_range("combo box " + name() + " has no item " + std::to_string(index));
  }
  if (index == list_index_) return;
  list_index_ = index;
  text_ = index >= 0 ? items_[static_cast<std::size_t>(index)].text : std::string();
  Changed("list_index");
  click();
}

void ComboBox::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  Changed("text");
  change();
}

Variant ComboBox::ItemData() const {
  if (list_index_ < 0) return {};
  return items_[static_cast<std::size_t>(list_index_)].data;
}

bool ComboBox::Choose(int index) {
  if (!CanAct() || index < 0 || index >= ListCount()) return false;
  SetFocus();
  set_list_index(index);
  return true;
}

bool ComboBox::ChooseText(std::string_view text) {
  for (int i = 0; i < ListCount(); ++i) {
    if (items_[static_cast<std::size_t>(i)].text == text) return Choose(i);
  }
  return false;
}

bool ComboBox::Type(std::string text) {
  if (!CanAct() || HoldsNul(text)) return false;
  SetFocus();
  set_text(std::move(text));
  return true;
}

void Timer::set_interval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Changed("interval");
}

void Timer::set_running(bool running) {
  if (running == running_) return;
  running_ = running;
  Changed("running");
}

bool Timer::Tick() {
  // A timer with interval 0 never fires, as the host's timer.
  if (!running_ || interval_ <= 0 || !enabled()) return false;
  timer();
  return true;
}

}  // namespace korvane::controls
