// The scripted host against a small fake document module on the demo database.
#include "hostapp/script_host.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "host/print_file.h"
#include "host/settings_files.h"
#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/script_test_module.h"
#include "hostapp/test_database.h"
#include "records/cls_cpml.h"
#include "registration/registry.h"

namespace korvane::hostapp {
namespace {

using nlohmann::json;
using test::ScriptTestModule;

class ScriptHostTest : public ::testing::Test {
 protected:
  ScriptHostTest()
      : script_([this](std::string_view progid) -> std::shared_ptr<Object> {
          if (progid == "Korvane.SCCJD_S" || progid == "Korvane.pdmCpml") {
            return ClassRegistry::Instance().Create(progid);
          }
          if (progid != "Test.Fake") return nullptr;
          auto module = std::make_shared<ScriptTestModule>();
          created_.push_back(module);
          return module;
        }) {
    ReferenceHostOptions options;
    options.database_path = db_.path();
    options.user_name = "admin";
    options.business_date = std::chrono::year{2026} / 3 / 20;
    options.local_folder = folder_.path();
    std::string error;
    host_ = ReferenceHost::Open(options, script_.dialogs(), error);
    if (!host_) ADD_FAILURE() << error;
    script_.set_host(host_);
  }

  // Runs one step (numbered by the call) and returns its answer.
  json Step(const std::string& line) {
    const auto answer = script_.RunLine(line, ++step_);
    if (!answer) {
      ADD_FAILURE() << "no answer to " << line;
      return json::object();
    }
    EXPECT_EQ(answer->find('\n'), std::string::npos);
    return json::parse(*answer);
  }
  json Ok(const std::string& line) {
    json answer = Step(line);
    EXPECT_TRUE(answer.value("ok", false)) << line << "\n -> " << answer.dump();
    return answer;
  }
  std::string Fails(const std::string& line) {
    json answer = Step(line);
    EXPECT_FALSE(answer.value("ok", true)) << line << "\n -> " << answer.dump();
    return answer.value("error", "");
  }
  void OpenFake(const std::string& handle = "doc") {
    Ok(R"({"open": "Test.Fake", "as": ")" + handle + R"("})");
    Ok(R"({"call": "Init", "module": ")" + handle + R"(", "args": [2101]})");
  }
  ScriptTestModule& Fake(std::size_t i = 0) { return *created_.at(i); }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::vector<std::shared_ptr<ScriptTestModule>> created_;
  ScriptHost script_;
  std::shared_ptr<ReferenceHost> host_;
  int step_ = 0;
};

TEST_F(ScriptHostTest, OpensSeveralModulesByHandleAndClosesThemWithClear) {
  const json opened = Ok(R"({"open": "Test.Fake", "as": "a"})");
  EXPECT_EQ(opened["result"]["interfaces"], json({"IFormUI", "IDesignUI"}));
  Ok(R"({"open": "Test.Fake", "as": "b"})");
  EXPECT_NE(Fails(R"({"open": "Test.Fake", "as": "a"})").find("\"a\" is taken"), std::string::npos);
  EXPECT_NE(Fails(R"({"open": "Test.Nothing"})").find("no module Test.Nothing"), std::string::npos);

  // Init gets the host context: the caption comes from the database.
  EXPECT_EQ(Ok(R"({"call": "Init", "module": "a", "args": [2101, 7]})")["result"], true);
  EXPECT_EQ(Fake(0).init_progid, 2101);
  EXPECT_EQ(Fake(0).init_document_id, 7);
  EXPECT_EQ(Fake(0).form().caption(), "生产报工单");
  EXPECT_EQ(Fake(1).init_progid, 0) << "the call went to module a only";
  // Without a module key the last one opened answers.
  Ok(R"({"call": "Init", "args": [2102]})");
  EXPECT_EQ(Fake(1).init_progid, 2102);
  EXPECT_EQ(Fake(1).init_document_id, 0);

  const json closed = Ok(R"({"close": "a"})");
  EXPECT_EQ(closed["result"], true);
  EXPECT_TRUE(Fake(0).cleared);
  EXPECT_FALSE(Fake(1).cleared);
  const std::string error = Fails(R"({"call": "Refresh", "module": "a"})");
  EXPECT_NE(error.find("unknown module handle \"a\" (open: b)"), std::string::npos) << error;
  // The module's events no longer reach the script after it closed.
  EXPECT_TRUE(Ok(R"({"call": "Refresh", "module": "b"})")["events"][0]["module"] == "b");
}

TEST_F(ScriptHostTest, ConvertsArgumentsAndResults) {
  OpenFake();
  Ok(R"({"call": "Find", "args": [[[1, "物品编码 like ", "A-1"], ["", "数量>", 2.5], [true, "日期=", {"date": "2026-03-20"}]]]})");
  const ConditionArray& c = Fake().last_conditions;
  ASSERT_EQ(c.rows(), 3);
  ASSERT_EQ(c.cols(), 3);
  EXPECT_EQ(c.at(0, 0), Variant(1));
  EXPECT_EQ(c.at(1, 0), Variant("物品编码 like "));
  EXPECT_EQ(c.at(2, 0), Variant("A-1"));
  EXPECT_TRUE(c.at(0, 1).IsBlank());
  EXPECT_EQ(c.at(2, 1), Variant(2.5));
  EXPECT_EQ(c.at(0, 2), Variant(true));
  ASSERT_EQ(c.at(2, 2).type(), VarType::kDate);
  EXPECT_EQ(FormatDate(c.at(2, 2).date()), "2026-03-20");
  EXPECT_EQ(Ok(R"({"call": "Filter", "args": [null]})")["result"], true);
  EXPECT_TRUE(Fake().last_conditions.empty());

  Ok(R"({"call": "DoSetStatus", "args": ["02", true]})");
  EXPECT_EQ(Fake().last_status, "02");
  EXPECT_EQ(Ok(R"({"call": "CheckStatus"})")["result"], true);
  EXPECT_EQ(Ok(R"({"call": "GetID"})")["result"], 42);
  EXPECT_EQ(Ok(R"({"call": "IFormUI.ReturnPrintName"})")["result"], "p.txt");
  Ok(R"({"call": "SetParameters", "args": [{"backcolor": 255}]})");
  EXPECT_EQ(Fake().form().back_color(), 255u);
  EXPECT_EQ(Ok(R"({"call": "GetParameters"})")["result"], nullptr);

  // Wrong kinds and counts name the member and the argument.
  std::string error = Fails(R"({"call": "DoSetStatus", "args": ["02", "yes"]})");
  EXPECT_NE(error.find("argument 2 of DoSetStatus must be true or false"), std::string::npos)
      << error;
  error = Fails(R"({"call": "Init", "args": ["2101"]})");
  EXPECT_NE(error.find("argument 1 of Init must be a whole number"), std::string::npos) << error;
  error = Fails(R"({"call": "Find", "args": [[["1", "a="]]]})");
  EXPECT_NE(error.find("condition 1 must be a list of three"), std::string::npos) << error;
  error = Fails(R"({"call": "GetID", "args": [1]})");
  EXPECT_NE(error.find("IFormUI.GetID takes no arguments; got 1"), std::string::npos) << error;
  error = Fails(R"({"call": "Init", "args": [1, 2, 3]})");
  EXPECT_NE(error.find("takes 1 to 2 arguments"), std::string::npos) << error;
  error = Fails(R"({"call": "Launch"})");
  EXPECT_NE(error.find("unknown member Launch"), std::string::npos) << error;
  error = Fails(R"({"call": "IReportUI.Refresh"})");
  EXPECT_NE(error.find("does not implement IReportUI.Refresh"), std::string::npos) << error;
  error = Fails(R"({"call": "GetText"})");
  EXPECT_NE(error.find("does not implement IPickerUI.GetText"), std::string::npos) << error;
}

TEST_F(ScriptHostTest, ActsOnControlsAsAPersonDoes) {
  OpenFake();
  // Typing and leaving: the required field refuses to be left empty.
  EXPECT_EQ(Ok(R"({"act": "type", "control": "qxTxt", "index": 1, "text": "ABC"})")["result"],
            true);
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 1).text(), "ABC");
  EXPECT_EQ(Ok(R"({"act": "type", "control": "qxTxt", "index": 1, "text": ""})")["result"], false);
  EXPECT_EQ(Ok(R"({"act": "type", "control": "QXTXT", "index": 0, "text": 12.5})")["result"], true);
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "12.5");

  // Grid: an edit the module accepts, one it refuses with a box, a click, Delete on a row.
  EXPECT_EQ(
      Ok(R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "3"})")["result"],
      true);
  EXPECT_EQ(Fake().grid().TextMatrix(1, 2), "3");
  Ok(R"({"answer": "OK"})");
  const json refused =
      Ok(R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "x"})");
  EXPECT_EQ(refused["result"], false);
  EXPECT_EQ(refused["boxes"][0]["text"], "第1行数量必须是数字");
  EXPECT_EQ(Fake().grid().TextMatrix(1, 2), "3");
  Ok(R"({"act": "click", "control": "qxGrid", "row": 2, "col": 1})");
  EXPECT_EQ(Fake().grid().row(), 2);
  const json deleted = Ok(R"({"act": "delete_row", "control": "qxGrid", "row": 1})");
  EXPECT_EQ(deleted["events"][0]["text"], "deleted row 1");
  EXPECT_EQ(Fake().grid().TextMatrix(1, 1), "B-200");
  Ok(R"({"act": "key", "control": "qxGrid", "row": 1, "col": 1, "key": "Down", "shift": "shift+ctrl"})");
  EXPECT_EQ(Fake().last_shift, controls::keys::kShiftMask | controls::keys::kCtrlMask);

  // Check box, combo box, tree, timer, wheel.
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "Chk"})")["events"][0]["text"], "check 1");
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "Chk", "value": 1})")["events"].size(), 0u)
      << "ticking a ticked box changes nothing";
  EXPECT_EQ(Ok(R"({"act": "choose", "control": "cboType", "text": "返工"})")["events"][0]["text"],
            "chose 返工");
  EXPECT_NE(Fails(R"({"act": "choose", "control": "cboType", "text": "外协"})").find("no item"),
            std::string::npos);
  EXPECT_EQ(Ok(R"({"act": "click", "control": "tvw", "node": "c1"})")["events"][0]["text"],
            "node c1");
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "tmr"})")["result"], true);
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "tmr"})")["result"], false)
      << "the module stopped its timer";
  Fake().grid().set_rows(40);
  Ok(R"({"act": "wheel", "position": 6})");
  EXPECT_EQ(Fake().grid().top_row(), 10);

  // What a person cannot do fails the step, naming the control.
  std::string error = Fails(R"({"act": "click", "control": "cmdLocked"})");
  EXPECT_NE(error.find("cmdLocked: it is disabled"), std::string::npos) << error;
  error = Fails(R"({"act": "click", "control": "cmdMissing"})");
  EXPECT_NE(error.find("no control cmdMissing on module doc"), std::string::npos) << error;
  error = Fails(R"({"act": "type", "control": "qxTxt", "text": "a"})");
  EXPECT_NE(error.find("control array of 2; give an \"index\""), std::string::npos) << error;
  error = Fails(R"({"act": "type", "control": "qxTxt", "index": 5, "text": "a"})");
  EXPECT_NE(error.find("no control qxTxt(5)"), std::string::npos) << error;
  error = Fails(R"({"act": "edit", "control": "qxGrid", "row": 99, "col": 1, "text": "a"})");
  EXPECT_NE(error.find("cell (99, 1) is outside qxGrid"), std::string::npos) << error;
  error = Fails(R"({"act": "edit", "control": "Chk", "row": 1, "col": 1, "text": "a"})");
  EXPECT_NE(error.find("needs a grid; Chk is a check_box"), std::string::npos) << error;
  error = Fails(R"({"act": "key", "control": "qxGrid", "key": "Hyper"})");
  EXPECT_NE(error.find("unknown key"), std::string::npos) << error;
  error = Fails(R"({"act": "juggle", "control": "qxGrid"})");
  EXPECT_NE(error.find("unknown act \"juggle\""), std::string::npos) << error;
}

