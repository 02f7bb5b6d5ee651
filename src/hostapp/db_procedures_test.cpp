// The database's own procedures and functions, run against the demo factory through the data
// service as the modules call them. Expected rows are worked out with separate SQL over the
// same tables, or from rows a test adds for the case it checks.
#include "hostapp/db_procedures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hostapp/test_database.h"

namespace korvane::hostapp {
namespace {

using ::testing::HasSubstr;

using Ids = std::vector<std::int64_t>;

class DbProceduresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = demo_.Open();
    ASSERT_TRUE(db_);
    std::string error;
    ASSERT_TRUE(RegisterDatabaseObjects(*db_, error)) << error;
  }

  // A procedure called as gFnRunProc calls it: command type 4, positional parameters.
  std::unique_ptr<Recordset> Call(const std::string& name, const std::vector<Variant>& values) {
    Command command{name, CommandType::kStoredProcedure, {}};
    for (const Variant& value : values) command.parameters.push_back({"", value, false});
    std::unique_ptr<Recordset> rows = db_->Open(command);
    EXPECT_TRUE(rows) << name << ": " << db_->LastError();
    return rows;
  }

  // The rows of a native query; nullptr (failing the test) when it fails.
  std::unique_ptr<Recordset> Native(std::string_view sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    std::unique_ptr<Recordset> rows = db_->Native().Query(sql, binds, error);
    EXPECT_TRUE(rows) << sql << ": " << error;
    return rows;
  }
  // The first column of a native query, as sorted numbers.
  Ids Query(std::string_view sql, const std::vector<Variant>& binds = {}) {
    std::unique_ptr<Recordset> rows = Native(sql, binds);
    Ids ids;
    if (rows) {
      for (const Recordset::Row& row : rows->Rows()) ids.push_back(row.at(0).ToInt64());
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  std::int64_t One(std::string_view sql, const std::vector<Variant>& binds = {}) {
    Ids ids = Query(sql, binds);
    EXPECT_FALSE(ids.empty()) << sql;
    return ids.empty() ? 0 : ids.front();
  }
  void Exec(std::string_view sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    ASSERT_TRUE(db_->Native().Exec(sql, binds, error)) << sql << ": " << error;
  }
  std::int64_t NextId(const std::string& table, const std::string& key) {
    return One("SELECT ifnull(max(" + key + "),0)+1 FROM " + table);
  }

  static Ids Column(const Recordset& rows, std::string_view field) {
    const std::optional<int> index = rows.FieldIndex(field);
    EXPECT_TRUE(index) << field;
    Ids ids;
    for (const Recordset::Row& row : rows.Rows())
      ids.push_back(row.at(index.value_or(0)).ToInt64());
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  // The ids in one column of what a procedure returns.
  Ids CallIds(const std::string& name, const std::vector<Variant>& values, std::string_view field) {
    auto rows = Call(name, values);
    return rows ? Column(*rows, field) : Ids{};
  }

  // The product list with the picker's five parameters, and the two of the process tree.
  Ids Products(Variant category = -1, Variant cancelled = 0, Variant source = -1, Variant bom = "",
               Variant account = "") {
    return CallIds("p_PDM_CPML_SELECT", {category, cancelled, source, bom, account}, "产品ID");
  }
  Ids ProductsOnProcess(std::int64_t process, int hide_zero_rate) {
    return CallIds("p_PDM_CPML_SELECT", {-1, 0, -1, "", "", process, hide_zero_rate}, "产品ID");
  }

  void AddProduct(std::int64_t id, const std::string& code) {
    Exec("INSERT INTO PDMCPML (产品ID, 物品编码, 物品名称, 是否使用) VALUES (?, ?, ?, 1)",
         {id, code, code + "名"});
  }
  void AddRate(std::int64_t process, std::int64_t product, double rate) {
    Exec(
        "INSERT INTO pagzde (ID, 工序ID, 产品ID, 工作中心ID, 品质, 单位工资)"
        " VALUES (?, ?, ?, 0, '', ?)",
        {NextId("pagzde", "ID"), process, product, rate});
  }
  // A standard route of the product through the processes, each with its ordinary rate.
  void AddRoute(std::int64_t product, const std::vector<std::pair<std::int64_t, double>>& steps) {
    const std::int64_t route = NextId("pdmsrlx", "ID");
    Exec(
        "INSERT INTO pdmsrlx (ID, 产品ID, 路线名称, 是否标准, 是否失效) VALUES (?, ?, '标准', 1, "
        "0)",
        {route, product});
    int sequence = 10;
    for (const auto& [process, rate] : steps) {
      Exec("INSERT INTO pdmsrlxmx (ID, SRLXID, 顺序号, 工艺ID) VALUES (?, ?, ?, ?)",
           {NextId("pdmsrlxmx", "ID"), route, std::to_string(sequence), process});
      AddRate(process, product, rate);
      sequence += 10;
    }
  }

  test::DemoDatabase demo_;
  std::shared_ptr<data::SqliteDataService> db_;
};

// The products in use that meet a condition.
std::string InUse(std::string_view condition) {
  return "SELECT 产品ID FROM PDMCPML WHERE ifnull(是否使用,1)<>0 AND " + std::string(condition);
}

// --- Product picker ------------------------------------------------------------------------

TEST_F(DbProceduresTest, ProductListShowsTheProductsInUseWithTheStockOnHand) {
  auto rows = Call("p_PDM_CPML_SELECT", {-1, 0, -1, "", ""});
  ASSERT_TRUE(rows);
  EXPECT_EQ(Column(*rows, "产品ID"), Query(InUse("1")));
  std::map<std::int64_t, double> stock;
  auto sums = Native("SELECT 产品ID, sum(数量) FROM st_goods_depot GROUP BY 产品ID");
  ASSERT_TRUE(sums);
  for (const auto& row : sums->Rows()) stock[row[0].ToInt64()] = row[1].ToDouble();
  ASSERT_FALSE(stock.empty()) << "the demo keeps stock";
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    EXPECT_TRUE(rows->Value("选择").ToText().empty());
    EXPECT_DOUBLE_EQ(rows->Value("库存数").ToDouble(), stock[rows->Value("产品ID").ToInt64()]);
  }
}

TEST_F(DbProceduresTest, ProductListFiltersByCategoryWithSubcategoriesSourceAndCancelled) {
  // A category whose products include products of its sub-categories.
  const std::int64_t parent =
      One("SELECT P.类别ID FROM pdmcplb P WHERE (SELECT count(DISTINCT A.产品类别ID) FROM PDMCPML A"
          " JOIN pdmcplb C ON C.类别ID=A.产品类别ID WHERE C.类别编码 LIKE P.类别编码 || '%') > 1"
          " ORDER BY P.级次, P.类别编码 LIMIT 1");
  EXPECT_EQ(Products(parent, 0, -1, "", ""),
            Query(InUse("产品类别ID IN (SELECT C.类别ID FROM pdmcplb C, pdmcplb P"
                        " WHERE P.类别ID=? AND C.类别编码 LIKE P.类别编码 || '%')"),
                  {parent}));

  const std::int64_t cancelled = One("SELECT min(产品ID) FROM PDMCPML");
  Exec("UPDATE PDMCPML SET 是否使用=0 WHERE 产品ID=?", {cancelled});
  const Ids in_use = Products();
  EXPECT_FALSE(std::binary_search(in_use.begin(), in_use.end(), cancelled));
  EXPECT_EQ(Products(-1, 1), Query("SELECT 产品ID FROM PDMCPML"));

  // Sources come from the list's text column, so they arrive as text.
  const std::int64_t source = One("SELECT ifnull(max(来源ID),0)+100 FROM PDMCPML");
  const std::int64_t sourced = One("SELECT max(产品ID) FROM PDMCPML");
  Exec("UPDATE PDMCPML SET 来源ID=? WHERE 产品ID=?", {source, sourced});
  EXPECT_EQ(Products(-1, 0, std::to_string(source)), Ids{sourced});
  EXPECT_EQ(Products(-1, 0, "-1"), in_use);
}

TEST_F(DbProceduresTest, ProductListRestrictsToAStructureAndToAccounts) {
  const std::int64_t bom =
      One("SELECT bomID FROM pdmbommx GROUP BY bomID HAVING count(*)>1 ORDER BY bomID LIMIT 1");
  EXPECT_EQ(Products(-1, 0, -1, bom),
            Query(InUse("产品ID IN (SELECT 配件ID FROM pdmbommx WHERE bomID=?)"), {bom}));
  EXPECT_EQ(Products(-1, 0, -1, 0), Products());

  auto accounts =
      Native("SELECT DISTINCT 对应科目编号 FROM pdmcplb WHERE 对应科目编号<>'' ORDER BY 1");
  ASSERT_TRUE(accounts && accounts->RecordCount() >= 2);
  const std::string a = accounts->Rows()[0][0].ToText();
  const std::string b = accounts->Rows()[1][0].ToText();
  const std::string by_account =
      InUse("产品类别ID IN (SELECT 类别ID FROM pdmcplb WHERE 对应科目编号 IN (?,?))");
  EXPECT_EQ(Products(-1, 0, -1, "", a), Query(by_account, {a, a}));
  const Ids both = Query(by_account, {a, b});
  EXPECT_EQ(Products(-1, 0, -1, "", a + "," + b), both);
  EXPECT_EQ(Products(-1, 0, -1, "", "'" + a + "','" + b + "'"), both);
}

TEST_F(DbProceduresTest, TextParametersWithQuotesAreValuesNotSql) {
  const std::int64_t category = NextId("pdmcplb", "类别ID");
  const std::int64_t product = NextId("PDMCPML", "产品ID");
  Exec(
      "INSERT INTO pdmcplb (类别ID, 类别编码, 类别名称, 级次, 对应科目编号)"
      " VALUES (?, 'ZQ', '引号', 1, 'O''Brien')",
      {category});
  Exec(
      "INSERT INTO PDMCPML (产品ID, 物品编码, 物品名称, 产品类别ID, 是否使用)"
      " VALUES (?, 'ZQ-1', 'O''Brien', ?, 1)",
      {product, category});

  EXPECT_EQ(Products(-1, 0, -1, "", "O'Brien"), Ids{product});
  EXPECT_TRUE(Products(-1, 0, -1, "", "x') OR 1=1 --").empty());
  EXPECT_TRUE(Products(-1, 0, "1' OR '1'='1", "", "").empty());
  // A failing call fails in Call, so an empty list is a refused value.
  EXPECT_EQ(CallIds("p_PDM_CPLB_SELECT", {"O'Brien"}, "类别ID"), Ids{category});
  EXPECT_TRUE(CallIds("p_PDM_BM_SELECT", {"3') OR ('1'='1"}, "部门ID").empty());
  EXPECT_TRUE(CallIds("p_PDM_GY_SELECT", {-1, "3') OR ('1'='1"}, "职工ID").empty());
}

TEST_F(DbProceduresTest, ProcessTreeVariantFiltersByProcessAndZeroRate) {
  const std::int64_t process =
      One("SELECT M.工艺ID FROM pdmsrlxmx M JOIN pdmsrlx L ON L.ID=M.SRLXID"
          " GROUP BY M.工艺ID ORDER BY count(DISTINCT L.产品ID) DESC, M.工艺ID LIMIT 1");
  // A product on that process whose piece rate is zero.
  const std::int64_t zero = NextId("PDMCPML", "产品ID");
  AddProduct(zero, "ZR-1");
  AddRoute(zero, {{process, 0}});

  const Ids on_process = ProductsOnProcess(process, 0);
  EXPECT_EQ(on_process, Query(InUse("(产品ID IN (SELECT L.产品ID FROM pdmsrlx L JOIN pdmsrlxmx M"
                                    " ON M.SRLXID=L.ID WHERE M.工艺ID=? AND ifnull(L.是否失效,0)=0)"
                                    " OR 产品ID IN (SELECT 产品ID FROM pagzde WHERE 工序ID=?))"),
                              {process, process}));
  EXPECT_TRUE(std::binary_search(on_process.begin(), on_process.end(), zero));
  EXPECT_LT(on_process.size(), Products().size());

  const Ids paid = ProductsOnProcess(process, 1);
  EXPECT_FALSE(paid.empty());
  EXPECT_FALSE(std::binary_search(paid.begin(), paid.end(), zero));
  EXPECT_EQ(paid, Query(InUse("产品ID IN (SELECT 产品ID FROM pagzde WHERE 工序ID=? AND"
                              " 工作中心ID=0 AND 品质='' AND 单位工资<>0)"),
                        {process}));

  // The root, a category node or no node at all: no process restriction.
  const Ids unrestricted = Products();
  EXPECT_EQ(ProductsOnProcess(0, 0), unrestricted);
  EXPECT_EQ(ProductsOnProcess(-1, 0), unrestricted);
  const Ids any_rate = ProductsOnProcess(0, 1);
  EXPECT_FALSE(std::binary_search(any_rate.begin(), any_rate.end(), zero));
  EXPECT_LT(any_rate.size(), unrestricted.size());

  // Paid on another process: shown when no process is chosen, still hidden on this one.
  const std::int64_t other = One("SELECT min(工艺ID) FROM PDMSR WHERE 工艺ID<>?", {process});
  AddRate(other, zero, 3);
  const Ids now_paid = ProductsOnProcess(0, 1);
  EXPECT_TRUE(std::binary_search(now_paid.begin(), now_paid.end(), zero));
  EXPECT_EQ(ProductsOnProcess(process, 1), paid);
}

// --- Categories, departments, employees ----------------------------------------------------

TEST_F(DbProceduresTest, CategoryListShowsCodeAndNameAndFollowsTheAccount) {
  auto all = Call("p_PDM_CPLB_SELECT", {""});
  ASSERT_TRUE(all);
  ASSERT_EQ(all->FieldCount(), 2);
  EXPECT_EQ(Column(*all, "类别ID"), Query("SELECT 类别ID FROM pdmcplb"));
  auto expected = Native("SELECT 类别编码, 类别名称 FROM pdmcplb ORDER BY 类别编码");
  ASSERT_TRUE(expected);
  ASSERT_EQ(expected->RecordCount(), all->RecordCount());
  for (std::size_t i = 0; i < expected->Rows().size(); ++i) {
    const std::string text = all->Rows()[i][1].ToText();
    EXPECT_NE(text.find(expected->Rows()[i][0].ToText()), std::string::npos) << text;
    EXPECT_NE(text.find(expected->Rows()[i][1].ToText()), std::string::npos) << text;
  }

  const std::string account = db_->ScalarSql("select max(对应科目编号) from pdmcplb").ToText();
  const Ids tied = CallIds("p_PDM_CPLB_SELECT", {account}, "类别ID");
  EXPECT_EQ(tied, Query("SELECT 类别ID FROM pdmcplb WHERE 对应科目编号=?", {account}));
  EXPECT_LT(tied.size(), expected->Rows().size());
}

TEST_F(DbProceduresTest, DepartmentListFollowsTheOrganisationTypes) {
  auto all = Call("p_PDM_BM_SELECT", {""});
  ASSERT_TRUE(all);
  EXPECT_EQ(Column(*all, "部门ID"), Query("SELECT 部门ID FROM PDMBM"));
  const Ids workshops = CallIds("p_PDM_BM_SELECT", {"3"}, "部门ID");
  EXPECT_EQ(workshops, Query("SELECT 部门ID FROM PDMBM WHERE 组织类型=3"));
  const Ids two = CallIds("p_PDM_BM_SELECT", {"'3', '4'"}, "部门ID");
  EXPECT_EQ(two, Query("SELECT 部门ID FROM PDMBM WHERE 组织类型 IN (3,4)"));
  EXPECT_GT(two.size(), workshops.size());
}

TEST_F(DbProceduresTest, EmployeeListShowsWorkingEmployeesAndTheirSex) {
  auto all = Call("p_PDM_GY_SELECT", {-1, ""});
  ASSERT_TRUE(all);
  EXPECT_EQ(Column(*all, "职工ID"), Query("SELECT 雇员ID FROM pdmgy WHERE ifnull(active,0)=0"));
  EXPECT_LT(all->RecordCount(), static_cast<long>(Query("SELECT 雇员ID FROM pdmgy").size()))
      << "the demo has someone who left";
  const Ids women = Query("SELECT 雇员ID FROM pdmgy WHERE 性别=1");
  for (all->MoveFirst(); !all->Eof(); all->MoveNext()) {
    const bool woman = std::binary_search(women.begin(), women.end(), all->Value(1).ToInt64());
    EXPECT_EQ(all->Value("性别").ToText(), woman ? "女" : "男");
  }

  const std::int64_t department =
      One("SELECT 部门ID FROM pdmgy WHERE ifnull(active,0)=0 GROUP BY 部门ID"
          " ORDER BY count(*) DESC, 部门ID LIMIT 1");
  EXPECT_EQ(CallIds("p_PDM_GY_SELECT", {department, ""}, "职工ID"),
            Query("SELECT 雇员ID FROM pdmgy WHERE ifnull(active,0)=0 AND 部门ID=?", {department}));
  EXPECT_EQ(CallIds("p_PDM_GY_SELECT", {-1, "3"}, "职工ID"),
            Query("SELECT G.雇员ID FROM pdmgy G JOIN PDMBM B ON B.部门ID=G.部门ID"
                  " WHERE ifnull(G.active,0)=0 AND B.组织类型=3"));
}

TEST_F(DbProceduresTest, TooManyArgumentsAreRefused) {
  Command command{
      "p_PDM_BM_SELECT", CommandType::kStoredProcedure, {{"", "3", false}, {"", "4", false}}};
  EXPECT_FALSE(db_->Open(command));
  EXPECT_THAT(db_->LastError(), HasSubstr("too many arguments"));
}

// --- Plan process analysis -----------------------------------------------------------------

// A finished product F made of 2 A, each A made of 3/2 B, with routes and rates, planned 10.
class PlanAnalysisTest : public DbProceduresTest {
 protected:
  void SetUp() override {
    DbProceduresTest::SetUp();
    if (HasFatalFailure()) return;
    f_ = NextId("PDMCPML", "产品ID");
    a_ = f_ + 1;
    b_ = f_ + 2;
    AddProduct(f_, "PA-F");
    AddProduct(a_, "PA-A");
    AddProduct(b_, "PA-B");
    parent_category_ = NextId("pdmsrlb", "类别ID");
    child_category_ = parent_category_ + 1;
    Exec(
        "INSERT INTO pdmsrlb (类别ID, 类别编码, 类别名称, 级次) VALUES (?, 'PA', '分析', 1),"
        " (?, 'PA01', '分析子类', 2)",
        {parent_category_, child_category_});
    p1_ = NextId("PDMSR", "工艺ID");
    p2_ = p1_ + 1;
    p3_ = p1_ + 2;
    Exec(
        "INSERT INTO PDMSR (工艺ID, 编号, 工艺名称, 类别ID) VALUES (?, 'PA1', '装配', ?),"
        " (?, 'PA2', '冲压', ?), (?, 'PA3', '喷涂', ?)",
        {p1_, parent_category_, p2_, parent_category_, p3_, child_category_});
    AddStructure(f_, "02", {{a_, 2, 1}});
    AddStructure(a_, "02", {{b_, 3, 2}});
    // A newer structure of F that is not approved: the analysis keeps to the approved one.
    AddStructure(f_, "01", {{b_, 100, 1}});
    AddRoute(f_, {{p1_, 1.5}});
    AddRoute(a_, {{p2_, 0.5}});
    AddRoute(b_, {{p2_, 0}, {p3_, 2}});
    plan_ = NextId("MRPPlan", "主计划组ID");
    Exec(
        "INSERT INTO MRPPlan (主计划组ID, progID, smark, 单据编号, 计划日期)"
        " VALUES (?, ?, '02', 'ZZ-PA-1', '2026-03-01')",
        {plan_, kPlanProgram});
    line_ = NextId("MRPPlanmx", "主计划ID");
    Exec(
        "INSERT INTO MRPPlanmx (主计划ID, 主计划组ID, 产品ID, 需求数量, 计划编号)"
        " VALUES (?, ?, ?, ?, 'ZZ-PA-1-1')",
        {line_, plan_, f_, kDemand});
  }

  struct Line {
    std::int64_t component;
    double numerator, denominator;
  };
  void AddStructure(std::int64_t product, const char* mark, const std::vector<Line>& lines) {
    const std::int64_t bom = NextId("pdmbom", "bomID");
    Exec("INSERT INTO pdmbom (bomID, 产品ID, 是否标准, 是否失效, smark) VALUES (?, ?, 1, 0, ?)",
         {bom, product, mark});
    int index = 10;
    for (const Line& line : lines) {
      Exec(
          "INSERT INTO pdmbommx (bommxID, bomID, rowindex, 配件ID, 实际配量分子, 实际配量分母)"
          " VALUES (?, ?, ?, ?, ?, ?)",
          {NextId("pdmbommx", "bommxID"), bom, "00" + std::to_string(index), line.component,
           line.numerator, line.denominator});
      index += 10;
    }
  }
  std::unique_ptr<Recordset> Analyse(Variant part, Variant process, Variant category,
                                     int only_paid) {
    return Call("RPT_MPS_PlanSr_Sc", {"ZZ-PA-1", "ZZ-PA-1", 0, part, process, category, only_paid});
  }
  // (part code, process code, required quantity, amount) of each row.
  struct Row {
    std::string part, process;
    double required, amount;
    bool operator==(const Row&) const = default;
  };
  static std::vector<Row> Rows(Recordset& rows) {
    std::vector<Row> out;
    for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
      out.push_back({rows["部件编码"].ToText(), rows["工艺编码"].ToText(),
                     rows["需求数量"].ToDouble(), rows["工资金额"].ToDouble()});
    }
    return out;
  }
  std::vector<Row> Analysed(Variant part, Variant process, Variant category, int only_paid) {
    auto rows = Analyse(part, process, category, only_paid);
    return rows ? Rows(*rows) : std::vector<Row>{};
  }

  static constexpr double kDemand = 10;
  static constexpr int kPlanProgram = 3101;
  std::int64_t f_ = 0, a_ = 0, b_ = 0, p1_ = 0, p2_ = 0, p3_ = 0;
  std::int64_t parent_category_ = 0, child_category_ = 0, plan_ = 0, line_ = 0;
};

TEST_F(PlanAnalysisTest, ExpandsTheApprovedStructureAndMultipliesUsageDown) {
  auto rows = Analyse(0, 0, 0, 0);
  ASSERT_TRUE(rows);
  const double a_required = kDemand * 2;
  const double b_required = a_required * 3 / 2;
  EXPECT_EQ(Rows(*rows), (std::vector<Row>{{"PA-F", "PA1", kDemand, kDemand * 1.5},
                                           {"PA-A", "PA2", a_required, a_required * 0.5},
                                           {"PA-B", "PA2", b_required, 0},
                                           {"PA-B", "PA3", b_required, b_required * 2}}));
  // What a double-click opens: the program id and the plan id, third- and second-last.
  const int n = rows->FieldCount();
  EXPECT_EQ(rows->Field(n - 3).name, "progID");
  EXPECT_EQ(rows->Field(n - 2).name, "主计划组ID");
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    EXPECT_EQ(rows->Value(n - 3).ToInt64(), kPlanProgram);
    EXPECT_EQ(rows->Value(n - 2).ToInt64(), plan_);
  }
}

