// The scripted host against a small fake document module on the demo database.
#include "hostapp/script_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/print_file.h"
#include "host/settings_files.h"
#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/script_test_module.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "records/cls_cpml.h"
#include "registration/registry.h"

namespace korvane::hostapp {
namespace {

using ::testing::HasSubstr;

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
        }),
        host_(test::OpenClerkHost(db_.path(), folder_.path(), script_.dialogs())) {
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
  // A step that must fail with an error saying `part`.
  void FailsWith(const std::string& line, std::string_view part) {
    const std::string error = Fails(line);
    EXPECT_THAT(error, HasSubstr(part)) << line;
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
  FailsWith(R"({"open": "Test.Fake", "as": "a"})", "\"a\" is taken");
  FailsWith(R"({"open": "Test.Nothing"})", "no module Test.Nothing");

  // Init gets the host context: the caption comes from the database.
  EXPECT_EQ(Ok(R"({"call": "Init", "module": "a", "args": [2101, 7]})")["result"], true);
  EXPECT_EQ(Fake(0).init_progid, 2101);
  EXPECT_EQ(Fake(0).init_document_id, 7);
  EXPECT_EQ(Fake(0).form().caption(), "生产报工单");
  EXPECT_EQ(Fake(1).init_progid, 0) << "the call went to module a only";
  // Without a module key the last one opened answers.
  Ok(R"({"call": "Init", "args": [2102]})");
  EXPECT_EQ(Fake(1).init_progid, 2102);

  Ok(R"({"close": "a"})");
  EXPECT_TRUE(Fake(0).cleared);
  EXPECT_FALSE(Fake(1).cleared);
  FailsWith(R"({"call": "Refresh", "module": "a"})", "unknown module handle \"a\" (open: b)");
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
  EXPECT_EQ(Ok(R"({"call": "IFormUI.ReturnPrintName"})")["result"], "p.txt");
  Ok(R"({"call": "SetParameters", "args": [{"backcolor": 255}]})");
  EXPECT_EQ(Fake().form().back_color(), 255u);
  EXPECT_EQ(Ok(R"({"call": "GetParameters"})")["result"], nullptr);

  // Wrong kinds and counts name the member and the argument.
  FailsWith(R"({"call": "DoSetStatus", "args": ["02", "yes"]})",
            "argument 2 of DoSetStatus must be true or false");
  FailsWith(R"({"call": "Init", "args": ["2101"]})", "argument 1 of Init must be a whole number");
  FailsWith(R"({"call": "Find", "args": [[["1", "a="]]]})", "condition 1 must be a list of three");
  FailsWith(R"({"call": "GetID", "args": [1]})", "IFormUI.GetID takes no arguments; got 1");
  FailsWith(R"({"call": "Init", "args": [1, 2, 3]})", "takes 1 to 2 arguments");
  FailsWith(R"({"call": "Launch"})", "unknown member Launch");
  FailsWith(R"({"call": "IReportUI.Refresh"})", "does not implement IReportUI.Refresh");
  FailsWith(R"({"call": "GetText"})", "does not implement IPickerUI.GetText");
}

TEST_F(ScriptHostTest, ActsOnControlsAsAPersonDoes) {
  OpenFake();
  // The scenarios drive every act on real modules; here, the rules they take for granted.
  // A refused leave is the step's result, and control names ignore case.
  EXPECT_EQ(Ok(R"({"act": "type", "control": "qxTxt", "index": 1, "text": ""})")["result"], false);
  EXPECT_EQ(Ok(R"({"act": "type", "control": "QXTXT", "index": 0, "text": 12.5})")["result"], true);
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "12.5");
  // An edit the module refuses with a box keeps the cell.
  Ok(R"({"answer": "OK"})");
  const json refused =
      Ok(R"({"act": "edit", "control": "qxGrid", "row": 1, "col": 2, "text": "x"})");
  EXPECT_EQ(refused["result"], false);
  EXPECT_EQ(refused["boxes"][0]["text"], "第1行数量必须是数字");
  EXPECT_EQ(Fake().grid().TextMatrix(1, 2), "");
  Ok(R"({"act": "key", "control": "qxGrid", "row": 1, "col": 1, "key": "Down", "shift": "shift+ctrl"})");
  EXPECT_EQ(Fake().last_shift, controls::keys::kShiftMask | controls::keys::kCtrlMask);
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "Chk"})")["events"][0]["text"], "check 1");
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "Chk", "value": 1})")["events"].size(), 0u)
      << "ticking a ticked box changes nothing";
  FailsWith(R"({"act": "choose", "control": "cboType", "text": "外协"})", "no item");
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "tmr"})")["result"], true);
  EXPECT_EQ(Ok(R"({"act": "tick", "control": "tmr"})")["result"], false)
      << "the module stopped its timer";

  // What a person cannot do fails the step, naming the control.
  FailsWith(R"({"act": "click", "control": "cmdLocked"})", "cmdLocked: it is disabled");
  FailsWith(R"({"act": "click", "control": "cmdMissing"})", "no control cmdMissing on module doc");
  FailsWith(R"({"act": "type", "control": "qxTxt", "text": "a"})",
            "control array of 2; give an \"index\"");
  FailsWith(R"({"act": "type", "control": "qxTxt", "index": 5, "text": "a"})",
            "no control qxTxt(5)");
  FailsWith(R"({"act": "edit", "control": "qxGrid", "row": 99, "col": 1, "text": "a"})",
            "cell (99, 1) is outside qxGrid");
  FailsWith(R"({"act": "edit", "control": "Chk", "row": 1, "col": 1, "text": "a"})",
            "needs a grid; Chk is a check_box");
  FailsWith(R"({"act": "key", "control": "qxGrid", "key": "Hyper"})", "unknown key");
  FailsWith(R"({"act": "juggle", "control": "qxGrid"})", "unknown act \"juggle\"");
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
  EXPECT_THAT(error,
              HasSubstr("unexpected message box \"保存修改吗？\" titled \"提示：\" with buttons "
                        "Yes/No"));
  EXPECT_EQ(answer["events"][0]["text"], "answer No");
  EXPECT_EQ(answer["boxes"][0]["answer"], nullptr);

  // An answer the box has no button for is refused as well.
  Ok(R"({"answer": "Retry"})");
  FailsWith(R"({"act": "click", "control": "cmdAsk"})", "does not fit");
  FailsWith(R"({"answer": "Maybe"})", "unknown answer \"Maybe\"");

  // Input boxes: a text, a cancel, and none queued.
  Ok(R"({"input": ["7", null]})");
  Ok(R"({"act": "click", "control": "cmdInput"})");
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "7");
  Ok(R"({"act": "click", "control": "cmdInput"})");
  EXPECT_EQ(Fake().form().Get<controls::TextBox>("qxTxt", 0).text(), "(cancelled)");
  FailsWith(R"({"act": "click", "control": "cmdInput"})", "unexpected input box \"数量\"");

  // Answers wait for boxes to come.
  Ok(R"({"answer": "Yes"})");
  Ok(R"({"expect": {"queued": 1}})");
  FailsWith(R"({"expect": {"queued": 0}})", "1 answers are still queued");
}

