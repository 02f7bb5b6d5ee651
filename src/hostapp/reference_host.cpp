// The reference host: every HostContext answer comes from the database's own tables through the
// native reader, so the answers agree across processes sharing the file.
#include "hostapp/reference_host.h"

#include "hostapp/lookups.h"

#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "data/schema.h"
#include "host/error_rule.h"
#include "host/ini_profile_store.h"
#include "host/parameter_set.h"
#include "host/print_file.h"
#include "hostapp/db_procedures.h"
#include "hostapp/lookups.h"
#include "hostapp/numbering.h"
#include "hostapp/record_navigator.h"
#include "hostapp/settings_defaults.h"

namespace korvane::hostapp {
namespace {

// Stands in when the caller gives no dialogs: a script or a batch run has nobody to ask, so
// every box gets the answer that changes nothing. OK where it is the only button, otherwise
// Cancel, No or Abort; input boxes are cancelled.
class SafestAnswerDialogs final : public Dialogs {
 public:
  MsgAnswer MessageBox(std::string_view /*text*/, MsgButtons buttons, MsgIcon /*icon*/,
                       std::string_view /*title*/) override {
    switch (buttons) {
      case MsgButtons::kOk:
        return MsgAnswer::kOk;
      case MsgButtons::kYesNo:
        return MsgAnswer::kNo;
      case MsgButtons::kAbortRetryIgnore:
        return MsgAnswer::kAbort;
      case MsgButtons::kOkCancel:
      case MsgButtons::kYesNoCancel:
      case MsgButtons::kRetryCancel:
        return MsgAnswer::kCancel;
    }
    return MsgAnswer::kCancel;
  }
  std::optional<std::string> InputBox(std::string_view /*prompt*/, std::string_view /*title*/,
                                      std::string_view /*default_text*/) override {
    return std::nullopt;
  }
};

class SqlStockQuery final : public StockQuery {
 public:
  explicit SqlStockQuery(std::shared_ptr<data::SqliteDataService> db) : db_(std::move(db)) {}
  std::optional<double> Quantity(std::int32_t product_id, std::int32_t depot_id,
                                 std::string_view batch, double setting_1, std::int32_t flag_a,
                                 std::int32_t flag_b) override {
    try {
      std::string error;
      const auto rows = db_->Native().Query("SELECT rSTGoodsDepotAmount(?, ?, ?, ?, ?, ?)",
                                            {Variant(product_id), Variant(depot_id), Variant(batch),
                                             Variant(setting_1), Variant(flag_a), Variant(flag_b)},
                                            error);
      if (rows == nullptr || rows->RecordCount() == 0) return std::nullopt;
      return rows->Value(0).ToDouble();
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }

 private:
  std::shared_ptr<data::SqliteDataService> db_;
};

std::chrono::year_month_day Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::chrono::year{local.tm_year + 1900} /
         std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)} /
         std::chrono::day{static_cast<unsigned>(local.tm_mday)};
}

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// A stored value that is missing, NULL or blank counts as not set.
std::optional<std::string> StoredText(const std::unique_ptr<Recordset>& rows) {
  if (rows == nullptr || rows->RecordCount() == 0) return std::nullopt;
  const Variant& value = rows->Value(0);
  if (value.IsNull()) return std::nullopt;
  std::string text = value.ToText();
  if (Trim(text).empty()) return std::nullopt;
  return text;
}

// The current accounting period as yyyymm: the work reports' one, else the month of the
// business date.
std::string CurrentPeriodText(HostContext& host) {
  if (const std::optional<ModulePeriod> period = host.Period("SFC")) {
    return std::to_string(period->period);
  }
  const std::chrono::year_month_day date = host.User().business_date;
  return std::to_string(static_cast<int>(date.year()) * 100 +
                        static_cast<int>(static_cast<unsigned>(date.month())));
}

}  // namespace

struct ReferenceHost::Impl {
  ReferenceHostOptions options;
  std::string user_name;
  std::shared_ptr<data::SqliteDataService> db;
  std::shared_ptr<Dialogs> dialogs;
  std::shared_ptr<HostLookups> lookups;
  std::unique_ptr<DialogGridServices> grids;