TEST_F(PlanAnalysisTest, NarrowsByPartProcessCategoryAndRateAndEndsOnACycle) {
  EXPECT_EQ(Analysed(b_, 0, 0, 0).size(), 2u);
  const std::vector<Row> by_process = Analysed(0, p2_, 0, 0);
  EXPECT_EQ(by_process.size(), 2u);
  for (const Row& row : by_process) EXPECT_EQ(row.process, "PA2");
  // The parent category takes in the processes of its sub-category.
  EXPECT_EQ(Analysed(0, 0, parent_category_, 0).size(), 4u);
  EXPECT_EQ(Analysed(0, 0, child_category_, 0).size(), 1u);
  const std::vector<Row> paid = Analysed(0, 0, 0, 1);
  EXPECT_EQ(paid.size(), 3u);
  for (const Row& row : paid) EXPECT_NE(row.amount, 0);

  // A structure containing itself ends.
  const std::vector<Row> before = Analysed(0, 0, 0, 0);
  ASSERT_EQ(before.size(), 4u);
  AddStructure(b_, "02", {{f_, 1, 1}});
  EXPECT_EQ(Analysed(0, 0, 0, 0), before);
}

TEST_F(PlanAnalysisTest, ReportedQuantityCountsTheWorkReportLinesOfThePlanLineOnly) {
  // Reported against the plan line: A on its stamping twice. Not counted: A stamped for another
  // program's line of the same id, B stamped for the line, and a line of no source.
  const std::int64_t first = NextId("SFCDJMX", "报工单明细ID");
  Exec(
      "INSERT INTO SFCDJMX (报工单明细ID, 报工单ID, 产品ID, 工艺ID, 合格数量, 前置单据, 前置单据ID)"
      " VALUES (?, 900, ?, ?, 4, ?, ?), (?, 900, ?, ?, 3, ?, ?), (?, 900, ?, ?, 50, 2101, ?),"
      " (?, 900, ?, ?, 1, ?, ?), (?, 900, ?, ?, 8, 0, 0)",
      {first,        a_,           p2_,       kPlanProgram, line_, first + 1, a_,        p2_,
       kPlanProgram, line_,        first + 2, a_,           p2_,   line_,     first + 3, b_,
       p3_,          kPlanProgram, line_,     first + 4,    a_,    p2_});
  auto rows = Analyse(0, 0, 0, 0);
  ASSERT_TRUE(rows);
  std::map<std::string, std::pair<double, double>> by_operation;
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    by_operation[(*rows)["部件编码"].ToText() + "/" + (*rows)["工艺编码"].ToText()] = {
        (*rows)["已报数量"].ToDouble(), (*rows)["剩余数量"].ToDouble()};
  }
  const double a_required = kDemand * 2;
  const double b_required = a_required * 3 / 2;
  EXPECT_EQ(by_operation,
            (std::map<std::string, std::pair<double, double>>{{"PA-F/PA1", {0, kDemand}},
                                                              {"PA-A/PA2", {7, a_required - 7}},
                                                              {"PA-B/PA2", {0, b_required}},
                                                              {"PA-B/PA3", {1, b_required - 1}}}));
}

