#include "widgets/c_tree_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/form.h"
#include "host/test_support.h"

namespace korvane::controls {
namespace {

constexpr int kRow = 250;  // twips per row: 4000 twips high, 16 rows

// The structure document's tree: a root, two categories, their products; a few rows above and
// below whatever is scrolled into view.
class CTreeViewTest : public ::testing::Test {
 protected:
  CTreeViewTest() : tv_(form_.Add<TreeView>("tvBom")), images_(form_.Add<ImageList>("il")) {
    tv_.set_geometry({0, 0, 3000, 4000});
    images_.Add("closed", "c.bmp");
    images_.Add("open", "o.bmp");
    images_.Add("DRAGICON", "d.bmp");
    ct_.HookCtrl(tv_, &images_);
    ct_.selected.Connect([this](TreeNode& node) { raised_.push_back(node.key()); });
  }

  TreeNode* Add(TreeNode* parent, const std::string& key, const std::string& text) {
    NodeSpec spec;
    spec.relative = parent;
    spec.relation = parent != nullptr ? NodeRelation::kChild : NodeRelation::kLast;
    spec.key = key;
    spec.text = text;
    return ct_.NodeAdd(spec);
  }

  // ROOT "BOM结构" > k01 "01 Metals" > w100 "100 Bolt", w101 "101 Bolt washer";
  //                  k02 "02 Plastics" > w200 "200 Cap"
  void Fill() {
    TreeNode* root = Add(nullptr, "ROOT", "BOM结构");
    TreeNode* metals = Add(root, "k01", "01 Metals");
    Add(metals, "w100", "100 Bolt");
    Add(metals, "w101", "101 Bolt washer");
    TreeNode* plastics = Add(root, "k02", "02 Plastics");
    Add(plastics, "w200", "200 Cap");
    raised_.clear();
  }

  TreeNode& N(const std::string& key) {
    TreeNode* node = tv_.Find(key);
    if (node == nullptr) throw std::logic_error("test tree has no node " + key);
    return *node;
  }

