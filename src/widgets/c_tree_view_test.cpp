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

TEST_F(CTreeViewTest, TagSearchAndRelatives) {
  Fill();
  N("w101").set_tag("Part-9");
  N("w200").set_tag("part-9");
  EXPECT_EQ(ct_.NodeFindTag("PART-9"), "w101");
  EXPECT_EQ(ct_.NodeFindTag("part"), "");  // the whole tag, not a part of it
  EXPECT_TRUE(cTreeView::IsParentNode(N("ROOT"), N("w100")));
  EXPECT_TRUE(cTreeView::IsParentNode(N("k01"), N("w100")));
  EXPECT_FALSE(cTreeView::IsParentNode(N("k02"), N("w100")));
  EXPECT_FALSE(cTreeView::IsParentNode(N("w100"), N("w100")));
  EXPECT_TRUE(cTreeView::IsChildNode(N("w100"), N("k01")));
  EXPECT_FALSE(cTreeView::IsChildNode(N("w100"), N("ROOT")));
  EXPECT_EQ(cTreeView::ParentNodeText(N("w200")), "02 Plastics");
  EXPECT_EQ(cTreeView::ParentNodeText(N("ROOT")), "");
}

TEST_F(CTreeViewTest, NodeRenameSelectsAllButTheRoot) {
  Fill();
  tv_.set_selected(&N("k01"));
  ct_.NodeRename(N("w200"), "");
  EXPECT_EQ(N("w200").text(), "200 Cap");
  ct_.NodeRename(N("ROOT"), "Structures");
  EXPECT_EQ(N("ROOT").text(), "Structures");
  EXPECT_EQ(tv_.selected(), &N("k01"));
  ct_.NodeRename(N("w200"), "200 Top cap");
  EXPECT_EQ(N("w200").text(), "200 Top cap");
  EXPECT_EQ(tv_.selected(), &N("w200"));
  EXPECT_TRUE(raised_.empty());
}

TEST_F(CTreeViewTest, NodeDeleteMovesTheSelectionByItsRule) {
  Fill();
  // A node with a next sibling hands the selection to it.
  tv_.set_selected(&N("w100"));
  TreeNode* node = &N("w100");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(tv_.Find("w100"), nullptr);
  EXPECT_EQ(tv_.selected(), &N("w101"));
  EXPECT_EQ(raised_, (std::vector<std::string>{"w101"}));
  EXPECT_TRUE(tv_.HasFocus());
  // The last sibling: the selected node's first child takes it.
  Add(&N("k01"), "w102", "102 Nut");
  raised_.clear();
  tv_.set_selected(&N("k01"));
  node = &N("w102");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("w101"));
  EXPECT_EQ(raised_, (std::vector<std::string>{"w101"}));
  // The selected last leaf itself: its parent, raised since its text differs.
  raised_.clear();
  tv_.set_selected(&N("w200"));
  node = &N("w200");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("k02"));
  EXPECT_EQ(raised_, (std::vector<std::string>{"k02"}));
  // A new selection with the node's own text is not raised.
  Add(&N("k02"), "a", "same");
  Add(&N("k02"), "b", "same");
  raised_.clear();
  node = &N("a");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("b"));
  EXPECT_TRUE(raised_.empty());
  EXPECT_FALSE(ct_.NodeDelete(node));  // already gone
}

TEST_F(CTreeViewTest, NodeMoveNeverIntoItsOwnBranch) {
  Fill();
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("w100"), true));  // its own child
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("k01"), true));
  EXPECT_FALSE(ct_.NodeMove(N("ROOT"), N("w200"), true));  // a root stays
  Add(&N("k02"), "k01b", "01 Metals");
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("k01b"), true));  // the same text
  EXPECT_EQ(N("k01").parent(), &N("ROOT"));
  N("k02").set_expanded(false);
  ASSERT_TRUE(ct_.NodeMove(N("k01"), N("w200"), true));
  EXPECT_EQ(N("k01").parent(), &N("w200"));
  EXPECT_EQ(N("w100").parent(), &N("k01"));
  EXPECT_TRUE(N("w200").expanded());
  EXPECT_TRUE(N("k01").visible());
  EXPECT_EQ(tv_.selected(), &N("k01"));
}

