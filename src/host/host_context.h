// HostContext and the host objects a module reaches through it: the record navigator that
// fetches the header row to show and issues new keys, the stock query, settings, document
// numbers, the user, accounting periods and the dialogs.
//
// The host owns all of them. A module keeps the shared pointers it is given from Init until
// Clear and drops them there.
#ifndef KORVANE_HOST_HOST_CONTEXT_H_
#define KORVANE_HOST_HOST_CONTEXT_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "controls/lookup_field.h"
#include "host/coding_scheme.h"
#include "host/data_service.h"
#include "host/dialogs.h"
#include "host/grid_services.h"
#include "host/parameter_set.h"
#include "host/print_data.h"
#include "host/profile_store.h"
#include "values/recordset.h"

namespace korvane {

enum class NavigationMode : int { kFirst = 0, kPrevious = 1, kNext = 2, kLast = 3 };

struct NavigatorAnswer {
  // The header row to show; null when the navigator has nothing to say (no row, no error).
  std::unique_ptr<Recordset> rows;
  // Not empty when the navigator failed; the text is shown to the user as an error.
  std::string error;
};

struct NewKeyAnswer {
  std::int32_t key = 0;
  std::string error;  // empty on success
};

// Fetches the header rows a document module walks through, and issues keys.
class RecordNavigator {
 public:
  virtual ~RecordNavigator() = default;
  // The one header row to show: `select` filtered by `condition`, the row first, before
  // `current_key`, after it, or last in key order according to `mode`.
  virtual NavigatorAnswer Navigate(std::string_view select, std::string_view condition,
                                   NavigationMode mode, std::int32_t current_key,
                                   std::string_view key_column) = 0;
  // The first header row (in key order) satisfying both conditions.
  virtual NavigatorAnswer FindFirst(std::string_view select, std::string_view base_condition,
                                    std::string_view extra_condition,
                                    std::string_view key_column) = 0;
  // The next key for a table's key column.
  virtual NewKeyAnswer NewKey(std::string_view table, std::string_view key_column) = 0;
  // "position/count" of the last row shown, e.g. "3/12"; empty when nothing is shown.
  virtual std::string PositionText() const = 0;
};

// Answers the stock on hand of a product.
class StockQuery {
 public:
  virtual ~StockQuery() = default;
  // The quantity in stock, computed with the same arguments the database's stock function
  // takes (product, depot, batch, setting 1, and two flags); nullopt when it failed.
  virtual std::optional<double> Quantity(std::int32_t product_id, std::int32_t depot_id,
                                         std::string_view batch, double setting_1,
                                         std::int32_t flag_a, std::int32_t flag_b) = 0;
};

struct UserInfo {
  std::string user_name;
  std::chrono::year_month_day business_date{};
  // Root of the per-user settings and print files.
  std::string local_folder;
};

struct ModulePeriod {
  int period = 0;       // yyyymm
  int closing_day = 0;  // day of the month the period closes on
};

// What the host hands a module at Init. The module shares it (and drops it at Clear); every
// member may be called at any time between, on the user-interface thread, and none throws.
class HostContext {
 public:
  virtual ~HostContext() = default;

  // The database of the host; may be null when the host has none, which makes Init fail.
  virtual std::shared_ptr<DataService> Data() = 0;
  // The host's message and input boxes; always there.
  virtual Dialogs& dialogs() = 0;
  // The host's find, filter and print over a report's grid; always there.
  virtual GridServices& grids() = 0;

  // A system setting as text; the empty text when it is not set.
  virtual std::string Setting(std::string_view key) = 0;
  virtual std::string Setting(int number) = 0;

  // The next document number proposed for a document type on a date (shown at "new").
  virtual std::string ProposeDocumentNumber(std::int32_t progid,
                                            std::chrono::year_month_day date) = 0;
  // Takes the number as entered for a new document; false stops the save.
  virtual bool CommitDocumentNumber(std::int32_t progid, std::chrono::year_month_day date,
                                    std::string_view number) = 0;
  // Gives a number back before its document is deleted.
  virtual bool ReleaseDocumentNumber(std::int32_t progid, std::chrono::year_month_day date,
                                     std::string_view number) = 0;

  virtual UserInfo User() = 0;
  // The current accounting period of a module ("SFC", "MPS"); nullopt when none is set.
  virtual std::optional<ModulePeriod> Period(std::string_view module_code) = 0;

  // An amount written out in Chinese capital numerals as on payment documents
  // (1234.56 -> "壹仟贰佰叁拾肆元伍角陆分").
  virtual std::string AmountInWords(double amount) = 0;
  // A numbered per-user item (2017: the comma-separated process ids the user may work on,
  // empty for no restriction).
  virtual std::string UserItem(int item) = 0;
  // Whether the user's rights allow the privileged actions of a program (for example updating
  // piece rates from a report).
  virtual bool UserMayUse(std::int32_t progid) = 0;
  // The coding of product categories (level lengths, parent of a code).
  virtual CodingScheme CategoryCoding() = 0;
  // The application's title, used as the title of error reports and of some message boxes.
  virtual std::string ApplicationTitle() = 0;
  // The host's lookups: typed texts of lookup fields and grid cells resolved by picker type or
  // query, and the pickers opened on them. A module installs it on its lookup fields; null
  // when the host has none (typed lookups then resolve to nothing).
  virtual std::shared_ptr<controls::LookupResolver> Lookups() = 0;

  // Host-library objects a module creates for itself; each is bound to Data(). The module owns
  // what it gets; null when the host offers no such object (the member that needs it fails).
  virtual std::unique_ptr<RecordNavigator> CreateRecordNavigator() = 0;
  virtual std::unique_ptr<StockQuery> CreateStockQuery() = 0;
  virtual std::unique_ptr<ProfileStore> CreateProfileStore() = 0;
  virtual std::unique_ptr<PrintDataWriter> CreatePrintDataWriter() = 0;
  virtual std::unique_ptr<ParameterSet> CreateParameterSet() = 0;
};

}  // namespace korvane

#endif  // KORVANE_HOST_HOST_CONTEXT_H_