// Driving a dialog form is what the scenarios' pickers and allocation dialogs do; here, the
// forms no longer shown.
TEST_F(ScriptHostTest, OnlyADialogFormStillShownCanBeDriven) {
  OpenFake();
  Ok(R"({"act": "click", "control": "cmdDialog"})");
  Ok(R"({"act": "type", "form": "frmPick", "control": "txtCode", "text": "Z-9"})");
  Ok(R"({"act": "click", "form": "frmPick", "control": "cmdOK"})");
  EXPECT_EQ(Fake().grid().TextMatrix(1, 1), "Z-9");
  FailsWith(R"({"act": "click", "form": "frmPick", "control": "cmdOK"})",
            "no dialog form frmPick is shown (shown: none)");
  // Closing the module forgets its dialogs.
  Ok(R"({"act": "click", "control": "cmdDialog"})");
  Ok(R"({"close": true})");
  Fails(R"({"snapshot": true, "form": "frmPick"})");
}

TEST_F(ScriptHostTest, SnapshotShowsEveryControlTheGridsHiddenPartsStylesAndTheHost) {
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
  EXPECT_EQ(grid["widths"][1], 1500);
  // The two grey cells of column 1 are one run; the bold cell stands alone.
  const json expected_grid = json::parse(R"({"keys": [[1, 1, 100], [2, 1, 200]],
      "pictures": [[2, 2, "note"]], "hidden_cols": [3], "hidden_rows": [3],
      "styles": [[[1, 2], 1, {"fore_color": 8388608, "back_color": 14737632}],
                 [2, 2, {"bold": true}]],
      "formats": ["", "", "#,##0.00", ""]})");
  for (const auto& [key, value] : expected_grid.items()) EXPECT_EQ(grid[key], value) << key;
  const json expected_form = json::parse(R"({"busy": false, "width": 4800, "height": 3600,
      "host": {"title": "Korvane", "user": "admin", "date": "2026-03-20"}})");
  for (const auto& [key, value] : expected_form.items()) EXPECT_EQ(snap[key], value) << key;
  const json& field = by_label["qxTxt(0)"];
  EXPECT_EQ(json::array({field["left"], field["top"], field["width"], field["height"]}),
            json({120, 120, 2400, 300}));

  // A run breaks where the style changes, and a run may reach the last row.
  Fake().grid().SetCellForeColor(2, 1, 255);
  Fake().grid().SetCellBold(3, 2, true);
  const json styles = Ok(R"({"snapshot": true, "control": "qxGrid"})")["snapshot"]["styles"];
  EXPECT_EQ(styles, json::parse(R"([[1, 1, {"fore_color": 8388608, "back_color": 14737632}],
                                    [2, 1, {"fore_color": 255, "back_color": 14737632}],
                                    [[2, 3], 2, {"bold": true}]])"));
  // One control alone.
  EXPECT_EQ(Ok(R"({"snapshot": true, "control": "Chk"})")["snapshot"]["value"], 0);
}

