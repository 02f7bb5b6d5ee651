// RPT_MPS_PlanSr_Sc: the process analysis of master plans. For every plan line the product's
// standard structure is expanded level by level, and every part met (the finished product
// itself included) is listed with the processes of its standard route, the required quantity,
// what the work reports of the plan line have reported of that part and process so far (their
// qualified quantities), what remains to be reported, the standard piece rate and the wage
// amount the required quantity makes.
//
// Parameters, by position:
//   0 plan number from, 1 plan number to: bounds on 单据编号 (inclusive, text order); an empty
//     bound is open.
//   2 finished product id: only plan lines of that product; 0: all.
//   3 part id: only rows of that part (the structure is still walked through the parts above
//     it); 0: all.
//   4 process id: only rows of that process; 0: all.
//   5 process category id: only processes of that category or of its sub-categories (codes
//     beginning with its code); 0: all.
//   6 1: rows whose piece rate is zero (or missing) are left out.
// Rows come in plan number order, then plan line, then the structure walked depth first in
// line order, then the route's sequence. The last three columns are the plan's program id and
// plan id (what a double-click opens) and the plan line id.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/db_proc_common.h"

namespace korvane::hostapp::proc {
namespace {

// A component deeper than this below its finished product is not expanded: a structure that
// contains itself (kept out by the structure check, but possible in imported data) ends here.
constexpr int kMaxDepth = 10;

struct Product {
  std::string code;
  std::string name;
  std::string size_text;
  std::string unit;
};

struct Component {
  std::int32_t product_id = 0;
  double usage = 0;  // per one unit of the parent
};

struct Operation {
  std::string sequence;
  std::int32_t process_id = 0;
  std::string process_code;
  std::string process_name;
  std::string category_code;
  std::string category_name;
};

// What one run reads from the database, each item once.
class PlanData {
 public:
  explicit PlanData(data::SqlReader& db) : db_(db) {}

  const std::string& error() const { return error_; }

  const Product* FindProduct(std::int32_t id) {
    auto found = products_.find(id);
    if (found != products_.end()) return &found->second;
    auto rows = Read("SELECT 物品编码, 物品名称, 规格, 库存单位 FROM PDMCPML WHERE 产品ID=?", {id});
    if (!rows) return nullptr;
    Product product;
    if (!rows->Rows().empty()) {
      const Recordset::Row& row = rows->Rows().front();
      product = {Trim(row[0].ToText()), Trim(row[1].ToText()), Trim(row[2].ToText()),
                 Trim(row[3].ToText())};
    }
    return &products_.emplace(id, std::move(product)).first->second;
  }

  // The lines of the product's standard structure: the highest approved, valid, standard one.
  const std::vector<Component>* Components(std::int32_t product_id) {
    auto found = components_.find(product_id);
    if (found != components_.end()) return &found->second;
    auto rows = Read(
        "SELECT M.配件ID, M.实际配量分子, M.实际配量分母 FROM pdmbommx M"
        " WHERE M.bomID=(SELECT max(B.bomID) FROM pdmbom B WHERE B.产品ID=? AND B.sMark='02'"
        " AND coalesce(B.是否失效,0)=0 AND B.是否标准=1)"
        " ORDER BY M.rowindex, M.bommxID",
        {product_id});
    if (!rows) return nullptr;
    std::vector<Component> lines;
    for (const Recordset::Row& row : rows->Rows()) {
      // A denominator left at 0 or empty would divide by zero; the numerator alone is then the
      // usage, which is what such a line was meant to say.
      const double denominator = row[2].ToDouble();
      lines.push_back({row[0].ToLong(),
                       denominator == 0 ? row[1].ToDouble() : row[1].ToDouble() / denominator});
    }
    return &components_.emplace(product_id, std::move(lines)).first->second;
  }

  // The operations of the product's standard route: the newest standard route not marked
  // invalid.
  const std::vector<Operation>* Operations(std::int32_t product_id) {
    auto found = operations_.find(product_id);
    if (found != operations_.end()) return &found->second;
    auto rows = Read(
        "SELECT M.顺序号, M.工艺ID, S.编号, S.工艺名称, C.类别编码, C.类别名称"
        " FROM pdmsrlxmx M LEFT JOIN pdmsr S ON S.工艺ID=M.工艺ID"
        " LEFT JOIN pdmsrlb C ON C.类别ID=S.类别ID"
        " WHERE M.srlxID=(SELECT max(L.ID) FROM pdmsrlx L WHERE L.产品ID=? AND L.是否标准=1"
        " AND coalesce(L.是否失效,0)=0)"
        " ORDER BY M.顺序号, M.ID",
        {product_id});
    if (!rows) return nullptr;
    std::vector<Operation> steps;
    for (const Recordset::Row& row : rows->Rows()) {
      steps.push_back({Trim(row[0].ToText()), row[1].ToLong(), Trim(row[2].ToText()),
                       Trim(row[3].ToText()), Trim(row[4].ToText()), Trim(row[5].ToText())});
    }
    return &operations_.emplace(product_id, std::move(steps)).first->second;
  }

