// A form's per-user state in a settings file (section "Form"): the column widths of its host
// grids and the values of its fields, check boxes, option buttons, text and combo boxes and
// trees, so that a document or dialog opens the way the user left it.
//
// Contract:
//  - `file_name` names a settings file as SettingsPath does; the store comes from
//    HostContext::CreateProfileStore().
//  - The key of a control is its type name in capitals + "_" + its name, followed by "_" + its
//    index when it belongs to a control array ("QXGRID_qxGrid_Col3", "CHECKBOX_Chk_2").
//    Per kind: a host grid ("qxGrid") keeps key + "_Col" + n for every column; a lookup field
//    ("qxTxt_S") key + "_Value" and key + "_Text", both trimmed; a check box its value; a text
//    box or combo box its trimmed text; an option button "True" or "False"; a tree the text of
//    its selected node; a plain grid ("VSFlexGrid") its grid settings (see grid_settings.h) in
//    the same file. Other controls are not kept.
//  - With `grids_only` only the host grids' column widths are saved or restored.
//  - Restoring reads every key with the control's current value as the default, so a missing
//    or unreadable value leaves the control as it is. Restoring sets the values the way code
//    does, so the controls fire their change events as they do for any value set by code.
//  - Nothing throws. Save returns false when a value could not be written; Restore returns
//    false only when a control refused a value part-way (the values set before stay).
#ifndef KORVANE_HOST_FORM_STATE_H_
#define KORVANE_HOST_FORM_STATE_H_

#include <string>
#include <string_view>

#include "controls/control.h"
#include "controls/form.h"
#include "host/host_context.h"

namespace korvane {

inline constexpr std::string_view kFormStateSection = "Form";

// The key a control's state is kept under.
std::string FormStateKey(const controls::Control& control);

bool SaveFormState(std::string_view file_name, const controls::Form& form, bool grids_only,
                   HostContext& host);
bool RestoreFormState(std::string_view file_name, controls::Form& form, bool grids_only,
                      HostContext& host);

}  // namespace korvane

#endif  // KORVANE_HOST_FORM_STATE_H_