// Scrolling and the wait cursor are what the work report's screen scenario checks.
TEST_F(ScriptHostTest, ExpectationsSeeColoursFormatsFocusTooltipsAndTheWaitCursor) {
  OpenFake();
  Ok(R"({"expect": [{"control": "qxGrid", "row": 1, "col": 1, "fore_color": 8388608, "bold": false},
                    {"control": "qxGrid", "row": 2, "col": 2, "bold": true, "back_color": null},
                    {"control": "qxGrid", "top_row": 1, "left_col": 1},
                    {"control": "cmdAsk", "tooltip": "保存修改", "width": 0}]})");
  FailsWith(R"({"expect": {"control": "qxGrid", "row": 1, "col": 2, "back_color": 14737632}})",
            "qxGrid cell (1, 2).back_color is null, expected 14737632");
  FailsWith(R"({"expect": {"control": "cboType", "items": ["生产"]}})",
            "cboType.items is [\"生产\",\"返工\"]");
  FailsWith(R"({"expect": {"host": {"title": "Korvane", "colour": 1}}})",
            "the host has no property \"colour\"");

  // The focus, by the label of the control that holds it.
  Ok(R"({"expect": {"focused": null}})");
  Ok(R"js({"act": "focus", "control": "qxTxt", "index": 1, "expect": {"focused": "qxTxt(1)"}})js");
  FailsWith(R"({"expect": {"focused": "qxGrid"}})",
            "the focused control of module doc is \"qxTxt(1)\", expected \"qxGrid\"");

  Fake().form().set_busy(true);
  Ok(R"({"expect": {"busy": true}})");
}

