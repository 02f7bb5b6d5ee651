// A script's hands and eyes on a module's controls: finding a control by name and index,
// acting on it through the control's own action methods, showing its state and checking it.
#include <map>
#include <optional>

#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "controls/tree_view.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp::script {
namespace {

using controls::CheckBox;
using controls::ComboBox;
using controls::Control;
using controls::ControlKind;
using controls::Grid;
using controls::LookupField;
using controls::OptionButton;
using controls::TextBox;
using controls::Timer;
using controls::TreeNode;
using controls::TreeView;

// The text a person reads in the control: the typed text of fields, else the caption.
std::string ShownText(const Control& c) {
  if (const auto* t = dynamic_cast<const TextBox*>(&c)) return t->text();
  if (const auto* l = dynamic_cast<const LookupField*>(&c)) return l->text();
  if (const auto* b = dynamic_cast<const ComboBox*>(&c)) return b->text();
  return c.caption();
}

// A text for typing or editing: a script may write 12.5 for "12.5".
std::string TextOf(const Json& value, std::string_view what) {
  if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
  if (value.is_number()) return FormatNumber(value.get<double>());
  return ToText(value, what);
}

const Json& Need(const Json& step, const char* key, std::string_view action,
                 const Control& control) {
  if (!step.contains(key)) {
    throw ScriptError("act \"" + std::string(action) + "\" on " + ControlLabel(control) +
                      " needs \"" + key + "\"");
  }
  return step[key];
}

// The text a step types into a field or a cell. The controls refuse a text holding a NUL byte,
// which no person can type; the step fails saying so rather than merely answering false.
std::string TypedText(const Json& step, std::string_view action, const Control& control) {
  std::string text = TextOf(Need(step, "text", action, control), "\"text\"");
  if (HoldsNul(text)) {
    throw ScriptError(ControlLabel(control) + " refuses the text of act \"" + std::string(action) +
                      "\": it holds a NUL byte, which no person can type");
  }
  return text;
}

template <typename T>
T& As(Control& control, std::string_view action, std::string_view wanted) {
  auto* typed = dynamic_cast<T*>(&control);
  if (typed == nullptr) {
    throw ScriptError("act \"" + std::string(action) + "\" needs " + std::string(wanted) + "; " +
                      ControlLabel(control) + " is a " + std::string(KindName(control.kind())));
  }
  return *typed;
}

// The grid cell a step names; throws when it lies outside the grid.
std::pair<int, int> CellOf(const Grid& grid, const Json& step, std::string_view action) {
  const int row = ToInt32(Need(step, "row", action, grid), "\"row\"");
  const int col = ToInt32(Need(step, "col", action, grid), "\"col\"");
  if (row < 0 || row >= grid.rows() || col < 0 || col >= grid.cols()) {
    throw ScriptError("cell (" + std::to_string(row) + ", " + std::to_string(col) +
                      ") is outside " + ControlLabel(grid) + " (" + std::to_string(grid.rows()) +
                      " rows, " + std::to_string(grid.cols()) + " columns)");
  }
  return {row, col};
}

TreeNode& NodeOf(const TreeView& tree, const Json& step, std::string_view action) {
  const std::string key = ToText(Need(step, "node", action, tree), "\"node\"");
  TreeNode* node = tree.Find(key);
  if (node == nullptr) {
    throw ScriptError(ControlLabel(tree) + " has no node with key \"" + key + "\"");
  }
  return *node;
}

// The mouse button a step names: "left" (the default), "right", "middle" or the host's bit.
int MouseButton(const Json& step) {
  if (!step.contains("button")) return 1;
  const Json& button = step["button"];
  if (button.is_number()) {
    const int bit = ToInt32(button, "\"button\"");
    if (bit == 1 || bit == 2 || bit == 4) return bit;
    throw ScriptError("mouse button " + std::to_string(bit) + " is none of 1, 2 and 4");
  }
  const std::string name = ToText(button, "\"button\"");
  if (name == "left") return 1;
  if (name == "right") return 2;
  if (name == "middle") return 4;
  throw ScriptError("unknown mouse button \"" + name + "\" (left, right or middle)");
}

// Where over a tree a step points: the middle of the row a node (`node`, by key) is on, or `y`
// twips from the top; `x` twips from the left, by default the middle of the tree.
std::pair<double, double> TreePoint(const TreeView& tree, const Json& step,
                                    std::string_view action) {
  const double x = step.contains("x") ? ToDouble(step["x"], "\"x\"") : tree.geometry().width / 2;
  if (step.contains("node") == step.contains("y")) {
    throw ScriptError("act \"" + std::string(action) + "\" on " + ControlLabel(tree) +
                      " needs either \"node\" (a key) or \"y\" (twips from the top)");
  }
  if (step.contains("y")) return {x, ToDouble(step["y"], "\"y\"")};
  const TreeNode& node = NodeOf(tree, step, action);
  const int height = tree.row_height();
  if (height <= 0) throw ScriptError(ControlLabel(tree) + " shows no rows: it has no height");
  const int row = tree.RowOf(&node);
  if (row < 0) {
    throw ScriptError("node \"" + node.key() + "\" is on no row " + ControlLabel(tree) +
                      " shows; expand its parents or scroll first");
  }
  return {x, row * height + height / 2.0};
}

// The colours and boldness a cell carries beyond the grid's own. Colours are the numbers the
// modules and the settings use (0x00BBGGRR).
struct CellStyle {
  std::optional<std::uint32_t> fore;
  std::optional<std::uint32_t> back;
  bool bold = false;