TEST_F(ScriptHostTest, BoxesTakeQueuedAnswersAndFailWithoutOne) {
  OpenFake();
  Ok(R"({"answer": ["Yes", "no"]})");
  json answer = Ok(R"({"act": "click", "control": "cmdAsk"})");
  EXPECT_EQ(answer["events"][0]["text"], "answer Yes");
  EXPECT_EQ(answer["boxes"][0]["answer"], "Yes");
  EXPECT_EQ(answer["boxes"][0]["buttons"], "Yes/No");
  EXPECT_EQ(Ok(R"({"act": "click", "control": "cmdAsk"})")["events"][0]["text"], "answer No");

  // No answer queued: the module gets the safest answer, and the step fails saying what came.
  answer = Step(R"({"act": "click", "control": "cmdAsk"})");
  EXPECT_FALSE(answer["ok"]);
  const std::string error = answer["error"];
  EXPECT_NE(error.find("unexpected message box \"保存修改吗？\" titled \"提示：\" with buttons "
                       "Yes/No"),
            std::string::npos)
      << error;
  EXPECT_EQ(answer["events"][0]["text"], "answer No");
  EXPECT_EQ(answer["boxes"][0]["answer"], nullptr);

  // An answer the box has no button for is refused as well.
  Ok(R"({"answer": "Retry"})");
  EXPECT_NE(Fails(R"({"act": "click", "control": "cmdAsk"})").find("does not fit"),
            std::string::npos);
  EXPECT_NE(Fails(R"({"answer": "Maybe"})").find("unknown answer \"Maybe\""), std::string::npos);

  // Input boxes: a text, a cancel, and none queued.
  Ok(R"({"input": ["7", null]})");
  Ok(R"({"act": "click", "control": "cmdInput"})");
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "7");
  Ok(R"({"act": "click", "control": "cmdInput"})");
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "(cancelled)");
  EXPECT_NE(
      Fails(R"({"act": "click", "control": "cmdInput"})").find("unexpected input box \"数量\""),
      std::string::npos);

  // Answers wait for boxes to come.
  Ok(R"({"answer": "Yes"})");
  Ok(R"({"expect": {"queued": 1}})");
  EXPECT_NE(Fails(R"({"expect": {"queued": 0}})").find("1 answers are still queued"),
            std::string::npos);
}

