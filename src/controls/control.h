// Control: the state every headless control shares (name, index in a control array, caption,
// enabled, visible, geometry, tag) and the events every control can fire (keys, focus, click).
//
// Controls are models: they hold state and fire events. A module reads and writes their state
// and handles their events; a host renders them and drives them through the methods that stand
// for a person's actions (Click, PressKey, ...). Every state change is announced through
// `changed` with the name of the property, so a renderer can observe without polling.
#ifndef KORVANE_CONTROLS_CONTROL_H_
#define KORVANE_CONTROLS_CONTROL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/event.h"

namespace korvane::controls {

class Form;

enum class ControlKind {
  kLabel,
  kTextBox,
  kLookupField,
  kCheckBox,
  kOptionButton,
  kComboBox,
  kButton,
  kGrid,
  kTreeView,
  kImageList,
  kTimer,
  kLine,
  kShape,
  kFrame,
  kPicture,
  kDatePicker,
  kScrollBar,
};

// Key codes of the host's keyboard events.
namespace keys {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kInsert = 45;
inline constexpr int kDelete = 46;
inline constexpr int kF2 = 113;
// Shift state bits.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;
}  // namespace keys

// Position and size in twips. A line keeps x1, y1, x2, y2 in the same four numbers.
struct Geometry {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  bool operator==(const Geometry&) const = default;
};

class Control {
 public:
  Control(ControlKind kind, std::string type_name, std::string name, int index);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  // The host's type name ("qxGrid", "qxTxt_S", "CheckBox", "TextBox", ...); settings keys are
  // formed from it.
  const std::string& type_name() const { return type_name_; }
  const std::string& name() const { return name_; }
  // Index in its control array; -1 when the control is not part of one.
  int index() const { return index_; }
  Form* form() const { return form_; }

  const std::string& caption() const { return caption_; }
  void set_caption(std::string caption);
  bool enabled() const { return enabled_; }
  void set_enabled(bool enabled);
  bool visible() const { return visible_; }
  void set_visible(bool visible);
  const std::string& tag() const { return tag_; }
  void set_tag(std::string tag);
  const std::string& tooltip() const { return tooltip_; }
  void set_tooltip(std::string tooltip);
  const Geometry& geometry() const { return geometry_; }
  void set_geometry(const Geometry& geometry);
  std::uint32_t back_color() const { return back_color_; }
  void set_back_color(std::uint32_t color);
  std::uint32_t fore_color() const { return fore_color_; }
  void set_fore_color(std::uint32_t color);

  // Whether a person can act on the control: it and its form are enabled and visible.
  bool CanAct() const { return enabled_ && visible_; }
  bool HasFocus() const;
  // Moves the focus here (as a module does, or a person clicking into the control).
  void SetFocus();

  // A person's actions. Each does nothing when the control is disabled or hidden and then
  // returns false. PressKey fires, in order, the form's key preview (when the form has it),
  // KeyDown, KeyPress (for Enter, Escape, Back and printable keys, unless KeyDown swallowed the
  // key by setting it to 0) and KeyUp.
  virtual bool Click();
  virtual bool DoubleClick();
  bool PressKey(int key_code, int shift = 0);

  // Events a module handles.
  Event<> click;
  Event<> double_click;
  Event<int&, int> key_down;  // key code (set to 0 to swallow), shift
  Event<int&> key_press;      // character code (set to 0 to swallow)
  Event<int&, int> key_up;
  Event<> got_focus;
  Event<> lost_focus;
  // Model change notification for renderers: the property that changed.
  Event<const Control&, std::string_view> changed;

 protected:
  void Changed(std::string_view property) { changed(*this, property); }

 private:
  friend class Form;
  ControlKind kind_;
  std::string type_name_;
  std::string name_;
  int index_;
  Form* form_ = nullptr;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  std::string tag_;
  std::string tooltip_;
  Geometry geometry_;
  std::uint32_t back_color_ = 0xFFFFFF;
  std::uint32_t fore_color_ = 0;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_CONTROL_H_