  CellStyle(const Grid& grid, int row, int col)
      : fore(grid.CellForeColor(row, col)),
        back(grid.CellBackColor(row, col)),
        bold(grid.CellBold(row, col)) {}
  bool operator==(const CellStyle&) const = default;
  bool plain() const { return !fore && !back && !bold; }
  Json ToJson() const {
    Json out = Json::object();
    if (fore) out["fore_color"] = *fore;
    if (back) out["back_color"] = *back;
    if (bold) out["bold"] = true;
    return out;
  }
};

// Every styled cell, column by column. A module colours whole columns of lines (the read-only
// ones), so a run of rows of one column in one style comes as one entry [[first, last], col,
// style]; a single cell as [row, col, style].
Json StyledCells(const Grid& grid) {
  Json out = Json::array();
  for (int col = 0; col < grid.cols(); ++col) {
    int first = -1;
    std::optional<CellStyle> run;
    const auto close = [&](int last) {
      if (first < 0) return;
      Json rows = first == last ? Json(first) : Json::array({first, last});
      out.push_back(Json::array({std::move(rows), col, run->ToJson()}));
      first = -1;
    };
    for (int row = 0; row < grid.rows(); ++row) {
      const CellStyle style(grid, row, col);
      if (first >= 0 && style == *run) continue;
      close(row - 1);
      if (!style.plain()) {
        first = row;
        run = style;
      }
    }
    close(grid.rows() - 1);
  }
  return out;
}

Json NodeState(const TreeView& tree, const TreeNode& node) {
  Json out = Json::object();
  out["key"] = node.key();
  out["text"] = node.text();
  out["parent"] = node.parent() ? Json(node.parent()->key()) : Json(nullptr);
  out["expanded"] = node.expanded();
  out["selected"] = tree.selected() == &node;
  return out;
}

}  // namespace

std::string_view KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return "label";
    case ControlKind::kTextBox:
      return "text_box";
    case ControlKind::kLookupField:
      return "lookup_field";
    case ControlKind::kCheckBox:
      return "check_box";
    case ControlKind::kOptionButton:
      return "option_button";
    case ControlKind::kComboBox:
      return "combo_box";
    case ControlKind::kButton:
      return "button";
    case ControlKind::kGrid:
      return "grid";
    case ControlKind::kTreeView:
      return "tree_view";
    case ControlKind::kImageList:
      return "image_list";
    case ControlKind::kTimer:
      return "timer";
    case ControlKind::kLine:
      return "line";
    case ControlKind::kShape:
      return "shape";
    case ControlKind::kFrame:
      return "frame";
    case ControlKind::kPicture:
      return "picture";
    case ControlKind::kDatePicker:
      return "date_picker";
    case ControlKind::kScrollBar:
      return "scroll_bar";
  }
  return "control";
}

