#include "hostapp/record_navigator.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapp/process_test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"

namespace korvane::hostapp {
namespace {

struct Header {
  int id;
  int progid;
  std::string smark;
};

// Work report headers with gaps between the keys, two programs and both statuses.
const std::vector<Header> kHeaders = {
    {3, 101, "01"},  {7, 102, "01"},  {9, 101, "01"},  {12, 101, "02"},
    {20, 102, "01"}, {25, 101, "01"}, {31, 101, "01"},
};

constexpr const char* kSelect = " select * from SFCDJ ";

class RecordNavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = file_.Open();
    for (const Header& h : kHeaders) {
      Exec("INSERT INTO SFCDJ(报工单ID, progID, smark, 报工单编号) VALUES (?, ?, ?, ?)",
           {Variant(h.id), Variant(h.progid), Variant(h.smark),
            Variant("BG" + std::to_string(h.id))});
    }
    navigator_ = std::make_unique<SqlRecordNavigator>(db_);
  }

  void Exec(std::string_view sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    ASSERT_TRUE(db_->Native().Exec(sql, binds, error)) << sql << ": " << error;
  }

  // The key of the row shown, nullopt when none; a navigator error fails the test.
  std::optional<int> Shown(const NavigatorAnswer& answer, const char* key = "报工单ID") {
    EXPECT_EQ(answer.error, "");
    if (answer.rows == nullptr) return std::nullopt;
    EXPECT_EQ(answer.rows->RecordCount(), 1);
    return answer.rows->Value(key).ToLong();
  }

  std::optional<int> Go(std::string_view condition, NavigationMode mode, int current,
                        std::string_view select = kSelect) {
    return Shown(navigator_->Navigate(select, condition, mode, current, "报工单ID"));
  }

  // A new key of the table's column; an error fails the test.
  std::int64_t Key(std::string_view table = "SFCDJ", std::string_view column = "报工单ID") {
    const NewKeyAnswer answer = navigator_->NewKey(table, column);
    EXPECT_EQ(answer.error, "") << table << "." << column;
    return answer.key;
  }

  std::int64_t Count(const std::string& sql) {
    std::string error;
    auto rows = db_->Native().Query(sql, {}, error);
    EXPECT_NE(rows, nullptr) << error;
    return rows ? rows->Value(0).ToInt64() : -1;
  }

  test::EmptyDatabase file_;
  std::shared_ptr<data::SqliteDataService> db_;
  std::unique_ptr<SqlRecordNavigator> navigator_;
};

