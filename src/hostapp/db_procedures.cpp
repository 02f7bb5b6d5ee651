// The pickers' list procedures, the scalar functions of the work report and master plan
// statements, and their registration. Every value a caller passes is bound to a '?'; the SQL
// texts below are assembled only from fixed pieces and placeholders.
#include "hostapp/db_procedures.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/db_proc_common.h"

namespace korvane::hostapp {
namespace proc {

const Variant& Arg(const std::vector<Parameter>& parameters, std::size_t index) {
  static const Variant kMissing;
  return index < parameters.size() ? parameters[index].value : kMissing;
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    // Blanks and quotes may nest in any order ("' 1211 '", " '1211' ").
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t' || item.front() == '\'')) {
      item.remove_prefix(1);
    }
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\'')) {
      item.remove_suffix(1);
    }
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

std::string Placeholders(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += i == 0 ? "?" : ",?";
  return text;
}

std::string TrimmedText(const Variant& value) { return Trim(value.ToText()); }

}  // namespace proc

namespace {

using proc::Arg;
using proc::Placeholders;
using proc::SplitList;
using proc::TrimmedText;

// A statement being assembled: fixed SQL pieces and the values bound to their placeholders,
// kept side by side so that they cannot drift apart.
struct Statement {
  std::string sql;
  std::vector<Variant> binds;