TEST_F(ScriptHostTest, DrivesADialogFormTheModuleShows) {
  OpenFake();
  json shown = Ok(R"({"act": "click", "control": "cmdDialog"})");
  EXPECT_EQ(shown["events"][0]["event"], "FormShown");
  EXPECT_EQ(shown["events"][0]["form"], "frmPick");
  Ok(R"({"expect": {"dialogs": ["frmPick"]}})");
  Ok(R"({"act": "type", "form": "frmPick", "control": "txtCode", "text": "Z-9"})");
  const json done = Ok(R"({"act": "click", "form": "frmPick", "control": "cmdOK"})");
  EXPECT_EQ(done["events"][0]["module"], "doc");
  EXPECT_EQ(done["events"][0]["text"], "picked");
  EXPECT_EQ(done["events"][1]["event"], "FormClosed");
  EXPECT_EQ(Fake().grid().TextMatrix(1, 1), "Z-9");
  const std::string error = Fails(R"({"act": "click", "form": "frmPick", "control": "cmdOK"})");
  EXPECT_NE(error.find("no dialog form frmPick is shown (shown: none)"), std::string::npos)
      << error;
  // Closing the module forgets its dialogs.
  Ok(R"({"act": "click", "control": "cmdDialog"})");
  Ok(R"({"close": true})");
  Fails(R"({"snapshot": true, "form": "frmPick"})");
}