std::string ControlLabel(const Control& control) {
  return control.index() >= 0 ? control.name() + "(" + std::to_string(control.index()) + ")"
                              : control.name();
}

Control& FindControl(const ControlList& list, const Json& step, std::string_view where) {
  const std::string name =
      ToText(step.contains("control") ? step["control"] : Json(nullptr), "\"control\"");
  std::vector<Control*> named;
  for (const auto& control : list) {
    if (control && EqualsIgnoreCase(control->name(), name)) named.push_back(control.get());
  }
  if (step.contains("index")) {
    const int index = ToInt32(step["index"], "\"index\"");
    for (Control* c : named) {
      if (c->index() == index) return *c;
    }
    throw ScriptError("no control " + name + "(" + std::to_string(index) + ") on " +
                      std::string(where));
  }
  for (Control* c : named) {
    if (c->index() < 0) return *c;
  }
  if (named.size() == 1) return *named.front();
  if (named.empty()) throw ScriptError("no control " + name + " on " + std::string(where));
  throw ScriptError(name + " on " + std::string(where) + " is a control array of " +
                    std::to_string(named.size()) + "; give an \"index\"");
}

int KeyCode(const Json& key) {
  if (key.is_number()) return ToInt32(key, "\"key\"");
  const std::string name = ToText(key, "\"key\"");
  static const std::map<std::string, int> kNames = {
      {"back", controls::keys::kBack},     {"backspace", controls::keys::kBack},
      {"tab", controls::keys::kTab},       {"return", controls::keys::kReturn},
      {"enter", controls::keys::kReturn},  {"escape", controls::keys::kEscape},
      {"esc", controls::keys::kEscape},    {"space", controls::keys::kSpace},
      {"pageup", controls::keys::kPageUp}, {"pagedown", controls::keys::kPageDown},
      {"end", controls::keys::kEnd},       {"home", controls::keys::kHome},
      {"left", controls::keys::kLeft},     {"up", controls::keys::kUp},
      {"right", controls::keys::kRight},   {"down", controls::keys::kDown},
      {"insert", controls::keys::kInsert}, {"delete", controls::keys::kDelete},
      {"del", controls::keys::kDelete},
  };
  const std::string lower = ToLowerAscii(name);
  if (const auto it = kNames.find(lower); it != kNames.end()) return it->second;
  if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f') {
    const int n = std::atoi(lower.c_str() + 1);
    if (n >= 1 && n <= 12 && std::to_string(n) == lower.substr(1)) return 111 + n;
  }
  if (name.size() == 1) {
    const unsigned char c = static_cast<unsigned char>(name[0]);
    if (std::isalnum(c)) return std::toupper(c);
  }
  throw ScriptError("unknown key " + Show(key) +
                    " (a key code, a letter or digit, F1 to F12, or a name such as Return, "
                    "Escape, Delete, Tab, Down)");
}

