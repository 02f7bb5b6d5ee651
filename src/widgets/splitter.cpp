// The splitter bar between two sibling controls: layout, hiding a side, dragging, saving.
#include "widgets/splitter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "controls/form.h"
#include "values/variant.h"

namespace korvane::controls {
namespace {

constexpr std::string_view kKeyControlName1 = "ControlName1";
constexpr std::string_view kKeyControlName2 = "ControlName2";
constexpr std::string_view kKeySplitterWidth = "SplitterWidth";
constexpr std::string_view kKeyControlVisible1 = "ControlVisible1";
constexpr std::string_view kKeyControlVisible2 = "ControlVisible2";

// Positions are whole twips; halves go to the even neighbour as the host's integer conversion
// does (nearbyint under the default rounding mode).
int Whole(double value) {
  constexpr double kLimit = std::numeric_limits<int>::max();
  return static_cast<int>(std::nearbyint(std::clamp(value, -kLimit, kLimit)));
}

bool ReadFlag(ProfileStore& store, std::string_view section, std::string_view key,
              bool default_value) {
  const std::string text = Trim(store.Read(section, key, default_value ? "True" : "False"));
  if (EqualsIgnoreCase(text, "True") || text == "-1" || text == "1") return true;
  if (EqualsIgnoreCase(text, "False") || text == "0") return false;
  return default_value;
}

std::int16_t ReadWidth(ProfileStore& store, std::string_view section, std::string_view key,
                       std::int16_t default_value) {
  const std::string text = Trim(store.Read(section, key, std::to_string(default_value)));
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return default_value;
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace

Splitter::Splitter(std::string name, int index)
    : Control(ControlKind::kPicture, std::string(kSplitterTypeName), std::move(name), index) {
  set_back_color(kDefaultBackColor);
  Geometry bar = geometry();
  bar.width = splitter_width_;
  set_geometry(bar);
}

Control* Splitter::Bind(const std::string& name) const {
  if (name.empty() || form() == nullptr) return nullptr;
  for (const auto& control : form()->Controls()) {
    if (control.get() != this && EqualsIgnoreCase(control->name(), name)) return control.get();
  }
  return nullptr;
}

void Splitter::set_control_name1(std::string name) {
  control_name1_ = std::move(name);
  left_ = Bind(control_name1_);
  Changed("ControlName1");
}

void Splitter::set_control_name2(std::string name) {
  control_name2_ = std::move(name);
  right_ = Bind(control_name2_);
  Changed("ControlName2");
}

void Splitter::set_control_visible1(bool visible) { SetVisible(true, visible); }
void Splitter::set_control_visible2(bool visible) { SetVisible(false, visible); }

void Splitter::SetVisible(bool left_side, bool visible) {
  // Hiding moves the bar out of sight; remember where it stood so that showing the side again
  // brings the division back, even when no drag or layout has recorded it yet.
  if (!visible && visible1_ && visible2_) saved_position_ = Whole(geometry().left);
  (left_side ? visible1_ : visible2_) = visible;
  Control* side = left_side ? left_ : right_;
  if (side != nullptr) side->set_visible(visible);
  if (visible) MoveBar(saved_position_, Whole(geometry().height));
  Changed(left_side ? "ControlVisible1" : "ControlVisible2");
  Resize();
}

void Splitter::set_splitter_width(std::int16_t width) {
  if (width == splitter_width_) return;
  splitter_width_ = width;
  Geometry bar = geometry();
  bar.width = width;
  set_geometry(bar);
  Changed("SplitterWidth");
}

int Splitter::Clamp(int position, int container_width) const {
  if (position < kMinimumLeftWidth) position = kMinimumLeftWidth;
  const int right_most = container_width - splitter_width_ - kMinimumRightWidth;
  if (position > right_most) position = right_most;
  return position;
}

void Splitter::MoveBar(int left, int height) {
  set_geometry({static_cast<double>(left), geometry().top, static_cast<double>(splitter_width_),
                static_cast<double>(std::max(0, height))});
}

void Splitter::Resize() {
  const Form* container = form();
  if (container == nullptr) return;
  if (left_ == nullptr) left_ = Bind(control_name1_);
  if (right_ == nullptr) right_ = Bind(control_name2_);
  const int width = Whole(container->inner_width());
  const int height = Whole(container->inner_height());

  int position = Whole(geometry().left);
  if (!visible1_) position = -splitter_width_;
  if (!visible2_) position = width;
  if (visible1_ && visible2_) {
    // Before the first layout there is no earlier width to scale from.
    if (container_width_ > 0) {
      position = Whole(static_cast<double>(position) * width / container_width_);
    }
    position = Clamp(position, width);
    saved_position_ = position;
  }
  // The bar reaches from its own top to the container's bottom edge.
  MoveBar(position, height - Whole(geometry().top));
  container_width_ = width;
  container_height_ = height;
  Arrange();
}

void Splitter::Arrange() {
  const Geometry bar = geometry();
  const double inner_width = container_width_;
  const double height = std::max(0.0, container_height_ - bar.top);
  if (visible1_ && visible2_) {
    if (left_ != nullptr) {
      const double left = left_->geometry().left;
      left_->set_geometry({left, bar.top, std::max(0.0, bar.left - left), height});
    }
    if (right_ != nullptr) {
      const double left = bar.left + bar.width;
      right_->set_geometry({left, bar.top, std::max(0.0, inner_width - left), height});
    }
  } else if (visible1_) {
    if (left_ != nullptr)
      left_->set_geometry({left_->geometry().left, bar.top, inner_width, height});
  } else if (visible2_) {
    if (right_ != nullptr) right_->set_geometry({0, bar.top, inner_width, height});
  }
  moving(offset_, dragging_);
}

bool Splitter::MouseDown(int button, int /*shift*/, double /*x*/, double /*y*/) {
  if (!CanAct()) return false;
  if ((button & kLeftButton) != 0) {
    dragging_ = true;
    offset_ = 0;
  }
  return true;
}

bool Splitter::MouseMove(int /*button*/, int /*shift*/, double x, double /*y*/) {
  if (!CanAct()) return false;
  if (!dragging_) return true;
  offset_ = Whole(x);
  if (std::abs(static_cast<double>(offset_)) < kDragThreshold) return true;
  const Form* container = form();
  const int width = container != nullptr ? Whole(container->inner_width()) : container_width_;
  const int position = Clamp(Whole(geometry().left) + offset_, width);
  saved_position_ = position;
  MoveBar(position, Whole(geometry().height));
  moving(offset_, true);
  offset_ = 0;
  return true;
}

bool Splitter::MouseUp(int button, int /*shift*/, double /*x*/, double /*y*/) {
  if (!CanAct()) return false;
  if ((button & kLeftButton) == 0 || !dragging_) return true;
  dragging_ = false;
  const std::int32_t offset = offset_;
  offset_ = 0;
  moved(offset, true);
  return true;
}

void Splitter::ReadProperties(ProfileStore& store, std::string_view section) {
  set_control_name1(store.Read(section, kKeyControlName1, ""));
  set_control_name2(store.Read(section, kKeyControlName2, ""));
  set_splitter_width(ReadWidth(store, section, kKeySplitterWidth, kDefaultSplitterWidth));
  // The flags are applied without a layout: the container lays the bar out once it has a size.
  visible1_ = ReadFlag(store, section, kKeyControlVisible1, true);
  visible2_ = ReadFlag(store, section, kKeyControlVisible2, true);
  if (left_ != nullptr) left_->set_visible(visible1_);
  if (right_ != nullptr) right_->set_visible(visible2_);
}

bool Splitter::WriteProperties(ProfileStore& store, std::string_view section) const {
  bool written = store.Write(section, kKeyControlName1, control_name1_);
  written = store.Write(section, kKeyControlName2, control_name2_) && written;
  written = store.Write(section, kKeySplitterWidth, std::to_string(splitter_width_)) && written;
  written = store.Write(section, kKeyControlVisible1, visible1_ ? "True" : "False") && written;
  written = store.Write(section, kKeyControlVisible2, visible2_ ? "True" : "False") && written;
  return written;
}

}  // namespace korvane::controls