  Form form_{"frmBom"};
  TreeView& tv_;
  ImageList& images_;
  test::FakeDialogs dialogs_;
  cTreeView ct_{dialogs_};
  std::vector<std::string> raised_;
};

TEST_F(CTreeViewTest, HookSetsUpTheTreeAndUnhookLetsGo) {
  EXPECT_EQ(ct_.ctrl(), &tv_);
  EXPECT_EQ(tv_.indentation(), 100);
  EXPECT_EQ(tv_.image_list(), &images_);
  EXPECT_EQ(tv_.drag_icon(), "DRAGICON");
  EXPECT_EQ(ct_.row_height(), kRow);
  Fill();
  ct_.UnHookCtrl();
  EXPECT_EQ(ct_.ctrl(), nullptr);
  tv_.SelectNode(&N("w100"));  // a click no longer reaches the wrapper
  EXPECT_TRUE(raised_.empty());
  std::string text = "Bolt";
  TreeNode* found = &N("w100");
  EXPECT_FALSE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(ct_.NodeAdd({}), nullptr);
  EXPECT_FALSE(ct_.ReSelectItem());
}

TEST_F(CTreeViewTest, AClickOnANodeRaisesSelected) {
  Fill();
  tv_.SelectNode(&N("k02"));
  // a person pressing and releasing the mouse over a row: the root is row 0, k01 row 1
  N("ROOT").set_expanded(true);
  tv_.MouseDown(1, 0, 100, kRow + 10);
  tv_.MouseUp(1, 0, 100, kRow + 10);
  EXPECT_EQ(raised_, (std::vector<std::string>{"k02", "k01"}));
  EXPECT_EQ(tv_.selected(), &N("k01"));
}

TEST_F(CTreeViewTest, NodeAddSetsEveryAttributeAndDefaultsTheImages) {
  Fill();
  const TreeNode& bolt = N("w100");
  EXPECT_EQ(bolt.image(), "1");
  EXPECT_EQ(bolt.selected_image(), "2");
  EXPECT_EQ(bolt.expanded_image(), "1");
  EXPECT_EQ(bolt.fore_color(), cTreeView::kWindowTextColor);
  EXPECT_EQ(bolt.back_color(), cTreeView::kWindowBackColor);
  EXPECT_EQ(bolt.parent(), &N("k01"));

  NodeSpec spec;
  spec.relative = &N("w200");
  spec.relation = NodeRelation::kNext;
  spec.key = "w201";
  spec.text = "201 Lid";
  spec.image = "open";
  spec.tag = "17";
  spec.bold = spec.checked = spec.selected = true;
  spec.fore_color = 0xFF;
  spec.back_color = 0xFF00;
  TreeNode* lid = ct_.NodeAdd(spec);
  ASSERT_NE(lid, nullptr);
  EXPECT_EQ(lid->parent(), &N("k02"));
  EXPECT_EQ(lid->image(), "open");
  EXPECT_EQ(lid->selected_image(), "2");
  EXPECT_EQ(lid->tag(), "17");
  EXPECT_TRUE(lid->bold());
  EXPECT_TRUE(lid->checked());
  EXPECT_EQ(lid->fore_color(), 0xFFu);
  EXPECT_EQ(lid->back_color(), 0xFF00u);
  EXPECT_EQ(tv_.selected(), lid);
  EXPECT_TRUE(lid->visible());   // shown: its ancestors were opened
  EXPECT_TRUE(raised_.empty());  // adding is no change of the current node by the wrapper

  // With fewer than 3 pictures nothing is defaulted; a key taken adds nothing.
  images_.Clear();
  images_.Add("only", "x.bmp");
  TreeNode* bare = Add(nullptr, "r2", "second root");
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->image(), "");
  EXPECT_EQ(bare->selected_image(), "");
  const int count = tv_.Count();
  EXPECT_EQ(Add(nullptr, "w100", "again"), nullptr);
  NodeSpec stray;
  TreeView other("other");
  stray.relative = &other.Add(nullptr, NodeRelation::kLast, "x", "x");
  stray.relation = NodeRelation::kChild;
  EXPECT_EQ(ct_.NodeAdd(stray), nullptr);
  EXPECT_EQ(tv_.Count(), count);
}

TEST_F(CTreeViewTest, NodeAddScrollsTheNewNodeIntoView) {
  TreeNode* root = Add(nullptr, "ROOT", "root");
  root->set_expanded(true);
  for (int i = 0; i < 30; ++i) Add(root, "n" + std::to_string(i), "node " + std::to_string(i));
  // 31 rows, 16 shown: the last node added sits on the bottom row
  EXPECT_EQ(tv_.first_visible(), &N("n14"));
  EXPECT_EQ(tv_.last_visible(), &N("n29"));
}

TEST_F(CTreeViewTest, NodeFindByKeyOrByTextCaseBlindDepthFirst) {
  Fill();
  TreeNode* found = nullptr;
  std::string text = "ignored";
  ASSERT_TRUE(ct_.NodeFind(found, text, "w200", true));
  EXPECT_EQ(found, &N("w200"));
  EXPECT_EQ(tv_.selected(), found);
  EXPECT_TRUE(found->visible());
  EXPECT_TRUE(tv_.HasFocus());

  text = "bOLT";  // w100 comes before w101 and before anything under k02
  ASSERT_TRUE(ct_.NodeFind(found, text, "", false));
  EXPECT_EQ(found, &N("w100"));
  EXPECT_EQ(tv_.selected(), &N("w200"));  // not selected when select is false
  EXPECT_EQ(raised_, (std::vector<std::string>{"w200", "w100"}));

  text = "结构";
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, &N("ROOT"));