int ShiftState(const Json& shift) {
  if (shift.is_null()) return 0;
  if (shift.is_number()) return ToInt32(shift, "\"shift\"");
  std::vector<std::string> names;
  if (shift.is_string()) {
    std::string text = shift.get<std::string>();
    std::size_t start = 0;
    while (start <= text.size()) {
      const auto plus = text.find('+', start);
      names.push_back(Trim(text.substr(start, plus == std::string::npos ? plus : plus - start)));
      if (plus == std::string::npos) break;
      start = plus + 1;
    }
  } else if (shift.is_array()) {
    for (const auto& item : shift) names.push_back(ToText(item, "a name in \"shift\""));
  } else {
    throw ScriptError("\"shift\" must be a number, a text such as \"shift+ctrl\" or a list, not " +
                      Show(shift));
  }
  int state = 0;
  for (const auto& name : names) {
    if (EqualsIgnoreCase(name, "shift")) {
      state |= controls::keys::kShiftMask;
    } else if (EqualsIgnoreCase(name, "ctrl") || EqualsIgnoreCase(name, "control")) {
      state |= controls::keys::kCtrlMask;
    } else if (EqualsIgnoreCase(name, "alt")) {
      state |= controls::keys::kAltMask;
    } else {
      throw ScriptError("unknown shift key \"" + name + "\" (shift, ctrl or alt)");
    }
  }
  return state;
}