  // The standard piece rate (work centre 0, empty quality grade); 0 when there is none.
  std::optional<double> Rate(std::int32_t product_id, std::int32_t process_id) {
    const auto key = std::make_pair(product_id, process_id);
    auto found = rates_.find(key);
    if (found != rates_.end()) return found->second;
    auto rows = Read(
        "SELECT 单位工资 FROM pagzde WHERE 产品ID=? AND 工序ID=? AND coalesce(工作中心ID,0)=0"
        " AND coalesce(品质,'')='' ORDER BY ID",
        {product_id, process_id});
    if (!rows) return std::nullopt;
    const double rate = rows->Rows().empty() ? 0.0 : rows->Rows().front().front().ToDouble();
    rates_.emplace(key, rate);
    return rate;
  }

  // The qualified quantity work report lines pointing at plan line `line_id` of program
  // `progid` have reported so far, of `part_id` on `process_id`.
  std::optional<double> Reported(std::int32_t progid, std::int32_t line_id, std::int32_t part_id,
                                 std::int32_t process_id) {
    auto found = reported_.find(line_id);
    if (found == reported_.end()) {
      auto rows = Read(
          "SELECT 产品ID, 工艺ID, sum(coalesce(合格数量,0)) FROM sfcdjmx WHERE 前置单据=? AND"
          " 前置单据ID=? GROUP BY 产品ID, 工艺ID",
          {progid, line_id});
      if (!rows) return std::nullopt;
      std::map<std::pair<std::int32_t, std::int32_t>, double> sums;
      for (const Recordset::Row& row : rows->Rows()) {
        sums[{row[0].ToLong(), row[1].ToLong()}] = row[2].ToDouble();
      }
      found = reported_.emplace(line_id, std::move(sums)).first;
    }
    const auto sum = found->second.find({part_id, process_id});
    return sum == found->second.end() ? 0.0 : sum->second;
  }

  std::unique_ptr<Recordset> Read(std::string_view sql, const std::vector<Variant>& binds) {
    std::unique_ptr<Recordset> rows = db_.Query(sql, binds, error_);
    if (!rows && error_.empty()) error_ = "query failed";
    return rows;
  }

 private:
  data::SqlReader& db_;
  std::string error_;
  std::map<std::int32_t, Product> products_;
  std::map<std::int32_t, std::vector<Component>> components_;
  std::map<std::int32_t, std::vector<Operation>> operations_;
  std::map<std::pair<std::int32_t, std::int32_t>, double> rates_;
  // Per plan line: the reported quantity by (product, process).
  std::map<std::int32_t, std::map<std::pair<std::int32_t, std::int32_t>, double>> reported_;
};

struct Filters {
  std::int32_t part_id = 0;
  std::int32_t process_id = 0;
  bool by_category = false;
  std::string category_code;  // the chosen process category's code, trailing blanks removed
  bool hide_zero_rate = false;
};

// The plan line being expanded, as it appears in every row it gives.
struct PlanLine {
  std::string plan_number;
  std::string plan_date;
  std::int32_t progid = 0;
  std::int32_t plan_id = 0;
  std::int32_t line_id = 0;
  std::int32_t product_id = 0;
  double demand = 0;
};

const std::vector<FieldInfo>& Columns() {
  static const std::vector<FieldInfo> columns = {
      {"计划单号", kAdVarWChar}, {"计划日期", kAdVarWChar},  {"成品编码", kAdVarWChar},
      {"成品名称", kAdVarWChar}, {"成品规格", kAdVarWChar},  {"成品数量", kAdDouble},
      {"层次", kAdInteger},      {"部件编码", kAdVarWChar},  {"部件名称", kAdVarWChar},
      {"规格", kAdVarWChar},     {"单位", kAdVarWChar},      {"单位用量", kAdDouble},
      {"需求数量", kAdDouble},   {"顺序号", kAdVarWChar},    {"工艺编码", kAdVarWChar},
      {"工艺名称", kAdVarWChar}, {"工艺类别", kAdVarWChar},  {"已报数量", kAdDouble},
      {"剩余数量", kAdDouble},   {"工资定额", kAdDouble},    {"工资金额", kAdDouble},
      {"progID", kAdInteger},    {"主计划组ID", kAdInteger}, {"主计划ID", kAdInteger},
  };
  return columns;
}

bool BeginsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

class Analysis {
 public:
  Analysis(PlanData& data, const Filters& filters) : data_(data), filters_(filters) {}

  std::vector<Recordset::Row>& rows() { return rows_; }

  // Lists the part and, below it, its components. `path` holds the parts above it.
  bool Expand(const PlanLine& line, std::int32_t part_id, int level, double usage,
              std::set<std::int32_t>& path) {
    if (filters_.part_id == 0 || filters_.part_id == part_id) {
      if (!ListOperations(line, part_id, level, usage)) return false;
    }
    if (level >= kMaxDepth) return true;
    const std::vector<Component>* components = data_.Components(part_id);
    if (components == nullptr) return false;
    path.insert(part_id);
    for (const Component& component : *components) {
      if (path.count(component.product_id) != 0) continue;  // the structure contains itself
      if (!Expand(line, component.product_id, level + 1, usage * component.usage, path)) {
        return false;
      }
    }
    path.erase(part_id);
    return true;
  }

