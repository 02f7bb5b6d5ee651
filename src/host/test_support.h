// Fakes of the host's objects for unit tests: a HostContext with settings by name and number,
// a temporary user folder, real settings and print writers, recording dialogs that answer
// from a queue, a scriptable data service and record navigator.
//
// Usage:
//   auto host = std::make_shared<test::FakeHostContext>();
//   host->settings["mouseeventscrollrate"] = "3";
//   host->data->WhenRows("from xt_menu", Recordset({{"menuname", kAdVarChar}}, {{"报工单"}}));
//   host->dialogs_fake.QueueAnswer(MsgAnswer::kYes);   // before the box appears
//
// A message or input box that appears with no queued answer fails the running test, and so do
// answers still queued when the host is destroyed: every box a test causes is one it expects.
#ifndef KORVANE_HOST_TEST_SUPPORT_H_
#define KORVANE_HOST_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/data_service.h"
#include "host/dialogs.h"
#include "host/error_rule.h"
#include "host/host_context.h"
#include "host/ini_profile_store.h"
#include "host/interfaces.h"
#include "host/parameter_set.h"
#include "host/print_file.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::test {

// --- Files ---------------------------------------------------------------------------------

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "cannot create a temporary folder";
    }
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// --- Dialogs -------------------------------------------------------------------------------

struct ShownBox {
  std::string text;
  MsgButtons buttons = MsgButtons::kOk;
  MsgIcon icon = MsgIcon::kNone;
  std::string title;
};

struct ShownInput {
  std::string prompt;
  std::string title;
  std::string default_text;
};

class FakeDialogs : public Dialogs {
 public:
  ~FakeDialogs() override {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " queued message box answer(s) unused";
    EXPECT_TRUE(inputs_.empty()) << inputs_.size() << " queued input box answer(s) unused";
  }

  // The answer to the next message box.
  void QueueAnswer(MsgAnswer answer) { answers_.push_back(answer); }
  // The answer to the next input box; nullopt stands for Cancel.
  void QueueInput(std::optional<std::string> answer) { inputs_.push_back(std::move(answer)); }

  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                       std::string_view title) override {
    boxes_.push_back({std::string(text), buttons, icon, std::string(title)});
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected message box \"" << text << "\" titled \"" << title << "\"";
      return MsgAnswer::kCancel;
    }
    const MsgAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                      std::string_view default_text) override {
    inputs_shown_.push_back({std::string(prompt), std::string(title), std::string(default_text)});
    if (inputs_.empty()) {
      ADD_FAILURE() << "unexpected input box \"" << prompt << "\"";
      return std::nullopt;
    }
    std::optional<std::string> answer = std::move(inputs_.front());
    inputs_.pop_front();
    return answer;
  }

  // Dialog forms are shown until closed; the last shown is at the back.
  void FormShown(controls::Form& form) override { shown_forms.push_back(&form); }
  void FormClosed(controls::Form& form) override { std::erase(shown_forms, &form); }
  std::vector<controls::Form*> shown_forms;

  const std::vector<ShownBox>& boxes() const { return boxes_; }
  const std::vector<ShownInput>& inputs_shown() const { return inputs_shown_; }
  void ClearShown() {
    boxes_.clear();
    inputs_shown_.clear();
  }

 private:
  std::deque<MsgAnswer> answers_;
  std::deque<std::optional<std::string>> inputs_;
  std::vector<ShownBox> boxes_;
  std::vector<ShownInput> inputs_shown_;
};

// --- Document events -------------------------------------------------------------------------

struct RaisedError {
  std::string text;
  LogLevel level;
  std::string title;
};

// Keeps what a document module told its host.
class RecordingDocumentEvents : public DocumentEvents {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  void ErrMessage(const std::string& text, LogLevel level, const std::string& title) override {
    errors.push_back({text, level, title});
  }
  void FormRefreshed() override { ++refreshed; }

  std::vector<std::string> messages;
  std::vector<RaisedError> errors;
  int refreshed = 0;
};

// --- Data service --------------------------------------------------------------------------

enum class DataCallKind { kOpen, kExecute, kScalar, kBegin, kCommit, kRollback };

struct DataCall {
  DataCallKind kind = DataCallKind::kOpen;
  std::string text;
  CommandType type = CommandType::kText;
  std::vector<Parameter> parameters;  // as passed in, before output values were set
};