Json Act(Control& control, const Json& step) {
  const std::string action = ToText(step["act"], "\"act\"");
  auto* grid = dynamic_cast<Grid*>(&control);
  auto* tree = dynamic_cast<TreeView*>(&control);

  if (action == "focus") {
    control.SetFocus();
    return true;
  }
  if (auto* timer = dynamic_cast<Timer*>(&control)) {
    // A timer is never shown; the interval passing is all that can happen to it.
    if (action != "tick") {
      throw ScriptError("a timer only knows act \"tick\"; " + ControlLabel(control) + " got \"" +
                        action + "\"");
    }
    return timer->Tick();
  }
  if (!control.CanAct()) {
    throw ScriptError("cannot " + action + " " + ControlLabel(control) + ": it is " +
                      (control.visible() ? "disabled" : "hidden"));
  }

  if (action == "click") {
    if (grid != nullptr && step.contains("row")) {
      const auto [row, col] = CellOf(*grid, step, action);
      const int shift = step.contains("shift") ? ShiftState(step["shift"]) : 0;
      return (shift & 1) != 0 ? grid->ShiftClickCell(row, col) : grid->ClickCell(row, col);
    }
    if (tree != nullptr && step.contains("node")) {
      return tree->SelectNode(&NodeOf(*tree, step, action));
    }
    return control.Click();
  }
  if (action == "cell_button") {
    auto& target = As<Grid>(control, action, "a grid");
    const auto [row, col] = CellOf(target, step, action);
    return target.ClickCellButton(row, col);
  }
  if (action == "double_click") {
    if (grid != nullptr && step.contains("row")) {
      const auto [row, col] = CellOf(*grid, step, action);
      return grid->DoubleClickCell(row, col);
    }
    if (tree != nullptr && step.contains("node")) {
      return tree->DoubleClickNode(&NodeOf(*tree, step, action));
    }
    return control.DoubleClick();
  }
  if (action == "type") {
    const std::string text = TypedText(step, action, control);
    const bool leave = step.contains("leave") ? ToBool(step["leave"], "\"leave\"") : true;
    if (auto* box = dynamic_cast<TextBox*>(&control)) {
      const bool typed = box->Type(text);
      return leave ? typed && box->Leave() : typed;
    }
    if (auto* field = dynamic_cast<LookupField*>(&control)) {
      const bool typed = field->Type(text);
      return leave ? typed && field->Leave() : typed;
    }
    if (auto* combo = dynamic_cast<ComboBox*>(&control)) return combo->Type(text);
    As<TextBox>(control, action, "a text box, lookup field or combo box");
  }
  if (action == "leave") {
    if (auto* box = dynamic_cast<TextBox*>(&control)) return box->Leave();
    return As<LookupField>(control, action, "a text box or lookup field").Leave();
  }
  if (action == "pick") {
    return As<LookupField>(control, action, "a lookup field").OpenPicker();
  }
  if (action == "edit") {
    auto& g = As<Grid>(control, action, "a grid");
    const auto [row, col] = CellOf(g, step, action);
    return g.EditCell(row, col, TypedText(step, action, control));
  }
  if (action == "delete_row") {
    auto& g = As<Grid>(control, action, "a grid");
    const int row = ToInt32(Need(step, "row", action, control), "\"row\"");
    if (row < 0 || row >= g.rows()) {
      throw ScriptError("row " + std::to_string(row) + " is outside " + ControlLabel(g) + " (" +
                        std::to_string(g.rows()) + " rows)");
    }
    return g.DeleteRow(row);
  }
  if (action == "key") {
    const int key = KeyCode(Need(step, "key", action, control));
    const int shift = step.contains("shift") ? ShiftState(step["shift"]) : 0;
    if (grid != nullptr && step.contains("row")) {
      const auto [row, col] = CellOf(*grid, step, action);
      grid->Select(row, col);
    }
    return control.PressKey(key, shift);
  }
  if (action == "tick") {
    if (auto* option = dynamic_cast<OptionButton*>(&control)) return option->Click();
    auto& box = As<CheckBox>(control, action, "a check box or option button");
    const int want = step.contains("value") ? ToInt32(step["value"], "\"value\"") : 1;
    if (want != 0 && want != 1) {
      throw ScriptError("a person ticks a check box to 0 or 1, not " + std::to_string(want));
    }
    if (box.value() != want) box.Click();
    return box.value() == want;
  }
  if (action == "choose") {
    auto& combo = As<ComboBox>(control, action, "a combo box");
    if (step.contains("item")) {
      const int item = ToInt32(step["item"], "\"item\"");
      if (item < 0 || item >= combo.ListCount()) {
        throw ScriptError(ControlLabel(combo) + " has no item " + std::to_string(item) + " (" +
                          std::to_string(combo.ListCount()) + " items)");
      }
      return combo.Choose(item);
    }
    const std::string text = ToText(Need(step, "text", action, control), "\"text\"");
    if (!combo.ChooseText(text)) {
      throw ScriptError(ControlLabel(combo) + " has no item \"" + text + "\"");
    }
    return true;
  }
  if ((action == "expand" || action == "collapse") && grid != nullptr) {
    // A person clicks the outline button of the node on the row, when the node is not so yet.
    const int row = ToInt32(Need(step, "row", action, control), "\"row\"");
    if (row < 0 || row >= grid->rows()) {
      throw ScriptError("row " + std::to_string(row) + " is outside " + ControlLabel(*grid) + " (" +
                        std::to_string(grid->rows()) + " rows)");
    }
    if (grid->IsCollapsed(row) == (action == "collapse")) return false;
    return grid->ClickOutlineButton(row);
  }
  if (action == "select" || action == "expand" || action == "collapse") {
    auto& t =
        As<TreeView>(control, action, action == "select" ? "a tree view" : "a tree view or a grid");
    TreeNode& node = NodeOf(t, step, action);
    if (action == "select") return t.SelectNode(&node);
    return action == "expand" ? t.ExpandNode(&node) : t.CollapseNode(&node);
  }
  if (action == "mouse_down" || action == "mouse_move" || action == "mouse_up" ||
      action == "right_click") {
    auto& t = As<TreeView>(control, action, "a tree view");
    const auto [x, y] = TreePoint(t, step, action);
    const int shift = step.contains("shift") ? ShiftState(step["shift"]) : 0;
    if (action == "right_click") {
      constexpr int kRightButton = 2;
      return t.MouseDown(kRightButton, shift, x, y) && t.MouseUp(kRightButton, shift, x, y);
    }
    const int button = MouseButton(step);
    if (action == "mouse_down") return t.MouseDown(button, shift, x, y);
    if (action == "mouse_move") return t.MouseMove(button, shift, x, y);
    return t.MouseUp(button, shift, x, y);
  }
  if (action == "drag") {
    // A person presses the left button on the control, moves the pointer sideways and lets go.
    auto* target = dynamic_cast<PointerTarget*>(&control);
    if (target == nullptr) {
      throw ScriptError("act \"drag\" needs a control a person drags, such as a splitter bar; " +
                        ControlLabel(control) + " is a " + std::string(KindName(control.kind())));
    }
    if (step.contains("by") == step.contains("to")) {
      throw ScriptError("act \"drag\" on " + ControlLabel(control) +
                        " needs either \"by\" (twips to move) or \"to\" (the new left edge)");
    }
    const controls::Geometry& at = control.geometry();
    const double offset = step.contains("by") ? ToDouble(step["by"], "\"by\"")
                                              : ToDouble(step["to"], "\"to\"") - at.left;
    constexpr int kLeftButton = 1;
    const double y = at.height / 2;
    const bool pressed = target->MouseDown(kLeftButton, 0, 0, y);
    const bool moved = pressed && target->MouseMove(kLeftButton, 0, offset, y);
    return moved && target->MouseUp(kLeftButton, 0, offset, y);
  }
  if (action == "resize") {
    // A person drags a column's right border: the width is in twips.
    auto& g = As<Grid>(control, action, "a grid");
    const int col = ToInt32(Need(step, "col", action, control), "\"col\"");
    if (col < 0 || col >= g.cols()) {
      throw ScriptError("column " + std::to_string(col) + " is outside " + ControlLabel(g) + " (" +
                        std::to_string(g.cols()) + " columns)");
    }
    const double width = ToDouble(Need(step, "width", action, control), "\"width\"");
    if (!(width >= 0)) throw ScriptError("a column is at least 0 twips wide");
    g.SetColWidth(col, width);
    return true;
  }
  throw ScriptError(
      "unknown act \"" + action +
      "\" (click, double_click, type, leave, pick, edit, cell_button, delete_row, key, tick, "
      "choose, select, expand, collapse, focus, wheel, resize, drag, mouse_down, mouse_move, "
      "mouse_up, right_click)");
}

