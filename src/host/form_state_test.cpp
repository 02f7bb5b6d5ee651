// Tests of saving and restoring a form's control state.
#include "host/form_state.h"

#include <gtest/gtest.h>

#include <string>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "controls/tree_view.h"
#include "host/ini_profile_store.h"
#include "host/settings_files.h"
#include "host/test_support.h"

namespace korvane {
namespace {

using namespace controls;

constexpr const char* kFile = "4101Bom";

// A form with one control of every kind the state covers, and a label that it does not.
struct StateForm {
  Form form{"Bom"};
  Grid& grid = form.Add<Grid>("qxGrid");
  Grid& plain = form.Add<Grid>("Vs", -1, std::string("VSFlexGrid"));
  LookupField& field = form.Add<LookupField>("Txt_BM");
  CheckBox& check0 = form.Add<CheckBox>("Chk", 0);
  CheckBox& check1 = form.Add<CheckBox>("Chk", 1);
  TextBox& text = form.Add<TextBox>("Txt_Memo");
  ComboBox& combo = form.Add<ComboBox>("Cmb");
  OptionButton& option0 = form.Add<OptionButton>("Opt", 0);
  OptionButton& option1 = form.Add<OptionButton>("Opt", 1);
  TreeView& tree = form.Add<TreeView>("tv");
  Label& label = form.Add<Label>("Lab");

