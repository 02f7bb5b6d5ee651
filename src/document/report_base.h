// The base of every report module (work report query, wage detail query, plan report). It
// implements the members of IReportUI and IDesignUI every report answers the same way
// (initialisation with the caption, clearing, the moves and Help that do nothing, the user's
// conditions, check boxes and column widths kept per user, the grid settings file applied at
// refresh, the print heading of the conditions, Detaile on a double-click, VsMouseDown passed on,
// the background colour) and leaves to the report what only it knows through hooks: its
// condition fields and grid, the defaults of empty conditions, the heading's condition lines,
// which document a row stands for, and the members that query and print.
//
// Contract:
//  - Init(context, progid): without a context returns false; otherwise keeps the context,
//    shows the menu name as the caption, calls InitModule, attaches the wheel and reads the
//    scroll rate.
//  - Every member runs under the report's guard: an unexpected error is raised as
//    ErrMessage(module + "-->" + routine + "::" + text, level 8, the application title) and the
//    member returns false. Nothing throws to the host.
#ifndef KORVANE_DOCUMENT_REPORT_BASE_H_
#define KORVANE_DOCUMENT_REPORT_BASE_H_

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
#include "document/guard.h"
#include "document/sql.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "values/object.h"

namespace korvane::document {

// The document a report row stands for.
struct DetailTarget {
  std::int32_t program_id = 0;
  std::int32_t document_id = 0;
};

// Keeps a grid from redrawing while a report fills it, and lets it redraw however the filling
// ends.
class RedrawOff {
 public:
  explicit RedrawOff(controls::Grid& grid) : grid_(grid) { grid_.set_redraw(false); }
  ~RedrawOff() { grid_.set_redraw(true); }
  RedrawOff(const RedrawOff&) = delete;
  RedrawOff& operator=(const RedrawOff&) = delete;

 private:
  controls::Grid& grid_;
};

// The heading a printed report carries: its title, then one line per condition given, each
// beginning with a tab, separated by line breaks.
std::string PrintHeading(std::string_view title, const std::vector<std::string>& condition_lines);

class ReportBase : public Object,
                   public IReportUI,
                   public IDesignUI,
                   public WheelSource,
                   public FormView,
                   public EventSource<ReportEvents> {
 public:
  // `module_name` names the form and the error rule's module.
  explicit ReportBase(std::string module_name);
  ~ReportBase() override;

  // --- IReportUI members every report answers the same way -------------------------------
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid) override;
  bool Clear() override;
  bool RecordTop() override;
  bool RecordPrevious() override;
  bool RecordNext() override;
  bool RecordBottom() override;
  bool Help() override;
  std::string ReturnPrintName() override;
  // Find and FindNext hand the grid to the host's find-in-grid, starting at the grid's current
  // column; Filter hands it the grid and its current column. The condition arrays a document
  // form would take are not used by a report.
  bool Find(const ConditionArray& conditions) override;
  bool FindNext() override;
  bool Filter(const ConditionArray& conditions) override;
  // Print the grid under the heading (the caption, then HeadingConditionLines) to the file
  // PrintFilePath names, through the host's grid print; they differ only in the print mode.
  // False, with nothing written, when MayPrint refuses.
  bool PrintPreview() override;
  bool DoPrint() override;
  bool PrintSetup() override;
  // Restores the condition fields, check boxes and column widths the user left, keeps the
  // file name for the grid settings a refresh applies, then fills empty conditions with their
  // defaults (DefaultConditions).
  bool DoGetFormStatus() override;
  bool DoSaveFormStatus() override;
  void Attributes() override;
  std::shared_ptr<Recordset> oTable() override;

  // --- IDesignUI -----------------------------------------------------------------------
  const std::vector<std::unique_ptr<controls::Control>>& Controls() override;
  std::shared_ptr<ParameterSet> GetParameters() override;
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override;

  controls::Form& form() { return form_; }
  controls::Form& View() override { return form_; }
  controls::MouseWheel& Wheel() override { return wheel_; }
  double scroll_rate() const { return scroll_rate_; }
  // The per-user file of the report's conditions and layout: progid + module name.
  std::string SettingsFileName() const;

 protected:
  // --- Hooks ----------------------------------------------------------------------------
  // Sets up the condition fields and the grid once the host is known. Throws on a failure.
  virtual void InitModule() {}
  // Releases the report's own parts at Clear, before the host is dropped.
  virtual void ClearModule() {}
  // Fills the conditions the user left empty (dates with the business date, ...).
  virtual void DefaultConditions() {}
  // The document a data row stands for; nullopt when it stands for none.
  virtual std::optional<DetailTarget> DetailOf(int row) const = 0;
  // The condition lines of the print heading, in their order; each is printed after a line
  // break and a tab.
  virtual std::vector<std::string> HeadingConditionLines() const { return {}; }
  // The file the grid is printed to; by default "Rpt" + progid + ".prn" (PreparePrintFile).
  virtual std::string PrintFilePath() { return PreparePrintFile(); }
  // Whether the grid may be printed now; a report that refuses tells the user itself.
  virtual bool MayPrint() { return true; }

  // --- Shared pieces a report uses --------------------------------------------------------
  // Adds the condition field `index` of the control array "qxTxt" under `caption`. When it has
  // a lookup once InitModule is done, it resolves through the host's lookups until Clear; what
  // its lookup cannot resolve is told in a message box titled "提示：".
  controls::LookupField& AddConditionField(int index, std::string caption);
  // Adds the result grid "Vs" of the host's grid `kind`: one fixed row, no fixed column, not
  // editable; it becomes grid_.
  controls::Grid& AddResultGrid(std::string kind = "qxGrid");
  // From now on shows the product `field` names by its code and its name, however it was
  // chosen (typed, picked, restored), keeping the product id as its value.
  void ShowProductByCodeAndName(controls::LookupField& field);
  void RaiseMessage(const std::string& text);
  void RaiseErrorText(const std::string& text, LogLevel level);
  const ErrorGuard& guard() const { return guard_; }
  template <typename Body>
  bool Guard(std::string_view routine, Body&& body) {
    return guard_.Run(routine, std::forward<Body>(body), false);
  }
  // Applies the user's grid settings (subtotals, totals, widths) from the file kept at
  // DoGetFormStatus; false when none was kept.
  bool ApplyUserGridSettings();
  // "Rpt" + progid + ".prn" in the print folder "selfPrn", the folder created when missing;
  // kept as the print name.
  std::string PreparePrintFile();
  // Keeps `path` as the print name, creating its folder when missing; returns it.
  std::string PreparePrintFileAt(const std::string& path);

  std::int32_t progid() const { return progid_; }

  std::string module_name_;
  controls::Form form_;
  // REQUIRES: set by the report's constructor to its result grid.
  controls::Grid* grid_ = nullptr;
  std::shared_ptr<HostContext> host_;
  DocumentSql sql_;

 private:
  void RowDoubleClicked();
  void ShowProduct(controls::LookupField& field);
  bool PrintGrid(std::string_view routine, GridPrintMode mode);

  ErrorGuard guard_;
  controls::MouseWheel wheel_;
  bool wired_ = false;
  double scroll_rate_ = 5;
  std::int32_t progid_ = 0;
  std::string grid_settings_file_;
  std::string print_file_name_;
  std::vector<controls::LookupField*> condition_fields_;
  std::shared_ptr<controls::LookupResolver> lookups_;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_REPORT_BASE_H_
