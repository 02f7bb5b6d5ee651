// Fakes of the host's objects for unit tests: a HostContext with settings by name and number,
// a temporary user folder, real settings and print writers, recording dialogs that answer
// from a queue and a scriptable data service.
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
  void FormRefreshed() override {}

  std::vector<std::string> messages;
  std::vector<RaisedError> errors;
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
// succeeds with an empty result.
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
  };

  void When(std::string fragment, Response response) {
    rules_.push_back({std::move(fragment), std::move(response)});
  }
  void WhenRows(std::string fragment, Recordset rows) {
    Response r;
    r.rows = std::move(rows);
    When(std::move(fragment), std::move(r));
  }
  void WhenScalar(std::string fragment, Variant value) {
    Response r;
    r.scalar = std::move(value);
    When(std::move(fragment), std::move(r));
  }
  void WhenFails(std::string fragment, std::string error) {
    Response r;
    r.error = std::move(error);
    When(std::move(fragment), std::move(r));
  }

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

  bool BeginTrans() override { return Log(DataCallKind::kBegin); }
  bool CommitTrans() override { return Log(DataCallKind::kCommit); }
  bool RollbackTrans() override { return Log(DataCallKind::kRollback); }
  std::string LastError() const override { return last_error_; }

  // Every call in order.
  const std::vector<DataCall>& calls() const { return calls_; }

 private:
  struct Rule {
    std::string fragment;
    Response response;
  };

  void Record(DataCallKind kind, const Command& command) {
    calls_.push_back({kind, command.text, command.type, command.parameters});
  }
  bool Log(DataCallKind kind) {
    calls_.push_back({kind, {}, CommandType::kText, {}});
    return true;
  }

  // The matching response with its outputs applied, or nullopt when the command fails.
  std::optional<Response> Answer(Command& command) {
    last_error_.clear();
    for (const Rule& rule : rules_) {
      if (command.text.find(rule.fragment) == std::string::npos) continue;
      if (!rule.response.error.empty()) {
        last_error_ = rule.response.error;
        return std::nullopt;
      }
      for (Parameter& p : command.parameters) {
        if (!p.output) continue;
        for (const auto& [name, value] : rule.response.outputs) {
          if (EqualsIgnoreCase(name, p.name)) p.value = value;
        }
      }
      return rule.response;
    }
    return Response{};
  }

  std::vector<Rule> rules_;
  std::vector<DataCall> calls_;
  std::string last_error_;
};

// --- Host context --------------------------------------------------------------------------

struct CaseInsensitiveLess {
  bool operator()(std::string_view a, std::string_view b) const {
    return ToUpperAscii(a) < ToUpperAscii(b);
  }
  using is_transparent = void;
};

// Creates no record navigator, stock query or lookups; numbers are proposed as "0001" and
// always committed and released; every user may use every program.
class FakeHostContext : public HostContext {
 public:
  FakeHostContext() : data(std::make_shared<FakeDataService>()) {
    user.user_name = "测试员";
    user.business_date = std::chrono::year{2026} / std::chrono::January / 15;
    user.local_folder = folder.path();
  }

  std::shared_ptr<DataService> Data() override { return data; }
  Dialogs& dialogs() override { return dialogs_fake; }
  GridServices& grids() override { return grids_fake; }

  std::string Setting(std::string_view key) override {
    const auto it = settings.find(key);
    return it == settings.end() ? std::string() : it->second;
  }
  std::string Setting(int number) override {
    setting_numbers_read.push_back(number);
    const auto it = numbered_settings.find(number);
    return it == numbered_settings.end() ? std::string() : it->second;
  }

  std::string ProposeDocumentNumber(std::int32_t, std::chrono::year_month_day) override {
    return "0001";
  }
  bool CommitDocumentNumber(std::int32_t, std::chrono::year_month_day, std::string_view) override {
    return true;
  }
  bool ReleaseDocumentNumber(std::int32_t, std::chrono::year_month_day, std::string_view) override {
    return true;
  }

  UserInfo User() override { return user; }
  std::string AmountInWords(double amount) override { return "大写" + FormatNumber(amount); }
  std::string UserItem(int) override { return {}; }
  CodingScheme CategoryCoding() override { return {{2, 2, 3}}; }
  std::string ApplicationTitle() override { return std::string(kApplicationTitle); }
  std::shared_ptr<controls::LookupResolver> Lookups() override { return nullptr; }
  bool UserMayUse(std::int32_t) override { return true; }
  std::optional<ModulePeriod> Period(std::string_view module_code) override {
    const auto it = periods.find(std::string(module_code));
    if (it == periods.end()) return std::nullopt;
    return it->second;
  }

  std::unique_ptr<RecordNavigator> CreateRecordNavigator() override { return nullptr; }
  std::unique_ptr<StockQuery> CreateStockQuery() override { return nullptr; }
  std::unique_ptr<ProfileStore> CreateProfileStore() override {
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
  DialogGridServices grids_fake{dialogs_fake};

  std::map<std::string, std::string, CaseInsensitiveLess> settings;
  std::map<int, std::string> numbered_settings;
  std::vector<int> setting_numbers_read;
  UserInfo user;
  std::map<std::string, ModulePeriod> periods;
  bool print_writer_available = true;
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
