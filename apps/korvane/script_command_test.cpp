// korvane script on a demo database: the registered modules, options and exit status.
#include "korvane/script_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "host/test_support.h"
#include "hostapp/test_database.h"

namespace korvane::cli {
namespace {

using ::testing::HasSubstr;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

class ScriptCommandTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& script, ScriptOptions options = {}) {
    if (options.database == "korvane.db") options.database = db_.path();
    if (options.folder.empty()) options.folder = folder_.path();
    std::istringstream in(script);
    std::ostringstream out, err;
    const int code = RunScript(options, in, out, err);
    return {code, out.str(), err.str()};
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
};

// The scenario scripts run the registered modules through this command on a demo database.
TEST_F(ScriptCommandTest, ExitStatusTellsFailedStepsFromUnusableOptions) {
  const Outcome failed =
      Run("{\"sql\": \"SELECT COUNT(*) FROM SFCDJ\", \"expect_rows\": [[6]]}\n"
          "{\"sql\": \"SELECT COUNT(*) FROM SFCDJ\", \"expect_rows\": [[5]]}\n");
  EXPECT_EQ(failed.code, 1);
  EXPECT_THAT(failed.out, HasSubstr("\"step\":1,\"command\":\"sql\",\"ok\":false"));
  EXPECT_THAT(failed.out, HasSubstr("\"step\":2,\"command\":\"sql\",\"ok\":true"));
  EXPECT_THAT(failed.err, HasSubstr("1 step(s) failed"));

  ScriptOptions bad_date;
  bad_date.date = "2026-02-30";
  EXPECT_EQ(Run("", bad_date).code, 2);
  ScriptOptions missing_file;
  missing_file.file = folder_ / "nothing.jsonl";
  EXPECT_EQ(Run("", missing_file).code, 2);
  ScriptOptions missing_db;
  missing_db.database = folder_ / "absent.db";
  const Outcome absent = Run("", missing_db);
  EXPECT_EQ(absent.code, 1);
  EXPECT_THAT(absent.err, HasSubstr("does not exist"));

  // A script file is read instead of standard input; steps are numbered by their line, and
  // blank lines and comments get no answer.
  const std::string file = folder_ / "steps.jsonl";
  std::ofstream(file) << "# a clerk's session\n\n// no step\r\n{\"expect\": {\"queued\": 0}}\r\n";
  ScriptOptions from_file;
  from_file.file = file;
  const Outcome read = Run("{\"launch\": 1}\n", from_file);
  EXPECT_EQ(read.code, 0) << read.out;
  EXPECT_EQ(read.out.rfind("{\"step\":4,\"command\":\"expect\",\"ok\":true", 0), 0u) << read.out;
  EXPECT_EQ(std::count(read.out.begin(), read.out.end(), '\n'), 1) << read.out;
}

}  // namespace
}  // namespace korvane::cli