// Answers commands by rules: the first rule (in the order added) whose fragment occurs in the
// command text answers; an empty fragment matches every command. A command no rule matches
// succeeds with an empty result, or fails the test when `strict` is set.
class FakeDataService : public DataService {
 public:
  struct Response {
    // What Open returns; an empty recordset without fields when unset.
    std::optional<Recordset> rows;
    // What Scalar returns; when unset, the first value of `rows` (empty without rows).
    std::optional<Variant> scalar;
    // Not empty: the command fails with this text.
    std::string error;
    // Values of output parameters, by parameter name (ASCII case ignored).
    std::vector<std::pair<std::string, Variant>> outputs;
    // The rule answers one command only.
    bool once = false;
  };

  void When(std::string fragment, Response response) {
    rules_.push_back({std::move(fragment), std::move(response)});
  }
  void WhenRows(std::string fragment, Recordset rows, bool once = false) {
    Response r;
    r.rows = std::move(rows);
    r.once = once;
    When(std::move(fragment), std::move(r));
  }
  void WhenScalar(std::string fragment, Variant value, bool once = false) {
    Response r;
    r.scalar = std::move(value);
    r.once = once;
    When(std::move(fragment), std::move(r));
  }
  void WhenFails(std::string fragment, std::string error, bool once = false) {
    Response r;
    r.error = std::move(error);
    r.once = once;
    When(std::move(fragment), std::move(r));
  }
  void ClearRules() { rules_.clear(); }

  std::unique_ptr<Recordset> Open(Command& command) override {
    Record(DataCallKind::kOpen, command);
    const std::optional<Response> r = Answer(command);
    if (!r) return nullptr;
    return std::make_unique<Recordset>(r->rows.value_or(Recordset()));
  }
  bool Execute(Command& command) override {
    Record(DataCallKind::kExecute, command);
    return Answer(command).has_value();
  }
  Variant Scalar(Command& command) override {
    Record(DataCallKind::kScalar, command);
    const std::optional<Response> r = Answer(command);
    if (!r) return {};
    if (r->scalar) return *r->scalar;
    if (r->rows && r->rows->RecordCount() > 0 && r->rows->FieldCount() > 0) {
      return r->rows->Rows().front().front();
    }
    return {};
  }

  bool BeginTrans() override {
    Log(DataCallKind::kBegin);
    ++transaction_depth_;
    return true;
  }
  bool CommitTrans() override {
    Log(DataCallKind::kCommit);
    if (transaction_depth_ > 0) --transaction_depth_;
    last_error_ = fail_commit ? "commit failed" : "";
    return !fail_commit;
  }
  bool RollbackTrans() override {
    Log(DataCallKind::kRollback);
    if (transaction_depth_ > 0) --transaction_depth_;
    return true;
  }
  std::string LastError() const override { return last_error_; }

  // Every call in order.
  const std::vector<DataCall>& calls() const { return calls_; }
  // The texts of the calls of one kind, in order.
  std::vector<std::string> Texts(DataCallKind kind) const {
    std::vector<std::string> out;
    for (const DataCall& call : calls_) {
      if (call.kind == kind) out.push_back(call.text);
    }
    return out;
  }
  // Whether some command text of any kind contains the fragment.
  bool Saw(std::string_view fragment) const {
    for (const DataCall& call : calls_) {
      if (call.text.find(fragment) != std::string::npos) return true;
    }
    return false;
  }
  int transaction_depth() const { return transaction_depth_; }
  void ClearCalls() { calls_.clear(); }

  bool strict = false;
  bool fail_commit = false;

 private:
  struct Rule {
    std::string fragment;
    Response response;
  };

  void Record(DataCallKind kind, const Command& command) {
    calls_.push_back({kind, command.text, command.type, command.parameters});
  }
  void Log(DataCallKind kind) { calls_.push_back({kind, {}, CommandType::kText, {}}); }

  // The matching response with its outputs applied, or nullopt when the command fails.
  std::optional<Response> Answer(Command& command) {
    last_error_.clear();
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
      if (command.text.find(it->fragment) == std::string::npos) continue;
      Response r = it->response;
      if (r.once) rules_.erase(it);
      if (!r.error.empty()) {
        last_error_ = r.error;
        return std::nullopt;
      }
      for (Parameter& p : command.parameters) {
        if (!p.output) continue;
        for (const auto& [name, value] : r.outputs) {
          if (EqualsIgnoreCase(name, p.name)) p.value = value;
        }
      }
      return r;
    }
    if (strict) ADD_FAILURE() << "no scripted answer for: " << command.text;
    return Response{};
  }

  std::vector<Rule> rules_;
  std::vector<DataCall> calls_;
  std::string last_error_;
  int transaction_depth_ = 0;
};