// A resize that works is the scenarios'; here, the ones refused.
TEST_F(ScriptHostTest, ResizesTheFormAndDragsABar) {
  OpenFake();
  FailsWith(R"({"act": "resize", "width": 9600})",
            "act \"resize\" on form frmFake needs \"width\" and \"height\"");
  FailsWith(R"({"act": "resize", "width": 0, "height": 100})", "wider and higher than 0");

  // A drag is press, sideways move and release, measured from the bar's left edge.
  auto& bar = Fake().form().Get<test::DragBar>("bar");
  const double left = bar.geometry().left;
  Ok(R"({"act": "drag", "control": "bar", "by": -300})");
  Ok(R"({"act": "drag", "control": "bar", "to": )" + FormatNumber(left + 450) + "}");
  EXPECT_EQ(bar.log, (std::vector<std::string>{"down 1 0", "move 1 -300", "up 1 -300", "down 1 0",
                                               "move 1 450", "up 1 450"}));
  FailsWith(R"({"act": "drag", "control": "bar", "by": 1, "to": 2})", "needs either \"by\"");
  FailsWith(R"({"act": "drag", "control": "qxGrid", "by": 100})", "needs a control a person drags");
  bar.set_enabled(false);
  FailsWith(R"({"act": "drag", "control": "bar", "by": 100})", "cannot drag bar: it is disabled");
  EXPECT_EQ(bar.log.size(), 6u);
}

TEST_F(ScriptHostTest, PressesMovesAndReleasesTheMouseOverATreesNodes) {
  OpenFake();
  const auto texts = [](const json& answer) {
    std::vector<std::string> out;
    for (const auto& event : answer["events"]) out.push_back(event["text"]);
    return out;
  };
  // c1 is hidden under its collapsed parent, so it has no row to point at yet.
  FailsWith(R"({"act": "mouse_down", "control": "tvw", "node": "c1"})",
            "node \"c1\" is on no row tvw shows");
  Ok(R"({"act": "expand", "control": "tvw", "node": "r"})");
  // Rows of 250 twips: c1 is on the second, pointed at in its middle.
  EXPECT_EQ(texts(Ok(R"({"act": "mouse_down", "control": "tvw", "node": "c1", "x": 300})")),
            (std::vector<std::string>{"tree down 1 300 375"}));
  EXPECT_EQ(texts(Ok(R"({"act": "mouse_up", "control": "tvw", "node": "c1", "x": 300})")),
            (std::vector<std::string>{"tree up 1 300 375", "node c1"}));
  // A move while the button is held makes the release no click.
  Ok(R"({"act": "mouse_down", "control": "tvw", "y": 10})");
  EXPECT_EQ(texts(Ok(R"({"act": "mouse_move", "control": "tvw", "y": 400, "button": "left"})")),
            (std::vector<std::string>{"tree move 1 1000 400"}));
  EXPECT_EQ(texts(Ok(R"({"act": "mouse_up", "control": "tvw", "y": 10})")),
            (std::vector<std::string>{"tree up 1 1000 10"}));
  EXPECT_EQ(texts(Ok(R"({"act": "right_click", "control": "tvw", "node": "r"})")),
            (std::vector<std::string>{"tree down 2 1000 125", "tree up 2 1000 125"}));
  EXPECT_EQ(texts(Ok(R"({"act": "mouse_down", "control": "tvw", "y": 10, "button": 4})")),
            (std::vector<std::string>{"tree down 4 1000 10"}));
  FailsWith(R"({"act": "mouse_up", "control": "tvw", "node": "r", "y": 3})",
            "needs either \"node\" (a key) or \"y\"");
  FailsWith(R"({"act": "mouse_up", "control": "tvw", "y": 3, "button": "thumb"})",
            "unknown mouse button \"thumb\"");
  FailsWith(R"({"act": "right_click", "control": "tvw", "node": "zz"})", "no node with key \"zz\"");
  FailsWith(R"({"act": "right_click", "control": "Chk", "y": 3})",
            "needs a tree view; Chk is a check_box");
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

  Ok(R"({"expect": {"objects": {"l产品ID": 1, "Change": true}}})");
  const std::string error = Fails(R"({"expect": {"objects": {"l产品ID": 2, "l不存在": 0}}})");
  EXPECT_THAT(error, HasSubstr("the record of module cp.l产品ID is 1, expected 2"));
  EXPECT_THAT(error, HasSubstr("the record of module cp has no property \"l不存在\""));
  OpenFake();
  FailsWith(R"({"expect": {"objects": {"Change": true}}})", "module doc is no picker");
}