  // First column of the first row of a native query; nullopt when it has none or fails.
  std::optional<std::string> QueryText(std::string_view sql, const std::vector<Variant>& binds) {
    std::string error;
    return StoredText(db->Native().Query(sql, binds, error));
  }
};

std::shared_ptr<ReferenceHost> ReferenceHost::Open(const ReferenceHostOptions& options,
                                                   std::shared_ptr<Dialogs> dialogs,
                                                   std::string& error) {
  try {
    std::error_code ec;
    if (options.database_path.empty() || !std::filesystem::exists(options.database_path, ec)) {
      error = "the database " + options.database_path + " does not exist: run korvane init";
      return nullptr;
    }
    // The host never creates a database: an empty file would only fail the schema check below.
    data::SqliteOptions sqlite = options.sqlite;
    sqlite.create = false;
    std::shared_ptr<data::SqliteDataService> db =
        data::SqliteDataService::Open(options.database_path, sqlite, error);
    if (db == nullptr) return nullptr;

    const int version = data::SchemaVersion(*db);
    const int latest = data::LatestSchemaVersion();
    if (version < 0) {
      error = "cannot read the schema version of " + options.database_path;
      return nullptr;
    }
    if (version == 0) {
      error = "the database has no schema: run korvane init";
      return nullptr;
    }
    if (version < latest) {
      error = "the database is at schema version " + std::to_string(version) +
              ", run korvane init to upgrade";
      return nullptr;
    }
    if (version > latest) {
      error = "the database was written by a newer Korvane (schema version " +
              std::to_string(version) + ")";
      return nullptr;
    }
    if (!RegisterDatabaseObjects(*db, error)) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->user_name = Trim(options.user_name).empty() ? "admin" : Trim(options.user_name);
    impl->db = std::move(db);
    impl->dialogs = dialogs ? std::move(dialogs) : std::make_shared<SafestAnswerDialogs>();
    error.clear();
    return std::shared_ptr<ReferenceHost>(new ReferenceHost(std::move(impl)));
  } catch (const std::exception& e) {
    error = e.what();
    return nullptr;
  }
}

ReferenceHost::ReferenceHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
  impl_->lookups = std::make_shared<HostLookups>(*this, impl_->options.module_factory);
  impl_->grids = std::make_unique<DialogGridServices>(*impl_->dialogs);
}

// Pickers still open hold this host without owning it: they go first, while it is whole.
ReferenceHost::~ReferenceHost() { impl_->lookups->CloseAll(); }

std::shared_ptr<controls::LookupResolver> ReferenceHost::Lookups() { return impl_->lookups; }

std::shared_ptr<DataService> ReferenceHost::Data() { return impl_->db; }
Dialogs& ReferenceHost::dialogs() { return *impl_->dialogs; }
GridServices& ReferenceHost::grids() { return *impl_->grids; }
data::SqliteDataService& ReferenceHost::database() { return *impl_->db; }

std::string ReferenceHost::Setting(std::string_view key) {
  const std::optional<std::string> stored = impl_->QueryText(
      "SELECT item_value FROM xt_accinformation WHERE system_code = 'system' COLLATE TSQL "
      "AND item_code = ? COLLATE TSQL LIMIT 1",
      {Variant(key)});
  if (stored) return *stored;
  if (const auto fallback = DefaultNamedSetting(key)) return std::string(*fallback);
  if (EqualsIgnoreCase(Trim(key), "period")) return CurrentPeriodText(*this);
  return {};
}

std::string ReferenceHost::Setting(int number) {
  const std::optional<std::string> stored = impl_->QueryText(
      "SELECT item_value FROM xt_setting_numbered WHERE number = ?", {Variant(number)});
  if (stored) return *stored;
  if (const auto fallback = DefaultNumberedSetting(number)) return std::string(*fallback);
  if (number == 1) return CurrentPeriodText(*this);
  return {};
}

std::string ReferenceHost::ProposeDocumentNumber(std::int32_t progid,
                                                 std::chrono::year_month_day date) {
  std::string error;
  return DocumentNumbering(impl_->db->Native()).Propose(progid, date, error);
}

