// Random and mutated steps for a bounded time: the scripted host must neither crash nor throw,
// and must answer every step with exactly one well-formed JSON object carrying its number.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <random>

#include "hostapp/reference_host.h"
#include "hostapp/script_host.h"
#include "hostapp/script_host_internal.h"
#include "hostapp/script_test_module.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"

namespace korvane::hostapp {
namespace {

using nlohmann::json;

// Lines a real script holds; the fuzzer starts from these.
const char* const kSeeds[] = {
    R"({"open": "Test.Fake", "as": "doc"})",
    R"({"call": "Init", "args": [2101]})",
    R"({"call": "Find", "args": [[[1, "物品编码 like ", "A"]]]})",
    R"({"call": "DoSetStatus", "args": ["02", true]})",
    R"({"call": "SetParameters", "args": [{"backcolor": 255}]})",
    R"({"act": "type", "control": "qxTxt", "index": 1, "text": "ABC"})",
    R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "3"})",
    R"({"act": "delete_row", "control": "qxGrid", "row": 1})",
    R"({"act": "key", "control": "qxGrid", "row": 1, "col": 1, "key": "Delete", "shift": 1})",
    R"({"act": "click", "control": "cmdAsk"})",
    R"({"act": "click", "control": "cmdDialog"})",
    R"({"act": "type", "form": "frmPick", "control": "txtCode", "text": "Z"})",
    R"({"act": "click", "form": "frmPick", "control": "cmdOK"})",
    R"({"act": "click", "control": "cmdInput"})",
    R"({"act": "tick", "control": "tmr"})",
    R"({"act": "wheel", "position": 3})",
    R"({"act": "choose", "control": "cboType", "item": 1})",
    R"({"act": "expand", "control": "tvw", "node": "r"})",
    R"({"answer": ["Yes", "OK"]})",
    R"({"input": ["5", null]})",
    R"({"snapshot": true})",
    R"({"expect": [{"control": "qxGrid", "row": 1, "col": 1, "text": "A-100"}, {"result": true}]})",
    R"({"sql": "SELECT progID FROM xt_menu WHERE progID = 2101", "expect_rows": [[2101]]})",
    R"({"sql": "delete from SFCDJMXFS\u0000 where 报工单明细ID = 1"})",
    R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "3\u0000"})",
    R"({"close": "doc"})",
};

std::string Mutate(std::string line, std::mt19937& random) {
  static const std::string kPieces[] = {
      "{", "}", "[", "]", ",", ":", "\"", "null", "true", "-1", "1e309", "\"qxTxt\"", "\\u0000",
      "99999999999", "\"index\"", "\"form\"", "[]", "{}", "报",
      // A list nested deeper than a step may nest.
      std::string(static_cast<std::size_t>(script::kMaxStepDepth) + 1, '[') +
          std::string(static_cast<std::size_t>(script::kMaxStepDepth) + 1, ']')};
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < edits; ++i) {
    const std::size_t at = line.empty() ? 0 : random() % (line.size() + 1);
    switch (random() % 4) {
      case 0:  // delete a run
        if (!line.empty() && at < line.size()) line.erase(at, 1 + random() % 4);
        break;
      case 1:  // insert a piece
        line.insert(at, kPieces[random() % std::size(kPieces)]);
        break;
      case 2:  // overwrite a byte with anything at all
        if (at < line.size()) line[at] = static_cast<char>(random() % 256);
        break;
      default:  // splice in part of another seed
        line.insert(at, std::string(kSeeds[random() % std::size(kSeeds)]).substr(0, 20));
        break;
    }
  }
  return line;
}

std::string RandomLine(std::mt19937& random) {
  std::string line;
  const int length = static_cast<int>(random() % 60);
  for (int i = 0; i < length; ++i) line += static_cast<char>(1 + random() % 255);
  return line;
}

bool IsStep(std::string line) {
  line = Trim(line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  line = Trim(line);
  return !(line.empty() || line.front() == '#' || line.rfind("//", 0) == 0);
}

// A scripted host on the demo factory, with the test module openable as "Test.Fake".
class ScriptFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = test::OpenClerkHost(db.path(), folder.path().string(), script.dialogs());
    script.set_host(host);
  }
  test::DemoDatabase db;
  test::test_database_detail::TempFolder folder;
  ScriptHost script{[](std::string_view progid) -> std::shared_ptr<Object> {
    if (progid != "Test.Fake") return nullptr;
    return std::make_shared<test::ScriptTestModule>();
  }};
  std::shared_ptr<ReferenceHost> host;
};

