// The demo loader runs the embedded db/demo.sql. The generator writes its rows through
// statements prepared once on the connection's own handle, with every value bound, since it
// writes millions of rows.
#include "hostapp/demo_data.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "data/embedded_sql.h"

namespace korvane::hostapp {

namespace {

template <typename Service>
bool LoadDemoInto(Service& db, std::string& error) {
  const std::string_view script = data::EmbeddedSqlFile("demo.sql");
  if (script.empty()) {
    error = "the demo data (db/demo.sql) is not compiled into the library";
    return false;
  }
  if (!db.BeginTrans()) {
    error = "cannot begin the demo transaction: " + db.LastError();
    return false;
  }
  if (!db.ExecScript(script, error)) {
    error = "the demo data failed: " + error;
    db.RollbackTrans();
    return false;
  }
  if (!db.CommitTrans()) {
    error = "cannot commit the demo data: " + db.LastError();
    db.RollbackTrans();
    return false;
  }
  return true;
}

}  // namespace

bool LoadDemoData(data::SqliteDataService& db, std::string& error) {
  return LoadDemoInto(db, error);
}

bool LoadDemoData(data::PgDataService& db, std::string& error) { return LoadDemoInto(db, error); }

namespace {

// A statement prepared once and run many times with fresh bindings.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt_, nullptr) != SQLITE_OK) {
      error_ = std::string(sqlite3_errmsg(db)) + " in: " + std::string(sql);
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  const std::string& error() const { return error_; }