// --- Record navigator ----------------------------------------------------------------------

struct NavigateCall {
  std::string select;
  std::string condition;  // for FindFirst: base condition
  std::string extra;      // for FindFirst: extra condition; empty for Navigate
  NavigationMode mode = NavigationMode::kFirst;
  std::int32_t current_key = 0;
  std::string key_column;
  bool find_first = false;
};

// What every navigator a FakeHostContext creates shares: the calls, the answers and the keys.
struct NavigatorScript {
  std::vector<NavigateCall> calls;
  // Answers Navigate and FindFirst; without it the navigator finds no row.
  std::function<NavigatorAnswer(const NavigateCall&)> answer;
  // Next key per table; a table not listed starts at 1.
  std::map<std::string, std::int32_t> next_key;
  std::string key_error;  // not empty: NewKey fails with it
  std::string position_text;
};

class FakeRecordNavigator : public RecordNavigator {
 public:
  explicit FakeRecordNavigator(std::shared_ptr<NavigatorScript> script)
      : script_(std::move(script)) {}

  NavigatorAnswer Navigate(std::string_view select, std::string_view condition, NavigationMode mode,
                           std::int32_t current_key, std::string_view key_column) override {
    NavigateCall call{std::string(select), std::string(condition),  {},   mode,
                      current_key,         std::string(key_column), false};
    return Answer(std::move(call));
  }
  NavigatorAnswer FindFirst(std::string_view select, std::string_view base_condition,
                            std::string_view extra_condition,
                            std::string_view key_column) override {
    NavigateCall call{std::string(select),
                      std::string(base_condition),
                      std::string(extra_condition),
                      NavigationMode::kFirst,
                      0,
                      std::string(key_column),
                      true};
    return Answer(std::move(call));
  }
  NewKeyAnswer NewKey(std::string_view table, std::string_view /*key_column*/) override {
    if (!script_->key_error.empty()) return {0, script_->key_error};
    auto [it, inserted] = script_->next_key.try_emplace(std::string(table), 1);
    return {it->second++, {}};
  }
  std::string PositionText() const override { return script_->position_text; }

 private:
  NavigatorAnswer Answer(NavigateCall call) {
    script_->calls.push_back(call);
    if (!script_->answer) return {};
    return script_->answer(script_->calls.back());
  }
  std::shared_ptr<NavigatorScript> script_;
};

class FakeStockQuery : public StockQuery {
 public:
  explicit FakeStockQuery(
      std::function<std::optional<double>(std::int32_t, std::int32_t, std::string_view)> answer)
      : answer_(std::move(answer)) {}
  std::optional<double> Quantity(std::int32_t product_id, std::int32_t depot_id,
                                 std::string_view batch, double /*setting_1*/,
                                 std::int32_t /*flag_a*/, std::int32_t /*flag_b*/) override {
    return answer_ ? answer_(product_id, depot_id, batch) : std::nullopt;
  }

 private:
  std::function<std::optional<double>(std::int32_t, std::int32_t, std::string_view)> answer_;
};

// --- Host context --------------------------------------------------------------------------

struct CaseInsensitiveLess {
  bool operator()(std::string_view a, std::string_view b) const {
    return ToUpperAscii(a) < ToUpperAscii(b);
  }
  using is_transparent = void;
};

class FakeHostContext : public HostContext {
 public:
  FakeHostContext() : data(std::make_shared<FakeDataService>()) {
    user.user_name = "测试员";
    user.business_date = std::chrono::year{2026} / std::chrono::January / 15;
    user.local_folder = folder.path();
  }

  std::shared_ptr<DataService> Data() override { return data; }
  Dialogs& dialogs() override { return dialogs_fake; }

  std::string Setting(std::string_view key) override {
    setting_keys_read.emplace_back(key);
    const auto it = settings.find(key);
    return it == settings.end() ? std::string() : it->second;
  }
  std::string Setting(int number) override {
    setting_numbers_read.push_back(number);
    const auto it = numbered_settings.find(number);
    return it == numbered_settings.end() ? std::string() : it->second;
  }

