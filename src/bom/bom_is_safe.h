// mBOMIsSafe: the check that keeps a product from ever being, directly or through any chain of
// sub-assemblies, a component of itself. The structure document asks it before storing each
// line in which a parent uses a component.
//
// Contract:
//  - Only stored structures count: every line of PDMBOMMX under a header of PDMBOM that is a
//    standard structure (是否标准 = 1) or carries the given uniqueID, except the line with the
//    given line id (0 or below for a line not stored yet), so a changed line is judged by its
//    new component.
//  - Each direction walks at most 12 levels with one query per level; a chain still going on
//    after the 12th query counts as unsafe. Nothing is cached between calls.
//  - False always means "not safe": a cycle, too deep a chain, or a database error (then a box
//    "LoadAllPre::" / "LoadAllNext::" / "IsDataSafe::" + the description has been shown through
//    `dialogs`). Nothing throws.
//  - The uniqueID text reaches SQL quoted.
#ifndef KORVANE_BOM_BOM_IS_SAFE_H_
#define KORVANE_BOM_BOM_IS_SAFE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/data_service.h"
#include "host/dialogs.h"

namespace korvane {

class mBOMIsSafe {
 public:
  // True when storing "parent uses component" (as line `line_id`) closes no cycle.
  static bool IsDataSafe(std::int32_t line_id, std::int32_t parent_id, std::int32_t component_id,
                         std::string_view unique_id, DataService& data, Dialogs& dialogs);
  // Fills `result` with the product and all its ancestors (duplicates kept); false when the
  // chain is too deep or the database failed.
  static bool LoadAllPre(std::int32_t line_id, std::int32_t product_id, std::string_view unique_id,
                         DataService& data, Dialogs& dialogs, std::vector<std::int32_t>& result);
  // The mirror image: the product and all its descendants.
  static bool LoadAllNext(std::int32_t line_id, std::int32_t product_id, std::string_view unique_id,
                          DataService& data, Dialogs& dialogs, std::vector<std::int32_t>& result);
};

}  // namespace korvane

#endif  // KORVANE_BOM_BOM_IS_SAFE_H_