// The owner adds a copy under the target, keyed after the source ("c" + key).
TEST_F(CTreeViewTest, NodeCopyDescendsTheBranchUntilCancelled) {
  Fill();
  Add(&N("w100"), "s1", "screw");
  std::vector<std::string> asked;
  std::string cancel_at;
  ct_.node_copying.Connect([&](TreeNode& source, TreeNode& target) {
    asked.push_back(source.key() + ">" + target.key());
    Add(&target, "c" + source.key(), source.text());
    if (source.key() == cancel_at) ct_.CancelCopy(true);
  });
  ASSERT_TRUE(ct_.NodeCopy(N("k01"), N("w200"), true));
  EXPECT_EQ(asked, (std::vector<std::string>{"k01>w200", "w100>ck01", "s1>cw100", "w101>ck01"}));
  EXPECT_EQ(N("cs1").parent(), &N("cw100"));

  tv_.Remove(&N("ck01"));
  asked.clear();
  ASSERT_TRUE(ct_.NodeCopy(N("w100"), N("k02"), false));  // without children
  EXPECT_EQ(asked, (std::vector<std::string>{"w100>k02"}));
  EXPECT_TRUE(N("cw100").children().empty());

  // A cancel from the handler stops the descent; the next copy starts afresh.
  tv_.Remove(&N("cw100"));
  asked.clear();
  cancel_at = "w100";
  ASSERT_TRUE(ct_.NodeCopy(N("k01"), N("w200"), true));
  EXPECT_EQ(asked, (std::vector<std::string>{"k01>w200", "w100>ck01"}));

  asked.clear();
  EXPECT_FALSE(ct_.NodeCopy(N("k01"), N("w100"), true));  // into its own branch
  Add(&N("k02"), "dup", "02 Plastics");
  EXPECT_FALSE(ct_.NodeCopy(N("dup"), N("k02"), true));  // the same text
  EXPECT_TRUE(asked.empty());
}

TEST_F(CTreeViewTest, ExpandCollapseAndTheCutMark) {
  Fill();
  ct_.CollapseAll();
  EXPECT_EQ(tv_.Rows().size(), 1u);
  ct_.ExpandChildNodes(N("ROOT"));
  EXPECT_EQ(tv_.Rows().size(), 6u);
  ct_.CollapseChildNodes(N("k01"));
  EXPECT_FALSE(N("k01").expanded());
  EXPECT_TRUE(N("k02").expanded());
  ct_.CollapseAll();
  ct_.ExpandAll();
  EXPECT_EQ(tv_.Rows().size(), 6u);
  EXPECT_FALSE(N("w100").expanded());  // a leaf has nothing to open
  EXPECT_TRUE(tv_.drawing());
  tv_.set_selected(&N("w101"));
  ct_.CutIconState(true);
  EXPECT_TRUE(N("w101").cut());
  ct_.CutIconState(false);
  EXPECT_FALSE(N("w101").cut());
}

TEST_F(CTreeViewTest, MoveNodeNextAndPrevious) {
  Fill();
  ct_.MoveNodeNext();  // nothing selected: nothing
  EXPECT_TRUE(raised_.empty());
  tv_.set_selected(&N("k01"));
  ct_.MoveNodeNext();      // next sibling
  ct_.MoveNodeNext();      // no next sibling: first child
  ct_.MoveNodeNext();      // neither: stays, still raised
  ct_.MoveNodePrevious();  // no previous sibling: parent
  ct_.MoveNodePrevious();  // previous sibling
  EXPECT_EQ(raised_, (std::vector<std::string>{"k02", "w200", "w200", "k02", "k01"}));
  tv_.set_selected(&N("ROOT"));
  ct_.MoveNodePrevious();
  EXPECT_EQ(tv_.selected(), &N("ROOT"));
}

// Rows after Fill: ROOT 0, k01 1, w100 2, w101 3, k02 4, w200 5; 16 rows of 250 twips shown.
double RowY(int row) { return row * kRow + kRow / 2.0; }

class CTreeViewDragTest : public CTreeViewTest {
 protected:
  CTreeViewDragTest() {
    ct_.set_drag_enabled(true);
    ct_.node_drag_start.Connect([this](TreeNode& n) { drags_.push_back("start " + n.key()); });
    ct_.node_drag_over.Connect(
        [this](TreeNode& n, TreeNode& o) { drags_.push_back("over " + n.key() + " " + o.key()); });
    ct_.node_drag_drop.Connect(
        [this](TreeNode& n, TreeNode& t) { drags_.push_back("drop " + n.key() + " " + t.key()); });
  }
  std::vector<std::string> drags_;
};

TEST_F(CTreeViewDragTest, ADragRaisesStartOverAndDropOnAnotherNode) {
  Fill();
  tv_.MouseDown(1, 0, 300, RowY(2));
  EXPECT_EQ(ct_.drag_node(), &N("w100"));
  tv_.MouseMove(1, 0, 300, RowY(4));
  EXPECT_TRUE(ct_.dragging());
  EXPECT_EQ(tv_.drop_highlight(), &N("k02"));
  tv_.MouseMove(1, 0, 300, RowY(5));
  EXPECT_EQ(tv_.drop_highlight(), &N("w200"));
  tv_.MouseUp(1, 0, 300, RowY(5));
  EXPECT_EQ(drags_, (std::vector<std::string>{"start w100", "over w100 k02", "over w100 w200",
                                              "drop w100 w200"}));
  EXPECT_FALSE(ct_.dragging());
  EXPECT_EQ(ct_.drag_node(), nullptr);
  EXPECT_EQ(tv_.drop_highlight(), nullptr);
  EXPECT_TRUE(raised_.empty());  // a drag is no click
}