 private:
  bool ListOperations(const PlanLine& line, std::int32_t part_id, int level, double usage) {
    const std::vector<Operation>* operations = data_.Operations(part_id);
    if (operations == nullptr) return false;
    for (const Operation& operation : *operations) {
      if (filters_.process_id != 0 && operation.process_id != filters_.process_id) continue;
      if (filters_.by_category && (operation.category_code.empty() ||
                                   !BeginsWith(operation.category_code, filters_.category_code))) {
        continue;
      }
      const std::optional<double> rate = data_.Rate(part_id, operation.process_id);
      if (!rate) return false;
      if (filters_.hide_zero_rate && *rate == 0) continue;
      const Product* finished = data_.FindProduct(line.product_id);
      const Product* part = data_.FindProduct(part_id);
      if (finished == nullptr || part == nullptr) return false;
      const double required = line.demand * usage;
      const std::optional<double> reported =
          data_.Reported(line.progid, line.line_id, part_id, operation.process_id);
      if (!reported) return false;
      rows_.push_back({line.plan_number,
                       line.plan_date,
                       finished->code,
                       finished->name,
                       finished->size_text,
                       line.demand,
                       level,
                       part->code,
                       part->name,
                       part->size_text,
                       part->unit,
                       usage,
                       required,
                       operation.sequence,
                       operation.process_code,
                       operation.process_name,
                       operation.category_name,
                       *reported,
                       required - *reported,
                       *rate,
                       required * *rate,
                       line.progid,
                       line.plan_id,
                       line.line_id});
    }
    return true;
  }

  PlanData& data_;
  const Filters& filters_;
  std::vector<Recordset::Row> rows_;
};

std::string DateText(const Variant& value) {
  if (value.type() == VarType::kDate) return FormatDate(value.date());
  if (std::optional<DateTime> date = value.ToDate()) return FormatDate(*date);
  return Trim(value.ToText());
}

}  // namespace

std::unique_ptr<Recordset> PlanProcessAnalysis(std::vector<Parameter>& parameters,
                                               data::SqlReader& db, std::string& error) {
  if (parameters.size() > 7) {
    error = "Procedure or function RPT_MPS_PlanSr_Sc has too many arguments specified.";
    return nullptr;
  }
  const std::string from = TrimmedText(Arg(parameters, 0));
  const std::string to = TrimmedText(Arg(parameters, 1));
  const std::int32_t finished_id = Arg(parameters, 2).ToLong();
  Filters filters;
  filters.part_id = Arg(parameters, 3).ToLong();
  filters.process_id = Arg(parameters, 4).ToLong();
  const std::int32_t category_id = Arg(parameters, 5).ToLong();
  filters.hide_zero_rate = Arg(parameters, 6).ToLong() == 1;

  PlanData data(db);
  if (category_id != 0) {
    auto rows = data.Read("SELECT 类别编码 FROM pdmsrlb WHERE 类别ID=?", {category_id});
    if (!rows) {
      error = data.error();
      return nullptr;
    }
    // An unknown category matches no process, rather than every one.
    if (rows->Rows().empty())
      return std::make_unique<Recordset>(Columns(), std::vector<Recordset::Row>{});
    filters.by_category = true;
    filters.category_code = Trim(rows->Rows().front().front().ToText());
  }

  std::string sql =
      "SELECT P.单据编号, P.计划日期, P.progID, P.主计划组ID, L.主计划ID, L.产品ID, L.需求数量"
      " FROM MRPPlan P JOIN MRPPlanmx L ON L.主计划组ID=P.主计划组ID WHERE 1=1";
  std::vector<Variant> binds;
  if (!from.empty()) {
    sql += " AND P.单据编号>=?";
    binds.emplace_back(from);
  }
  if (!to.empty()) {
    sql += " AND P.单据编号<=?";
    binds.emplace_back(to);
  }
  if (finished_id != 0) {
    sql += " AND L.产品ID=?";
    binds.emplace_back(finished_id);
  }
  sql += " ORDER BY P.单据编号, P.主计划组ID, L.计划编号, L.主计划ID";
  std::unique_ptr<Recordset> lines = data.Read(sql, binds);
  if (!lines) {
    error = data.error();
    return nullptr;
  }

  Analysis analysis(data, filters);
  for (const Recordset::Row& row : lines->Rows()) {
    const PlanLine line{Trim(row[0].ToText()), DateText(row[1]), row[2].ToLong(),  row[3].ToLong(),
                        row[4].ToLong(),       row[5].ToLong(),  row[6].ToDouble()};
    std::set<std::int32_t> path;
    if (!analysis.Expand(line, line.product_id, 0, 1.0, path)) {
      error = data.error();
      return nullptr;
    }
  }
  return std::make_unique<Recordset>(Columns(), std::move(analysis.rows()));
}

}  // namespace korvane::hostapp::proc