  std::string ProposeDocumentNumber(std::int32_t /*progid*/,
                                    std::chrono::year_month_day /*date*/) override {
    return proposed_number;
  }
  bool CommitDocumentNumber(std::int32_t /*progid*/, std::chrono::year_month_day /*date*/,
                            std::string_view number) override {
    committed_numbers.emplace_back(number);
    return commit_number_ok;
  }
  bool ReleaseDocumentNumber(std::int32_t /*progid*/, std::chrono::year_month_day /*date*/,
                             std::string_view number) override {
    released_numbers.emplace_back(number);
    return release_number_ok;
  }

  UserInfo User() override { return user; }
  std::string AmountInWords(double amount) override {
    return amount_in_words ? amount_in_words(amount) : "大写" + FormatNumber(amount);
  }
  std::string UserItem(int item) override {
    const auto it = user_items.find(item);
    return it == user_items.end() ? std::string() : it->second;
  }
  CodingScheme CategoryCoding() override { return category_coding; }
  std::string ApplicationTitle() override { return std::string(kApplicationTitle); }
  std::shared_ptr<controls::LookupResolver> Lookups() override { return lookups; }
  bool UserMayUse(std::int32_t progid) override {
    const auto it = user_rights.find(progid);
    return it == user_rights.end() ? user_may_use_by_default : it->second;
  }
  std::optional<ModulePeriod> Period(std::string_view module_code) override {
    const auto it = periods.find(std::string(module_code));
    if (it == periods.end()) return std::nullopt;
    return it->second;
  }

  std::unique_ptr<RecordNavigator> CreateRecordNavigator() override {
    return std::make_unique<FakeRecordNavigator>(navigator);
  }
  std::unique_ptr<StockQuery> CreateStockQuery() override {
    return std::make_unique<FakeStockQuery>(stock);
  }
  std::unique_ptr<ProfileStore> CreateProfileStore() override {
    ++profile_stores_created;
    return std::make_unique<IniProfileStore>();
  }
  std::unique_ptr<PrintDataWriter> CreatePrintDataWriter() override {
    if (!print_writer_available) return nullptr;
    return std::make_unique<JsonPrintDataWriter>();
  }
  std::unique_ptr<ParameterSet> CreateParameterSet() override {
    return std::make_unique<BasicParameterSet>();
  }

  // The user folder; the user's local folder points here unless a test changes `user`.
  TempFolder folder;
  std::shared_ptr<FakeDataService> data;
  FakeDialogs dialogs_fake;
  std::shared_ptr<NavigatorScript> navigator = std::make_shared<NavigatorScript>();
  std::function<std::optional<double>(std::int32_t, std::int32_t, std::string_view)> stock;

  std::map<std::string, std::string, CaseInsensitiveLess> settings;
  std::shared_ptr<controls::LookupResolver> lookups;
  std::map<int, std::string> numbered_settings;
  std::vector<std::string> setting_keys_read;
  std::vector<int> setting_numbers_read;

  UserInfo user;
  CodingScheme category_coding{{2, 2, 3}};
  std::map<std::string, ModulePeriod> periods;
  std::map<int, std::string> user_items;
  std::map<std::int32_t, bool> user_rights;
  bool user_may_use_by_default = true;
  // Without it an amount reads "大写" followed by the number, which tests can predict.
  std::function<std::string(double)> amount_in_words;

  std::string proposed_number = "0001";
  bool commit_number_ok = true;
  bool release_number_ok = true;
  std::vector<std::string> committed_numbers;
  std::vector<std::string> released_numbers;

  bool print_writer_available = true;
  int profile_stores_created = 0;
};

// --- Conditions ----------------------------------------------------------------------------

// A condition array as the host's find and filter dialogs hand it over: one column per
// condition, holding "counted" (non-empty), the field with its operator, and the value.
inline ConditionArray Conditions(const std::vector<std::vector<std::string>>& columns) {
  ConditionArray array(3, static_cast<int>(columns.size()));
  for (int c = 0; c < array.cols(); ++c) {
    for (int r = 0; r < 3; ++r) {
      array.at(r, c) = Variant(columns[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)]);
    }
  }
  return array;
}

}  // namespace korvane::test

#endif  // KORVANE_HOST_TEST_SUPPORT_H_