TEST_F(ScriptHostTest, SnapshotShowsEveryControlAndTheGridsHiddenParts) {
  OpenFake();
  const json snap = Ok(R"({"snapshot": "doc"})")["snapshot"];
  EXPECT_EQ(snap["form"], "frmFake");
  EXPECT_EQ(snap["caption"], "生产报工单");
  std::map<std::string, json> by_label;
  for (const auto& c : snap["controls"]) {
    const int index = c["index"];
    by_label[c["name"].get<std::string>() + (index >= 0 ? "(" + std::to_string(index) + ")" : "")] =
        c;
  }
  EXPECT_EQ(by_label.size(), Fake().form().Controls().size());
  EXPECT_EQ(by_label["qxTxt(1)"]["kind"], "text_box");
  EXPECT_EQ(by_label["cmdLocked"]["enabled"], false);
  EXPECT_EQ(by_label["cmdAsk"]["caption"], "保存");
  EXPECT_EQ(by_label["cboType"]["items"], json({"生产", "返工"}));
  EXPECT_EQ(by_label["tvw"]["nodes"][1]["parent"], "r");
  const json& grid = by_label["qxGrid"];
  EXPECT_EQ(grid["cells"][0], json({"#", "产品", "数量", "ID"}));
  EXPECT_EQ(grid["cells"][2][1], "B-200");
  EXPECT_EQ(grid["keys"], json({{1, 1, 100}, {2, 1, 200}}));
  EXPECT_EQ(grid["pictures"], json({{2, 2, "note"}}));
  EXPECT_EQ(grid["hidden_cols"], json({3}));
  EXPECT_EQ(grid["hidden_rows"], json({3}));
  EXPECT_EQ(grid["widths"][1], 1500);
  // One control alone.
  EXPECT_EQ(Ok(R"({"snapshot": true, "control": "Chk"})")["snapshot"]["value"], 0);
}

TEST_F(ScriptHostTest, SnapshotShowsStylesFormatsPlacesAndTheHost) {
  OpenFake();
  const json snap = Ok(R"({"snapshot": "doc"})")["snapshot"];
  EXPECT_EQ(snap["busy"], false);
  EXPECT_EQ(snap["width"], 4800);
  EXPECT_EQ(snap["height"], 3600);
  EXPECT_EQ(snap["host"], json({{"title", "Korvane"}, {"user", "admin"}, {"date", "2026-03-20"}}));
  std::map<std::string, json> by_name;
  for (const auto& c : snap["controls"]) {
    if (c["index"] <= 0) by_name[c["name"]] = c;
  }
  EXPECT_EQ(by_name["cmdAsk"]["tooltip"], "保存修改");
  EXPECT_EQ(by_name["Chk"]["tooltip"], "");
  const json& field = by_name["qxTxt"];
  EXPECT_EQ(json::array({field["left"], field["top"], field["width"], field["height"]}),
            json({120, 120, 2400, 300}));
  const json& grid = by_name["qxGrid"];
  // The two grey cells of column 1 are one run; the bold cell stands alone.
  EXPECT_EQ(grid["styles"],
            json::parse(R"([[[1, 2], 1, {"fore_color": 8388608, "back_color": 14737632}],
                            [2, 2, {"bold": true}]])"));
  EXPECT_EQ(grid["formats"], json({"", "", "#,##0.00", ""}));
  EXPECT_EQ(grid["data_types"], json({0, 0, 5, 0}));
  EXPECT_EQ(grid["top_row"], 1);
  EXPECT_EQ(grid["left_col"], 1);

  // A run breaks where the style changes, and a run may reach the last row.
  Fake().grid().SetCellForeColor(2, 1, 255);
  Fake().grid().SetCellBold(3, 2, true);
  const json styles = Ok(R"({"snapshot": true, "control": "qxGrid"})")["snapshot"]["styles"];
  EXPECT_EQ(styles, json::parse(R"([[1, 1, {"fore_color": 8388608, "back_color": 14737632}],
                                    [2, 1, {"fore_color": 255, "back_color": 14737632}],
                                    [[2, 3], 2, {"bold": true}]])"));
}