Json ControlState(const Control& c) {
  Json out = Json::object();
  out["kind"] = KindName(c.kind());
  out["type"] = c.type_name();
  out["name"] = c.name();
  out["index"] = c.index();
  out["caption"] = c.caption();
  out["enabled"] = c.enabled();
  out["visible"] = c.visible();
  out["tooltip"] = c.tooltip();
  const controls::Geometry& at = c.geometry();
  out["left"] = at.left;
  out["top"] = at.top;
  out["width"] = at.width;
  out["height"] = at.height;
  if (const auto* t = dynamic_cast<const TextBox*>(&c)) {
    out["text"] = t->text();
    out["locked"] = t->locked();
  } else if (const auto* l = dynamic_cast<const LookupField*>(&c)) {
    out["text"] = l->text();
    out["value"] = ToJson(l->value());
  } else if (const auto* b = dynamic_cast<const CheckBox*>(&c)) {
    out["value"] = b->value();
  } else if (const auto* o = dynamic_cast<const OptionButton*>(&c)) {
    out["value"] = o->value();
  } else if (const auto* combo = dynamic_cast<const ComboBox*>(&c)) {
    out["text"] = combo->text();
    out["list_index"] = combo->list_index();
    Json items = Json::array();
    for (const auto& item : combo->items()) items.push_back(item.text);
    out["items"] = std::move(items);
  } else if (const auto* timer = dynamic_cast<const Timer*>(&c)) {
    out["running"] = timer->running();
    out["interval"] = timer->interval();
  } else if (const auto* g = dynamic_cast<const Grid*>(&c)) {
    out["rows"] = g->rows();
    out["cols"] = g->cols();
    out["fixed_rows"] = g->fixed_rows();
    out["fixed_cols"] = g->fixed_cols();
    out["row"] = g->row();
    out["col"] = g->col();
    out["editable"] = g->editable();
    out["top_row"] = g->top_row();
    out["left_col"] = g->left_col();
    Json cells = Json::array();
    Json keys = Json::array();
    Json pictures = Json::array();
    Json hidden_rows = Json::array();
    // Outline nodes appear only in grids that have any, so other grids read as before.
    Json collapsed = Json::array();
    bool outlined = false;
    for (int r = 0; r < g->rows(); ++r) {
      Json line = Json::array();
      for (int col = 0; col < g->cols(); ++col) {
        line.push_back(g->TextMatrix(r, col));
        const Variant key = g->CellKey(r, col);
        if (!key.IsEmpty()) keys.push_back(Json::array({r, col, ToJson(key)}));
        const std::string picture = g->CellPicture(r, col);
        if (!picture.empty()) pictures.push_back(Json::array({r, col, picture}));
      }
      cells.push_back(std::move(line));
      if (!g->RowIsVisible(r)) hidden_rows.push_back(r);
      outlined = outlined || g->IsSubtotal(r);
      if (g->IsCollapsed(r)) collapsed.push_back(r);
    }
    Json hidden_cols = Json::array();
    Json widths = Json::array();
    Json formats = Json::array();
    Json data_types = Json::array();
    for (int col = 0; col < g->cols(); ++col) {
      if (g->ColHidden(col)) hidden_cols.push_back(col);
      widths.push_back(g->ColWidth(col));
      formats.push_back(g->ColFormat(col));
      data_types.push_back(g->ColDataType(col));
    }
    out["cells"] = std::move(cells);
    out["keys"] = std::move(keys);
    out["pictures"] = std::move(pictures);
    out["styles"] = StyledCells(*g);
    out["hidden_rows"] = std::move(hidden_rows);
    if (outlined) out["collapsed_rows"] = std::move(collapsed);
    out["hidden_cols"] = std::move(hidden_cols);
    out["widths"] = std::move(widths);
    out["formats"] = std::move(formats);
    out["data_types"] = std::move(data_types);
  } else if (const auto* tree = dynamic_cast<const TreeView*>(&c)) {
    Json nodes = Json::array();
    for (const TreeNode* node : tree->Walk()) nodes.push_back(NodeState(*tree, *node));
    out["nodes"] = std::move(nodes);
    out["selected"] = tree->selected() ? Json(tree->selected()->key()) : Json(nullptr);
    if (tree->drop_highlight() != nullptr) out["drop_highlight"] = tree->drop_highlight()->key();
  }
  return out;
}

