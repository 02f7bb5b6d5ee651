// The simple controls of a module's form: label, text box, check box, option button, combo
// box, command button, timer, and the static shapes (line, shape, frame, picture).
#ifndef KORVANE_CONTROLS_BASIC_CONTROLS_H_
#define KORVANE_CONTROLS_BASIC_CONTROLS_H_

#include <string>
#include <string_view>
#include <vector>

#include "controls/control.h"
#include "values/variant.h"

namespace korvane::controls {

class Label : public Control {
 public:
  Label(std::string name, int index = -1) : Control(ControlKind::kLabel, "Label", name, index) {}
};

// A control that only shows itself: "Line", "Shape", "Frame", "PictureBox", "Image".
class StaticControl : public Control {
 public:
  StaticControl(std::string name, int index, ControlKind kind, std::string type_name)
      : Control(kind, std::move(type_name), std::move(name), index) {}
};

class TextBox : public Control {
 public:
  TextBox(std::string name, int index = -1)
      : Control(ControlKind::kTextBox, "TextBox", name, index) {}

  const std::string& text() const { return text_; }
  // Setting the text by code fires `change` as the host's text box does.
  void set_text(std::string text);
  bool locked() const { return locked_; }
  void set_locked(bool locked);

  // A person types: the focus moves here and the text is replaced, firing `change`. A text
  // holding a NUL byte cannot have been typed: it is refused (false, nothing changes).
  bool Type(std::string text);
  // A person leaves the field: `validate` may keep the focus (cancel); otherwise the focus
  // moves off and lost_focus fires. Returns false when validation kept the focus.
  bool Leave();

  Event<> change;
  Event<bool&> validate;

 private:
  std::string text_;
  bool locked_ = false;
};

class CheckBox : public Control {
 public:
  CheckBox(std::string name, int index = -1)
      : Control(ControlKind::kCheckBox, "CheckBox", name, index) {}

  // 0 unticked, 1 ticked, 2 greyed.
  int value() const { return value_; }
  // Setting a different value by code fires `click`, as the host's check box does.
  void set_value(int value);
  bool ticked() const { return value_ == 1; }

  // A person clicks: toggles between 0 and 1 and fires click.
  bool Click() override;

 private:
  int value_ = 0;
};

class OptionButton : public Control {
 public:
  OptionButton(std::string name, int index = -1)
      : Control(ControlKind::kOptionButton, "OptionButton", name, index) {}

  bool value() const { return value_; }
  // Choosing an option clears the other members of its control array and fires click.
  void set_value(bool value);
  bool Click() override;

 private:
  bool value_ = false;
};

class ComboBox : public Control {
 public:
  struct Item {
    std::string text;
    Variant data;  // the id behind the item
  };

  ComboBox(std::string name, int index = -1)
      : Control(ControlKind::kComboBox, "ComboBox", name, index) {}

  void Clear();
  void AddItem(std::string text, Variant data = {});
  int ListCount() const { return static_cast<int>(items_.size()); }
  const Item& ItemAt(int i) const { return items_.at(static_cast<std::size_t>(i)); }
  const std::vector<Item>& items() const { return items_; }
  // -1 when nothing is chosen. Setting it fires `click` when it changes.
  int list_index() const { return list_index_; }
  void set_list_index(int index);
  // The chosen item's text, or the typed text of an editable combo box.
  const std::string& text() const { return text_; }
  void set_text(std::string text);
  // The data of the chosen item; empty when none is chosen.
  Variant ItemData() const;

  // A person chooses an item (fires click) or types a text (fires change); a typed text
  // holding a NUL byte is refused as TextBox::Type refuses it.
  bool Choose(int index);
  bool ChooseText(std::string_view text);
  bool Type(std::string text);

  Event<> change;

 private:
  std::vector<Item> items_;
  int list_index_ = -1;
  std::string text_;
};

class Button : public Control {
 public:
  Button(std::string name, int index = -1)
      : Control(ControlKind::kButton, "CommandButton", name, index) {}
  // 0 standard, 1 graphical.
  int style() const { return style_; }
  void set_style(int style) { style_ = style; }

 private:
  int style_ = 0;
};

// A timer the host ticks: while enabled, each Tick fires `timer` as if the interval passed.
class Timer : public Control {
 public:
  Timer(std::string name, int index = -1) : Control(ControlKind::kTimer, "Timer", name, index) {
    set_visible(false);
  }
  int interval() const { return interval_; }
  void set_interval(int milliseconds);
  // Whether the timer is running (the host's Enabled).
  bool running() const { return running_; }
  void set_running(bool running);
  // The interval passed: fires `timer` when running. Returns whether it fired.
  bool Tick();

  Event<> timer;

 private:
  int interval_ = 0;
  bool running_ = false;
};

// The host's source of mouse-wheel notches over a module: it reports a 1-based position.
class MouseWheel {
 public:
  void Turn(int position) { wheel(position); }
  Event<int> wheel;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_BASIC_CONTROLS_H_