TEST_F(ScriptHostTest, ExpectationsSeeColoursFormatsFocusTooltipsAndTheWaitCursor) {
  OpenFake();
  Ok(R"({"expect": [{"control": "qxGrid", "row": 1, "col": 1, "fore_color": 8388608, "back_color": 14737632, "bold": false},
                    {"control": "qxGrid", "row": 2, "col": 2, "bold": true, "back_color": null},
                    {"control": "qxGrid", "col": 2, "format": "#,##0.00", "data_type": 5},
                    {"control": "qxGrid", "top_row": 1, "left_col": 1},
                    {"control": "cboType", "items": ["生产", "返工"]},
                    {"control": "cmdAsk", "tooltip": "保存修改", "width": 0},
                    {"host": {"title": "Korvane"}}]})");
  std::string error =
      Fails(R"({"expect": {"control": "qxGrid", "row": 1, "col": 2, "back_color": 14737632}})");
  EXPECT_NE(error.find("qxGrid cell (1, 2).back_color is null, expected 14737632"),
            std::string::npos)
      << error;
  error = Fails(R"({"expect": {"control": "cboType", "items": ["生产"]}})");
  EXPECT_NE(error.find("cboType.items is [\"生产\",\"返工\"]"), std::string::npos) << error;
  error = Fails(R"({"expect": {"host": {"title": "Korvane", "colour": 1}}})");
  EXPECT_NE(error.find("the host has no property \"colour\""), std::string::npos) << error;

  Fake().grid().set_rows(40);
  Ok(R"({"act": "wheel", "position": 4, "expect": {"control": "qxGrid", "top_row": 6}})");

  // The focus, by the label of the control that holds it.
  Ok(R"({"expect": {"focused": null}})");
  Ok(R"js({"act": "focus", "control": "qxTxt", "index": 1, "expect": {"focused": "qxTxt(1)"}})js");
  error = Fails(R"({"expect": {"focused": "qxGrid"}})");
  EXPECT_NE(error.find("the focused control of module doc is \"qxTxt(1)\", expected \"qxGrid\""),
            std::string::npos)
      << error;

  // The wait cursor shows while the module refreshes and is gone when it returns; the next
  // command did not show it.
  Ok(R"({"call": "Refresh", "expect": [{"was_busy": true}, {"busy": false}]})");
  Ok(R"({"expect": {"was_busy": true}})");
  Ok(R"({"call": "GetID", "expect": {"was_busy": false}})");
  Fake().form().set_busy(true);
  Ok(R"({"expect": {"busy": true}})");
}

TEST_F(ScriptHostTest, ResizesTheFormAndDragsABar) {
  OpenFake();
  // The module's proportional layout follows the new size.
  Ok(R"({"act": "resize", "width": 9600, "height": 7200, "expect": {"control": "qxTxt", "index": 0, "left": 240, "top": 240, "width": 4800, "height": 300}})");
  EXPECT_EQ(Fake().form().inner_width(), 9600);
  std::string error = Fails(R"({"act": "resize", "width": 9600})");
  EXPECT_NE(error.find("act \"resize\" on form frmFake needs \"width\" and \"height\""),
            std::string::npos)
      << error;
  error = Fails(R"({"act": "resize", "width": 0, "height": 100})");
  EXPECT_NE(error.find("wider and higher than 0"), std::string::npos) << error;

  // A drag is press, sideways move and release, measured from the bar's left edge.
  auto& bar = Fake().form().Get<test::DragBar>("bar");
  const double left = bar.geometry().left;
  Ok(R"({"act": "drag", "control": "bar", "by": -300})");
  Ok(R"({"act": "drag", "control": "bar", "to": )" + FormatNumber(left + 450) + "}");
  EXPECT_EQ(bar.log, (std::vector<std::string>{"down 1 0", "move 1 -300", "up 1 -300", "down 1 0",
                                               "move 1 450", "up 1 450"}));
  error = Fails(R"({"act": "drag", "control": "bar", "by": 1, "to": 2})");
  EXPECT_NE(error.find("needs either \"by\""), std::string::npos) << error;
  error = Fails(R"({"act": "drag", "control": "qxGrid", "by": 100})");
  EXPECT_NE(error.find("needs a control a person drags"), std::string::npos) << error;
  bar.set_enabled(false);
  error = Fails(R"({"act": "drag", "control": "bar", "by": 100})");
  EXPECT_NE(error.find("cannot drag bar: it is disabled"), std::string::npos) << error;
  EXPECT_EQ(bar.log.size(), 6u);
}