TEST_F(ScriptHostTest, ReadsThePrintDataAndSettingsTheModuleWrote) {
  OpenFake();
  Fake().print_name = "";
  FailsWith(R"({"read_print": "doc"})",
            "names no print data file (ReturnPrintName is empty): it has not printed");
  Fake().print_name = folder_ / "2101.txt";
  FailsWith(R"({"read_print": true})", "cannot be read");

  JsonPrintDataWriter writer;
  writer.AddValue("金额大写", "柒拾贰元整");
  writer.AddValue("车间名称", "机加工车间");
  writer.AddTable("qxGrid", {{"#", "产品"}, {"1", "泵轴"}});
  ASSERT_TRUE(writer.WriteFile(Fake().print_name));
  EXPECT_EQ(Ok(R"({"read_print": "doc"})")["result"]["tables"]["qxGrid"][1][1], "泵轴");
  std::string error = Fails(
      R"({"expect": {"print": {"values": {"数量合计": "1"}, "cells": [[1, 1, "叶轮"], [5, 0, "1"]]}}})");
  EXPECT_THAT(error, HasSubstr("the print data's values has no property \"数量合计\""));
  EXPECT_THAT(error,
              HasSubstr("the printed table qxGrid cell (1, 1) is \"泵轴\", expected \"叶轮\""));
  EXPECT_THAT(error, HasSubstr("cell (5, 0) is outside the table"));
  FailsWith(R"({"expect": {"print": {"table": "lines", "rows": 1}}})",
            "the print data has no table \"lines\"");
  FailsWith(R"({"expect": {"print": {"value": {}}}})", "unknown key \"value\" in \"print\"");

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
  EXPECT_THAT(error,
              HasSubstr("the setting [Form] Width of 2101Fake is \"12000\", expected \"9600\""));
  EXPECT_THAT(error, HasSubstr("[Form] Left of 2101Fake is absent"));
  FailsWith(R"({"read_settings": "2101Fake", "key": "Width"})", "\"key\" needs a \"section\"");
}

TEST_F(ScriptHostTest, ExpectationsCheckControlsResultsEventsAndTables) {
  OpenFake();
  // What the expectations find is what the scenarios check on real modules; here, what they
  // say when it is not there. A standalone expectation looks at the step before it.
  Ok(R"({"call": "FileDelete"})");
  Ok(R"({"expect": {"event": {"event": "ErrMessage", "module": "doc", "text_contains": "-->FileDelete::"}}})");
  FailsWith(R"({"expect": {"no_event": "ErrMessage"}})", "an unwanted ErrMessage");

  Ok(R"({"expect": {"control": "qxGrid", "row": 1, "col": 1, "text": "A-100", "key": 100}})");
  FailsWith(R"({"expect": {"control": "qxGrid", "row": 2, "col": 1, "text": "A-100"}})",
            "qxGrid cell (2, 1).text is \"B-200\", expected \"A-100\"");
  FailsWith(R"({"expect": {"control": "Chk", "colour": 1}})", "Chk has no property \"colour\"");
  FailsWith(R"({"call": "GetID", "expect": {"result": 41}})", "the result is 42, expected 41");
  FailsWith(R"({"expect": {"weather": "fine"}})", "unknown expectation \"weather\"");

  // The database, through the data service's T-SQL.
  const std::string error = Fails(
      R"({"sql": "SELECT progID FROM xt_menu WHERE progID IN (2101, 2102) ORDER BY progID", "expect_rows": [[2101], [2103]]})");
  EXPECT_THAT(error, HasSubstr("row 2, column progID is 2102, expected 2103"));
  FailsWith(R"({"sql": "SELECT 1 FROM xt_menu WHERE progID = -5", "expect_count": 1})",
            "returned 0 rows, expected 1");
  FailsWith(R"({"sql": "SELECT nothing FROM nowhere"})", "the database refused");
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
    EXPECT_THAT(error, HasSubstr(c.message)) << c.line << " -> " << error;
  }
  EXPECT_EQ(script_.failures(), static_cast<int>(std::size(cases)));
  // The module is still there and answers.
  EXPECT_EQ(Ok(R"({"call": "GetID"})")["result"], 42);
}

