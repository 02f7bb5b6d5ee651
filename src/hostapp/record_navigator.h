// SqlRecordNavigator: the reference host's RecordNavigator. It walks the header rows of a
// document type in key order by sending T-SQL through the data service, and issues keys from
// the database's key table xt_key.
#ifndef KORVANE_HOSTAPP_RECORD_NAVIGATOR_H_
#define KORVANE_HOSTAPP_RECORD_NAVIGATOR_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/sqlite_data_service.h"
#include "host/host_context.h"

namespace korvane::hostapp {

// Navigation over "select + where (condition)" in ascending key order:
//  - first / last: the smallest / largest key;
//  - previous: the largest key below the current one; when none is below (the first row is
//    shown, or the shown document was deleted and nothing precedes it) the first row;
//  - next: the smallest key above the current one; when none is above, the last row;
//  - a current key below 1 means no document is shown (keys start at 1): previous then gives the
//    last row and next the first, as if stepping in from either end.
// The condition and the key are read against the select's result columns (the select becomes a
// derived table), so "产品ID=32" works over a join whose tables both have 产品ID. A condition
// that names a joined table instead ("B.物品编码 like 'x%'") is ANDed into the select's own WHERE
// when the first form fails; that form needs a select without GROUP BY, UNION or TOP. The
// select's own ORDER BY is replaced by key order. An empty condition selects every row. The key
// column is a plain or table-qualified column name; anything else is refused with an error text.
// When no row qualifies the answer holds no recordset and no error. A failure of the data
// service is answered with its text as the error.
//
// The data service is shared with the host; NewKey writes through the same connection, so a key
// issued inside the caller's open transaction is undone with it.
class SqlRecordNavigator final : public RecordNavigator {
 public:
  explicit SqlRecordNavigator(std::shared_ptr<data::SqliteDataService> db);

  NavigatorAnswer Navigate(std::string_view select, std::string_view condition, NavigationMode mode,
                           std::int32_t current_key, std::string_view key_column) override;
  NavigatorAnswer FindFirst(std::string_view select, std::string_view base_condition,
                            std::string_view extra_condition, std::string_view key_column) override;
  NewKeyAnswer NewKey(std::string_view table, std::string_view key_column) override;
  // "k/n": the rank of the shown row's key among the rows of the last select and condition, and
  // their count. Empty when the last call showed nothing or failed.
  std::string PositionText() const override;

 private:
  std::shared_ptr<data::SqliteDataService> db_;
  std::string position_;
};

// Issues the next key of table.key_column in one statement on `db`: one above both the last key
// issued and the highest key present in the table. Atomic across processes sharing the file.
// Refuses (error text, key 0) a table or column the database does not have.
NewKeyAnswer IssueKey(data::SqliteDataService& db, std::string_view table,
                      std::string_view key_column);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_RECORD_NAVIGATOR_H_
