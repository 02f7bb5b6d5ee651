// The database's own stored procedures and scalar functions, which the modules call but do not
// define: the pickers' list procedures, the plan process analysis, the stock on hand and the
// employees of a work report line.
#ifndef KORVANE_HOSTAPP_DB_PROCEDURES_H_
#define KORVANE_HOSTAPP_DB_PROCEDURES_H_

#include "data/pg_data_service.h"
#include "data/sqlite_data_service.h"

namespace korvane::hostapp {

// Registers on `db`: the procedures p_PDM_CPML_SELECT, p_PDM_CPLB_SELECT, p_PDM_GY_SELECT,
// p_PDM_BM_SELECT and RPT_MPS_PlanSr_Sc, and the scalar functions rSTGoodsDepotAmount,
// rSfcDjEmp and rSfcDjEmpID. Returns false with `error` set when a registration is refused.
bool RegisterDatabaseObjects(data::SqliteDataService& db, std::string& error);
// The same procedures on a PostgreSQL connection; the scalar functions are the server's own
// there (db/postgres/functions.sql, created by data::MigratePgSchema).
void RegisterDatabaseObjects(data::PgDataService& db);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_DB_PROCEDURES_H_