  Statement& Bind(std::int64_t value) {
    sqlite3_bind_int64(stmt_, ++index_, value);
    return *this;
  }
  Statement& Bind(int value) { return Bind(static_cast<std::int64_t>(value)); }
  Statement& Bind(double value) {
    sqlite3_bind_double(stmt_, ++index_, value);
    return *this;
  }
  Statement& Bind(std::string_view value) {
    sqlite3_bind_text(stmt_, ++index_, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(const char* value) { return Bind(std::string_view(value)); }
  Statement& BindNull() {
    sqlite3_bind_null(stmt_, ++index_);
    return *this;
  }
  Statement& Bind(const std::string& value) { return Bind(std::string_view(value)); }

  // Runs the statement with the values bound since the last run; false with `error` set when
  // it fails.
  bool Run(std::string& error) {
    const int rc = sqlite3_step(stmt_);
    index_ = 0;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      error = sqlite3_errmsg(db_);
      return false;
    }
    return true;
  }

  // The first column of the first row as an integer (0 for no row or NULL).
  std::int64_t ScalarInt() {
    std::int64_t value = 0;
    if (sqlite3_step(stmt_) == SQLITE_ROW) value = sqlite3_column_int64(stmt_, 0);
    index_ = 0;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return value;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int index_ = 0;
  std::string error_;
};

// SplitMix64: fixed seed, the same sequence on every platform and standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

std::string Padded(std::string_view prefix, std::int64_t number, int width) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%0*lld", width, static_cast<long long>(number));
  return std::string(prefix) + digits;
}

std::string DayOf2026(int day_index) {
  using namespace std::chrono;
  const year_month_day day{sys_days{year{2026} / January / 1} + days{day_index}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

// Within a family of ten generated products: 0 a finished good, 1 to 3 parts made in house,
// 4 to 7 raw materials, 8 packaging, 9 a purchased part.
enum Kind { kFinished, kPart, kRaw, kPackaging, kPurchased, kKindCount };

constexpr int kFamilySize = 10;
constexpr int kLinesPerReport = 10;
constexpr int kEmployees = 20;
constexpr int kRoutesPerFamily = 4;  // the three parts (two operations each) and the finished
                                     // good (one operation)
constexpr int kBomsPerFamily = 4;
constexpr int kBomLinesPerFamily = 10;

Kind KindAt(int position) {
  if (position == 0) return kFinished;
  if (position <= 3) return kPart;
  if (position <= 7) return kRaw;
  if (position == 8) return kPackaging;
  return kPurchased;
}

struct KindInfo {
  const char* category;
  const char* account;
  const char* account_name;
  const char* unit;
  int source;  // 1 made in house, 2 bought
  std::array<const char*, 4> names;
};

constexpr std::array<KindInfo, kKindCount> kKinds = {{
    {"产成品", "1243", "库存商品", "台", 1, {"离心泵", "管道泵", "闸阀", "蝶阀"}},
    {"半成品", "1241", "自制半成品", "件", 1, {"泵轴", "叶轮", "阀体", "法兰"}},
    {"原材料", "1211", "原材料", "kg", 2, {"圆钢", "钢板", "铝板", "铝棒"}},
    {"包装物", "1221", "包装物", "个", 2, {"纸箱", "衬垫", "木托", "缠绕膜"}},
    {"外购件", "1232", "外购件", "个", 2, {"螺栓", "轴承", "密封圈", "电机"}},
}};

// The piece rate of operation `op` (0..6) of a family, in tenths so that it is exact.
double PieceRate(int family, int op) { return (5 + (family * 7 + op * 3) % 40) / 10.0; }

struct Keys {
  std::int64_t category, product, bom, bom_line, route, route_op, rate, process, process_category,
      department, employee, report, line, allocation, account;
};

class Generator {
 public:
  Generator(data::SqliteDataService& db, int scale)
      : db_(db), handle_(db.handle()), scale_(scale), random_(0x4B6F7276616E6531ULL) {}

  bool Run(std::string& error) {
    if (!ReadKeys(error)) return false;
    if (!InTransaction([this](std::string& e) { return WriteMasterData(e); }, error)) {
      return false;
    }
    const int reports = scale_ * 1000;
    constexpr int kReportsPerTransaction = 10000;
    for (int first = 0; first < reports; first += kReportsPerTransaction) {
      const int count = std::min(kReportsPerTransaction, reports - first);
      if (!InTransaction([&](std::string& e) { return WriteReports(first, count, e); }, error)) {
        return false;
      }
    }
    return true;
  }

 private:
  template <typename Body>
  bool InTransaction(Body body, std::string& error) {
    if (!db_.BeginTrans()) {
      error = db_.LastError();
      return false;
    }
    if (!body(error)) {
      db_.RollbackTrans();
      return false;
    }
    if (!db_.CommitTrans()) {
      error = db_.LastError();
      db_.RollbackTrans();
      return false;
    }
    return true;
  }

  std::int64_t Max(const char* sql) {
    Statement statement(handle_, sql);
    return statement.ok() ? statement.ScalarInt() : 0;
  }

  bool ReadKeys(std::string& error) {
    keys_.category = Max("SELECT IFNULL(MAX(类别ID),0) FROM PDMCPLB");
    keys_.product = Max("SELECT IFNULL(MAX(产品ID),0) FROM PDMCPML");
    keys_.bom = Max("SELECT IFNULL(MAX(bomID),0) FROM PDMBOM");
    keys_.bom_line = Max("SELECT IFNULL(MAX(bommxID),0) FROM PDMBOMMX");
    keys_.route = Max("SELECT IFNULL(MAX(ID),0) FROM PDMSRLX");
    keys_.route_op = Max("SELECT IFNULL(MAX(ID),0) FROM PDMSRLXMX");
    keys_.rate = Max("SELECT IFNULL(MAX(ID),0) FROM pagzde");
    keys_.process = Max("SELECT IFNULL(MAX(工艺ID),0) FROM PDMSR");
    keys_.process_category = Max("SELECT IFNULL(MAX(类别ID),0) FROM pdmsrlb");
    keys_.department = Max("SELECT IFNULL(MAX(部门ID),0) FROM PDMBM");
    keys_.employee = Max("SELECT IFNULL(MAX(雇员ID),0) FROM PDMGY");
    keys_.report = Max("SELECT IFNULL(MAX(报工单ID),0) FROM SFCDJ");
    keys_.line = Max("SELECT IFNULL(MAX(报工单明细ID),0) FROM SFCDJMX");
    keys_.allocation = Max("SELECT IFNULL(MAX(报工单明细附属ID),0) FROM SFCDJMXFS");
    keys_.account = Max("SELECT IFNULL(MAX(科目ID),0) FROM pdmkjkm");

    // The generated categories hang under a first-level code of their own.
    Statement taken(handle_, "SELECT COUNT(*) FROM PDMCPLB WHERE 类别编码 = ?");
    if (!taken.ok()) {
      error = taken.error();
      return false;
    }
    for (int code = 90; code <= 99 && top_code_.empty(); ++code) {
      if (taken.Bind(std::to_string(code)).ScalarInt() == 0) top_code_ = std::to_string(code);
    }
    if (top_code_.empty()) {
      error = "no free first-level category code left (90 to 99 are all taken)";
      return false;
    }
    return true;
  }

  bool WriteMasterData(std::string& error) {
    return WriteAccounts(error) && WriteOrganisation(error) && WriteProcesses(error) &&
           WriteCategoriesAndProducts(error) && WriteStructures(error) && WriteRoutes(error);
  }

  bool WriteAccounts(std::string& error) {
    Statement exists(handle_, "SELECT COUNT(*) FROM pdmkjkm WHERE 科目编码 = ?");
    Statement insert(handle_,
                     "INSERT INTO pdmkjkm(科目ID,科目编码,科目名称,级次,是否存货科目) "
                     "VALUES(?,?,?,1,1)");
    if (!exists.ok() || !insert.ok()) {
      error = exists.ok() ? insert.error() : exists.error();
      return false;
    }
    for (const KindInfo& kind : kKinds) {
      if (exists.Bind(kind.account).ScalarInt() > 0) continue;
      if (!insert.Bind(++keys_.account).Bind(kind.account).Bind(kind.account_name).Run(error)) {
        return false;
      }
    }
    return true;
  }

  bool WriteOrganisation(std::string& error) {
    department_ = ++keys_.department;
    Statement department(handle_,
                         "INSERT INTO PDMBM(部门ID,部门编码,部门名称,上级部门ID,级次,组织类型,"
                         "是否明细) VALUES(?,?,?,0,1,3,1)");
    Statement employee(handle_,
                       "INSERT INTO PDMGY(雇员ID,雇员编号,姓名,性别,部门ID,雇佣日期,是否系统,"
                       "工资级别系数,active) VALUES(?,?,?,?,?,'2025-01-02',0,1,0)");
    if (!department.ok() || !employee.ok()) {
      error = department.ok() ? employee.error() : department.error();
      return false;
    }
    if (!department.Bind(department_)
             .Bind(Padded("G", department_, 6))
             .Bind("批量车间" + std::to_string(department_))
             .Run(error)) {
      return false;
    }
    static constexpr std::array<const char*, 10> kSurnames = {"王", "李", "张", "刘", "陈",
                                                              "杨", "赵", "黄", "周", "吴"};
    static constexpr std::array<const char*, 10> kGiven = {"伟", "芳", "娜", "敏", "静",
                                                           "丽", "强", "磊", "军", "洋"};
    for (int i = 0; i < kEmployees; ++i) {
      const std::int64_t id = ++keys_.employee;
      employees_.push_back(id);
      const std::string name =
          std::string(kSurnames[i % 10]) + kGiven[(i / 10 + i) % 10] + kGiven[(i * 3) % 10];
      if (!employee.Bind(id)
               .Bind(Padded("G", id, 6))
               .Bind(name)
               .Bind(i % 2)
               .Bind(department_)
               .Run(error)) {
        return false;
      }
    }
    return true;
  }

  // The processes the routes use: those present, or eight of our own on an empty table.
  bool WriteProcesses(std::string& error) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle_, "SELECT 工艺ID FROM PDMSR ORDER BY 工艺ID LIMIT 8", -1, &raw,
                           nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(handle_);
      return false;
    }
    while (sqlite3_step(raw) == SQLITE_ROW) processes_.push_back(sqlite3_column_int64(raw, 0));
    sqlite3_finalize(raw);
    if (processes_.size() >= 3) return true;
    processes_.clear();

    const std::int64_t category = ++keys_.process_category;
    Statement insert_category(handle_,
                              "INSERT INTO pdmsrlb(类别ID,类别编码,类别名称,级次,是否明细) "
                              "VALUES(?,?,'批量工艺',1,1)");
    Statement insert_process(
        handle_, "INSERT INTO PDMSR(工艺ID,编号,工艺名称,简称,类别ID) VALUES(?,?,?,?,?)");
    if (!insert_category.ok() || !insert_process.ok()) {
      error = insert_category.ok() ? insert_process.error() : insert_category.error();
      return false;
    }
    if (!insert_category.Bind(category).Bind(Padded("G", category, 4)).Run(error)) return false;
    static constexpr std::array<const char*, 8> kNames = {"粗车",     "精车", "铣平面", "钻孔",
                                                          "部件装配", "总装", "喷漆",   "包装"};
    for (const char* name : kNames) {
      const std::int64_t id = ++keys_.process;
      processes_.push_back(id);
      if (!insert_process.Bind(id)
               .Bind(Padded("G", id, 4))
               .Bind(name)
               .Bind(Padded("P", id, 4))
               .Bind(category)
               .Run(error)) {
        return false;
      }
    }
    return true;
  }

  int Families() const { return scale_ * 1000 / kFamilySize; }
  std::int64_t ProductId(int family, int position) const {
    return first_product_ + static_cast<std::int64_t>(family) * kFamilySize + position;
  }
  std::int64_t RouteId(int family, int route) const {
    return first_route_ + static_cast<std::int64_t>(family) * kRoutesPerFamily + route;
  }
  std::int64_t ProcessOf(int family, int op) const {
    // Operations 0-1, 2-3 and 4-5 belong to the three parts, 6 to the finished good; the two
    // operations of a part take neighbouring processes, so they differ.
    const auto n = static_cast<int>(processes_.size());
    return processes_[static_cast<std::size_t>((family + op) % n)];
  }

  bool WriteCategoriesAndProducts(std::string& error) {
    first_product_ = keys_.product + 1;
    first_route_ = keys_.route + 1;
    Statement category(handle_,
                       "INSERT INTO PDMCPLB(类别ID,类别编码,类别名称,级次,是否明细,对应科目编号) "
                       "VALUES(?,?,?,?,?,?)");
    Statement product(handle_,
                      "INSERT INTO PDMCPML(产品ID,物品编码,助忆词,物品名称,规格,库存单位,"
                      "产品类别ID,来源ID,是否使用,是否多计量单位,短缺限额,超储限额,标准成本,"
                      "计划成本,损耗率,工艺路线ID) VALUES(?,?,?,?,?,?,?,?,1,0,?,?,?,?,0,?)");
    if (!category.ok() || !product.ok()) {
      error = category.ok() ? product.error() : category.error();
      return false;
    }
    if (!category.Bind(++keys_.category)
             .Bind(top_code_)
             .Bind("批量产品" + top_code_)
             .Bind(1)
             .Bind(0)
             .Bind(kKinds[kFinished].account)
             .Run(error)) {
      return false;
    }

    // Each kind gets a second-level category and as many third-level ones as it needs, at most
    // 999 (the three-digit segment) and at least 100 products each.
    const int families = Families();
    std::array<int, kKindCount> per_family{};
    for (int position = 0; position < kFamilySize; ++position) ++per_family[KindAt(position)];
    std::array<int, kKindCount> per_leaf{};
    std::array<std::int64_t, kKindCount> first_leaf{};
    for (int kind = 0; kind < kKindCount; ++kind) {
      const int count = per_family[kind] * families;
      per_leaf[kind] = std::max(100, (count + 998) / 999);
      const int leaves = (count + per_leaf[kind] - 1) / per_leaf[kind];
      const std::string level2 = top_code_ + Padded("", kind + 1, 2);
      const KindInfo& info = kKinds[static_cast<std::size_t>(kind)];
      if (!category.Bind(++keys_.category)
               .Bind(level2)
               .Bind(info.category)
               .Bind(2)
               .Bind(0)
               .Bind(info.account)
               .Run(error)) {
        return false;
      }
      first_leaf[kind] = keys_.category + 1;
      for (int leaf = 0; leaf < leaves; ++leaf) {
        if (!category.Bind(++keys_.category)
                 .Bind(level2 + Padded("", leaf + 1, 3))
                 .Bind(std::string(info.category) + Padded("", leaf + 1, 3))
                 .Bind(3)
                 .Bind(1)
                 .Bind(info.account)
                 .Run(error)) {
          return false;
        }
      }
    }

    std::array<int, kKindCount> made{};
    for (int family = 0; family < families; ++family) {
      for (int position = 0; position < kFamilySize; ++position) {
        const Kind kind = KindAt(position);
        const KindInfo& info = kKinds[kind];
        const std::int64_t id = ProductId(family, position);
        const std::int64_t leaf = first_leaf[kind] + made[kind]++ / per_leaf[kind];
        const std::string code = Padded("G", id, 8);
        const std::string name = info.names[static_cast<std::size_t>((family + position) % 4)];
        const double cost = 1.0 + (family * 13 + position * 7) % 500;
        product.Bind(id)
            .Bind(code)
            .Bind(Padded("g", id, 8))
            .Bind(name)
            .Bind("G" + std::to_string(family + 1) + "-" + std::to_string(position))
            .Bind(info.unit)
            .Bind(leaf)
            .Bind(info.source)
            .Bind(10.0)
            .Bind(1000.0)
            .Bind(cost)
            .Bind(cost);
        if (kind == kFinished) {
          product.Bind(RouteId(family, 3));
        } else if (kind == kPart) {
          product.Bind(RouteId(family, position - 1));
        } else {
          product.BindNull();
        }
        if (!product.Run(error)) return false;
      }
    }
    keys_.product = ProductId(families, 0) - 1;
    return true;
  }

  bool WriteStructures(std::string& error) {
    Statement header(handle_,
                     "INSERT INTO PDMBOM(bomID,产品ID,产品名称,批量,日期,工作编号,说明,是否标准,"
                     "是否失效,smark,制单,uniqueID) VALUES(?,?,?,1,'2026-01-02','','',1,0,'02',"
                     "'admin','')");
    Statement line(handle_,
                   "INSERT INTO PDMBOMMX(bommxID,bomID,rowindex,配件ID,配量分子,配量分母,损耗率,"
                   "实际配量分子,实际配量分母,辅助配量,选配代号,说明) "
                   "VALUES(?,?,?,?,?,?,0,?,?,0,'','')");
    if (!header.ok() || !line.ok()) {
      error = header.ok() ? line.error() : header.error();
      return false;
    }
    struct Use {
      int parent, component;
      double numerator, denominator;
    };
    // Finished good (0) -> part 1 -> part 2 -> raw 5: four levels; usages whole and fractional.
    static constexpr std::array<Use, kBomLinesPerFamily> kUses = {{{0, 1, 1, 1},
                                                                   {0, 2, 3, 2},
                                                                   {0, 3, 1, 1},
                                                                   {0, 8, 1, 1},
                                                                   {0, 9, 4, 1},
                                                                   {1, 2, 1, 1},
                                                                   {1, 4, 8, 5},
                                                                   {2, 5, 6, 5},
                                                                   {2, 6, 1, 4},
                                                                   {3, 7, 2, 1}}};
    for (int family = 0; family < Families(); ++family) {
      std::array<std::int64_t, 4> bom_of{};
      std::array<int, 4> rows{};
      for (int parent = 0; parent < kBomsPerFamily; ++parent) {
        bom_of[static_cast<std::size_t>(parent)] = ++keys_.bom;
        if (!header.Bind(keys_.bom)
                 .Bind(ProductId(family, parent))
                 .Bind(
                     kKinds[KindAt(parent)].names[static_cast<std::size_t>((family + parent) % 4)])
                 .Run(error)) {
          return false;
        }
      }
      for (const Use& use : kUses) {
        const auto parent = static_cast<std::size_t>(use.parent);
        const std::string rowindex = Padded("", ++rows[parent] * 10, 4);
        if (!line.Bind(++keys_.bom_line)
                 .Bind(bom_of[parent])
                 .Bind(rowindex)
                 .Bind(ProductId(family, use.component))
                 .Bind(use.numerator)
                 .Bind(use.denominator)
                 .Bind(use.numerator)
                 .Bind(use.denominator)
                 .Run(error)) {
          return false;
        }
      }
    }
    return true;
  }

  bool WriteRoutes(std::string& error) {
    Statement route(handle_,
                    "INSERT INTO PDMSRLX(ID,产品ID,路线名称,日期,工作编号,说明,是否标准,是否失效,"
                    "是否关键路线,是否系统) VALUES(?,?,?,'2026-01-02','','',1,0,0,0)");
    Statement op(
        handle_,
        "INSERT INTO PDMSRLXMX(ID,SRLXID,顺序号,工艺ID,部门ID,工作中心ID,准备工时,加工工时,"
        "小时加工数,说明) VALUES(?,?,?,?,?,0,0.5,0.25,4,'')");
    Statement rate(handle_,
                   "INSERT INTO pagzde(ID,工序ID,产品ID,工作中心ID,品质,单位工资,比率,工艺价) "
                   "VALUES(?,?,?,0,'',?,1,?)");
    if (!route.ok() || !op.ok() || !rate.ok()) {
      error = !route.ok() ? route.error() : !op.ok() ? op.error() : rate.error();
      return false;
    }
    for (int family = 0; family < Families(); ++family) {
      // Routes 0 to 2 belong to parts 1 to 3, route 3 to the finished good.
      for (int r = 0; r < kRoutesPerFamily; ++r) {
        const std::int64_t product = ProductId(family, r == 3 ? 0 : r + 1);
        if (!route.Bind(RouteId(family, r))
                 .Bind(product)
                 .Bind(r == 3 ? "总装路线" : "标准路线")
                 .Run(error)) {
          return false;
        }
        const int first_op = r * 2;
        const int ops = r == 3 ? 1 : 2;
        for (int k = 0; k < ops; ++k) {
          const int op_index = first_op + k;
          const double piece_rate = PieceRate(family, op_index);
          if (!op.Bind(++keys_.route_op)
                   .Bind(RouteId(family, r))
                   .Bind(Padded("", (k + 1) * 10, 4))
                   .Bind(ProcessOf(family, op_index))
                   .Bind(department_)
                   .Run(error) ||
              !rate.Bind(++keys_.rate)
                   .Bind(ProcessOf(family, op_index))
                   .Bind(product)
                   .Bind(piece_rate)
                   .Bind(piece_rate * 1.2)
                   .Run(error)) {
            return false;
          }
        }
      }
    }
    keys_.route = RouteId(Families(), 0) - 1;
    return true;
  }

  bool WriteReports(int first, int count, std::string& error) {
    Statement header(handle_,
                     "INSERT INTO SFCDJ(报工单ID,progID,报工单编号,工作中心ID,备注,生产日期,制单,"
                     "制单日期,审核,审核日期,smark) VALUES(?,?,?,?,'',?,'admin',?,?,?,?)");
    Statement line(handle_,
                   "INSERT INTO SFCDJMX(报工单明细ID,报工单ID,生产日期,产品ID,工艺ID,工资定额系数,"
                   "工资金额,工资扣减金额,合格数量,生产数量,包装数量,包装单位,备注,前置单据,"
                   "前置单据ID,原单号,班次,仓库ID,车间ID) "
                   "VALUES(?,?,?,?,?,?,?,?,?,?,0,'','',0,0,'','',0,?)");
    Statement allocation(handle_,
                         "INSERT INTO SFCDJMXFS(报工单明细附属ID,报工单明细ID,员工ID,分配比例) "
                         "VALUES(?,?,?,?)");
    Statement number(handle_,
                     "INSERT INTO xt_document_number(progid,number,taken_by,taken_at) "
                     "VALUES(?,?,'admin',?)");
    if (!header.ok() || !line.ok() || !allocation.ok() || !number.ok()) {
      error = !header.ok()       ? header.error()
              : !line.ok()       ? line.error()
              : !allocation.ok() ? allocation.error()
                                 : number.error();
      return false;
    }
    const int reports = scale_ * 1000;
    const int families = Families();
    for (int i = first; i < first + count; ++i) {
      const std::int64_t report = ++keys_.report;
      const std::string date =
          DayOf2026(static_cast<int>(static_cast<std::int64_t>(i) * 365 / reports));
      const std::string report_number = Padded("PL", report, 8);
      const bool approved = random_.Below(10) < 7;
      if (!header.Bind(report)
               .Bind(demo::kWorkReportProgId)
               .Bind(report_number)
               .Bind(department_)
               .Bind(date)
               .Bind(date)
               .Bind(approved ? "admin" : "")
               .Bind(approved ? date : "")
               .Bind(approved ? "02" : "01")
               .Run(error) ||
          !number.Bind(demo::kWorkReportProgId).Bind(report_number).Bind(date).Run(error)) {
        return false;
      }
      for (int k = 0; k < kLinesPerReport; ++k) {
        const int family = random_.Below(families);
        // A part's operation (0..5) four times in five, else the finished good's (6).
        const int op_index = random_.Below(5) < 4 ? random_.Below(6) : 6;
        const int position = op_index == 6 ? 0 : op_index / 2 + 1;
        const double piece_rate = PieceRate(family, op_index);
        const double produced = 1 + random_.Below(200);
        const double qualified = random_.Below(10) == 0 ? produced - random_.Below(3) : produced;
        const double deduction = random_.Below(20) == 0 ? 1.5 : 0.0;
        const std::int64_t id = ++keys_.line;
        if (!line.Bind(id)
                 .Bind(report)
                 .Bind(date)
                 .Bind(ProductId(family, position))
                 .Bind(ProcessOf(family, op_index))
                 .Bind(piece_rate)
                 .Bind(qualified * piece_rate)
                 .Bind(deduction)
                 .Bind(qualified)
                 .Bind(produced)
                 .Bind(department_)
                 .Run(error)) {
          return false;
        }
        const int first_employee = random_.Below(kEmployees);
        const bool shared = random_.Below(3) == 0;
        if (!allocation.Bind(++keys_.allocation)
                 .Bind(id)
                 .Bind(employees_[static_cast<std::size_t>(first_employee)])
                 .Bind(shared ? 0.6 : 1.0)
                 .Run(error)) {
          return false;
        }
        if (shared) {
          const int second = (first_employee + 1 + random_.Below(kEmployees - 1)) % kEmployees;
          if (!allocation.Bind(++keys_.allocation)
                   .Bind(id)
                   .Bind(employees_[static_cast<std::size_t>(second)])
                   .Bind(0.4)
                   .Run(error)) {
            return false;
          }
        }
      }
    }
    return true;
  }

  data::SqliteDataService& db_;
  sqlite3* handle_;
  int scale_;
  Random random_;
  Keys keys_{};
  std::string top_code_;
  std::int64_t department_ = 0;
  std::int64_t first_product_ = 0;
  std::int64_t first_route_ = 0;
  std::vector<std::int64_t> employees_;
  std::vector<std::int64_t> processes_;
};

}  // namespace

bool GenerateScaleData(data::SqliteDataService& db, int scale, std::string& error) {
  if (scale < 1 || scale > 1000) {
    error = "the scale must lie between 1 and 1000, not " + std::to_string(scale);
    return false;
  }
  Generator generator(db, scale);
  if (!generator.Run(error)) {
    error = "generating scale data failed: " + error;
    return false;
  }
  return true;
}

}  // namespace korvane::hostapp
