// Locking and unlocking a document's form, and the design parameters a host gives it.
#include "document/form_lock.h"

#include <cstdint>
#include <optional>

#include "controls/grid.h"

namespace korvane::document {

void LockForm(controls::Form& form, bool locked, const LockRules& rules) {
  for (const auto& control : form.Controls()) {
    if (rules.left_alone && rules.left_alone(*control)) continue;
    if (rules.disabled_while_unlocked && rules.disabled_while_unlocked(*control)) {
      control->set_enabled(locked);
      continue;
    }
    switch (control->kind()) {
      case controls::ControlKind::kTextBox:
      case controls::ControlKind::kLookupField:
      case controls::ControlKind::kComboBox:
      case controls::ControlKind::kButton:
        control->set_enabled(!locked && !(rules.stays_disabled && rules.stays_disabled(*control)));
        break;
      case controls::ControlKind::kGrid:
        static_cast<controls::Grid&>(*control).set_editable(!locked);
        break;
      default:
        break;
    }
  }
}

void ApplyDesignParameters(controls::Form& form, const std::shared_ptr<ParameterSet>& parameters) {
  if (!parameters) return;
  if (const std::optional<Variant> color = parameters->Item("backcolor")) {
    form.set_back_color(static_cast<std::uint32_t>(color->ToInt64()));
  }
}

}  // namespace korvane::document
