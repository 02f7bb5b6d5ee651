// Pieces shared by the database's own procedures: reading positional parameters, turning the
// comma lists the pickers pass into bound values, and the plan process analysis, which lives in
// its own file. Internal to src/hostapp; nothing here is part of the library's interface.
#ifndef KORVANE_HOSTAPP_DB_PROC_COMMON_H_
#define KORVANE_HOSTAPP_DB_PROC_COMMON_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/sqlite_data_service.h"
#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::hostapp::proc {

// The value of the parameter at `index`; an empty Variant when the caller passed fewer.
const Variant& Arg(const std::vector<Parameter>& parameters, std::size_t index);

// The items of a comma list as users and pickers write them ("1211", "1211,1243",
// "'1','3'"): split at commas, blanks and single quotes around each item removed, empty items
// dropped. The items are meant to be bound, one '?' each; they never become SQL text.
std::vector<std::string> SplitList(std::string_view text);

// "?,?,?" for n values (n >= 1).
std::string Placeholders(std::size_t n);

// The text of a value without leading and trailing blanks ("" for empty and null).
std::string TrimmedText(const Variant& value);

// RPT_MPS_PlanSr_Sc: see db_proc_plan_analysis.cpp for parameters and columns.
std::unique_ptr<Recordset> PlanProcessAnalysis(std::vector<Parameter>& parameters,
                                               data::SqlReader& db, std::string& error);

}  // namespace korvane::hostapp::proc

#endif  // KORVANE_HOSTAPP_DB_PROC_COMMON_H_