TEST_F(ScriptHostTest, ReadsThePickersRecord) {
  Ok(R"({"open": "Korvane.pdmCpml", "as": "cp"})");
  EXPECT_EQ(Ok(R"({"call": "Objects"})")["result"], nullptr) << "no record before Init";
  Ok(R"({"call": "Init", "args": [6101, ""]})");
  Ok(R"({"call": "Validate", "args": ["", "", "", "YG-45-20"]})");
  // Every property, in the record's own order (which a sorted JSON object would lose).
  const auto answer = script_.RunLine(R"({"call": "Objects"})", ++step_);
  ASSERT_TRUE(answer);
  const nlohmann::ordered_json record = nlohmann::ordered_json::parse(*answer)["result"];
  ASSERT_TRUE(record.is_object());
  std::vector<std::string> names;
  for (const auto& [name, value] : record.items()) names.push_back(name);
  std::vector<std::string> declared;
  for (const auto& info : clsCpml::Properties()) declared.emplace_back(info.name);
  EXPECT_EQ(names, declared);
  EXPECT_EQ(record["l产品ID"], 1);
  EXPECT_EQ(record["s物品编码"], "YG-45-20");
  EXPECT_EQ(record["Change"], true);
  EXPECT_EQ(record["b是否使用"], true);

  Ok(R"({"expect": {"objects": {"l产品ID": 1, "Change": true}}})");
  std::string error = Fails(R"({"expect": {"objects": {"l产品ID": 2, "l不存在": 0}}})");
  EXPECT_NE(error.find("the record of module cp.l产品ID is 1, expected 2"), std::string::npos)
      << error;
  EXPECT_NE(error.find("the record of module cp has no property \"l不存在\""), std::string::npos)
      << error;
  OpenFake();
  error = Fails(R"({"expect": {"objects": {"Change": true}}})");
  EXPECT_NE(error.find("module doc is no picker"), std::string::npos) << error;
}

TEST_F(ScriptHostTest, ReadsThePrintDataAndSettingsTheModuleWrote) {
  OpenFake();
  Fake().print_name = "";
  std::string error = Fails(R"({"read_print": "doc"})");
  EXPECT_NE(error.find("names no print data file (ReturnPrintName is empty): it has not printed"),
            std::string::npos)
      << error;
  Fake().print_name = folder_ / "2101.txt";
  error = Fails(R"({"read_print": true})");
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;

  JsonPrintDataWriter writer;
  writer.AddValue("金额大写", "柒拾贰元整");
  writer.AddValue("车间名称", "机加工车间");
  writer.AddTable("qxGrid", {{"#", "产品"}, {"1", "泵轴"}});
  ASSERT_TRUE(writer.WriteFile(Fake().print_name));
  const json read = Ok(R"({"read_print": "doc"})")["result"];
  EXPECT_EQ(read["file"], Fake().print_name);
  EXPECT_EQ(read["values"]["车间名称"], "机加工车间");
  EXPECT_EQ(read["tables"]["qxGrid"][1][1], "泵轴");
  Ok(R"({"expect": {"print": {"values": {"金额大写": "柒拾贰元整"}, "rows": 2, "cells": [[0, 1, "产品"], [1, 1, "泵轴"]]}}})");
  error = Fails(
      R"({"expect": {"print": {"values": {"数量合计": "1"}, "cells": [[1, 1, "叶轮"], [5, 0, "1"]]}}})");
  EXPECT_NE(error.find("the print data's values has no property \"数量合计\""), std::string::npos)
      << error;
  EXPECT_NE(error.find("the printed table qxGrid cell (1, 1) is \"泵轴\", expected \"叶轮\""),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("cell (5, 0) is outside the table"), std::string::npos) << error;
  error = Fails(R"({"expect": {"print": {"table": "lines", "rows": 1}}})");
  EXPECT_NE(error.find("the print data has no table \"lines\""), std::string::npos) << error;
  error = Fails(R"({"expect": {"print": {"value": {}}}})");
  EXPECT_NE(error.find("unknown key \"value\" in \"print\""), std::string::npos) << error;

  // A settings file, as the modules write it.
  ASSERT_TRUE(WriteSetting("2101Fake", "Form", "Width", "12000", *host_));
  ASSERT_TRUE(WriteSetting("2101Fake", "vscolwidth_qxGrid", "VsCol1", "1500", *host_));
  EXPECT_EQ(
      Ok(R"({"read_settings": "2101Fake"})")["result"],
      json::parse(R"({"Form": {"Width": "12000"}, "vscolwidth_qxGrid": {"VsCol1": "1500"}})"));
  EXPECT_EQ(Ok(R"({"read_settings": "2101Fake", "section": "FORM"})")["result"],
            json({{"Width", "12000"}}));
  EXPECT_EQ(Ok(R"({"read_settings": "2101Fake", "section": "Form", "key": "width"})")["result"],
            "12000");
  EXPECT_EQ(Ok(R"({"read_settings": "2101Fake", "section": "Form", "key": "Height"})")["result"],
            nullptr);
  EXPECT_EQ(Ok(R"({"read_settings": "NoSuchFile"})")["result"], json::object());
  Ok(R"({"expect": {"settings": {"file": "2101Fake", "section": "Form", "values": {"Width": 12000, "Height": null}}}})");
  error = Fails(
      R"({"expect": {"settings": {"file": "2101Fake", "section": "Form", "values": {"Width": "9600", "Left": "0"}}}})");
  EXPECT_NE(error.find("the setting [Form] Width of 2101Fake is \"12000\", expected \"9600\""),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("[Form] Left of 2101Fake is absent"), std::string::npos) << error;
  error = Fails(R"({"read_settings": "2101Fake", "key": "Width"})");
  EXPECT_NE(error.find("\"key\" needs a \"section\""), std::string::npos) << error;
}

