// The base of every document module (work report, master plan, bill of materials, process
// route). It implements the members of IFormUI and IDesignUI that every document answers the
// same way (initialisation, clearing, loading by mode, finding, filtering, the approved view,
// cancelling back to the document shown before, printing, the user's layout, the background
// colour) and leaves to the module what only it knows, through hooks: how its header and lines
// are shown and emptied, what Init reads beyond the caption, what its print data holds, and
// the members that edit, store and approve.
//
// Contract:
//  - A module gives its rules in the constructor and creates its controls in its own
//    constructor, pointing `grid_`, `stamp_`, `filter_mark_` and `record_label_` at them.
//  - Init(context, progid, id): without a context returns false; otherwise keeps the context,
//    starts the browser on a new record navigator, shows the menu name as the caption, calls
//    InitModule, attaches the wheel and reads the scroll rate. Browsing and locked afterwards.
//  - Every member runs under the module's guard: an unexpected error or a refused statement is
//    raised as ErrMessage(module + "-->" + routine + "::" + text, level 8, the error title) and
//    the member returns false without changing the mode. Nothing throws to the host.
//  - The form is owned by the base; the host context is shared and dropped by Clear.
#ifndef KORVANE_DOCUMENT_DOCUMENT_BASE_H_
#define KORVANE_DOCUMENT_DOCUMENT_BASE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "document/browser.h"
#include "document/form_lock.h"
#include "document/guard.h"
#include "document/sql.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "values/object.h"

namespace korvane::document {

enum class DocumentMode { kBrowsing, kNew, kEditing };

struct DocumentRules {
  std::string module_name;  // "SCCJD_S": the form's name, the error rule's module
  // The title of ErrMessage; empty means the host's application title.
  std::string error_title;
  // The title of the errors of loading, finding, filtering and printing; empty means
  // error_title.
  std::string browse_error_title;
  BrowsingRules browsing;
};

class DocumentBase : public Object,
                     public IFormUI,
                     public IDesignUI,
                     public WheelSource,
                     public FormView,
                     protected DocumentView {
 public:
  using Mode = DocumentMode;

  explicit DocumentBase(DocumentRules rules);
  ~DocumentBase() override;

  // --- IFormUI members every document answers the same way --------------------------------
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::int32_t document_id) override;
  bool Clear() override;
  bool FileNewNext() override;
  bool FileCancel() override;
  bool Find(const ConditionArray& conditions) override;
  bool FindNext() override;
  bool Filter(const ConditionArray& conditions) override;
  bool Refresh() override;
  bool RecordTop() override;
  bool RecordPrevious() override;
  bool RecordNext() override;
  bool RecordBottom() override;
  bool PrintPreview() override;
  bool DoPrint() override;
  bool PrintSetup() override;
  bool Help() override;
  bool DoSetStatus(std::string_view status, bool approved) override;
  std::int32_t GetID() override;
  bool CheckStatus(std::string_view status) override;
  std::string ReturnPrintName() override;
  bool IsDirty() override;
  bool DoGetFormStatus() override;
  bool DoSaveFormStatus() override;
  void Attributes() override;

  // --- IDesignUI -----------------------------------------------------------------------
  const std::vector<std::unique_ptr<controls::Control>>& Controls() override;
  std::shared_ptr<ParameterSet> GetParameters() override;
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override;

  // --- What a host renders and drives --------------------------------------------------
  controls::Form& form() { return form_; }
  const controls::Form& form() const { return form_; }
  controls::Form& View() override { return form_; }
  controls::MouseWheel& wheel() { return wheel_; }
  controls::MouseWheel& Wheel() override { return wheel_; }

  Mode mode() const { return mode_; }
  double scroll_rate() const { return scroll_rate_; }
  // The name of the per-user layout file of this document type: progid + module name.
  std::string SettingsFileName() const;

 protected:
  // --- Hooks ------------------------------------------------------------------------------
  // What Init reads and sets up beyond the caption (attributes, settings, the grid). Throws
  // on a failure, which Init reports.
  virtual void InitModule() {}
  // Empties the module's own parts at Clear (fields, grid, dialogs) before the host is dropped.
  virtual void ClearModule() {}
  // Writes the print data file of the form on screen; its path, or nullopt when it could not
  // be written.
  virtual std::optional<std::string> WritePrintFile() = 0;
  // The document FileCancel returns to: by default the one shown last.
  virtual std::int32_t CancelTarget() const { return browser_.last_shown_id(); }
  // Hands an event to the module's sinks.
  virtual void RaiseEvent(const std::function<void(DocumentEvents&)>& event) = 0;

