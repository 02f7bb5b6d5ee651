// The demo factory: a small pump-and-valve works (departments, employees, products from raw
// materials to finished goods, structures, routes with piece rates, plans, orders, work reports,
// menus, document types, settings, users and stock), and a generator of bulk data on top of it
// for measuring the modules on large databases.
//
// The program ids the demo registers (xt_menu, xt_objects, numbering rules) are the constants
// below; db/demo.sql lists them too.
#ifndef KORVANE_HOSTAPP_DEMO_DATA_H_
#define KORVANE_HOSTAPP_DEMO_DATA_H_

#include <cstdint>
#include <string>

#include "data/pg_data_service.h"
#include "data/sqlite_data_service.h"

namespace korvane::hostapp {

namespace demo {
inline constexpr std::int32_t kWorkReportProgId = 2101;  // 生产报工单 (SCCJD_S)
inline constexpr std::int32_t kReworkReportProgId = 2102;  // 返工报工单 (SCCJD_S, quantity control)
inline constexpr std::int32_t kMasterPlanProgId = 3101;  // 主生产计划 (plan2), billitem 6501
inline constexpr std::int32_t kWorkOrderProgId = 3201;   // 生产工单 (source documents)
inline constexpr std::int32_t kSalesOrderProgId = 3301;  // 销售订单 (source documents)
inline constexpr std::int32_t kBomProgId = 4101;         // 产品物料清单 (Bom)
inline constexpr std::int32_t kRouteProgId = 5101;       // 工艺路线 (SRLX1)
inline constexpr std::int32_t kProductPickerProgId = 6101;         // pdmCpml
inline constexpr std::int32_t kProductProcessPickerProgId = 6102;  // pdmCpml_Sr
inline constexpr std::int32_t kEmployeePickerProgId = 6301;        // pdmgy
inline constexpr std::int32_t kWorkReportQueryProgId = 7101;       // SCCJD_RPT
inline constexpr std::int32_t kWageDetailQueryProgId = 7201;       // Cx_EmpMx
inline constexpr std::int32_t kPlanReportProgId = 7301;            // SC_Plan
inline constexpr std::int32_t kCategoryDeletionProgId = 8101;      // cDelCPLB
// The document class of master plans in xt_objects.billitem.
inline constexpr std::int32_t kMasterPlanBillItem = 6501;
}  // namespace demo

// Loads db/demo.sql into `db` in one transaction.
// REQUIRES: `db` holds the latest schema (data::MigrateSchema) and none of the demo rows yet.
// Returns false with `error` set when a statement fails; nothing of the demo is then kept.
bool LoadDemoData(data::SqliteDataService& db, std::string& error);
// The same on a PostgreSQL server (data::MigratePgSchema first).
bool LoadDemoData(data::PgDataService& db, std::string& error);

// Adds scale x 1 000 products (with their categories, structures, routes and piece rates, in
// the proportions of the demo) and scale x 10 000 work report lines (reports of about ten
// lines, with their employee allocations and registered document numbers). Every key starts
// above the largest one present, so the demo's rows, or those of an earlier run, stay as they
// are. The data depend only on `scale` and on the keys present: the generator is seeded with a
// fixed value. A few transactions; nothing is left behind by a failed one.
// REQUIRES: `db` holds the latest schema; scale >= 1.
// Returns false with `error` set on failure (a bad scale, a failing statement).
bool GenerateScaleData(data::SqliteDataService& db, int scale, std::string& error);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_DEMO_DATA_H_
