#include "hostapp/reference_host.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/schema.h"
#include "host/error_rule.h"
#include "host/shared_routines.h"
#include "hostapp/process_test_support.h"
#include "hostapp/test_database.h"

namespace korvane::hostapp {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr year_month_day kBusinessDate = year{2026} / month{3} / day{15};

// Sets (nullptr: unsets) an environment variable for the life of the object, then puts the old
// value back.
struct ScopedEnv {
  static void Set(const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ScopedEnv(const char* name, const char* value)
      : name(name), old(std::getenv(name) ? std::getenv(name) : std::optional<std::string>()) {
    Set(name, value);
  }
  ~ScopedEnv() { Set(name, old ? old->c_str() : nullptr); }
  const char* name;
  std::optional<std::string> old;
};

class ReferenceHostTest : public ::testing::Test {
 protected:
  std::string Folder() const { return std::filesystem::path(file_.path()).parent_path().string(); }

  std::shared_ptr<ReferenceHost> OpenHost(const std::string& user = "admin",
                                          bool with_date_and_folder = true) {
    ReferenceHostOptions options;
    options.database_path = file_.path();
    options.user_name = user;
    if (with_date_and_folder) {
      options.business_date = kBusinessDate;
      options.local_folder = Folder() + "/user-" + user;
    }
    std::string error;
    auto host = ReferenceHost::Open(options, nullptr, error);
    EXPECT_NE(host, nullptr) << error;
    return host;
  }

  void Exec(ReferenceHost& host, const std::string& sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    ASSERT_TRUE(host.database().Native().Exec(sql, binds, error)) << sql << ": " << error;
  }

