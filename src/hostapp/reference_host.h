// ReferenceHost: the HostContext of the command line, the scripted host and the tests, over an
// embedded database file. Settings, users, periods, numbering and keys live in the database's
// own tables (docs/database.md), so several processes sharing one file agree on them.
#ifndef KORVANE_HOSTAPP_REFERENCE_HOST_H_
#define KORVANE_HOSTAPP_REFERENCE_HOST_H_

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/sqlite_data_service.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "hostapp/document_approval.h"
#include "hostapp/module_factory.h"

namespace korvane::hostapp {

struct ReferenceHostOptions {
  std::string database_path;
  // The user working; "admin" when empty.
  std::string user_name;
  // The business date; the user's stored date, else the computer's date, when absent.
  std::optional<std::chrono::year_month_day> business_date;
  // Root of the per-user files; the user's stored folder, else $KORVANE_HOME, else
  // $HOME/.korvane/<user>, when empty.
  std::string local_folder;
  data::SqliteOptions sqlite;
  // Creates the library's pickers that lookup fields open ("pdmcpml", "pdmgy", ...); without
  // one only the host's own lists and lookup queries work.
  ModuleFactory module_factory;
};

class ReferenceHost final : public HostContext, public DocumentApproval {
 public:
  // Opens the database (which must already hold the schema: see data/schema.h) and registers
  // the database's own procedures and functions on it. `dialogs` answers the message and input
  // boxes of the modules created with this host.
  // Returns nullptr with `error` set when the database cannot be opened or has no schema.
  static std::shared_ptr<ReferenceHost> Open(const ReferenceHostOptions& options,
                                             std::shared_ptr<Dialogs> dialogs, std::string& error);
  ~ReferenceHost() override;

  // HostContext.
  std::shared_ptr<DataService> Data() override;
  Dialogs& dialogs() override;
  GridServices& grids() override;
  std::string Setting(std::string_view key) override;
  std::string Setting(int number) override;
  std::string ProposeDocumentNumber(std::int32_t progid, std::chrono::year_month_day date) override;
  bool CommitDocumentNumber(std::int32_t progid, std::chrono::year_month_day date,
                            std::string_view number) override;
  bool ReleaseDocumentNumber(std::int32_t progid, std::chrono::year_month_day date,
                             std::string_view number) override;
  UserInfo User() override;
  std::optional<ModulePeriod> Period(std::string_view module_code) override;
  std::string AmountInWords(double amount) override;
  std::string UserItem(int item) override;
  bool UserMayUse(std::int32_t progid) override;
  CodingScheme CategoryCoding() override;
  std::string ApplicationTitle() override;
  // Lookups by the host's own lists, the library's pickers and lookup queries (HostLookups).
  std::shared_ptr<controls::LookupResolver> Lookups() override;
  std::unique_ptr<RecordNavigator> CreateRecordNavigator() override;
  std::unique_ptr<StockQuery> CreateStockQuery() override;
  std::unique_ptr<ProfileStore> CreateProfileStore() override;
  std::unique_ptr<PrintDataWriter> CreatePrintDataWriter() override;
  std::unique_ptr<ParameterSet> CreateParameterSet() override;

  // Per-user application settings (xt_user_setting): empty text when not set.
  std::string UserSetting(std::string_view name);
  bool SetUserSetting(std::string_view name, std::string_view value);

  data::SqliteDataService& database();

  // DocumentApproval: work reports (document class 6601, SFCDJ by 报工单ID) and master plans
  // (6501, MRPPlan by 主计划组ID) of the given program.
  bool MarkApproval(std::int32_t progid, std::int32_t document_id, bool approved,
                    std::string& error) override;

 private:
  struct Impl;
  explicit ReferenceHost(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The amount written in Chinese capital numerals as on payment documents: 1234 ->
// "壹仟贰佰叁拾肆元整", 1234.56 -> "壹仟贰佰叁拾肆元伍角陆分", 1004.05 -> "壹仟零肆元零伍分",
// 0 -> "零元整"; a negative amount begins with "负". Rounded to the fen (cent).
std::string ChineseCapitalAmount(double amount);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_REFERENCE_HOST_H_