bool ReferenceHost::CommitDocumentNumber(std::int32_t progid, std::chrono::year_month_day /*date*/,
                                         std::string_view number) {
  std::string error;
  return DocumentNumbering(impl_->db->Native()).Commit(progid, number, impl_->user_name, error);
}

bool ReferenceHost::ReleaseDocumentNumber(std::int32_t progid, std::chrono::year_month_day /*date*/,
                                          std::string_view number) {
  std::string error;
  return DocumentNumbering(impl_->db->Native()).Release(progid, number, error);
}

UserInfo ReferenceHost::User() {
  UserInfo user;
  user.user_name = impl_->user_name;

  std::string error;
  const auto row = impl_->db->Native().Query(
      "SELECT business_date, local_folder FROM xt_user WHERE user_name = ?",
      {Variant(impl_->user_name)}, error);
  std::optional<DateTime> stored_date;
  std::string stored_folder;
  if (row != nullptr && row->RecordCount() > 0) {
    stored_date = row->Value(0).ToDate();
    stored_folder = Trim(row->Value(1).ToText());
  }

  if (impl_->options.business_date) {
    user.business_date = *impl_->options.business_date;
  } else if (stored_date) {
    user.business_date = DateOf(*stored_date);
  } else {
    user.business_date = Today();
  }

  std::string folder = impl_->options.local_folder;
  if (folder.empty()) folder = stored_folder;
  if (folder.empty()) folder = EnvironmentText("KORVANE_HOME");
  if (folder.empty()) {
    std::string home = EnvironmentText("HOME");
    if (home.empty()) {
      std::error_code ec;
      home = std::filesystem::temp_directory_path(ec).string();
    }
    folder = (std::filesystem::path(home) / ".korvane" / impl_->user_name).string();
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);  // a failure shows when a file is written
  user.local_folder = folder;
  return user;
}

std::optional<ModulePeriod> ReferenceHost::Period(std::string_view module_code) {
  std::string error;
  const auto row = impl_->db->Native().Query(
      "SELECT period, closing_day FROM xt_module_period WHERE module_code = ?",
      {Variant(module_code)}, error);
  if (row == nullptr || row->RecordCount() == 0 || row->Value(0).IsNull()) return std::nullopt;
  ModulePeriod period;
  period.period = row->Value(0).ToLong();
  period.closing_day = row->Value(1).IsNull() ? 31 : row->Value(1).ToLong();
  return period;
}

std::string ReferenceHost::AmountInWords(double amount) { return ChineseCapitalAmount(amount); }

std::string ReferenceHost::UserItem(int item) {
  std::string error;
  const auto row = impl_->db->Native().Query(
      "SELECT item_value FROM xt_user_item WHERE user_name = ? AND item = ?",
      {Variant(impl_->user_name), Variant(item)}, error);
  if (row == nullptr || row->RecordCount() == 0) return {};
  return row->Value(0).ToText();
}

bool ReferenceHost::UserMayUse(std::int32_t progid) {
  std::string error;
  const auto row = impl_->db->Native().Query(
      "SELECT 1 FROM xt_user_right WHERE user_name = ? AND progid IN (?, 0) LIMIT 1",
      {Variant(impl_->user_name), Variant(progid)}, error);
  return row != nullptr && row->RecordCount() > 0;
}

CodingScheme ReferenceHost::CategoryCoding() {
  static constexpr std::string_view kDefaultCategoryLengths = "2,2,3";
  const std::optional<std::string> stored =
      impl_->QueryText("SELECT level_lengths FROM xt_coding_scheme WHERE scheme = 'cplb'", {});
  if (stored) {
    CodingScheme scheme = CodingScheme::Parse(*stored);
    if (!scheme.level_lengths.empty()) return scheme;
  }
  return CodingScheme::Parse(kDefaultCategoryLengths);
}

std::string ReferenceHost::ApplicationTitle() { return std::string(kApplicationTitle); }

std::unique_ptr<RecordNavigator> ReferenceHost::CreateRecordNavigator() {
  return std::make_unique<SqlRecordNavigator>(impl_->db);
}