  test::EmptyDatabase file_;
};

TEST_F(ReferenceHostTest, OpensOnlyACurrentDatabase) {
  // The error text of opening a file the host must refuse.
  const auto refused = [](const std::string& path) {
    ReferenceHostOptions options;
    options.database_path = path;
    std::string error;
    EXPECT_EQ(ReferenceHost::Open(options, nullptr, error), nullptr) << path;
    return error;
  };
  std::string error;
  EXPECT_NE(refused(Folder() + "/missing.db").find("korvane init"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Folder() + "/missing.db")) << "the host created a file";
  ASSERT_NE(data::SqliteDataService::Open(Folder() + "/bare.db", {}, error), nullptr) << error;
  EXPECT_NE(refused(Folder() + "/bare.db").find("no schema"), std::string::npos);
  {
    auto db = data::SqliteDataService::Open(Folder() + "/old.db", {}, error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_GT(data::LatestSchemaVersion(), 1);
    ASSERT_TRUE(data::MigrateSchema(*db, error, 1)) << error;
  }
  EXPECT_NE(refused(Folder() + "/old.db").find("schema version 1"), std::string::npos);

  auto host = OpenHost();
  ASSERT_NE(host, nullptr);
  // The database's own functions are registered on the host's connection.
  EXPECT_TRUE(host->Data()->ScalarSql("select dbo.rSfcDjEmpID(1)").IsBlank());
  EXPECT_EQ(host->Data()->LastError(), "");
}

TEST_F(ReferenceHostTest, WithoutDialogsEveryBoxGetsTheAnswerThatChangesNothing) {
  auto host = OpenHost();
  ASSERT_NE(host, nullptr);
  Dialogs& dialogs = host->dialogs();
  const auto answer = [&](MsgButtons buttons) {
    return dialogs.MessageBox("删除吗?", buttons, MsgIcon::kQuestion, "提示：");
  };
  EXPECT_EQ(answer(MsgButtons::kOk), MsgAnswer::kOk);
  EXPECT_EQ(answer(MsgButtons::kOkCancel), MsgAnswer::kCancel);
  EXPECT_EQ(answer(MsgButtons::kYesNo), MsgAnswer::kNo);
  EXPECT_EQ(answer(MsgButtons::kYesNoCancel), MsgAnswer::kCancel);
  EXPECT_EQ(answer(MsgButtons::kRetryCancel), MsgAnswer::kCancel);
  EXPECT_EQ(answer(MsgButtons::kAbortRetryIgnore), MsgAnswer::kAbort);
  EXPECT_EQ(dialogs.InputBox("数量", "提示：", "1"), std::nullopt);
}

TEST_F(ReferenceHostTest, SettingsFallBackToDefaultsAndStoredValuesWin) {
  auto host = OpenHost();
  ASSERT_NE(host, nullptr);

  // Every setting the modules read has a default they can read as a number.
  for (const char* key :
       {"mouseeventscrollrate", "befmonth", "readonlyforecolor", "readonlybackcolor",
        "scgydchangegzxs", "sfctopay", "sfctopay_zj", "doubleunit", "displaydrawnoInBom",
        "ishavework", "batchgroup", "period"}) {
    const std::string value = host->Setting(key);
    EXPECT_FALSE(value.empty()) << key;
    EXPECT_TRUE(value.find_first_not_of("0123456789") == std::string::npos) << key << "=" << value;
  }
  EXPECT_EQ(host->Setting("Readonlybackcolor"), host->Setting("readonlybackcolor"));
  for (const int number : {7, 8, 9, 10, 11, 12, 13, 14}) {
    const std::string places = host->Setting(number);
    EXPECT_TRUE(places == "2" || places == "4") << number << "=" << places;
  }
  EXPECT_EQ(host->Setting("no_such_setting"), "");
  EXPECT_EQ(host->Setting(99), "");

  // The current period: the business date's month until the work reports have a period.
  EXPECT_EQ(host->Setting("period"), "202603");
  EXPECT_EQ(host->Setting(1), "202603");
  Exec(*host,
       "INSERT INTO xt_module_period(module_code, period, closing_day) VALUES ('SFC', 202602, 25)");
  EXPECT_EQ(host->Setting("period"), "202602");
  EXPECT_EQ(host->Setting(1), "202602");

  const std::string insert =
      "INSERT INTO xt_accinformation(system_code, item_code, item_value) VALUES (?, ?, ?)";
  Exec(*host, insert, {"system", "MouseEventScrollRate", "3"});  // names ignore case
  Exec(*host, insert, {"other", "befmonth", "6"});               // another system's setting
  Exec(*host, insert, {"system", "sfctopay", "  "});             // blank: not set
  Exec(*host, insert, {"system", "period", "202512"});
  Exec(*host, insert, {"system", "custom", "O'Brien"});
  EXPECT_EQ(host->Setting("mouseeventscrollrate"), "3");
  EXPECT_EQ(host->Setting("befmonth"), "0");
  EXPECT_EQ(host->Setting("sfctopay"), "1");
  EXPECT_EQ(host->Setting("period"), "202512");
  EXPECT_EQ(host->Setting("custom"), "O'Brien");
  EXPECT_EQ(host->Setting("custom' or '1'='1"), "");

  Exec(*host, "INSERT INTO xt_setting_numbered(number, item_value) VALUES (7, '3'), (1, '202401')");
  EXPECT_EQ(host->Setting(7), "3");
  EXPECT_EQ(host->Setting(1), "202401");
}

TEST_F(ReferenceHostTest, DocumentNumbersAreProposedTakenAndFreed) {
  auto host = OpenHost();
  ASSERT_NE(host, nullptr);
  Exec(*host,
       "INSERT INTO xt_numbering_rule(progid, prefix, date_part, serial_width) VALUES "
       "(501, 'BG', 'yyyymm', 4), (503, '生产', 'yyyymmdd', 3)");

  const std::string first = host->ProposeDocumentNumber(501, kBusinessDate);
  EXPECT_EQ(first, "BG2026030001");
  EXPECT_EQ(host->ProposeDocumentNumber(501, kBusinessDate), first) << "a proposal takes nothing";
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, first));
  EXPECT_FALSE(host->CommitDocumentNumber(501, kBusinessDate, first));
  EXPECT_FALSE(host->CommitDocumentNumber(501, kBusinessDate, "bg2026030001"));
  EXPECT_FALSE(host->CommitDocumentNumber(501, kBusinessDate, ""));

  const std::string second = host->ProposeDocumentNumber(501, kBusinessDate);
  EXPECT_EQ(second, "BG2026030002");
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, second));
  // A number typed by hand moves the serials on; one in another form does not.
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, "BG2026030007"));
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, "BG202603-99"));
  EXPECT_EQ(host->ProposeDocumentNumber(501, kBusinessDate), "BG2026030008");
  // Serials restart with the date part, and each program has its own numbers.
  EXPECT_EQ(host->ProposeDocumentNumber(501, year{2026} / month{4} / day{1}), "BG2026040001");
  EXPECT_EQ(host->ProposeDocumentNumber(502, kBusinessDate), "2026030001");  // default rule
  EXPECT_TRUE(host->CommitDocumentNumber(502, kBusinessDate, first));

  EXPECT_TRUE(host->ReleaseDocumentNumber(501, kBusinessDate, "BG2026030007"));
  EXPECT_FALSE(host->ReleaseDocumentNumber(501, kBusinessDate, "BG2026030007"));
  EXPECT_FALSE(host->ReleaseDocumentNumber(501, kBusinessDate, "BG2026039999"));
  EXPECT_EQ(host->ProposeDocumentNumber(501, kBusinessDate), "BG2026030003");
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, "BG2026030007"));

  // Chinese prefixes count characters; a serial past its width grows.
  EXPECT_EQ(host->ProposeDocumentNumber(503, kBusinessDate), "生产20260315001");
  EXPECT_TRUE(host->CommitDocumentNumber(503, kBusinessDate, "生产20260315999"));
  EXPECT_EQ(host->ProposeDocumentNumber(503, kBusinessDate), "生产202603151000");

  // Taken inside the module's transaction: undone with it.
  ASSERT_TRUE(host->Data()->BeginTrans());
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, "BG2026030100"));
  ASSERT_TRUE(host->Data()->RollbackTrans());
  EXPECT_TRUE(host->CommitDocumentNumber(501, kBusinessDate, "BG2026030100"));
}