  // DocumentView: the stamp's visibility is the approved view, the filter mark is a label.
  void ShowFilterMark(bool filtered) override;
  bool ApprovedView() const override;

  // --- Shared pieces a module uses ------------------------------------------------------
  void RaiseMessage(const std::string& text);
  // ErrMessage with the error rule's text of `routine`.
  void RaiseError(std::string_view routine, std::string_view description);
  // ErrMessage with a text of the module's own.
  void RaiseErrorText(const std::string& text, LogLevel level);
  const ErrorGuard& guard() const { return guard_; }
  // Runs `body` under the guard: an escaping exception is reported as an error of `routine`
  // and false returned.
  template <typename Body>
  bool Guard(std::string_view routine, Body&& body) {
    return guard_.Run(routine, std::forward<Body>(body), false);
  }
  // Loads by mode: the form emptied, locked and browsing, the row shown, FormRefreshed raised.
  bool LoadData(NavigationMode mode);
  // Shows the first document of the base and `extra`; `found` tells whether there was one.
  bool FindData(std::string_view extra, bool keep_form, bool& found);
  // Shows document `id` just stored: under the base when the view walks it, else by its key
  // alone, so that the form shows what the database holds. False when reading it failed.
  bool ShowSaved(std::int32_t id);
  // The guard of loading, finding and printing, which reports with browse_error_title.
  const ErrorGuard& browse_guard() const { return browse_guard_; }
  void LockForm(bool locked);
  // Empties the header fields without taking it for an edit; `release` also detaches them
  // from the host's lookups (at Clear).
  void ResetFields(const std::vector<controls::LookupField*>& fields, bool release);
  // Unlocks the form for entering or editing a document; a module may offer more (an empty
  // row for the next line).
  virtual void UnlockForEntry() { LockForm(false); }
  void set_mode(Mode mode) { mode_ = mode; }

  // --- The steps of editing every document shares ----------------------------------------
  // Creates the approval stamp "Lab_Succeed", the filter mark "LabFilter" and the record label
  // "lblRecord" and points stamp_, filter_mark_ and record_label_ at them.
  void AddStatusLabels();
  // The end of FileNew: the focus on `number` when it is empty, else on `next`; the record
  // label "新建记录..."; clean; Message "正在新建单据中...".
  void NewStarted(controls::LookupField& number, controls::Control& next);
  // FileEdit: with no document shown, the box `refusal` (information icon, application title)
  // and false; otherwise editing, UnlockForEntry, clean, Message "正在修改单据中..." and true.
  bool StartEditing(std::string_view refusal);
  // FileDelete's questions: false when no document is shown ("没有可删除的记录!") or the person
  // answers No to "是否删除当前记录:"; both boxes titled "提示:".
  bool ConfirmDelete();
  std::string error_title() const;

  std::int32_t progid() const { return browser_.progid(); }
  std::int32_t current_id() const { return browser_.current_id(); }

  DocumentRules rules_;
  controls::Form form_;
  controls::Grid* grid_ = nullptr;
  controls::Label* stamp_ = nullptr;
  controls::Label* filter_mark_ = nullptr;
  controls::Label* record_label_ = nullptr;
  LockRules lock_rules_;
  std::shared_ptr<HostContext> host_;
  DocumentSql sql_;
  DocumentBrowser browser_;
  bool dirty_ = false;
  // Set while the module itself fills the controls, so their change events are not edits.
  bool filling_ = false;

 private:
  bool WritePrintData(std::string_view routine);
  // After every load: browsing, locked, clean, the grid drawn, FormRefreshed raised.
  void Loaded();

  template <typename Body>
  bool BrowseGuard(std::string_view routine, Body&& body) {
    return browse_guard_.Run(routine, std::forward<Body>(body), false);
  }

  ErrorGuard guard_;
  ErrorGuard browse_guard_;
  controls::MouseWheel wheel_;
  bool wheel_attached_ = false;
  double scroll_rate_ = 5;
  std::string print_file_name_;
  Mode mode_ = Mode::kBrowsing;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_DOCUMENT_BASE_H_