// Other ranges are covered by PlanAnalysisTest, whose plan number excludes the demo's plans.
TEST_F(DbProceduresTest, PlanAnalysisWithoutANumberRangeCoversEveryPlanWithLines) {
  auto all = Call("RPT_MPS_PlanSr_Sc", {"", "", 0, 0, 0, 0, 0});
  ASSERT_TRUE(all);
  std::set<std::string> plans;
  for (const auto& row : all->Rows()) plans.insert(row[0].ToText());
  EXPECT_GE(plans.size(), 2u);
  EXPECT_EQ(static_cast<std::int64_t>(plans.size()),
            One("SELECT count(DISTINCT P.单据编号) FROM MRPPlan P JOIN MRPPlanmx L"
                " ON L.主计划组ID=P.主计划组ID"));
}

// --- Functions called from statements ------------------------------------------------------

TEST_F(DbProceduresTest, EmployeesOfALineAsNamesAndDelimitedIds) {
  const std::int64_t line =
      One("SELECT 报工单明细ID FROM sfcdjmxfs GROUP BY 报工单明细ID HAVING count(*)>1"
          " ORDER BY 报工单明细ID LIMIT 1");
  auto allocation = Native(
      "SELECT A.员工ID, B.姓名 FROM sfcdjmxfs A JOIN pdmgy B ON B.雇员ID=A.员工ID"
      " WHERE A.报工单明细ID=? ORDER BY A.报工单明细附属ID",
      {line});
  ASSERT_TRUE(allocation);
  std::string ids = ";", names;
  for (const auto& row : allocation->Rows()) {
    ids += row[0].ToText() + ";";
    names += (names.empty() ? "" : ",") + row[1].ToText();
  }
  const std::string id = std::to_string(line);
  EXPECT_EQ(db_->ScalarSql("select dbo.rSfcDjEmpID(" + id + ")").ToText(), ids);
  EXPECT_EQ(db_->ScalarSql("select dbo.rSfcDjEmp(" + id + ")").ToText(), names);
  EXPECT_EQ(db_->ScalarSql("select rSfcDjEmpID(-5)").ToText(), "");
  EXPECT_EQ(db_->ScalarSql("select dbo.rSfcDjEmp(-5)").ToText(), "");
}

