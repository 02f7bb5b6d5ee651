// Keys and document numbers on the test run's PostgreSQL server, taken by several connections
// at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "data/pg_schema.h"
#include "data/pg_test_database.h"
#include "hostapp/numbering.h"

namespace korvane::hostapp {
namespace {

using ::testing::HasSubstr;

constexpr int kThreads = 4;
constexpr int kRounds = 20;

class PgNumberingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto db = server_.Open();
    std::string error;
    ASSERT_TRUE(data::MigratePgSchema(*db, error)) << error;
    ASSERT_TRUE(db->ExecuteSql("insert into sfcdj (报工单ID, 报工单编号) values (7, 'BG0007')"))
        << db->LastError();
    ASSERT_TRUE(
        db->ExecuteSql("insert into xt_numbering_rule (progid, prefix, date_part,"
                       " serial_width) values (2101, 'BG', 'yyyymm', 4)"))
        << db->LastError();
  }
  test::PgTestDatabase server_;
};

TEST_F(PgNumberingTest, KeysAreNeverIssuedTwiceAcrossConnections) {
  std::vector<std::vector<std::int32_t>> keys(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto db = server_.Open();
      for (int i = 0; i < kRounds; ++i) {
        // Half of them inside a transaction of the caller's, as a save takes them.
        const bool in_transaction = i % 2 == 0;
        if (in_transaction) db->BeginTrans();
        const NewKeyAnswer answer = IssuePgKey(*db, "dbo.SFCDJ", "报工单ID");
        if (in_transaction) db->CommitTrans();
        if (!answer.error.empty()) errors[t] = answer.error;
        keys[t].push_back(answer.key);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::int32_t> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[t], "");
    all.insert(keys[t].begin(), keys[t].end());
  }
  // Every key distinct, and above the highest key present.
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kRounds));
  EXPECT_EQ(*all.begin(), 8);
  EXPECT_EQ(*all.rbegin(), 7 + kThreads * kRounds);

  // A key taken in a transaction that is rolled back goes back with it.
  auto db = server_.Open();
  ASSERT_TRUE(db->BeginTrans());
  EXPECT_EQ(IssuePgKey(*db, "SFCDJ", "报工单ID").key, 8 + kThreads * kRounds);
  ASSERT_TRUE(db->RollbackTrans());
  EXPECT_EQ(IssuePgKey(*db, "sfcdj", "报工单id").key, 8 + kThreads * kRounds);
  EXPECT_THAT(IssuePgKey(*db, "no_table", "id").error, HasSubstr("no table"));
  EXPECT_THAT(IssuePgKey(*db, "SFCDJ", "x; drop table sfcdj").error, HasSubstr("has no column"));
}

TEST_F(PgNumberingTest, DocumentNumbersAreNeverTakenTwiceAcrossConnections) {
  const auto date = std::chrono::year{2026} / std::chrono::March / 20;
  std::vector<std::vector<std::string>> taken(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto db = server_.Open();
      DocumentNumbering numbering(db->Native());
      for (int i = 0; i < kRounds; ++i) {
        // A clerk proposed a number that another took first tries the next proposal.
        for (int attempt = 0; attempt < 50; ++attempt) {
          std::string error;
          const std::string number = numbering.Propose(2101, date, error);
          if (number.empty()) {
            errors[t] = error;
            break;
          }
          if (numbering.Commit(2101, number, "clerk", error)) {
            taken[t].push_back(number);
            break;
          }
          if (error.find("already taken") == std::string::npos) errors[t] = error;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::string> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[t], "");
    EXPECT_EQ(taken[t].size(), static_cast<std::size_t>(kRounds));
    all.insert(taken[t].begin(), taken[t].end());
  }
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kRounds));
  EXPECT_EQ(*all.begin(), "BG2026030001");
  EXPECT_EQ(*all.rbegin(), "BG202603" + std::string(kThreads * kRounds < 100 ? "00" : "0") +
                               std::to_string(kThreads * kRounds));
  // A number taken again in another case is refused; a hand-typed one does not move the serials.
  auto db = server_.Open();
  DocumentNumbering numbering(db->Native());
  std::string error;
  EXPECT_FALSE(numbering.Commit(2101, "bg2026030001", "clerk", error));
  EXPECT_THAT(error, HasSubstr("already taken"));
  ASSERT_TRUE(numbering.Commit(2101, "BG202603X999", "clerk", error)) << error;
  EXPECT_EQ(numbering.Propose(2101, date, error),
            "BG20260300" + std::to_string(kThreads * kRounds + 1));
  ASSERT_TRUE(numbering.Release(2101, "BG2026030001", error)) << error;
  EXPECT_FALSE(numbering.Release(2101, "BG2026030001", error));
}

}  // namespace
}  // namespace korvane::hostapp