Json Snapshot(const ControlList& list, const controls::Form* form) {
  Json out = Json::object();
  out["form"] = form ? Json(form->name()) : Json(nullptr);
  out["caption"] = form ? Json(form->caption()) : Json(nullptr);
  out["focused"] = form && form->focused() ? Json(ControlLabel(*form->focused())) : Json(nullptr);
  out["busy"] = form ? Json(form->busy()) : Json(nullptr);
  out["width"] = form ? Json(form->inner_width()) : Json(nullptr);
  out["height"] = form ? Json(form->inner_height()) : Json(nullptr);
  Json items = Json::array();
  for (const auto& control : list) {
    if (control) items.push_back(ControlState(*control));
  }
  out["controls"] = std::move(items);
  return out;
}

Json ResizeForm(controls::Form& form, const Json& step) {
  if (!step.contains("width") || !step.contains("height")) {
    throw ScriptError("act \"resize\" on form " + form.name() +
                      " needs \"width\" and \"height\" (twips)");
  }
  const double width = ToDouble(step["width"], "\"width\"");
  const double height = ToDouble(step["height"], "\"height\"");
  if (!(width > 0) || !(height > 0)) {
    throw ScriptError("a form is wider and higher than 0 twips");
  }
  form.SetInnerSize(width, height);
  return true;
}