TEST_F(ReferenceHostTest, NumbersFromTwoProcessesAtOnceAreTakenOnceEach) {
  {
    auto host = OpenHost();
    ASSERT_NE(host, nullptr);
    Exec(*host,
         "INSERT INTO xt_numbering_rule(progid, prefix, date_part, serial_width) "
         "VALUES (501, 'BG', 'yyyy', 5)");
  }
  constexpr int kPerProcess = 100;
  const auto results = test::RunInProcesses(2, Folder(), [&](int) {
    auto host = test::OpenChildHost(file_.path(), Folder());
    std::vector<std::string> taken;
    // As two clerks saving at once: a proposal the other one took first is proposed again.
    for (int tries = 0; static_cast<int>(taken.size()) < kPerProcess; ++tries) {
      if (tries > 50 * kPerProcess) throw std::runtime_error("no number could be taken");
      const std::string number = host->ProposeDocumentNumber(501, kBusinessDate);
      if (number.empty()) throw std::runtime_error("no number proposed");
      if (host->CommitDocumentNumber(501, kBusinessDate, number)) taken.push_back(number);
    }
    return taken;
  });
  std::set<std::string> all;
  for (const test::ChildResult& result : results) {
    ASSERT_EQ(result.exit_code, 0);
    ASSERT_EQ(result.lines.size(), static_cast<std::size_t>(kPerProcess));
    all.insert(result.lines.begin(), result.lines.end());
  }
  // No number twice, and no serial skipped since none was given back.
  std::set<std::string> expected;
  for (int serial = 1; serial <= 2 * kPerProcess; ++serial) {
    std::string digits = std::to_string(serial);
    expected.insert("BG2026" + std::string(5 - digits.size(), '0') + digits);
  }
  EXPECT_EQ(all, expected);
}

TEST_F(ReferenceHostTest, UserComesFromTheOptionsTheUserRowAndTheEnvironment) {
  {
    auto host = OpenHost("admin");
    ASSERT_NE(host, nullptr);
    const UserInfo user = host->User();
    EXPECT_EQ(user.user_name, "admin");
    EXPECT_EQ(user.business_date, kBusinessDate);
    EXPECT_EQ(user.local_folder, Folder() + "/user-admin");
    EXPECT_TRUE(std::filesystem::is_directory(user.local_folder));
    Exec(*host, "INSERT INTO xt_user(user_name, business_date, local_folder) VALUES (?, ?, ?)",
         {"clerk", "2026-02-10", Folder() + "/stored-clerk"});
    Exec(*host, "INSERT INTO xt_user(user_name) VALUES ('plain')");
  }

  // The stored date and folder when the options give none.
  auto clerk = OpenHost("clerk", false);
  ASSERT_NE(clerk, nullptr);
  EXPECT_EQ(clerk->User().business_date, year{2026} / month{2} / day{10});
  EXPECT_EQ(clerk->User().local_folder, Folder() + "/stored-clerk");
  EXPECT_TRUE(std::filesystem::is_directory(Folder() + "/stored-clerk"));

  // Neither: $KORVANE_HOME, else $HOME/.korvane/<user>; the computer's date.
  auto plain = OpenHost("plain", false);
  ASSERT_NE(plain, nullptr);
  {
    ScopedEnv home("KORVANE_HOME", (Folder() + "/korvane-home").c_str());
    EXPECT_EQ(plain->User().local_folder, Folder() + "/korvane-home");
    EXPECT_TRUE(std::filesystem::is_directory(Folder() + "/korvane-home"));
  }
  {
    ScopedEnv no_home("KORVANE_HOME", nullptr);
    ScopedEnv home("HOME", Folder().c_str());
    EXPECT_EQ(plain->User().local_folder, Folder() + "/.korvane/plain");
    EXPECT_TRUE(std::filesystem::is_directory(Folder() + "/.korvane/plain"));
  }
  // Below, folders fall back to one inside the test's folder, never the real home.
  ScopedEnv home("KORVANE_HOME", (Folder() + "/korvane-home").c_str());
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  const year_month_day date = plain->User().business_date;
  // Local and UTC dates differ by at most a day.
  EXPECT_LE(std::chrono::abs(std::chrono::sys_days(date) - today).count(), 1);

  auto nobody = OpenHost("", false);
  ASSERT_NE(nobody, nullptr);
  EXPECT_EQ(nobody->User().user_name, "admin");
}