TEST_F(ScriptHostTest, ExpectationsCheckControlsResultsEventsAndTables) {
  OpenFake();
  Ok(R"({"call": "Refresh", "expect": [{"result": true}, {"events": ["Message", "FormRefreshed"]},
        {"event": {"event": "Message", "text": "refreshed"}}, {"no_event": "ErrMessage"}]})");
  // A standalone expectation looks at the step before it.
  Ok(R"({"expect": {"event": {"event": "FormRefreshed", "module": "doc"}}})");
  Ok(R"({"call": "FileDelete"})");
  Ok(R"({"expect": {"event": {"event": "ErrMessage", "level": 8, "title": "Korvane", "text_contains": "-->FileDelete::"}}})");
  EXPECT_NE(Fails(R"({"expect": {"no_event": "ErrMessage"}})").find("an unwanted ErrMessage"),
            std::string::npos);

  Ok(R"({"expect": [{"control": "qxGrid", "row": 1, "col": 1, "text": "A-100", "key": 100},
                    {"control": "qxGrid", "col": 3, "hidden": true},
                    {"control": "qxGrid", "row": 3, "hidden": true},
                    {"control": "qxGrid", "row_count": 4},
                    {"control": "cmdLocked", "enabled": false, "caption": ""},
                    {"caption": "生产报工单"}]})");
  std::string error =
      Fails(R"({"expect": {"control": "qxGrid", "row": 2, "col": 1, "text": "A-100"}})");
  EXPECT_NE(error.find("qxGrid cell (2, 1).text is \"B-200\", expected \"A-100\""),
            std::string::npos)
      << error;
  error = Fails(R"({"expect": {"control": "Chk", "colour": 1}})");
  EXPECT_NE(error.find("Chk has no property \"colour\""), std::string::npos) << error;
  error = Fails(R"({"call": "GetID", "expect": {"result": 41}})");
  EXPECT_NE(error.find("the result is 42, expected 41"), std::string::npos) << error;
  error = Fails(R"({"expect": {"weather": "fine"}})");
  EXPECT_NE(error.find("unknown expectation \"weather\""), std::string::npos) << error;

  // The database, through the data service's T-SQL.
  Ok(R"({"sql": "SELECT TOP 1 progID, menuname FROM xt_menu WHERE progID = 2101", "expect_rows": [[2101, "生产报工单"]]})");
  error = Fails(
      R"({"sql": "SELECT progID FROM xt_menu WHERE progID IN (2101, 2102) ORDER BY progID", "expect_rows": [[2101], [2103]]})");
  EXPECT_NE(error.find("row 2, column progID is 2102, expected 2103"), std::string::npos) << error;
  error = Fails(R"({"sql": "SELECT 1 FROM xt_menu WHERE progID = -5", "expect_count": 1})");
  EXPECT_NE(error.find("returned 0 rows, expected 1"), std::string::npos) << error;
  EXPECT_NE(Fails(R"({"sql": "SELECT nothing FROM nowhere"})").find("the database refused"),
            std::string::npos);
}

TEST_F(ScriptHostTest, ReportsEveryBrokenStepAndGoesOn) {
  OpenFake();
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {R"({"call": "Refresh")", "malformed JSON"},
      {R"([1, 2])", "a step must be a JSON object"},
      {R"({"launch": "x"})", "unknown command"},
      {R"({"call": "Refresh", "act": "click"})",
       "a step holds one command; this one has call and act"},
      {R"({"call": "Refresh", "modul": "doc"})", "unknown key \"modul\" for command call"},
      {R"({"call": 5})", "\"call\" must be a text"},
      {R"({"act": "click", "control": "cmdThrow"})", "the module threw: boom"},
      {R"({"close": "nobody"})", "unknown module handle \"nobody\""},
  };
  for (const auto& c : cases) {
    const json answer = Step(c.line);
    EXPECT_EQ(answer["step"], step_);
    EXPECT_FALSE(answer["ok"]) << c.line;
    const std::string error = answer.value("error", "");
    EXPECT_EQ(error.rfind("step " + std::to_string(step_), 0), 0u) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.line << " -> " << error;
  }
  EXPECT_EQ(script_.failures(), static_cast<int>(std::size(cases)));
  // The module is still there and answers.
  EXPECT_EQ(Ok(R"({"call": "GetID"})")["result"], 42);
}

