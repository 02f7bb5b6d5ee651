// Form: the window surface of a module or dialog. It owns its controls, addresses them by name
// and index (control arrays), keeps the caption, the focus, the busy cursor and the inner size,
// and fires Resize when the host gives it a new size.
#ifndef KORVANE_CONTROLS_FORM_H_
#define KORVANE_CONTROLS_FORM_H_

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "controls/control.h"

namespace korvane::controls {

class Form {
 public:
  explicit Form(std::string name);
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void set_caption(std::string caption);
  std::uint32_t back_color() const { return back_color_; }
  void set_back_color(std::uint32_t color);

  // Creates a control owned by the form. Names are unique per index: adding a second control
  // with the same name and index throws std::invalid_argument.
  template <typename T, typename... Args>
  T& Add(std::string name, int index = -1, Args&&... args) {
    static_assert(std::is_base_of_v<Control, T>);
    auto control = std::make_unique<T>(std::move(name), index, std::forward<Args>(args)...);
    T& ref = *control;
    Adopt(std::move(control));
    return ref;
  }

  // The control with this name (compared without regard to ASCII case) and index; nullptr
  // when there is none.
  Control* Find(std::string_view name, int index = -1) const;
  // As Find, typed; throws std::out_of_range when missing or of another type.
  template <typename T>
  T& Get(std::string_view name, int index = -1) const {
    T* typed = dynamic_cast<T*>(Find(name, index));
    if (typed == nullptr) {
      throw std::out_of_range("no control " + std::string(name) +
                              (index >= 0 ? "(" + std::to_string(index) + ")" : std::string()) +
                              " of the requested kind on form " + name_);
    }
    return *typed;
  }
  // Every control in creation order: the form's Controls collection.
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  // The members of a control array, by ascending index.
  std::vector<Control*> Array(std::string_view name) const;

  // Focus. SetFocus(nullptr) takes it away from every control.
  Control* focused() const { return focused_; }
  void SetFocus(Control* control);

  // The wait cursor: modules show it around long operations.
  bool busy() const { return busy_; }
  void set_busy(bool busy);

  // When set, the form sees every key before the control that has the focus.
  bool key_preview() const { return key_preview_; }
  void set_key_preview(bool on) { key_preview_ = on; }

  // Inner size in twips. The host sets it; Resize fires after every change.
  double inner_width() const { return inner_width_; }
  double inner_height() const { return inner_height_; }
  void SetInnerSize(double width, double height);

  Event<int&, int> key_down;  // key preview
  Event<int&> key_press;
  Event<int&, int> key_up;
  Event<> resize;
  // Form-level changes ("caption", "focus", "busy", "back_color", "size") for renderers.
  Event<const Form&, std::string_view> changed;

 private:
  void Adopt(std::unique_ptr<Control> control);
  std::string name_;
  std::string caption_;
  std::uint32_t back_color_ = 0x8000000F;
  std::vector<std::unique_ptr<Control>> controls_;
  Control* focused_ = nullptr;
  bool busy_ = false;
  bool key_preview_ = false;
  double inner_width_ = 0;
  double inner_height_ = 0;
};

// Shows the wait cursor for the lifetime of the guard.
class BusyCursor {
 public:
  explicit BusyCursor(Form& form) : form_(form), was_busy_(form.busy()) { form_.set_busy(true); }
  ~BusyCursor() { form_.set_busy(was_busy_); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Form& form_;
  bool was_busy_;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_FORM_H_