  void Add(std::string_view piece) { sql += piece; }
  void Add(std::string_view piece, Variant value) {
    sql += piece;
    binds.push_back(std::move(value));
  }
  // " AND <column> IN (?,...)" over the items of a comma list; nothing when it is empty.
  void AddInList(std::string_view prefix, const std::vector<std::string>& items,
                 std::string_view suffix) {
    if (items.empty()) return;
    sql += prefix;
    sql += Placeholders(items.size());
    sql += suffix;
    for (const std::string& item : items) binds.emplace_back(item);
  }
};

// Too many arguments means the caller expects another procedure; better refused than
// answered with rows for parameters that were never read.
bool CheckArgumentCount(std::string_view procedure, const std::vector<Parameter>& parameters,
                        std::size_t most, std::string& error) {
  if (parameters.size() <= most) return true;
  error = "Procedure or function " + std::string(procedure) + " has too many arguments specified.";
  return false;
}

// A key argument: the pickers send -1 (or nothing) for "all"; 0 is no key either.
std::int32_t KeyArg(const Variant& value) { return value.IsBlank() ? -1 : value.ToLong(); }

// p_PDM_CPML_SELECT: the product picker's list.
// Parameters, by position:
//   0 category id; -1 all. A category includes its sub-categories (codes beginning with its
//     code), as the category list shows parents above their children.
//   1 1: cancelled products (是否使用 = 0) are listed too; otherwise only products in use
//     (a missing 是否使用 counts as in use).
//   2 product source (来源ID); -1 or empty: all.
//   3 structure id ("bomID"): only the components of that structure; empty or 0: no restriction.
//   4 account code(s) (材料科目编号), a comma list: only products of categories whose
//     对应科目编号 is in the list; empty: all.
//   5 process id (the picker with the process tree): above 0, only products that have the
//     process in one of their valid routes or a piece-rate row for it; 0 (root or a category
//     node) and -1 (nothing selected): no restriction.
//   6 1 ("do not show products whose piece rate is zero"): with a process, only products whose
//     standard piece rate (work centre 0, empty quality grade) for it is not zero; without a
//     process, only products with a non-zero standard piece rate for some process. A missing
//     rate counts as zero.
// Columns in the picker grid's order; the grid has no fixed column, so the first one is the
// tick column "选择", always empty.
std::unique_ptr<Recordset> ProductSelect(std::vector<Parameter>& parameters, data::SqlReader& db,
                                         std::string& error) {
  if (!CheckArgumentCount("p_PDM_CPML_SELECT", parameters, 7, error)) return nullptr;
  const std::int32_t category = KeyArg(Arg(parameters, 0));
  const bool with_cancelled = Arg(parameters, 1).ToLong() == 1;
  const std::string source = TrimmedText(Arg(parameters, 2));
  const std::int32_t bom = Arg(parameters, 3).ToLong();
  const std::vector<std::string> accounts = SplitList(Arg(parameters, 4).ToText());
  const std::int32_t process = KeyArg(Arg(parameters, 5));
  const bool hide_zero_rate = Arg(parameters, 6).ToLong() == 1;

  Statement s;
  s.Add(
      "SELECT '' AS 选择, A.产品ID AS 产品ID, A.物品编码 AS 物品编码, A.助忆词 AS 助忆词,"
      " A.物品名称 AS 物品名称, A.物品产地 AS 物品产地,"
      " trim(coalesce(A.规格,'') || ' ' || coalesce(A.型号,'')) AS 规格型号,"
      " A.库存单位 AS 单位, A.产品类别ID AS 产品类别ID, A.产品类别 AS 产品类别,"
      " A.是否使用 AS 是否使用,"
      " (SELECT coalesce(sum(D.数量),0) FROM st_goods_depot D WHERE D.产品ID=A.产品ID) AS 库存数,"
      " A.物品说明 AS 物品说明, A.图号 AS 图号, A.缺省货位 AS 货位, A.颜色 AS 颜色,"
      " A.特性 AS 特性, A.尺寸 AS 尺寸"
      " FROM vtPDMCPML A WHERE 1=1");
  if (category > 0) {
    s.Add(
        " AND A.产品类别ID IN (SELECT C.类别ID FROM pdmcplb C, pdmcplb P WHERE P.类别ID=?"
        " AND substr(C.类别编码,1,length(rtrim(P.类别编码))) = rtrim(P.类别编码) COLLATE TSQL)",
        category);
  }
  if (!with_cancelled) s.Add(" AND coalesce(A.是否使用,1)<>0");
  if (!source.empty() && source != "-1") s.Add(" AND A.来源ID=?", source);
  if (bom != 0) s.Add(" AND A.产品ID IN (SELECT 配件ID FROM pdmbommx WHERE bomID=?)", bom);
  s.AddInList(" AND A.产品类别ID IN (SELECT 类别ID FROM pdmcplb WHERE 对应科目编号 IN (", accounts,
              "))");
  if (process > 0) {
    s.Add(
        " AND (A.产品ID IN (SELECT L.产品ID FROM pdmsrlx L JOIN pdmsrlxmx M ON M.srlxID=L.ID"
        " WHERE M.工艺ID=? AND coalesce(L.是否失效,0)=0)",
        process);
    s.Add(" OR A.产品ID IN (SELECT G.产品ID FROM pagzde G WHERE G.工序ID=?))", process);
  }
  if (hide_zero_rate) {
    s.Add(
        " AND EXISTS (SELECT 1 FROM pagzde G WHERE G.产品ID=A.产品ID AND coalesce(G.工作中心ID,0)=0"
        " AND coalesce(G.品质,'')='' AND coalesce(G.单位工资,0)<>0");
    if (process > 0) {
      s.Add(" AND G.工序ID=?", process);
    }
    s.Add(")");
  }
  s.Add(" ORDER BY A.物品编码, A.产品ID");
  return db.Query(s.sql, s.binds, error);
}

// p_PDM_CPLB_SELECT: the categories of the product picker's category list.
// Parameter 0: account code(s), a comma list; only categories whose 对应科目编号 is in it;
// empty: every category. One row per category: its id and the text the list shows (code and
// name), in code order so that each parent comes before its sub-categories.
std::unique_ptr<Recordset> CategorySelect(std::vector<Parameter>& parameters, data::SqlReader& db,
                                          std::string& error) {
  if (!CheckArgumentCount("p_PDM_CPLB_SELECT", parameters, 1, error)) return nullptr;
  Statement s;
  s.Add(
      "SELECT 类别ID AS 类别ID, rtrim(类别编码) || ' ' || coalesce(类别名称,'') AS 产品类别"
      " FROM pdmcplb WHERE 1=1");
  s.AddInList(" AND 对应科目编号 IN (", SplitList(Arg(parameters, 0).ToText()), ")");
  s.Add(" ORDER BY 类别编码, 类别ID");
  return db.Query(s.sql, s.binds, error);
}

// p_PDM_BM_SELECT: the departments of the employee picker's department list.
// Parameter 0: organisation type(s), a comma list; empty: every department. One row per
// department: its id and its name (the text the picker preselects by "部门名称").
std::unique_ptr<Recordset> DepartmentSelect(std::vector<Parameter>& parameters, data::SqlReader& db,
                                            std::string& error) {
  if (!CheckArgumentCount("p_PDM_BM_SELECT", parameters, 1, error)) return nullptr;
  Statement s;
  s.Add("SELECT 部门ID AS 部门ID, 部门名称 AS 部门名称 FROM PDMBM WHERE 1=1");
  s.AddInList(" AND 组织类型 IN (", SplitList(Arg(parameters, 0).ToText()), ")");
  s.Add(" ORDER BY 部门编码, 部门ID");
  return db.Query(s.sql, s.binds, error);
}

// p_PDM_GY_SELECT: the employee picker's list.
// Parameters: 0 department id, -1 (or nothing) for all; 1 organisation type(s) of the
// employee's department, a comma list, empty for all. Only employees still employed (active
// null or 0, as the picker's own lookup finds them). Columns in the picker grid's order, after
// the empty tick column "选择"; the sex is shown as "男"/"女" (性别 1 = female).
std::unique_ptr<Recordset> EmployeeSelect(std::vector<Parameter>& parameters, data::SqlReader& db,
                                          std::string& error) {
  if (!CheckArgumentCount("p_PDM_GY_SELECT", parameters, 2, error)) return nullptr;
  const std::int32_t department = KeyArg(Arg(parameters, 0));
  Statement s;
  s.Add(
      "SELECT '' AS 选择, G.雇员ID AS 职工ID, G.雇员编号 AS 编号, G.姓名 AS 姓名,"
      " CASE WHEN G.性别=1 THEN '女' WHEN G.性别=0 THEN '男' ELSE '' END AS 性别,"
      " G.身份证号码 AS 身份证号, G.部门ID AS 部门ID, B.部门名称 AS 公司组织"
      " FROM pdmgy G LEFT JOIN PDMBM B ON G.部门ID=B.部门ID WHERE coalesce(G.active,0)=0");
  if (department >= 0) s.Add(" AND G.部门ID=?", department);
  s.AddInList(" AND B.组织类型 IN (", SplitList(Arg(parameters, 1).ToText()), ")");
  s.Add(" ORDER BY G.雇员编号, G.雇员ID");
  return db.Query(s.sql, s.binds, error);
}

// Runs a query inside a scalar function, where failures travel as exceptions.
std::unique_ptr<Recordset> QueryOrThrow(data::SqlReader& db, std::string_view sql,
                                        const std::vector<Variant>& binds) {
  std::string error;
  std::unique_ptr<Recordset> rows = db.Query(sql, binds, error);
  if (!rows) throw std::runtime_error(error.empty() ? "query failed" : error);
  return rows;
}

// rSTGoodsDepotAmount(产品ID, 仓库ID, 批号, setting 1, flag, flag): the stock on hand.
// Depot 0 sums every depot, an empty batch every batch. Setting 1 is the accounting period the
// callers pass and the two flags are always 0 in their statements; the stock table keeps only
// the current quantity, so none of the three changes the answer. No stock row gives 0.
Variant StockOnHand(const std::vector<Variant>& args, data::SqlReader& db) {
  const Variant& product = args.at(0);
  if (product.IsBlank()) return Variant(0.0);
  Statement s;
  s.Add("SELECT coalesce(sum(数量),0) FROM st_goods_depot WHERE 产品ID=?", product.ToLong());
  const std::int32_t depot = args.size() > 1 ? args[1].ToLong() : 0;
  if (depot != 0) s.Add(" AND 仓库ID=?", depot);
  const std::string batch = args.size() > 2 ? TrimmedText(args[2]) : std::string();
  if (!batch.empty()) s.Add(" AND 批号=?", batch);
  std::unique_ptr<Recordset> rows = QueryOrThrow(db, s.sql, s.binds);
  return Variant(rows->Rows().empty() ? 0.0 : rows->Rows().front().front().ToDouble());
}

// The employees of a work report line in the order they were allocated.
constexpr const char* kLineEmployees =
    "SELECT A.员工ID, B.姓名 FROM sfcdjmxfs A LEFT JOIN pdmgy B ON A.员工ID=B.雇员ID"
    " WHERE A.报工单明细ID=? ORDER BY A.报工单明细附属ID";

// rSfcDjEmp(报工单明细ID): the names, joined by ",". A line without employees gives "".
Variant LineEmployeeNames(const std::vector<Variant>& args, data::SqlReader& db) {
  if (args.at(0).IsBlank()) return Variant(std::string());
  std::unique_ptr<Recordset> rows = QueryOrThrow(db, kLineEmployees, {args[0].ToLong()});
  std::string names;
  for (const Recordset::Row& row : rows->Rows()) {
    if (row[1].IsBlank()) continue;  // an allocation to an employee since removed
    if (!names.empty()) names += ',';
    names += Trim(row[1].ToText());
  }
  return Variant(std::move(names));
}

// rSfcDjEmpID(报工单明细ID): the employee ids, each between ";" (";3;7;"), so that
// like '%;3;%' finds employee 3 and never 13 or 31. A line without employees gives "".
Variant LineEmployeeIds(const std::vector<Variant>& args, data::SqlReader& db) {
  if (args.at(0).IsBlank()) return Variant(std::string());
  std::unique_ptr<Recordset> rows = QueryOrThrow(db, kLineEmployees, {args[0].ToLong()});
  std::string ids;
  for (const Recordset::Row& row : rows->Rows()) {
    if (row[0].IsBlank()) continue;
    ids += (ids.empty() ? ";" : "") + std::to_string(row[0].ToInt64()) + ";";
  }
  return Variant(std::move(ids));
}

}  // namespace

