// Creating, editing, validating, storing and deleting work reports, and their approval with
// the hand-over of every employee's wage share to the wage system's intake table.
#include <string>
#include <string_view>

#include "workreport/sccjd_s.h"

namespace korvane {

bool SCCJD_S::NotAvailable(std::string_view member) {
  RaiseError(MakeErrorReport(workreport::kModuleName, member, "not available yet"));
  return false;
}

// --- Modes ----------------------------------------------------------------------------------

bool SCCJD_S::FileEdit() {
  return Guard("FileEdit", [&] {
    if (current_id_ < 1) {
      if (host_) {
        host_->dialogs().MessageBox("没有可以修改的单据，不能编辑! ", MsgButtons::kOk,
                                    MsgIcon::kInformation, host_->ApplicationTitle());
      }
      return false;
    }
    mode_ = Mode::kEditing;
    LockForm(false);
    dirty_ = false;
    return true;
  });
}

bool SCCJD_S::FileNew() { return NotAvailable("FileNew"); }
bool SCCJD_S::FileSave() { return NotAvailable("FileSave"); }
bool SCCJD_S::FileDelete() { return NotAvailable("FileDelete"); }
bool SCCJD_S::Check() { return NotAvailable("Check"); }
bool SCCJD_S::UnCheck() { return NotAvailable("UnCheck"); }

}  // namespace korvane
