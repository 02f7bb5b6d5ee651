// Walking, finding and filtering the documents of one program id.
#include "document/browser.h"

#include <utility>

#include "values/variant.h"

namespace korvane::document {

DocumentBrowser::DocumentBrowser(BrowsingRules rules, DocumentView& view, DocumentSql& sql)
    : rules_(std::move(rules)), view_(view), sql_(sql) {}

void DocumentBrowser::Start(std::unique_ptr<RecordNavigator> navigator, std::int32_t progid,
                            std::int32_t requested_id) {
  navigator_ = std::move(navigator);
  progid_ = progid;
  requested_id_ = requested_id;
  current_id_ = 0;
  last_shown_id_ = 0;
  first_status_.clear();
  base_condition_.clear();
  find_condition_.clear();
  filter_condition_.clear();
}

void DocumentBrowser::Stop() {
  navigator_.reset();
  current_id_ = 0;
}

std::string DocumentBrowser::BaseCondition(HostContext& host) const {
  std::string condition =
      rules_.scope ? rules_.scope() : rules_.progid_prefix + std::to_string(progid_);
  if (!rules_.walks_status) return condition;
  const bool approved = view_.ApprovedView();
  if (requested_id_ < 1) {
    if (!approved) {
      condition += " and smark='01'";
    } else {
      condition += " and smark='02'";
      if (!rules_.period_module.empty()) {
        condition += ApprovedWindowCondition(host, rules_.period_module, rules_.date_column);
      }
    }
  } else {
    // The one requested document is walked in the status it was first shown in.
    if (!first_status_.empty()) condition += approved ? " and smark='02'" : " and smark='01'";
    condition += " and " + rules_.key_column + "=" + std::to_string(requested_id_);
  }
  return condition;
}

void DocumentBrowser::Fail(const std::string& error) { sql_.Fail(error); }

void DocumentBrowser::Show(const NavigatorAnswer& answer) {
  answer.rows->MoveFirst();
  const Recordset& header = *answer.rows;
  current_id_ = header[rules_.key_column].ToLong();
  last_shown_id_ = current_id_;
  if (rules_.walks_status && first_status_.empty()) first_status_ = Trim(header["smark"].ToText());
  view_.ShowHeader(header);
}

void DocumentBrowser::Load(HostContext& host, NavigationMode mode) {
  base_condition_ = BaseCondition(host);
  const std::string condition = JoinFilter(base_condition_, filter_condition_, rules_.filter_join);
  view_.ShowFilterMark(!filter_condition_.empty());
  NavigatorAnswer answer =
      navigator_->Navigate(rules_.load_select, condition, mode, current_id_, rules_.key_column);
  if (!answer.error.empty()) Fail(answer.error);
  view_.EmptyForm();
  current_id_ = 0;
  if (answer.rows && answer.rows->RecordCount() > 0) Show(answer);
}

bool DocumentBrowser::ShowFirst(HostContext& host, std::string_view extra, bool keep_form) {
  if (base_condition_.empty()) base_condition_ = BaseCondition(host);
  const std::string& base = rules_.find_base.empty() ? base_condition_ : rules_.find_base;
  NavigatorAnswer answer =
      navigator_->FindFirst(rules_.find_select, base, extra, rules_.key_column);
  if (!answer.error.empty()) Fail(answer.error);
  const bool found = answer.rows && answer.rows->RecordCount() > 0;
  if (found) {
    view_.EmptyForm();
    Show(answer);
  } else if (!keep_form) {
    view_.EmptyForm();
    current_id_ = 0;
  }
  return found;
}

bool DocumentBrowser::ShowStored(std::string_view condition) {
  NavigatorAnswer answer =
      navigator_->FindFirst(rules_.find_select, "", condition, rules_.key_column);
  if (!answer.error.empty()) Fail(answer.error);
  if (!answer.rows || answer.rows->RecordCount() == 0) return false;
  view_.EmptyForm();
  Show(answer);
  return true;
}

bool DocumentBrowser::Find(HostContext& host, const ConditionArray& conditions) {
  const std::optional<std::string> condition = ConditionText(conditions);
  if (!condition) return false;
  find_condition_ = *condition;
  ShowFirst(host, find_condition_, false);
  return true;
}

bool DocumentBrowser::FindNext(HostContext& host) {
  if (find_condition_.empty()) return false;
  ShowFirst(host, FindNextCondition(find_condition_, rules_.key_column, current_id_), true);
  return true;
}

bool DocumentBrowser::Filter(HostContext& host, const ConditionArray& conditions) {
  const std::optional<std::string> condition = ConditionText(conditions);
  if (!condition) return false;
  filter_condition_ = *condition;
  Load(host, NavigationMode::kLast);
  return true;
}

std::int32_t DocumentBrowser::NewKey(std::string_view table, std::string_view key_column) {
  const NewKeyAnswer answer = navigator_->NewKey(table, key_column);
  if (!answer.error.empty()) Fail(answer.error);
  return answer.key;
}

std::string DocumentBrowser::PositionText() const {
  return navigator_ ? navigator_->PositionText() : std::string();
}

}  // namespace korvane::document