TEST_F(ScriptFuzzTest, EveryLineGetsOneWellFormedAnswerWithinTheTimeBound) {
  std::mt19937 random(20260320);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int step = 0;
  int answered = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string line;
    switch (random() % 4) {
      case 0:
        line = kSeeds[random() % std::size(kSeeds)];
        break;
      case 1:
        line = RandomLine(random);
        break;
      default:
        line = Mutate(kSeeds[random() % std::size(kSeeds)], random);
        break;
    }
    ++step;
    std::optional<std::string> answer;
    ASSERT_NO_THROW(answer = script.RunLine(line, step)) << line;
    ASSERT_EQ(answer.has_value(), IsStep(line)) << line;
    if (!answer) continue;
    ++answered;
    ASSERT_EQ(answer->find('\n'), std::string::npos) << line;
    const json parsed = json::parse(*answer, nullptr, false);
    ASSERT_TRUE(parsed.is_object()) << line << "\n -> " << *answer;
    ASSERT_EQ(parsed.value("step", -1), step) << *answer;
    ASSERT_TRUE(parsed.contains("ok") && parsed["ok"].is_boolean()) << *answer;
    ASSERT_TRUE(parsed["events"].is_array() && parsed["boxes"].is_array()) << *answer;
    if (!parsed["ok"]) {
      ASSERT_TRUE(parsed["error"].is_string()) << *answer;
    }
  }
  EXPECT_GT(answered, 100) << "the fuzzer ran too few steps to mean anything";
}

std::string Repeated(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Input that, obeyed, would cut a typed text short, or that once crashed the host: each step
// fails with a message saying what was refused, and the run, the fields and the tables go on
// as they were. Statements holding a NUL byte or nested too deeply are refused by the data
// service, whose own tests take every way in.
TEST_F(ScriptFuzzTest, BadInputIsRefusedWithAClearMessageAndChangesNothing) {
  int step = 0;
  const auto run = [&](const std::string& line) {
    const std::optional<std::string> answer = script.RunLine(line, ++step);
    EXPECT_TRUE(answer.has_value()) << line.substr(0, 80);
    const json parsed = answer ? json::parse(*answer, nullptr, false) : json();
    EXPECT_TRUE(parsed.is_object() && parsed.value("step", -1) == step) << answer.value_or("");
    return parsed;
  };
  const auto count = [&] {
    const json answer = run(R"({"sql": "select count(*) from SFCDJMXFS"})");
    EXPECT_TRUE(answer.value("ok", false)) << answer.dump();
    return answer["result"]["rows"][0][0].get<int>();
  };
  const std::string deep_list = Repeated("[", 50000) + Repeated("]", 50000);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {deep_list, "levels deep"},
      {Repeated("[", 50000), "levels deep"},
      {R"({"call": "Find", "args": [)" + deep_list + "]}", "levels deep"},
      {R"({"expect": {"result": )" + deep_list + "}}", "levels deep"},
      {R"({"act": "type", "control": "qxTxt", "index": 0, "text": "A-100\u0000 or 1=1"})",
       "holds a NUL byte"},
      {R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "3\u0000"})",
       "holds a NUL byte"},
  };
  ASSERT_TRUE(run(R"({"open": "Test.Fake", "as": "doc"})").value("ok", false));
  ASSERT_TRUE(run(R"({"act": "type", "control": "qxTxt", "index": 0, "text": "A-100"})")
                  .value("ok", false));
  ASSERT_TRUE(run(R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "7"})")
                  .value("ok", false));
  const int rows = count();
  ASSERT_GT(rows, 0) << "a delete that obeyed the NUL would go unseen";
  for (const auto& [line, message] : refused) {
    const json answer = run(line);
    EXPECT_FALSE(answer.value("ok", true)) << line.substr(0, 80);
    const std::string text = answer.value("error", "");
    EXPECT_NE(text.find(message), std::string::npos) << line.substr(0, 80) << " -> " << text;
    EXPECT_EQ(count(), rows) << line.substr(0, 80);
  }
  const json unchanged = run(R"({"expect": [{"control": "qxTxt", "index": 0, "text": "A-100"},)"
                             R"( {"control": "qxGrid", "row": 1, "col": 2, "text": "7"}]})");
  EXPECT_TRUE(unchanged.value("ok", false)) << unchanged.dump();
}

// The helpers that keep answers within reach of the stack, on values built in code (which no
// step can make), so that the checks hold for whatever an answer holds.
TEST(ScriptDepthTest, ValuesNestedTooDeeplyAreReportedNotWalked) {
  using script::Json;
  const auto nested = [](int levels) {
    Json value = 1;
    for (int i = 0; i < levels; ++i) {
      Json list = Json::array();
      list.push_back(std::move(value));
      value = std::move(list);
    }
    return value;
  };
  for (int levels : {1, 2, script::kMaxAnswerDepth}) {
    EXPECT_TRUE(script::NestsWithin(nested(levels), levels)) << levels;
    EXPECT_FALSE(script::NestsWithin(nested(levels), levels - 1)) << levels;
  }
  EXPECT_TRUE(script::NestsWithin(Json("text"), 0));
  Json wide = Json::object();
  wide["a"] = nested(3);
  wide["b"] = Json::array({nested(1), nested(5)});
  EXPECT_TRUE(script::NestsWithin(wide, 7));
  EXPECT_FALSE(script::NestsWithin(wide, 6));

  const Json deep = nested(100000);
  EXPECT_NE(script::Show(deep).find("levels deep"), std::string::npos);
  EXPECT_THROW(script::DumpAnswer(deep), script::ScriptError);
  EXPECT_EQ(script::DumpAnswer(nested(3)), "[[[1]]]");
  EXPECT_THROW(script::ParseStep(nested(script::kMaxStepDepth + 1).dump()), script::ScriptError);
  EXPECT_EQ(script::ParseStep(nested(script::kMaxStepDepth).dump()), nested(script::kMaxStepDepth));
}

}  // namespace
}  // namespace korvane::hostapp
