// The browser of a document module: it owns the record navigator and the conditions a
// document walks its records by (base, find, filter), keeps the ids of the document on screen
// and of the one shown last, and drives the module's view to show a header row, to empty the
// form and to mark a filter.
#ifndef KORVANE_DOCUMENT_BROWSER_H_
#define KORVANE_DOCUMENT_BROWSER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "document/conditions.h"
#include "document/sql.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "values/recordset.h"

namespace korvane::document {

// What the browser asks of the module's form.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  // Shows the header row (the recordset stands on it) and the document's lines.
  virtual void ShowHeader(const Recordset& header) = 0;
  // Empties the form for a load or a find that shows nothing.
  virtual void EmptyForm() = 0;
  // Shows or hides the mark of a filtered view.
  virtual void ShowFilterMark(bool filtered) = 0;
  // Whether the form shows the approved documents (the approval stamp is visible).
  virtual bool ApprovedView() const = 0;
};

// How a document type is walked.
struct BrowsingRules {
  std::string load_select;  // the header SELECT of loading by mode
  std::string find_select;  // the header SELECT of finding
  std::string key_column;   // "报工单ID"
  std::string progid_prefix = "progid=";
  std::string period_module;  // the module code of the approved view's period: "SFC"
  std::string date_column;    // the column the approved view's window restricts: "生产日期"
  FilterJoin filter_join = FilterJoin::kFilterFirst;
  // The documents walked when they are not all those of the program id (the structures of the
  // product chosen in a tree): called for every load instead of progid_prefix + progid.
  std::function<std::string()> scope;
  // The condition finding starts from instead of the view's base (finding across every
  // product's structures); empty means the base.
  std::string find_base;
  // Documents without a status mark (routes) are walked by their scope alone: no smark term,
  // whichever view the stamp shows.
  bool walks_status = true;
};

class DocumentBrowser {
 public:
  // REQUIRES: `view` and `sql` outlive the browser.
  DocumentBrowser(BrowsingRules rules, DocumentView& view, DocumentSql& sql);

  // Starts browsing the documents of `progid`; a requested id of 1 or more keeps every load on
  // that one document. Forgets the conditions and ids of an earlier start.
  void Start(std::unique_ptr<RecordNavigator> navigator, std::int32_t progid,
             std::int32_t requested_id);
  // Drops the navigator; the browser can no longer load until the next Start.
  void Stop();
  bool started() const { return navigator_ != nullptr; }

  // The condition of the documents walked, by scope, approved view and requested id; without
  // a period module the approved view has no window of dates. Throws std::runtime_error when
  // the approved view's period cannot be used.
  std::string BaseCondition(HostContext& host) const;

  // Loads the document `mode` asks for under the base condition (kept) and the filter: the
  // form is emptied, and the row shown when there is one. Throws DataFailure with the
  // navigator's error text. REQUIRES: started().
  void Load(HostContext& host, NavigationMode mode);
  // Shows the first document satisfying the base and `extra`; returns whether there was one.
  // With nothing found the form is emptied unless `keep_form`. Throws DataFailure.
  bool ShowFirst(HostContext& host, std::string_view extra, bool keep_form);
  // Shows the first document satisfying `condition` alone, whichever documents the view walks
  // (a document just stored in a status the view does not show). Returns whether there was
  // one; the form stays as it is when not. Throws DataFailure.
  bool ShowStored(std::string_view condition);
  // Find: keeps the condition of the array and shows its first match; false (nothing done)
  // for an empty array.
  bool Find(HostContext& host, const ConditionArray& conditions);
  // The next match of the kept find condition after the document on screen; false when no
  // find condition was kept. The document on screen stays when nothing further matches.
  bool FindNext(HostContext& host);
  // Keeps the filter of the array and loads the last document; false for an empty array.
  bool Filter(HostContext& host, const ConditionArray& conditions);
  // The key a new table row gets. Throws DataFailure.
  std::int32_t NewKey(std::string_view table, std::string_view key_column);
  // "position/count" of the document shown; empty when nothing is.
  std::string PositionText() const;

  std::int32_t current_id() const { return current_id_; }
  // -1 while a new document is entered; 0 when nothing is shown.
  void set_current_id(std::int32_t id) { current_id_ = id; }
  // A document stored while the view does not walk it stays on screen as the one shown.
  void set_shown_id(std::int32_t id) { current_id_ = last_shown_id_ = id; }
  std::int32_t last_shown_id() const { return last_shown_id_; }
  std::int32_t progid() const { return progid_; }
  std::int32_t requested_id() const { return requested_id_; }
  const std::string& base_condition() const { return base_condition_; }
  const std::string& filter_condition() const { return filter_condition_; }
  const BrowsingRules& rules() const { return rules_; }

 private:
  void Show(const NavigatorAnswer& answer);
  [[noreturn]] void Fail(const std::string& error);

  BrowsingRules rules_;
  DocumentView& view_;
  DocumentSql& sql_;
  std::unique_ptr<RecordNavigator> navigator_;
  std::int32_t progid_ = 0;
  std::int32_t requested_id_ = 0;
  std::int32_t current_id_ = 0;
  std::int32_t last_shown_id_ = 0;
  std::string first_status_;
  std::string base_condition_;
  std::string find_condition_;
  std::string filter_condition_;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_BROWSER_H_