TEST_F(CTreeViewDragTest, ADropOnTheDraggedNodeOrOnNothingRaisesNothing) {
  Fill();
  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 310, RowY(2));
  tv_.MouseUp(1, 0, 310, RowY(2));
  Add(&N("k02"), "w100b", "100 Bolt");  // another node of the same text
  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 300, RowY(6));
  tv_.MouseUp(1, 0, 300, RowY(6));
  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 300, RowY(3));
  tv_.MouseMove(1, 0, 300, RowY(9));  // below the last node
  tv_.MouseUp(1, 0, 300, RowY(9));
  EXPECT_EQ(drags_, (std::vector<std::string>{"start w100", "over w100 w100", "start w100",
                                              "over w100 w100b", "start w100", "over w100 w101"}));
  // A drag that is off does nothing; a press on no node starts nothing.
  drags_.clear();
  tv_.MouseDown(1, 0, 300, RowY(12));
  tv_.MouseMove(1, 0, 300, RowY(3));
  tv_.MouseUp(1, 0, 300, RowY(3));
  ct_.set_drag_enabled(false);
  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 300, RowY(4));
  tv_.MouseUp(1, 0, 300, RowY(4));
  EXPECT_TRUE(drags_.empty());
}

TEST_F(CTreeViewDragTest, TheTopAndBottomTwoRowsScrollByOneNode) {
  TreeNode* root = Add(nullptr, "ROOT", "root");
  for (int i = 0; i < 40; ++i) Add(root, "n" + std::to_string(i), "node " + std::to_string(i));
  ct_.ScrollView(-100);
  EXPECT_EQ(ct_.NodeFirstViewable(), root);
  EXPECT_EQ(ct_.NodeLastViewable(), &N("n14"));
  tv_.MouseDown(1, 0, 300, RowY(6));
  tv_.MouseMove(1, 0, 300, 3501);  // row 14: the bottom two rows begin past 14 rows
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  tv_.MouseMove(1, 0, 300, 3499);  // row 13: in between
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  tv_.MouseMove(1, 0, 300, 3990);
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n1"));
  tv_.MouseMove(1, 0, 300, 499);  // the top two rows
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  tv_.MouseMove(1, 0, 300, 500);
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  EXPECT_EQ(drags_, (std::vector<std::string>{"start n5", "over n5 n13", "over n5 n2"}));
}

TEST_F(CTreeViewDragTest, APlainClickEndsTheDrag) {
  Fill();
  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 300, RowY(4));
  ASSERT_TRUE(ct_.dragging());
  tv_.SelectNode(&N("w101"));
  EXPECT_FALSE(ct_.dragging());
  EXPECT_EQ(ct_.drag_node(), nullptr);
  EXPECT_EQ(tv_.drop_highlight(), nullptr);
  EXPECT_EQ(raised_, (std::vector<std::string>{"w101"}));
  tv_.MouseUp(1, 0, 300, RowY(4));
  EXPECT_EQ(drags_, (std::vector<std::string>{"start w100", "over w100 k02"}));
}

TEST_F(CTreeViewTest, TheRightButtonSelectsAndNotifiesOnUpOrInModeZeroOnDown) {
  Fill();
  std::vector<std::string> clicks;
  ct_.node_right_click.Connect([&](float x, float y, TreeNode& node) {
    clicks.push_back(node.key() + " " + std::to_string(static_cast<int>(x)) + " " +
                     std::to_string(static_cast<int>(y)) + (tv_.selected() == &node ? " sel" : ""));
  });
  EXPECT_EQ(ct_.context_menu_mode(), 1);
  tv_.MouseDown(2, 0, 40, 1100);
  EXPECT_TRUE(clicks.empty());
  tv_.MouseUp(2, 0, 40, 1100);
  ct_.set_context_menu_mode(0);
  tv_.MouseDown(2, 0, 50, 1300);
  tv_.MouseUp(2, 0, 50, 1300);
  tv_.MouseDown(2, 0, 50, 3000);  // under no node
  EXPECT_EQ(clicks, (std::vector<std::string>{"k02 40 1100 sel", "w200 50 1300 sel"}));
  EXPECT_TRUE(raised_.empty());
}

}  // namespace
}  // namespace korvane::controls
