#include "document/guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "host/test_support.h"

namespace korvane::document {
namespace {

TEST(ErrorGuard, EventPolicyRaisesTheErrorRuleAndGivesTheFailureValue) {
  std::vector<ErrorReport> raised;
  const ErrorGuard guard =
      ErrorGuard::Event("SCCJD_S", [&](const ErrorReport& r) { raised.push_back(r); });
  EXPECT_EQ(guard.Run(
                "LoadData", [] { return 3; }, -1),
            3);
  EXPECT_TRUE(raised.empty());
  EXPECT_EQ(guard.Run(
                "LoadData", []() -> int { throw std::runtime_error("no such table"); }, -1),
            -1);
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_EQ(raised[0].text, "SCCJD_S-->LoadData::no such table");
  EXPECT_EQ(raised[0].level, LogLevel::kError);
}

TEST(ErrorGuard, BoxPolicyShowsTheStyledTextOnlyWhenThereIsAHost) {
  test::FakeHostContext host;
  host.dialogs_fake.QueueAnswer(MsgAnswer::kOk);
  HostContext* current = nullptr;
  const ErrorGuard guard =
      ErrorGuard::Box({"FmMCpml", "->", ":", "错误："}, [&] { return current; });
  guard.Run("Init", [] { throw 7; });  // nobody to tell yet
  current = &host;
  EXPECT_FALSE(guard.Run(
      "Init", []() -> bool { throw std::runtime_error("gone"); }, false));
  ASSERT_EQ(host.dialogs_fake.boxes().size(), 1u);
  EXPECT_EQ(host.dialogs_fake.boxes()[0].text, "FmMCpml->Init:gone");
  EXPECT_EQ(host.dialogs_fake.boxes()[0].title, "错误：");
  EXPECT_EQ((BoxStyle{"", "->", ":", ""}.Text("Init", "just this")), "just this");
}

}  // namespace
}  // namespace korvane::document