TEST_F(DbProceduresTest, EmployeeConditionFindsTheLinesOfThatEmployeeOnly) {
  const std::int64_t employee =
      One("SELECT 员工ID FROM sfcdjmxfs GROUP BY 员工ID ORDER BY count(*) DESC, 员工ID LIMIT 1");
  // A line of an employee whose id begins with the same digits must not be found.
  const std::int64_t longer = employee * 10 + 1;
  const std::int64_t other_line = NextId("sfcdjmx", "报工单明细ID");
  Exec("INSERT INTO sfcdjmx (报工单明细ID, 报工单ID) VALUES (?, 0)", {other_line});
  Exec(
      "INSERT INTO sfcdjmxfs (报工单明细附属ID, 报工单明细ID, 员工ID, 分配比例) VALUES (?, ?, ?, "
      "1)",
      {NextId("sfcdjmxfs", "报工单明细附属ID"), other_line, longer});

  auto found = db_->OpenSql(
      "select 报工单明细ID from SFCDJMX where dbo.rSfcDjEmpID(报工单明细ID)"
      " like '%;" +
      std::to_string(employee) + ";%'");
  ASSERT_TRUE(found) << db_->LastError();
  const Ids lines = Column(*found, "报工单明细ID");
  EXPECT_EQ(lines, Query("SELECT DISTINCT A.报工单明细ID FROM sfcdjmxfs A JOIN sfcdjmx L"
                         " ON L.报工单明细ID=A.报工单明细ID WHERE A.员工ID=?",
                         {employee}));
  EXPECT_FALSE(std::binary_search(lines.begin(), lines.end(), other_line));
}

TEST_F(DbProceduresTest, StockOnHandSumsDepotsAndBatches) {
  const std::int64_t product = NextId("PDMCPML", "产品ID");
  Exec(
      "INSERT INTO st_goods_depot (产品ID, 仓库ID, 批号, 数量) VALUES (?, 1, 'B1', 5),"
      " (?, 1, 'B2', 7.5), (?, 2, 'B1', 11)",
      {product, product, product});
  auto stock = [&](std::int64_t of, const std::string& depot_and_batch) {
    return db_
        ->ScalarSql("select dbo.rSTGoodsDepotAmount(" + std::to_string(of) + "," + depot_and_batch +
                    ",202603,0,0)")
        .ToDouble();
  };
  EXPECT_DOUBLE_EQ(stock(product, "0,''"), 5 + 7.5 + 11);
  EXPECT_DOUBLE_EQ(stock(product, "1,''"), 5 + 7.5);
  EXPECT_DOUBLE_EQ(stock(product, "0,'b1'"), 5 + 11);
  EXPECT_DOUBLE_EQ(stock(product, "2,'B2'"), 0);
  EXPECT_DOUBLE_EQ(stock(product + 1, "0,''"), 0);
}

}  // namespace
}  // namespace korvane::hostapp