TEST_F(ScriptHostTest, RunNumbersStepsByLineSkipsCommentsAndSetsTheExitStatus) {
  std::istringstream good(
      "# a clerk's session\n"
      "\n"
      "{\"open\": \"Test.Fake\", \"as\": \"doc\"}\n"
      "// initialise\r\n"
      "{\"call\": \"Init\", \"args\": [2101], \"expect\": {\"result\": true}}\r\n");
  std::ostringstream out;
  EXPECT_EQ(script_.Run(good, out), 0);
  std::istringstream lines(out.str());
  std::vector<json> answers;
  for (std::string line; std::getline(lines, line);) answers.push_back(json::parse(line));
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0]["step"], 3);
  EXPECT_EQ(answers[1]["step"], 5);
  EXPECT_TRUE(answers[1]["ok"]);

  std::istringstream bad(
      "{\"call\": \"GetID\", \"expect\": {\"result\": 1}}\n{\"call\": \"GetID\"}\n");
  std::ostringstream out2;
  EXPECT_EQ(script_.Run(bad, out2), 1);
  EXPECT_NE(out2.str().find("\"step\":2,\"command\":\"call\",\"ok\":true"), std::string::npos)
      << "the run goes on after a failed step: " << out2.str();
}

TEST_F(ScriptHostTest, ApproveAndWithdrawRecordTheStateOnlyWhenTheModuleAgrees) {
  const std::string state = "SELECT smark, 审核, 审核日期 FROM SFCDJ WHERE 报工单ID = 4";
  EXPECT_NE(Fails(R"({"approve": "wr"})").find("unknown module handle \"wr\""), std::string::npos);
  Ok(R"({"open": "Korvane.SCCJD_S", "as": "wr"})");
  EXPECT_NE(Fails(R"({"approve": "wr"})").find("was not initialised with a program id"),
            std::string::npos);
  EXPECT_NE(Fails(R"({"withdraw": 5})").find("must be a module handle or true"), std::string::npos);
  EXPECT_NE(Fails(R"({"approve": "wr", "args": []})").find("unknown key \"args\""),
            std::string::npos);
  Ok(R"({"call": "Init", "args": [2101]})");
  Ok(R"({"call": "Refresh", "expect": {"control": "qxTxt", "index": 0, "text": "BG2026030002"}})");

  const json approved = Ok(R"({"approve": "wr", "expect": {"result": true}})");
  EXPECT_EQ(approved["command"], "approve");
  Ok(R"({"sql": ")" + state + R"(", "expect_rows": [["02", "admin", "2026-03-20"]]})");
  Ok(R"({"sql": "SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 4", "expect_rows": [[4]]})");
  // The module itself learns of it when the script refreshes it, as a person would.
  Ok(R"({"call": "CheckStatus", "args": [""], "expect": {"result": false}})");

  Ok(R"({"withdraw": true, "expect": {"result": true}})");
  Ok(R"({"sql": ")" + state + R"(", "expect_rows": [["01", "", ""]]})");
  Ok(R"({"sql": "SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 4", "expect_rows": [[0]]})");

  // Report 2 was taken into payroll: the module refuses, and the state stays.
  Ok(R"({"open": "Korvane.SCCJD_S", "as": "paid"})");
  Ok(R"({"call": "Init", "args": [2101, 2]})");
  Ok(R"({"call": "Refresh"})");
  const json refused = Ok(
      R"({"withdraw": "paid", "expect": [{"result": false}, {"event": {"event": "ErrMessage", "text_contains": "已有部分数据记入工资系统"}}]})");
  EXPECT_EQ(refused["result"], false);
  Ok(R"({"sql": "SELECT smark FROM SFCDJ WHERE 报工单ID = 2", "expect_rows": [["02"]]})");

  // A module that refuses approval gets nothing recorded; one without IFormUI cannot be asked.
  OpenFake();
  EXPECT_EQ(Ok(R"({"approve": "doc"})")["result"], false);
}

TEST_F(ScriptHostTest, ReferenceHostRecordsApprovalsOfWorkReportsAndMasterPlans) {
  std::string error;
  ASSERT_TRUE(host_->MarkApproval(3101, 4, true, error)) << error;
  EXPECT_TRUE(error.empty());
  Ok(R"({"sql": "SELECT smark, 审核, 审核日期 FROM MRPPlan WHERE 主计划组ID = 4", "expect_rows": [["02", "admin", "2026-03-20"]]})");
  ASSERT_TRUE(host_->MarkApproval(3101, 4, false, error)) << error;
  Ok(R"({"sql": "SELECT smark, 审核, 审核日期 FROM MRPPlan WHERE 主计划组ID = 4", "expect_rows": [["01", "", ""]]})");
  ASSERT_TRUE(host_->MarkApproval(2102, 5, true, error)) << error;
  Ok(R"({"sql": "SELECT smark FROM SFCDJ WHERE 报工单ID = 5", "expect_rows": [["02"]]})");

  const auto refused = [&](std::int32_t progid, std::int32_t id, const std::string& why) {
    std::string text;
    EXPECT_FALSE(host_->MarkApproval(progid, id, true, text));
    EXPECT_NE(text.find(why), std::string::npos) << text;
  };
  refused(6101, 1, "keep no approval state");
  refused(9999, 1, "has no document class");
  refused(2101, 99, "has no document 99");
  // Report 4 is a production report, not a rework report.
  refused(2102, 4, "has no document 4");
  Ok(R"({"sql": "SELECT smark FROM SFCDJ WHERE 报工单ID = 4", "expect_rows": [["01"]]})");
}

}  // namespace
}  // namespace korvane::hostapp
