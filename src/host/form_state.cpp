// Saving and restoring the state of a form's controls in a settings file.
#include "host/form_state.h"

#include <memory>
#include <optional>

#include "controls/basic_controls.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "controls/tree_view.h"
#include "host/grid_settings.h"
#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {
namespace {

using controls::CheckBox;
using controls::ComboBox;
using controls::Control;
using controls::Grid;
using controls::LookupField;
using controls::OptionButton;
using controls::TextBox;
using controls::TreeView;

bool IsHostGrid(const Control& control) {
  return dynamic_cast<const Grid*>(&control) != nullptr &&
         EqualsIgnoreCase(control.type_name(), "qxGrid");
}

bool IsPlainGrid(const Control& control) {
  return dynamic_cast<const Grid*>(&control) != nullptr &&
         EqualsIgnoreCase(control.type_name(), "VSFlexGrid");
}

std::string ColumnKey(const std::string& key, int col) {
  return key + "_Col" + std::to_string(col);
}

std::string SelectedText(const TreeView& tree) {
  return tree.selected() != nullptr ? tree.selected()->text() : std::string();
}

bool SaveControl(ProfileStore& store, const Control& control, bool grids_only,
                 std::string_view file_name, HostContext& host) {
  const std::string key = FormStateKey(control);
  auto write = [&](const std::string& k, std::string_view value) {
    return store.Write(kFormStateSection, k, value);
  };
  if (IsHostGrid(control)) {
    const auto& grid = static_cast<const Grid&>(control);
    bool ok = true;
    for (int c = 0; c < grid.cols(); ++c) {
      ok = write(ColumnKey(key, c), FormatNumber(grid.ColWidth(c))) && ok;
    }
    return ok;
  }
  if (grids_only) return true;
  if (IsPlainGrid(control)) {
    return SaveGridSettings(file_name, static_cast<const Grid&>(control), false, host);
  }
  if (const auto* field = dynamic_cast<const LookupField*>(&control)) {
    const bool ok = write(key + "_Value", Trim(field->value().ToText()));
    return write(key + "_Text", Trim(field->text())) && ok;
  }
  if (const auto* check = dynamic_cast<const CheckBox*>(&control)) {
    return write(key, std::to_string(check->value()));
  }
  if (const auto* text = dynamic_cast<const TextBox*>(&control)) {
    return write(key, Trim(text->text()));
  }
  if (const auto* combo = dynamic_cast<const ComboBox*>(&control)) {
    return write(key, Trim(combo->text()));
  }
  if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
    return write(key, option->value() ? "True" : "False");
  }
  if (const auto* tree = dynamic_cast<const TreeView*>(&control)) {
    return write(key, SelectedText(*tree));
  }
  return true;
}

void RestoreControl(ProfileStore& store, Control& control, bool grids_only,
                    std::string_view file_name, HostContext& host) {
  const std::string key = FormStateKey(control);
  auto read = [&](const std::string& k, std::string_view current) {
    return store.Read(kFormStateSection, k, current);
  };
  if (IsHostGrid(control)) {
    auto& grid = static_cast<Grid&>(control);
    for (int c = 0; c < grid.cols(); ++c) {
      const double current = grid.ColWidth(c);
      const std::optional<double> width =
          ParseStoredNumber(read(ColumnKey(key, c), FormatNumber(current)));
      if (width && *width >= 0 && *width != current) grid.SetColWidth(c, *width);
    }
    return;
  }
  if (grids_only) return;
  if (IsPlainGrid(control)) {
    ApplyGridSettings(file_name, static_cast<Grid&>(control), false, host);
    return;
  }
  if (auto* field = dynamic_cast<LookupField*>(&control)) {
    const std::string current_value = Trim(field->value().ToText());
    const std::string value = read(key + "_Value", current_value);
    if (value != current_value) field->set_value(value.empty() ? Variant() : Variant(value));
    const std::string current_text = Trim(field->text());
    const std::string text = read(key + "_Text", current_text);
    if (text != current_text) field->set_text(text);
    return;
  }
  if (auto* check = dynamic_cast<CheckBox*>(&control)) {
    const std::optional<int> value = ParseStoredInt(read(key, std::to_string(check->value())));
    if (value && *value >= 0 && *value <= 2) check->set_value(*value);
    return;
  }
  if (auto* text = dynamic_cast<TextBox*>(&control)) {
    const std::string current = Trim(text->text());
    const std::string value = read(key, current);
    if (value != current) text->set_text(value);
    return;
  }
  if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
    const std::string current = Trim(combo->text());
    const std::string value = read(key, current);
    if (value == current) return;
    // A list item with that text is chosen, so that the item's data comes back with it.
    for (int i = 0; i < combo->ListCount(); ++i) {
      if (combo->ItemAt(i).text == value) {
        combo->set_list_index(i);
        return;
      }
    }
    combo->set_text(value);
    return;
  }
  if (auto* option = dynamic_cast<OptionButton*>(&control)) {
    const bool value = Variant(read(key, option->value() ? "True" : "False")).ToBool();
    if (value != option->value()) option->set_value(value);
    return;
  }
  if (auto* tree = dynamic_cast<TreeView*>(&control)) {
    const std::string current = SelectedText(*tree);
    const std::string wanted = read(key, current);
    if (wanted.empty() || wanted == current) return;
    for (controls::TreeNode* node : tree->Walk()) {
      if (node->text() == wanted) {
        tree->set_selected(node);
        return;
      }
    }
  }
}

}  // namespace

std::string FormStateKey(const Control& control) {
  std::string key = ToUpperAscii(control.type_name()) + "_" + control.name();
  if (control.index() != -1) key += "_" + std::to_string(control.index());
  return key;
}

bool SaveFormState(std::string_view file_name, const controls::Form& form, bool grids_only,
                   HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    if (!store) return false;
    bool ok = true;
    for (const auto& control : form.Controls()) {
      ok = SaveControl(*store, *control, grids_only, file_name, host) && ok;
    }
    return ok;
  } catch (...) {
    return false;
  }
}

bool RestoreFormState(std::string_view file_name, controls::Form& form, bool grids_only,
                      HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    if (!store) return true;
    for (const auto& control : form.Controls()) {
      RestoreControl(*store, *control, grids_only, file_name, host);
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace korvane