std::unique_ptr<StockQuery> ReferenceHost::CreateStockQuery() {
  return std::make_unique<SqlStockQuery>(impl_->db);
}

std::unique_ptr<ProfileStore> ReferenceHost::CreateProfileStore() {
  return std::make_unique<IniProfileStore>();
}

std::unique_ptr<PrintDataWriter> ReferenceHost::CreatePrintDataWriter() {
  return std::make_unique<JsonPrintDataWriter>();
}

std::unique_ptr<ParameterSet> ReferenceHost::CreateParameterSet() {
  return std::make_unique<BasicParameterSet>();
}

std::string ReferenceHost::UserSetting(std::string_view name) {
  std::string error;
  const auto row = impl_->db->Native().Query(
      "SELECT item_value FROM xt_user_setting WHERE user_name = ? AND name = ?",
      {Variant(impl_->user_name), Variant(name)}, error);
  if (row == nullptr || row->RecordCount() == 0) return {};
  return row->Value(0).ToText();
}

bool ReferenceHost::SetUserSetting(std::string_view name, std::string_view value) {
  if (Trim(name).empty()) return false;
  std::string error;
  return impl_->db->Native().Exec(
      "INSERT INTO xt_user_setting(user_name, name, item_value) VALUES (?, ?, ?) "
      "ON CONFLICT(user_name, name) DO UPDATE SET item_value = excluded.item_value",
      {Variant(impl_->user_name), Variant(name), Variant(value)}, error);
}

namespace {

// Where a document class keeps its approval state: the header table and key, whether one table
// holds the documents of several programs (a progID column), and whether the approver and the
// approval date are kept beside the status.
struct ApprovalRecord {
  std::int64_t document_class;
  std::string_view table;
  std::string_view key;
  bool per_program;
  bool keeps_approver;
};

constexpr ApprovalRecord kApprovalRecords[] = {
    {6601, "SFCDJ", "报工单ID", true, true},       // work reports
    {6501, "MRPPlan", "主计划组ID", true, true},   // master plans
    {6401, "MocGd", "工单组ID", true, true},       // work order groups
    {1101, "copdj", "销售订单ID", true, true},     // sales orders
    {4001, "PDMBOM", "bomID", false, false},       // product structures: the status only
};

const ApprovalRecord* FindApprovalRecord(std::int64_t document_class) {
  for (const ApprovalRecord& record : kApprovalRecords) {
    if (record.document_class == document_class) return &record;
  }
  return nullptr;
}

}  // namespace

bool ReferenceHost::MarkApproval(std::int32_t progid, std::int32_t document_id, bool approved,
                                 std::string& error) {
  try {
    const auto kind = impl_->db->Native().Query("SELECT billitem FROM xt_objects WHERE progID = ?",
                                                {Variant(progid)}, error);
    if (kind == nullptr) return false;
    if (kind->RecordCount() == 0) {
      error = "program " + std::to_string(progid) + " has no document class";
      return false;
    }
    const ApprovalRecord* record = FindApprovalRecord(kind->Value(0).ToLong());
    if (record == nullptr) {
      error = "the documents of program " + std::to_string(progid) + " keep no approval state";
      return false;
    }
    const UserInfo user = User();
    std::string sql = "UPDATE " + std::string(record->table) + " SET smark = ?";
    std::vector<Variant> binds{Variant(approved ? "02" : "01")};
    if (record->keeps_approver) {
      sql += ", 审核 = ?, 审核日期 = ?";
      binds.emplace_back(approved ? user.user_name : std::string());
      binds.emplace_back(approved ? FormatDate(user.business_date) : std::string());
    }
    sql += " WHERE " + std::string(record->key) + " = ?";
    binds.emplace_back(document_id);
    if (record->per_program) {
      sql += " AND progID = ?";
      binds.emplace_back(progid);
    }
    sql += " RETURNING 1";
    const auto changed = impl_->db->Native().Query(sql, binds, error);
    if (changed == nullptr) return false;
    if (changed->RecordCount() == 0) {
      error =
          "program " + std::to_string(progid) + " has no document " + std::to_string(document_id);
      return false;
    }
    error.clear();
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

}  // namespace korvane::hostapp