  raised_.clear();
  text = "gear";
  EXPECT_FALSE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, nullptr);
  EXPECT_FALSE(ct_.NodeFind(found, text, "w999", true));
  EXPECT_TRUE(raised_.empty());
  EXPECT_TRUE(dialogs_.inputs_shown().empty());
}

TEST_F(CTreeViewTest, NodeFindAsksForAnEmptyText) {
  Fill();
  TreeNode* found = nullptr;
  std::string text;
  dialogs_.QueueInput("cap");
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(text, "cap");  // the answer goes back to the caller
  EXPECT_EQ(found, &N("w200"));
  ASSERT_EQ(dialogs_.inputs_shown().size(), 1u);
  EXPECT_EQ(dialogs_.inputs_shown()[0].title, "查找记录");
  EXPECT_EQ(dialogs_.inputs_shown()[0].prompt, "输入要查找的节点名称:");

  // A cancelled box searches for the empty text, which every node contains.
  text.clear();
  dialogs_.QueueInput(std::nullopt);
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, &N("ROOT"));
  EXPECT_EQ(text, "");
}

TEST_F(CTreeViewTest, NodeFindNextContinuesAfterTheSelectionWithoutWrapping) {
  Fill();
  TreeNode* found = nullptr;
  std::string text = "bolt";
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, &N("w100"));
  ASSERT_TRUE(ct_.NodeFindNext(found, text, true));
  EXPECT_EQ(found, &N("w101"));
  EXPECT_EQ(tv_.selected(), &N("w101"));
  raised_.clear();
  EXPECT_FALSE(ct_.NodeFindNext(found, text, true));
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(tv_.selected(), &N("w101"));
  EXPECT_TRUE(raised_.empty());

  // With nothing selected the search starts at the first node.
  tv_.set_selected(nullptr);
  text = "0";
  ASSERT_TRUE(ct_.NodeFindNext(found, text, false));
  EXPECT_EQ(found, &N("k01"));
}

TEST_F(CTreeViewTest, ReSelectItemAndIsSelected) {
  EXPECT_FALSE(ct_.IsSelected());
  EXPECT_FALSE(ct_.ReSelectItem());  // nothing to raise for
  Fill();
  tv_.set_selected(&N("ROOT"));
  EXPECT_FALSE(ct_.IsSelected());  // the root alone is no selection
  EXPECT_TRUE(cTreeView::IsRootNode(N("ROOT")));
  EXPECT_FALSE(cTreeView::IsRootNode(N("k01")));
  EXPECT_TRUE(ct_.ReSelectItem());
  EXPECT_TRUE(ct_.ReSelectItem(&N("w200")));
  EXPECT_EQ(raised_, (std::vector<std::string>{"ROOT", "w200"}));
  EXPECT_EQ(tv_.selected(), &N("ROOT"));  // raising does not select
  EXPECT_TRUE(tv_.HasFocus());
  tv_.set_selected(&N("w101"));
  EXPECT_TRUE(ct_.IsSelected());
}

TEST_F(CTreeViewTest, ClearTreeViewDrawsNothingMeanwhileAndDrawsAfterwards) {
  Fill();
  std::vector<bool> drawing_at_removal;
  tv_.changed.Connect([&](const Control&, std::string_view property) {
    if (property == "nodes") drawing_at_removal.push_back(tv_.drawing());
  });
  ct_.ClearTreeView();
  EXPECT_EQ(tv_.Count(), 0);
  ASSERT_FALSE(drawing_at_removal.empty());
  EXPECT_EQ(std::count(drawing_at_removal.begin(), drawing_at_removal.end(), true), 0);
  EXPECT_TRUE(tv_.drawing());

  // An empty tree: nothing to remove, and drawing is on afterwards even if it was off.
  ct_.Redraw(false);
  ct_.ClearTreeView();
  EXPECT_TRUE(tv_.drawing());
  EXPECT_EQ(tv_.first_visible(), nullptr);
}

}  // namespace
}  // namespace korvane::controls
