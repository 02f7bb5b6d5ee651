// Splitter: the bar a form places between two sibling controls to divide the width of their
// common container (the form): the first control fills the space left of the bar, the second
// the space right of it, and the user drags the bar to move the division.
//
// Contract:
//  - The splitter is a control of the library's own forms (type name "Korvane.Splitter"); the
//    host never creates it. Add it with Form::Add<Splitter>(name); its container is its form and
//    the container's size is the form's inner size. Without a form, Resize does nothing.
//  - `ControlName1` / `ControlName2` name the left and right control; setting a name binds the
//    first control of the form with that name (any index, ASCII case ignored). A name that
//    matches nothing leaves the side unbound (nullptr); Resize binds it again, so the splitter
//    may be added before its siblings. An unbound side is never touched.
//  - Positions are in twips and kept whole. The bar never comes closer than 300 twips to the
//    container's left edge, nor leaves less than 300 twips right of itself; when the container
//    is too narrow for both, the right side wins.
//  - Events: `moving(offset, dragging)` after every layout and for every move of a drag;
//    `moved(offset, true)` when the left button is released after a drag. The offset is the
//    pointer offset of the last move that has not been reported yet, 0 once it has been.
//  - Mouse coordinates are relative to the bar's top-left corner, as the host reports them. The
//    mouse methods stand for a person's actions: they do nothing on a disabled or hidden bar
//    and then return false.
//  - ReadProperties / WriteProperties keep the five saved properties under the keys
//    "ControlName1", "ControlName2", "SplitterWidth", "ControlVisible1" and "ControlVisible2" of
//    one section of a settings file. Reading never fails: a missing or unreadable value takes the
//    property's default. Reading fires no event; the container's next Resize lays the bar out.
//    WriteProperties returns false when a value could not be written.
#ifndef KORVANE_WIDGETS_SPLITTER_H_
#define KORVANE_WIDGETS_SPLITTER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/control.h"
#include "controls/event.h"
#include "host/interfaces.h"
#include "host/profile_store.h"

namespace korvane::controls {

inline constexpr std::string_view kSplitterTypeName = "Korvane.Splitter";

class Splitter : public Control, public PointerTarget {
 public:
  static constexpr std::int16_t kDefaultSplitterWidth = 75;
  static constexpr int kMinimumLeftWidth = 300;
  static constexpr int kMinimumRightWidth = 300;
  // A drag moves the bar only once the pointer is this far from the bar's left edge, so that a
  // click on the bar does not nudge it.
  static constexpr int kDragThreshold = 80;
  // The system colour "button face", as a bar looks by default.
  static constexpr std::uint32_t kDefaultBackColor = 0x8000000F;
  // Mouse button bit of the host's mouse events.
  static constexpr int kLeftButton = 1;

  explicit Splitter(std::string name, int index = -1);

  const std::string& control_name1() const { return control_name1_; }
  void set_control_name1(std::string name);
  const std::string& control_name2() const { return control_name2_; }
  void set_control_name2(std::string name);
  // The bound controls; nullptr while unbound.
  Control* left_control() const { return left_; }
  Control* right_control() const { return right_; }

  // Showing a side shows its control and puts the bar back where it was before the side was
  // hidden; hiding a side hides its control and gives the other side the whole width. Either
  // way the splitter lays itself out (and so raises `moving`).
  bool control_visible1() const { return visible1_; }
  void set_control_visible1(bool visible);
  bool control_visible2() const { return visible2_; }
  void set_control_visible2(bool visible);

  // Width of the bar; takes effect on the bar at once and on the two sides at the next layout.
  std::int16_t splitter_width() const { return splitter_width_; }
  void set_splitter_width(std::int16_t width);

  // The bar's left position while both sides were last shown together.
  int saved_position() const { return saved_position_; }
  bool dragging() const { return dragging_; }

  // Lays the bar and the two sides out again; the container calls it when its size changes.
  void Resize();

  bool MouseDown(int button, int shift, double x, double y) override;
  bool MouseMove(int button, int shift, double x, double y) override;
  bool MouseUp(int button, int shift, double x, double y) override;

  void ReadProperties(ProfileStore& store, std::string_view section);
  bool WriteProperties(ProfileStore& store, std::string_view section) const;

  Event<std::int32_t, bool> moving;  // offset, dragging
  Event<std::int32_t, bool> moved;   // offset, finished (always true)

 private:
  Control* Bind(const std::string& name) const;
  void SetVisible(bool left_side, bool visible);
  // The position held within the two minimum widths for a container of this width.
  int Clamp(int position, int container_width) const;
  void MoveBar(int left, int height);
  void Arrange();

  std::string control_name1_;
  std::string control_name2_;
  bool visible1_ = true;
  bool visible2_ = true;
  std::int16_t splitter_width_ = kDefaultSplitterWidth;
  int saved_position_ = 0;
  int container_width_ = 0;
  int container_height_ = 0;
  bool dragging_ = false;
  std::int32_t offset_ = 0;
  Control* left_ = nullptr;
  Control* right_ = nullptr;
};

}  // namespace korvane::controls

#endif  // KORVANE_WIDGETS_SPLITTER_H_