void CheckControl(const Control& control, const Json& expect, std::vector<std::string>& failures) {
  // What the expectation may look at, given what it addresses: a cell, a row, a column, a
  // node, or the control itself.
  Json actual = Json::object();
  std::string where = ControlLabel(control);
  const auto* grid = dynamic_cast<const Grid*>(&control);
  const auto* tree = dynamic_cast<const TreeView*>(&control);
  const bool has_row = expect.contains("row");
  const bool has_col = expect.contains("col");
  try {
    if (grid != nullptr && (has_row || has_col)) {
      const int row = has_row ? ToInt32(expect["row"], "\"row\"") : -1;
      const int col = has_col ? ToInt32(expect["col"], "\"col\"") : -1;
      if ((has_row && (row < 0 || row >= grid->rows())) ||
          (has_col && (col < 0 || col >= grid->cols()))) {
        failures.push_back(where + ": " +
                           (has_row && has_col ? "cell"
                            : has_row          ? "row"
                                               : "column") +
                           " (" + (has_row ? std::to_string(row) : "") +
                           (has_row && has_col ? ", " : "") + (has_col ? std::to_string(col) : "") +
                           ") is outside the grid (" + std::to_string(grid->rows()) + " rows, " +
                           std::to_string(grid->cols()) + " columns)");
        return;
      }
      if (has_row && has_col) {
        where += " cell (" + std::to_string(row) + ", " + std::to_string(col) + ")";
        actual["text"] = grid->TextMatrix(row, col);
        actual["display"] = grid->DisplayText(row, col);
        actual["key"] = ToJson(grid->CellKey(row, col));
        actual["picture"] = grid->CellPicture(row, col);
        const auto fore = grid->CellForeColor(row, col);
        const auto back = grid->CellBackColor(row, col);
        actual["fore_color"] = fore ? Json(*fore) : Json(nullptr);
        actual["back_color"] = back ? Json(*back) : Json(nullptr);
        actual["bold"] = grid->CellBold(row, col);
      } else if (has_row) {
        where += " row " + std::to_string(row);
        actual["hidden"] = !grid->RowIsVisible(row);
        actual["data"] = ToJson(grid->RowData(row));
        actual["collapsed"] = grid->IsCollapsed(row);
        actual["level"] = grid->RowOutlineLevel(row);
      } else {
        where += " column " + std::to_string(col);
        actual["hidden"] = grid->ColHidden(col);
        actual["width"] = grid->ColWidth(col);
        actual["header"] = grid->fixed_rows() > 0 ? grid->TextMatrix(0, col) : std::string();
        actual["format"] = grid->ColFormat(col);
        actual["data_type"] = grid->ColDataType(col);
      }
    } else if (tree != nullptr && expect.contains("node")) {
      const std::string key = ToText(expect["node"], "\"node\"");
      where += " node \"" + key + "\"";
      const TreeNode* node = tree->Find(key);
      actual["exists"] = node != nullptr;
      if (node != nullptr) {
        actual["text"] = node->text();
        actual["expanded"] = node->expanded();
        actual["selected"] = tree->selected() == node;
        actual["children"] = node->children_count();
      }
    } else {
      actual = ControlState(control);
      actual["text"] = ShownText(control);
      actual["focused"] = control.HasFocus();
      if (grid != nullptr) {
        actual["row_count"] = grid->rows();
        actual["col_count"] = grid->cols();
        actual["current_row"] = grid->row();
        actual["current_col"] = grid->col();
      }
      if (tree != nullptr) actual["selected_node"] = actual["selected"];
      if (const auto* combo = dynamic_cast<const ComboBox*>(&control)) {
        actual["item_data"] = ToJson(combo->ItemData());
      }
    }
  } catch (const ScriptError& e) {
    failures.push_back(where + ": " + e.what());
    return;
  }
  static const char* const kAddressing[] = {"control", "index", "form", "module",
                                            "row",     "col",   "node"};
  for (const auto& [key, wanted] : expect.items()) {
    bool addressing = false;
    for (const char* a : kAddressing) addressing = addressing || key == a;
    if (addressing) continue;
    if (!actual.contains(key)) {
      failures.push_back(where + " has no property \"" + key + "\" to expect");
      continue;
    }
    if (!SameValue(wanted, actual[key])) {
      failures.push_back(where + "." + key + " is " + Show(actual[key]) + ", expected " +
                         Show(wanted));
    }
  }
}

}  // namespace korvane::hostapp::script