bool RegisterDatabaseObjects(data::SqliteDataService& db, std::string& error) {
  db.RegisterProcedure("p_PDM_CPML_SELECT", ProductSelect);
  db.RegisterProcedure("p_PDM_CPLB_SELECT", CategorySelect);
  db.RegisterProcedure("p_PDM_GY_SELECT", EmployeeSelect);
  db.RegisterProcedure("p_PDM_BM_SELECT", DepartmentSelect);
  db.RegisterProcedure("RPT_MPS_PlanSr_Sc", proc::PlanProcessAnalysis);
  const std::pair<const char*, std::pair<int, data::ScalarFunction>> functions[] = {
      {"rSTGoodsDepotAmount", {6, StockOnHand}},
      {"rSfcDjEmp", {1, LineEmployeeNames}},
      {"rSfcDjEmpID", {1, LineEmployeeIds}},
  };
  for (const auto& [name, function] : functions) {
    if (!db.RegisterFunction(name, function.first, function.second)) {
      error = "cannot register " + std::string(name) + ": " + db.LastError();
      return false;
    }
  }
  return true;
}

void RegisterDatabaseObjects(data::PgDataService& db) {
  db.RegisterProcedure("p_PDM_CPML_SELECT", ProductSelect);
  db.RegisterProcedure("p_PDM_CPLB_SELECT", CategorySelect);
  db.RegisterProcedure("p_PDM_GY_SELECT", EmployeeSelect);
  db.RegisterProcedure("p_PDM_BM_SELECT", DepartmentSelect);
  db.RegisterProcedure("RPT_MPS_PlanSr_Sc", proc::PlanProcessAnalysis);
}

}  // namespace korvane::hostapp
