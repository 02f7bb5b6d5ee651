#include "host/error_rule.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "host/interfaces.h"
#include "host/test_support.h"

namespace korvane {
namespace {

TEST(ErrorRule, ModuleArrowRoutineColonsDescriptionAtLevel8) {
  const ErrorReport report = MakeErrorReport("SCCJD_S", "FindData", "no such column: x");
  EXPECT_EQ(report.text, "SCCJD_S-->FindData::no such column: x");
  EXPECT_EQ(static_cast<int>(report.level), 8);
  EXPECT_EQ(report.title, kApplicationTitle);
}

TEST(ErrorRule, GuardedTurnsAnEscapingErrorIntoOneReportAndTheFailureResult) {
  std::vector<ErrorReport> reports;
  auto report = [&](ErrorReport r) { reports.push_back(std::move(r)); };
  const bool ok = Guarded("SCCJD_S", "LoadData", report,
                          []() -> bool { throw std::runtime_error("disk I/O error"); });
  EXPECT_FALSE(ok);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, "SCCJD_S-->LoadData::disk I/O error");
  const int answer = Guarded(
      "m", "r", report, [] { return 42; }, -1);
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(reports.size(), 1u);
}

class Source : public EventSource<DocumentEvents> {
 public:
  void Say(const std::string& text) {
    Raise([&](DocumentEvents& sink) { sink.Message(text); });
  }
};

TEST(EventSource, EverySinkHearsInRegistrationOrderUntilUnadvised) {
  Source source;
  test::RecordingDocumentEvents a, b;
  source.Advise(&a);
  source.Advise(&b);
  source.Advise(nullptr);
  source.Say("数据正在切换状态");
  source.Unadvise(&a);
  source.Say("");
  EXPECT_EQ(a.messages, (std::vector<std::string>{"数据正在切换状态"}));
  EXPECT_EQ(b.messages, (std::vector<std::string>{"数据正在切换状态", ""}));
}

}  // namespace
}  // namespace korvane