std::vector<int> KeysWhere(const std::function<bool(const Header&)>& keep) {
  std::vector<int> keys;
  for (const Header& h : kHeaders) {
    if (keep(h)) keys.push_back(h.id);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

TEST_F(RecordNavigatorTest, WalksTheConditionInKeyOrderAndTellsThePosition) {
  struct Case {
    std::string condition;
    std::function<bool(const Header&)> keep;
  };
  const std::vector<Case> cases = {
      {"progid=101 and smark='01'",
       [](const Header& h) { return h.progid == 101 && h.smark == "01"; }},
      {"", [](const Header&) { return true; }},
      // An OR in the condition must not escape the navigator's own bounds.
      {"progid=102 or smark='02'",
       [](const Header& h) { return h.progid == 102 || h.smark == "02"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("condition: " + c.condition);
    const std::vector<int> keys = KeysWhere(c.keep);
    const int n = static_cast<int>(keys.size());
    const auto position = [&](int index) {
      return std::to_string(index + 1) + "/" + std::to_string(n);
    };

    EXPECT_EQ(Go(c.condition, NavigationMode::kFirst, 0), keys.front());
    EXPECT_EQ(navigator_->PositionText(), position(0));
    EXPECT_EQ(Go(c.condition, NavigationMode::kLast, 0), keys.back());
    EXPECT_EQ(navigator_->PositionText(), position(n - 1));

    for (int i = 0; i < n; ++i) {
      SCOPED_TRACE("from key " + std::to_string(keys[i]));
      const int next = std::min(i + 1, n - 1);  // the last row stays the last
      EXPECT_EQ(Go(c.condition, NavigationMode::kNext, keys[i]), keys[next]);
      EXPECT_EQ(navigator_->PositionText(), position(next));
      const int previous = std::max(i - 1, 0);  // the first row stays the first
      EXPECT_EQ(Go(c.condition, NavigationMode::kPrevious, keys[i]), keys[previous]);
      EXPECT_EQ(navigator_->PositionText(), position(previous));
    }

    // From a key outside the condition (another program's document, a deleted one) the
    // neighbours by key value are shown.
    for (const int current : {1, 5, 8, 13, 26, 40}) {
      SCOPED_TRACE("from outside key " + std::to_string(current));
      const auto above = std::upper_bound(keys.begin(), keys.end(), current);
      EXPECT_EQ(Go(c.condition, NavigationMode::kNext, current),
                above == keys.end() ? keys.back() : *above);
      const auto below = std::lower_bound(keys.begin(), keys.end(), current);
      EXPECT_EQ(Go(c.condition, NavigationMode::kPrevious, current),
                below == keys.begin() ? keys.front() : *(below - 1));
    }

    // Nothing shown: previous steps in from the end, next from the start.
    EXPECT_EQ(Go(c.condition, NavigationMode::kPrevious, -1), keys.back());
    EXPECT_EQ(Go(c.condition, NavigationMode::kNext, -1), keys.front());
  }
}

TEST_F(RecordNavigatorTest, SelectsWithJoinsTheirOwnWhereAndOrderBy) {
  // Products 1..4; structures of finished goods (FG codes: 10, 14, 15) and of parts.
  Exec(
      "INSERT INTO PDMCPML(产品ID, 物品编码, 物品名称) VALUES (1, 'FG-01', '泵'), (2, 'PT-01', "
      "'轴'),"
      " (3, 'FG-02', '阀'), (4, 'PT-02', '盖')");
  Exec(
      "INSERT INTO PDMBOM(bomID, 产品ID, smark) VALUES (10, 1, '02'), (11, 2, '02'), (14, 3, '02'),"
      " (15, 1, '02'), (18, 4, '02')");
  const std::vector<int> finished = {10, 14, 15};

  const char* join =
      " SELECT A.*,B.物品编码 FROM PDMbom A left join pdmcpml B on A.产品ID=B.产品ID ";
  const auto bom_key = [&](NavigationMode mode, int current) {
    // The key column comes in another case than the table declares.
    return Shown(navigator_->Navigate(join, "B.物品编码 like 'FG%'", mode, current, "bomid"),
                 "bomID");
  };
  EXPECT_EQ(bom_key(NavigationMode::kFirst, 0), finished.front());
  EXPECT_EQ(bom_key(NavigationMode::kLast, 0), finished.back());
  EXPECT_EQ(navigator_->PositionText(),
            std::to_string(finished.size()) + "/" + std::to_string(finished.size()));
  EXPECT_EQ(bom_key(NavigationMode::kNext, finished[0]), finished[1]);
  EXPECT_EQ(navigator_->PositionText(), "2/" + std::to_string(finished.size()));
  const NavigatorAnswer shown =
      navigator_->Navigate(join, "B.物品编码 like 'FG%'", NavigationMode::kFirst, 0, "A.bomID");
  ASSERT_NE(shown.rows, nullptr) << shown.error;
  EXPECT_EQ(shown.rows->Value("bomID").ToLong(), finished.front());
  EXPECT_TRUE(shown.rows->Value("物品编码").ToText().starts_with("FG"));

  // The condition reads the select's result columns: 产品ID is A's, though B has one too.
  const auto of_product_1 = [&](NavigationMode mode, int current) {
    return Shown(navigator_->Navigate(join, "产品ID=1", mode, current, "BOMID"), "bomID");
  };
  EXPECT_EQ(of_product_1(NavigationMode::kFirst, 0), 10);
  EXPECT_EQ(of_product_1(NavigationMode::kNext, 10), 15);
  EXPECT_EQ(navigator_->PositionText(), "2/2");
  EXPECT_EQ(Shown(navigator_->FindFirst(join, "产品ID=3", "物品编码 like 'FG%'", "bomID"), "bomID"),
            14);

  // A select that keeps only some rows itself (TOP with its own order) is walked within them.
  const char* top = " select top 5 * from SFCDJ order by 报工单ID ";
  const std::vector<int> all = KeysWhere([](const Header&) { return true; });
  EXPECT_EQ(Go("", NavigationMode::kLast, 0, top), all[4]);
  EXPECT_EQ(navigator_->PositionText(), "5/5");

  // The select's own WHERE keeps its OR to itself: (102 or approved) and below 10 is key 7 only.
  const char* own_where = " select * from SFCDJ where progid=102 or smark='02' ";
  EXPECT_EQ(Go("报工单ID < 10", NavigationMode::kLast, 0, own_where), 7);
  EXPECT_EQ(navigator_->PositionText(), "1/1");
  EXPECT_EQ(Go("", NavigationMode::kLast, 0, own_where), 20);

  // Keywords and brackets inside a string of the select list are not clauses.
  const char* literal = " select *, 'x where (y' as 说明文字 from SFCDJ ";
  EXPECT_EQ(Go("progid=102", NavigationMode::kLast, 0, literal), 20);
  EXPECT_EQ(Go("progid=102", NavigationMode::kPrevious, 20, literal), 7);

  // A select that orders by something else still walks in key order.
  const char* ordered = " select * from SFCDJ order by 报工单编号 desc";
  EXPECT_EQ(Go("", NavigationMode::kFirst, 0, ordered), 3);
  EXPECT_EQ(Go("", NavigationMode::kNext, 3, ordered), 7);
}

TEST_F(RecordNavigatorTest, FindFirstJoinsBothConditions) {
  const auto find = [&](std::string_view base, std::string_view extra) {
    return Shown(navigator_->FindFirst(kSelect, base, extra, "报工单ID"));
  };
  EXPECT_EQ(find("progid=101", "smark='02'"), 12);
  EXPECT_EQ(navigator_->PositionText(), "1/1");
  EXPECT_EQ(find("progid=101", ""), 3);
  EXPECT_EQ(find("", "progid=102"), 7);
  EXPECT_EQ(find("progid=101 or progid=102", "报工单ID > 9"), 12);
  EXPECT_EQ(find("progid=102", "smark='02'"), std::nullopt);

  // The row keeps the declared types of its columns: a date comes back as a date.
  Exec("UPDATE SFCDJ SET 生产日期 = '2026-03-01' WHERE 报工单ID = 12");
  const NavigatorAnswer dated = navigator_->FindFirst(kSelect, "smark='02'", "", "报工单ID");
  ASSERT_NE(dated.rows, nullptr) << dated.error;
  EXPECT_EQ(dated.rows->Value("生产日期").type(), VarType::kDate);
  EXPECT_EQ(dated.rows->Value("生产日期").ToText(), "2026-03-01");
}

TEST_F(RecordNavigatorTest, NothingQualifyingIsNoErrorAndFailuresAreErrorTexts) {
  // Either way no row is shown and the position is cleared.
  const auto expect_none = [&](const NavigatorAnswer& answer, bool failed = true) {
    EXPECT_EQ(answer.error.empty(), !failed) << answer.error;
    EXPECT_EQ(answer.rows, nullptr);
    EXPECT_EQ(navigator_->PositionText(), "");
  };
  for (const NavigationMode mode : {NavigationMode::kFirst, NavigationMode::kPrevious,
                                    NavigationMode::kNext, NavigationMode::kLast}) {
    ASSERT_EQ(Go("progid=101", NavigationMode::kFirst, 0), 3);
    expect_none(navigator_->Navigate(kSelect, "progid=999", mode, 12, "报工单ID"), false);
  }
  ASSERT_EQ(Go("", NavigationMode::kFirst, 0), 3);
  expect_none(
      navigator_->Navigate(kSelect, "no_such_column = 1", NavigationMode::kFirst, 0, "报工单ID"));
  expect_none(navigator_->Navigate(" select * from no_such_table ", "", NavigationMode::kLast, 0,
                                   "报工单ID"));
  expect_none(navigator_->Navigate(" select 1 ", "", NavigationMode::kFirst, 0, "报工单ID"));
  // The key column is part of the statement: anything but a column name is refused.
  for (const char* key : {"报工单ID; delete from SFCDJ", "报工单ID)--", "", "a..b", "x y"}) {
    expect_none(navigator_->Navigate(kSelect, "", NavigationMode::kFirst, 0, key));
  }
  EXPECT_EQ(Count("SELECT count(*) FROM SFCDJ"), static_cast<std::int64_t>(kHeaders.size()));
}

TEST_F(RecordNavigatorTest, KeysStartAboveTheRowsAndAreNeverIssuedTwice) {
  EXPECT_EQ(Key(), 32);  // the highest row is 31
  EXPECT_EQ(Key(), 33);  // the row never written keeps its key used
  // Rows written with ids of their own push the keys above them.
  Exec("INSERT INTO SFCDJ(报工单ID, progID) VALUES (100, 101)");
  EXPECT_EQ(Key(), 101);
  // Names compare ignoring case, with or without the owner prefix: one sequence.
  EXPECT_EQ(Key("sfcdj", "报工单id"), 102);
  EXPECT_EQ(Key("dbo.SFCDJ"), 103);
  // Another table or column has its own sequence.
  EXPECT_EQ(Key("SFCDJMx", "报工单明细ID"), 1);
  EXPECT_EQ(Key("SFCDJMxfs", "报工单明细附属ID"), 1);
  EXPECT_EQ(Key("SFCDJMx", "报工单明细ID"), 2);

  for (const auto& [table, column] : std::vector<std::pair<std::string, std::string>>{
           {"no_such_table", "id"},
           {"SFCDJ", "no_such_column"},
           {"SFCDJ\" ; DELETE FROM SFCDJ; --", "报工单ID"},
           {"SFCDJ", "报工单ID\") ; DELETE FROM SFCDJ; --"},
           {"", ""}}) {
    const NewKeyAnswer refused = navigator_->NewKey(table, column);
    EXPECT_NE(refused.error, "") << table << "." << column;
    EXPECT_EQ(refused.key, 0);
  }
  EXPECT_EQ(Count("SELECT count(*) FROM SFCDJ"), static_cast<std::int64_t>(kHeaders.size()) + 1);
  EXPECT_EQ(Count("SELECT count(*) FROM xt_key"), 3);
}

TEST_F(RecordNavigatorTest, KeysInsideTheModulesTransaction) {
  // The module's save opens a transaction on the same connection and asks for keys inside it.
  ASSERT_TRUE(db_->BeginTrans()) << db_->LastError();
  const std::int64_t first = Key();
  const std::int64_t second = Key();
  EXPECT_GT(second, first);
  Exec("INSERT INTO SFCDJ(报工单ID, progID) VALUES (?, 101)", {Variant(second)});
  ASSERT_TRUE(db_->RollbackTrans()) << db_->LastError();

  // Rolled back with the rows it was for; later keys are still above every row.
  const std::int64_t after = Key();
  EXPECT_GT(after, 31);
  EXPECT_EQ(Count("SELECT count(*) FROM SFCDJ WHERE 报工单ID >= " + std::to_string(after)), 0);

  ASSERT_TRUE(db_->BeginTrans());
  const std::int64_t kept = Key();
  Exec("INSERT INTO SFCDJ(报工单ID, progID) VALUES (?, 101)", {Variant(kept)});
  ASSERT_TRUE(db_->CommitTrans());
  EXPECT_GT(Key(), kept);
}

TEST(RecordNavigatorProcessesTest, KeysFromTwoProcessesAtOnceNeverCollide) {
  test::EmptyDatabase file;
  const std::string folder = std::filesystem::path(file.path()).parent_path().string();
  constexpr int kKeysPerProcess = 200;
  const auto results = test::RunInProcesses(2, folder, [&](int child) {
    auto host = test::OpenChildHost(file.path(), folder);
    std::string error;
    auto navigator = host->CreateRecordNavigator();
    std::vector<std::string> keys;
    for (int i = 0; i < kKeysPerProcess; ++i) {
      const NewKeyAnswer key = navigator->NewKey("SFCDJMX", "报工单明细ID");
      if (!key.error.empty()) throw std::runtime_error(key.error);
      keys.push_back(std::to_string(key.key));
      // Some keys get their rows at once, as a save would write them.
      if (i % 3 == child &&
          !host->database().Native().Exec("INSERT INTO SFCDJMX(报工单明细ID) VALUES (?)",
                                          {Variant(key.key)}, error)) {
        throw std::runtime_error(error);
      }
    }
    return keys;
  });
  std::set<int> all;
  for (const test::ChildResult& result : results) {
    ASSERT_EQ(result.exit_code, 0);
    ASSERT_EQ(result.lines.size(), static_cast<std::size_t>(kKeysPerProcess));
    for (const std::string& line : result.lines) all.insert(std::stoi(line));
  }
  EXPECT_EQ(all.size(), static_cast<std::size_t>(2 * kKeysPerProcess));
  EXPECT_EQ(*all.begin(), 1);

  auto db = file.Open();
  SqlRecordNavigator navigator(db);
  EXPECT_GT(navigator.NewKey("SFCDJMX", "报工单明细ID").key, *all.rbegin());
  std::string error;
  auto check = db->Native().Query("PRAGMA integrity_check", {}, error);
  ASSERT_NE(check, nullptr) << error;
  EXPECT_EQ(check->Value(0).ToText(), "ok");
}

}  // namespace
}  // namespace korvane::hostapp
