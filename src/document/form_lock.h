// What locking a document's form does: while locked, the controls a person types into or
// presses (text boxes, lookup fields, combo boxes, buttons) are disabled and the grids are not
// editable; unlocking enables them, except the controls a document fills itself, which stay
// disabled, and those it disables while it is being edited.
#ifndef KORVANE_DOCUMENT_FORM_LOCK_H_
#define KORVANE_DOCUMENT_FORM_LOCK_H_

#include <functional>
#include <memory>

#include "controls/control.h"
#include "controls/form.h"
#include "host/parameter_set.h"

namespace korvane::document {

struct LockRules {
  // Controls the document fills itself (approver, preparer and their dates): never enabled.
  std::function<bool(const controls::Control&)> stays_disabled;
  // Controls that work only while browsing: enabled exactly while the form is locked.
  std::function<bool(const controls::Control&)> disabled_while_unlocked;
  // Controls that work in every mode (a button that only shows what is on screen): never
  // touched by locking.
  std::function<bool(const controls::Control&)> left_alone;
};

// Locks or unlocks every control of `form` by the rules.
void LockForm(controls::Form& form, bool locked, const LockRules& rules);

// The design parameters a host gives a module's form: an entry "backcolor" sets its background
// colour. Null parameters change nothing.
void ApplyDesignParameters(controls::Form& form, const std::shared_ptr<ParameterSet>& parameters);

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_FORM_LOCK_H_