  StateForm() {
    grid.set_cols(3);
    plain.set_cols(3);
    combo.AddItem("按编码", 1);
    combo.AddItem("按名称", 2);
    TreeNode& root = tree.Add(nullptr, NodeRelation::kLast, "r", "全部");
    tree.Add(&root, NodeRelation::kChild, "a", "原材料");
    tree.Add(&root, NodeRelation::kChild, "b", "半成品");
    option0.set_value(true);
  }
};

class FormStateTest : public ::testing::Test {
 protected:
  std::string Read(std::string_view key) {
    IniProfileStore store(SettingsPath(kFile, host_));
    return store.Read("Form", key, "<missing>");
  }
  test::FakeHostContext host_;
};

// The keys are the host's, texts are saved trimmed, and a second form reads every kind back.
TEST_F(FormStateTest, SavesUnderTheHostsKeysAndRestoresEveryKind) {
  StateForm saved;
  saved.grid.SetColWidth(1, 0);
  saved.grid.SetColWidth(2, 1777);
  saved.field.set_value(12);
  saved.field.set_text(" 一车间 ");
  saved.check0.set_value(1);
  saved.check1.set_value(2);
  saved.text.set_text("  备注 ");
  saved.combo.set_list_index(1);
  saved.option1.set_value(true);
  saved.tree.set_selected(saved.tree.Find("a"));
  saved.label.set_caption("not kept");
  saved.plain.SetColWidth(1, 2500);
  saved.plain.SetColAlignment(1, 4);
  ASSERT_TRUE(SaveFormState(kFile, saved.form, false, host_));
  EXPECT_EQ(Read("QXGRID_qxGrid_Col1"), "0");
  EXPECT_EQ(Read("QXTXT_S_Txt_BM_Value"), "12");
  EXPECT_EQ(Read("QXTXT_S_Txt_BM_Text"), "一车间");
  EXPECT_EQ(Read("CHECKBOX_Chk_1"), "2");
  EXPECT_EQ(Read("TEXTBOX_Txt_Memo"), "备注");
  EXPECT_EQ(Read("OPTIONBUTTON_Opt_0"), "False");
  EXPECT_EQ(Read("LABEL_Lab"), "<missing>");
  // The plain grid keeps its settings in the grid sections of the same file.
  IniProfileStore store(SettingsPath(kFile, host_));
  EXPECT_EQ(store.Read("VsColWidth", "VsCol1", ""), "2500");

  StateForm restored;
  int combo_clicks = 0;
  restored.combo.click.Connect([&] { ++combo_clicks; });
  ASSERT_TRUE(RestoreFormState(kFile, restored.form, false, host_));
  EXPECT_EQ(restored.grid.ColWidth(2), 1777);
  EXPECT_EQ(restored.field.value().ToLong(), 12);
  EXPECT_EQ(restored.field.text(), "一车间");
  EXPECT_EQ(restored.check0.value(), 1);
  EXPECT_EQ(restored.check1.value(), 2);
  EXPECT_EQ(restored.text.text(), "备注");
  EXPECT_EQ(restored.combo.list_index(), 1) << "the list item is chosen, not only its text";
  EXPECT_EQ(restored.combo.ItemData().ToLong(), 2);
  EXPECT_EQ(combo_clicks, 1);
  EXPECT_FALSE(restored.option0.value());
  EXPECT_TRUE(restored.option1.value());
  ASSERT_NE(restored.tree.selected(), nullptr);
  EXPECT_EQ(restored.tree.selected()->key(), "a");
  EXPECT_EQ(restored.plain.ColWidth(1), 2500);
  EXPECT_EQ(restored.plain.ColAlignment(1), 4);
}

TEST_F(FormStateTest, MissingKeysKeepTheCurrentValues) {
  test::WriteFileBytes(SettingsPath(kFile, host_),
                       "[Form]\nTEXTBOX_Txt_Memo=新\nCHECKBOX_Chk_0=7\nCOMBOBOX_Cmb=自由文字\n"
                       "TREEVIEW_tv=没有这个节点\nQXGRID_qxGrid_Col1=wide\n");
  StateForm f;
  f.grid.SetColWidth(1, 1234);
  f.grid.SetColWidth(2, 999);
  f.field.set_value(5);
  f.field.set_text("二车间");
  f.check0.set_value(1);
  f.tree.set_selected(f.tree.Find("b"));
  ASSERT_TRUE(RestoreFormState(kFile, f.form, false, host_));
  EXPECT_EQ(f.text.text(), "新");
  EXPECT_EQ(f.check0.value(), 1) << "a value outside 0..2 is not a check box value";
  EXPECT_EQ(f.combo.list_index(), -1);
  EXPECT_EQ(f.combo.text(), "自由文字");
  EXPECT_EQ(f.tree.selected()->key(), "b");
  EXPECT_EQ(f.grid.ColWidth(1), 1234);
  EXPECT_EQ(f.grid.ColWidth(2), 999);
  EXPECT_EQ(f.field.value().ToLong(), 5);
  EXPECT_EQ(f.field.text(), "二车间");
  EXPECT_TRUE(f.option0.value());
}

TEST_F(FormStateTest, GridsOnlyKeepsOnlyTheHostGridColumns) {
  StateForm f;
  f.grid.SetColWidth(0, 444);
  f.text.set_text("备注");
  f.check0.set_value(1);
  ASSERT_TRUE(SaveFormState(kFile, f.form, true, host_));
  EXPECT_EQ(Read("QXGRID_qxGrid_Col0"), "444");
  EXPECT_EQ(Read("TEXTBOX_Txt_Memo"), "<missing>");
  EXPECT_EQ(Read("CHECKBOX_Chk_0"), "<missing>");
  IniProfileStore store(SettingsPath(kFile, host_));
  EXPECT_EQ(store.Read("VsColWidth", "VsCol0", "<missing>"), "<missing>");

  test::WriteFileBytes(SettingsPath(kFile, host_),
                       "[Form]\nQXGRID_qxGrid_Col0=555\nTEXTBOX_Txt_Memo=新\n"
                       "[VsColWidth]\nVsCol0=666\n");
  StateForm g;
  ASSERT_TRUE(RestoreFormState(kFile, g.form, true, host_));
  EXPECT_EQ(g.grid.ColWidth(0), 555);
  EXPECT_EQ(g.text.text(), "");
  EXPECT_NE(g.plain.ColWidth(0), 666);
}

TEST_F(FormStateTest, UnwritableFolderMakesSaveFail) {
  test::WriteFileBytes(host_.folder.path() + "/blocked", "x");
  host_.user.local_folder = host_.folder.path() + "/blocked";
  StateForm f;
  EXPECT_FALSE(SaveFormState(kFile, f.form, true, host_));
  EXPECT_TRUE(RestoreFormState(kFile, f.form, false, host_));
}

}  // namespace
}  // namespace korvane