// The approve and withdraw flow of a real work report is what the work report's scenarios run;
// here, the commands' own refusals.
TEST_F(ScriptHostTest, ApproveAndWithdrawNeedAnInitialisedModuleThatAgrees) {
  FailsWith(R"({"approve": "wr"})", "unknown module handle \"wr\"");
  Ok(R"({"open": "Korvane.SCCJD_S", "as": "wr"})");
  FailsWith(R"({"approve": "wr"})", "was not initialised with a program id");
  FailsWith(R"({"withdraw": 5})", "must be a module handle or true");
  FailsWith(R"({"approve": "wr", "args": []})", "unknown key \"args\"");
  // A module that refuses approval gets nothing recorded.
  OpenFake();
  EXPECT_EQ(Ok(R"({"approve": "doc"})")["result"], false);
}

TEST_F(ScriptHostTest, ReferenceHostRecordsApprovalsOfEveryDocumentClassWithAStatus) {
  std::string error;
  ASSERT_TRUE(host_->MarkApproval(3101, 4, true, error)) << error;
  EXPECT_TRUE(error.empty());
  Ok(R"({"sql": "SELECT smark, 审核, 审核日期 FROM MRPPlan WHERE 主计划组ID = 4", "expect_rows": [["02", "admin", "2026-03-20"]]})");
  ASSERT_TRUE(host_->MarkApproval(3101, 4, false, error)) << error;
  Ok(R"({"sql": "SELECT smark, 审核, 审核日期 FROM MRPPlan WHERE 主计划组ID = 4", "expect_rows": [["01", "", ""]]})");
  ASSERT_TRUE(host_->MarkApproval(2102, 5, true, error)) << error;
  Ok(R"({"sql": "SELECT smark FROM SFCDJ WHERE 报工单ID = 5", "expect_rows": [["02"]]})");
  // A work order group keeps its approver; a structure keeps its status only, and its table
  // holds one program's documents, so no program column narrows the update.
  ASSERT_TRUE(host_->MarkApproval(3201, 2, true, error)) << error;
  Ok(R"({"sql": "SELECT smark, 审核 FROM MocGd WHERE 工单组ID = 2", "expect_rows": [["02", "admin"]]})");
  ASSERT_TRUE(host_->MarkApproval(4101, 3, false, error)) << error;
  Ok(R"({"sql": "SELECT bomID, smark FROM PDMBOM WHERE bomID <= 3 ORDER BY bomID", "expect_rows": [[1, "02"], [2, "02"], [3, "01"]]})");

  const auto refused = [&](std::int32_t progid, std::int32_t id, const std::string& why) {
    std::string text;
    EXPECT_FALSE(host_->MarkApproval(progid, id, true, text));
    EXPECT_THAT(text, HasSubstr(why));
  };
  refused(6101, 1, "keep no approval state");
  refused(5101, 1, "keep no approval state");  // routes carry no status
  refused(4101, 9999, "has no document 9999");
  refused(9999, 1, "has no document class");
  refused(2101, 99, "has no document 99");
  // Report 4 is a production report, not a rework report.
  refused(2102, 4, "has no document 4");
  Ok(R"({"sql": "SELECT smark FROM SFCDJ WHERE 报工单ID = 4", "expect_rows": [["01"]]})");
}

}  // namespace
}  // namespace korvane::hostapp