TEST_F(ReferenceHostTest, PeriodsItemsRightsCodingAndUserSettingsPerUser) {
  auto host = OpenHost("admin");
  auto clerk = OpenHost("clerk");
  ASSERT_NE(host, nullptr);
  ASSERT_NE(clerk, nullptr);

  EXPECT_EQ(host->Period("SFC"), std::nullopt);
  Exec(*host,
       "INSERT INTO xt_module_period(module_code, period, closing_day) VALUES ('SFC', 202603, 25), "
       "('MPS', 202512, 31)");
  const auto sfc = host->Period("sfc");
  ASSERT_TRUE(sfc.has_value());
  EXPECT_EQ(sfc->period, 202603);
  EXPECT_EQ(sfc->closing_day, 25);
  EXPECT_EQ(host->Period("MPS")->period, 202512);

  EXPECT_EQ(clerk->UserItem(2017), "");
  Exec(*host,
       "INSERT INTO xt_user_item(user_name, item, item_value) VALUES ('clerk', 2017, '3,5')");
  EXPECT_EQ(clerk->UserItem(2017), "3,5");
  EXPECT_EQ(host->UserItem(2017), "");

  EXPECT_FALSE(clerk->UserMayUse(601));
  Exec(*host, "INSERT INTO xt_user_right(user_name, progid) VALUES ('clerk', 601)");
  EXPECT_TRUE(clerk->UserMayUse(601));
  EXPECT_FALSE(clerk->UserMayUse(602));
  EXPECT_FALSE(host->UserMayUse(601));
  Exec(*host, "INSERT INTO xt_user_right(user_name, progid) VALUES ('admin', 0)");
  EXPECT_TRUE(host->UserMayUse(602));

  EXPECT_EQ(host->CategoryCoding().level_lengths, (std::vector<int>{2, 2, 3}));
  Exec(*host, "INSERT INTO xt_coding_scheme(scheme, level_lengths) VALUES ('cplb', '3,3')");
  EXPECT_EQ(host->CategoryCoding().level_lengths, (std::vector<int>{3, 3}));
  Exec(*host, "UPDATE xt_coding_scheme SET level_lengths = 'x' WHERE scheme = 'cplb'");
  EXPECT_EQ(host->CategoryCoding().level_lengths, (std::vector<int>{2, 2, 3}));

  EXPECT_EQ(host->UserSetting("最近车间"), "");
  EXPECT_TRUE(host->SetUserSetting("最近车间", "一车间"));
  EXPECT_TRUE(host->SetUserSetting("最近车间", "O'Brien's"));
  EXPECT_EQ(host->UserSetting("最近车间"), "O'Brien's");
  EXPECT_EQ(clerk->UserSetting("最近车间"), "");
  EXPECT_FALSE(host->SetUserSetting("", "x"));
}

TEST_F(ReferenceHostTest, StockQueryAnswersAsTheDatabaseFunction) {
  auto host = OpenHost();
  ASSERT_NE(host, nullptr);
  Exec(*host,
       "INSERT INTO st_goods_depot(产品ID, 仓库ID, 批号, 数量) VALUES "
       "(1, 1, '', 5.5), (1, 2, 'B1', 2.25), (2, 1, '', 9)");
  auto stock = host->CreateStockQuery();
  ASSERT_NE(stock, nullptr);
  const double setting_1 = NumericValue(host->Setting(1));
  // The same answer as the database function gives to a statement.
  for (const auto& [product, depot] :
       std::vector<std::pair<int, int>>{{1, 0}, {1, 2}, {2, 0}, {3, 0}}) {
    const Variant expected =
        host->Data()->ScalarSql("select dbo.rSTGoodsDepotAmount(" + std::to_string(product) + "," +
                                std::to_string(depot) + ",''," + FormatNumber(setting_1) + ",0,0)");
    ASSERT_EQ(host->Data()->LastError(), "");
    const std::optional<double> quantity = stock->Quantity(product, depot, "", setting_1, 0, 0);
    ASSERT_TRUE(quantity.has_value());
    EXPECT_DOUBLE_EQ(*quantity, expected.ToDouble()) << product << "/" << depot;
  }
}

}  // namespace
}  // namespace korvane::hostapp
