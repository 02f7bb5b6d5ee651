// The structure cycle check: the parent's ancestors and the component's descendants, one level
// per query, and the verdict that no product ends up among its own components.
#include "bom/bom_is_safe.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/error_rule.h"
#include "values/recordset.h"

namespace korvane {
namespace {

// A chain still going on after this many levels counts as a cycle.
constexpr int kMaxLevels = 12;

constexpr std::string_view kSelect =
    " SELECT DISTINCT 产品ID,配件ID from PDMBOM a INNER JOIN PDMBOMMX b ON a.BOMID=b.BOMID";

// Which way a walk goes: the column a level is matched on and the column the next level is
// built from.
struct Direction {
  std::string_view routine;  // names the walk in its error box
  std::string_view matched;  // the column compared with the ids of the level
  std::string_view found;    // the column holding the ids of the next level
};

constexpr Direction kUp{"LoadAllPre", "配件ID", "产品ID"};
constexpr Direction kDown{"LoadAllNext", "产品ID", "配件ID"};

void ShowError(Dialogs& dialogs, std::string_view routine, std::string_view description) {
  try {
    dialogs.MessageBox(std::string(routine) + "::" + std::string(description), MsgButtons::kOk,
                       MsgIcon::kCritical, kApplicationTitle);
  } catch (...) {
    // A host whose boxes fail cannot be told more; the answer is "not safe" all the same.
  }
}

// The eligible rows of one level: stored lines other than `line_id`, under standard
// structures or those carrying the unique id.
std::string LevelStatement(std::int32_t line_id, std::string_view condition,
                           const std::string& quoted_unique_id) {
  std::string sql(kSelect);
  sql += " WHERE b.BOMMXID <> " + std::to_string(line_id);
  sql += condition;
  sql += " AND ( uniqueID=" + quoted_unique_id + " OR 是否标准=1 )";
  return sql;
}

// Appends to `result` every product reached from `product_id` in `way`, level by level.
// False when a level past the last allowed one still finds rows, or when a query fails.
bool Walk(const Direction& way, std::int32_t line_id, std::int32_t product_id,
          std::string_view unique_id, DataService& data, Dialogs& dialogs,
          std::vector<std::int32_t>& result) {
  try {
    result.assign(1, product_id);
    const std::string quoted = SqlQuote(unique_id);
    std::string sql = LevelStatement(
        line_id, " AND " + std::string(way.matched) + "=" + std::to_string(product_id), quoted);
    for (int level = 0;; ++level) {
      const std::unique_ptr<Recordset> rows = data.OpenSql(sql);
      if (!rows) {
        ShowError(dialogs, way.routine, data.LastError());
        return false;
      }
      if (rows->RecordCount() == 0) return true;  // the chain has ended
      const std::optional<int> column = rows->FieldIndex(way.found);
      if (!column) {
        ShowError(dialogs, way.routine, "the result has no column " + std::string(way.found));
        return false;
      }
      std::string condition;
      for (const Recordset::Row& row : rows->Rows()) {
        const std::int32_t id = row[static_cast<std::size_t>(*column)].ToLong();
        result.push_back(id);
        condition += condition.empty() ? " " : " OR ";
        condition += std::string(way.matched) + "=" + std::to_string(id);
      }
      if (level + 1 >= kMaxLevels) return false;  // too deep counts as unsafe
      sql = LevelStatement(line_id, " AND (" + condition + ")", quoted);
    }
  } catch (const std::exception& e) {
    ShowError(dialogs, way.routine, e.what());
  } catch (...) {
    ShowError(dialogs, way.routine, "unknown error");
  }
  return false;
}

}  // namespace

bool mBOMIsSafe::LoadAllPre(std::int32_t line_id, std::int32_t product_id,
                            std::string_view unique_id, DataService& data, Dialogs& dialogs,
                            std::vector<std::int32_t>& result) {
  return Walk(kUp, line_id, product_id, unique_id, data, dialogs, result);
}

bool mBOMIsSafe::LoadAllNext(std::int32_t line_id, std::int32_t product_id,
                             std::string_view unique_id, DataService& data, Dialogs& dialogs,
                             std::vector<std::int32_t>& result) {
  return Walk(kDown, line_id, product_id, unique_id, data, dialogs, result);
}

bool mBOMIsSafe::IsDataSafe(std::int32_t line_id, std::int32_t parent_id, std::int32_t component_id,
                            std::string_view unique_id, DataService& data, Dialogs& dialogs) {
  try {
    std::vector<std::int32_t> ancestors;
    if (!LoadAllPre(line_id, parent_id, unique_id, data, dialogs, ancestors)) return false;
    if (std::find(ancestors.begin(), ancestors.end(), component_id) != ancestors.end()) {
      return false;  // the component is the parent or above it
    }
    std::vector<std::int32_t> descendants;
    if (!LoadAllNext(line_id, component_id, unique_id, data, dialogs, descendants)) return false;
    std::sort(ancestors.begin(), ancestors.end());
    for (const std::int32_t id : descendants) {
      if (std::binary_search(ancestors.begin(), ancestors.end(), id)) return false;
    }
    return true;
  } catch (const std::exception& e) {
    ShowError(dialogs, "IsDataSafe", e.what());
  } catch (...) {
    ShowError(dialogs, "IsDataSafe", "unknown error");
  }
  return false;
}

}  // namespace korvane
