#include "widgets/c_tree_view.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "controls/form.h"
#include "host/test_support.h"

namespace korvane::controls {
namespace {

using Keys = std::vector<std::string>;
constexpr int kRow = 250;  // 4000 twips high, 16 rows
double RowY(int row) { return row * kRow + kRow / 2.0; }

// The structure document's tree. After Fill every branch is open and the rows are
// ROOT 0, k01 1, w100 2, w101 3, k02 4, w200 5.
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
    NodeOptions options;
    options.relative = parent;
    options.relation = parent != nullptr ? NodeRelation::kChild : NodeRelation::kLast;
    options.key = key;
    options.text = text;
    return ct_.NodeAdd(options);
  }
  void Fill() {
    TreeNode* root = Add(nullptr, "ROOT", "BOM结构");
    TreeNode* metals = Add(root, "k01", "01 Metals");
    Add(metals, "w100", "100 Bolt");
    Add(metals, "w101", "101 Bolt washer");
    Add(Add(root, "k02", "02 Plastics"), "w200", "200 Cap");
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
  Keys raised_;
};

TEST_F(CTreeViewTest, HookedClicksRaiseSelectedAndUnhookedNothingHappens) {
  EXPECT_EQ(tv_.indentation(), 100);
  EXPECT_EQ(tv_.drag_icon(), "DRAGICON");
  EXPECT_EQ(ct_.row_height(), kRow);
  Fill();
  tv_.MouseDown(1, 0, 100, RowY(1));  // a press and release on k01
  tv_.MouseUp(1, 0, 100, RowY(1));
  EXPECT_EQ(raised_, Keys{"k01"});
  ct_.UnHookCtrl();
  tv_.SelectNode(&N("w100"));
  std::string text = "Bolt";
  TreeNode* found = &N("w100");
  EXPECT_FALSE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(ct_.NodeAdd({}), nullptr);
  EXPECT_EQ(raised_, Keys{"k01"});
}

TEST_F(CTreeViewTest, NodeAddDefaultsImagesAndShowsTheNode) {
  Fill();
  EXPECT_EQ(N("w100").image() + N("w100").selected_image() + N("w100").expanded_image(), "121");
  EXPECT_EQ(N("w100").fore_color(), cTreeView::kWindowTextColor);
  EXPECT_EQ(N("w100").back_color(), cTreeView::kWindowBackColor);
  N("k02").set_expanded(false);
  NodeOptions options;
  options.relative = &N("w200");
  options.relation = NodeRelation::kNext;
  options.key = "w201";
  options.text = "201 Lid";
  options.image = "open";
  options.selected = true;
  TreeNode* lid = ct_.NodeAdd(options);
  ASSERT_NE(lid, nullptr);
  EXPECT_EQ(lid->parent(), &N("k02"));
  // A picture given leaves the others at their defaults; the closed branch opens to show it.
  EXPECT_EQ(lid->image() + lid->selected_image(), "open2");
  EXPECT_TRUE(lid->visible());
  EXPECT_EQ(tv_.selected(), lid);
  EXPECT_TRUE(raised_.empty());
  EXPECT_EQ(Add(nullptr, "w100", "a taken key"), nullptr);
  // Fewer than 3 pictures: no defaults. Many rows: the new node lands on the bottom row.
  images_.Clear();
  TreeNode* root = Add(nullptr, "R2", "second root");
  EXPECT_EQ(root->image() + root->selected_image(), "");
  for (int i = 0; i < 30; ++i) Add(root, "n" + std::to_string(i), "node");
  EXPECT_EQ(tv_.last_visible(), &N("n29"));
}

TEST_F(CTreeViewTest, NodeFindByKeyOrTextAndAnEmptyTextAsked) {
  Fill();
  TreeNode* found = nullptr;
  std::string text;
  ASSERT_TRUE(ct_.NodeFind(found, text, "w200", true));  // a key asks nothing
  EXPECT_EQ(tv_.selected(), &N("w200"));
  EXPECT_TRUE(tv_.HasFocus());
  text = "bOLT";  // case-blind, depth first: w100 before w101
  ASSERT_TRUE(ct_.NodeFind(found, text, "", false));
  EXPECT_EQ(found, &N("w100"));
  EXPECT_EQ(tv_.selected(), &N("w200"));  // found, raised, not selected
  text = "gear";
  EXPECT_FALSE(ct_.NodeFind(found, text, "", true));
  EXPECT_FALSE(ct_.NodeFind(found, text, "w999", true));
  EXPECT_EQ(raised_, (Keys{"w200", "w100"}));

  text.clear();
  dialogs_.QueueInput("cap");
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(text, "cap");
  EXPECT_EQ(found, &N("w200"));
  EXPECT_EQ(dialogs_.inputs_shown().size(), 1u);
  text.clear();
  dialogs_.QueueInput(std::nullopt);  // cancelled: the empty text is in every node
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  EXPECT_EQ(found, &N("ROOT"));
}

TEST_F(CTreeViewTest, NodeFindNextContinuesAfterTheSelectionWithoutWrapping) {
  Fill();
  TreeNode* found = nullptr;
  std::string text = "bolt";
  ASSERT_TRUE(ct_.NodeFind(found, text, "", true));
  ASSERT_TRUE(ct_.NodeFindNext(found, text, true));
  EXPECT_EQ(found, &N("w101"));
  EXPECT_FALSE(ct_.NodeFindNext(found, text, true));
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(tv_.selected(), &N("w101"));
  EXPECT_EQ(raised_, (Keys{"w100", "w101"}));
  tv_.set_selected(nullptr);  // from the first node
  text = "0";
  ASSERT_TRUE(ct_.NodeFindNext(found, text, false));
  EXPECT_EQ(found, &N("k01"));
}

TEST_F(CTreeViewTest, ReSelectItemIsSelectedAndClearTreeView) {
  EXPECT_FALSE(ct_.ReSelectItem());
  Fill();
  tv_.set_selected(&N("ROOT"));
  EXPECT_FALSE(ct_.IsSelected());  // the root alone is no selection
  EXPECT_TRUE(ct_.ReSelectItem());
  EXPECT_TRUE(ct_.ReSelectItem(&N("w200")));
  EXPECT_EQ(raised_, (Keys{"ROOT", "w200"}));
  tv_.set_selected(&N("w101"));
  EXPECT_TRUE(ct_.IsSelected());

  int drawn_removals = 0;
  tv_.changed.Connect([&](const Control&, std::string_view what) {
    if (what == "nodes" && tv_.drawing()) ++drawn_removals;
  });
  ct_.ClearTreeView();
  EXPECT_EQ(tv_.Count(), 0);
  EXPECT_EQ(drawn_removals, 0);
  EXPECT_TRUE(tv_.drawing());
  ct_.Redraw(false);
  ct_.ClearTreeView();  // an empty tree: drawing is on afterwards all the same
  EXPECT_TRUE(tv_.drawing());
}

TEST_F(CTreeViewTest, TagsRelativesAndRenaming) {
  Fill();
  N("w101").set_tag("Part-9");
  N("w200").set_tag("part-9");
  EXPECT_EQ(ct_.NodeFindTag("PART-9"), "w101");
  EXPECT_EQ(ct_.NodeFindTag("part"), "");  // the whole tag
  EXPECT_TRUE(cTreeView::IsParentNode(N("ROOT"), N("w100")));
  EXPECT_FALSE(cTreeView::IsParentNode(N("k02"), N("w100")));
  EXPECT_FALSE(cTreeView::IsParentNode(N("w100"), N("w100")));
  EXPECT_TRUE(cTreeView::IsChildNode(N("w100"), N("k01")));
  EXPECT_FALSE(cTreeView::IsChildNode(N("w100"), N("ROOT")));
  EXPECT_EQ(cTreeView::ParentNodeText(N("w200")) + cTreeView::ParentNodeText(N("ROOT")),
            "02 Plastics");
  tv_.set_selected(&N("k01"));
  ct_.NodeRename(N("w200"), "");
  ct_.NodeRename(N("ROOT"), "Structures");  // a root is renamed, not selected
  EXPECT_EQ(tv_.selected(), &N("k01"));
  ct_.NodeRename(N("w200"), "200 Top cap");
  EXPECT_EQ(N("w200").text(), "200 Top cap");
  EXPECT_EQ(tv_.selected(), &N("w200"));
}

TEST_F(CTreeViewTest, NodeDeleteMovesTheSelectionByItsRule) {
  Fill();
  TreeNode* node = &N("w100");  // a next sibling takes the selection
  tv_.set_selected(node);
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(tv_.selected(), &N("w101"));
  Add(&N("k01"), "w102", "102 Nut");  // the last child: the selected node's first child
  tv_.set_selected(&N("k01"));
  node = &N("w102");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("w101"));
  node = &N("w200");  // the selected last leaf itself: its parent
  tv_.set_selected(node);
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("k02"));
  EXPECT_EQ(raised_, (Keys{"w101", "w101", "k02"}));
  EXPECT_TRUE(tv_.HasFocus());
  Add(&N("k02"), "a", "same");  // a selection of the same text is not raised
  Add(&N("k02"), "b", "same");
  node = &N("a");
  ASSERT_TRUE(ct_.NodeDelete(node));
  EXPECT_EQ(tv_.selected(), &N("b"));
  EXPECT_EQ(raised_.size(), 3u);
  EXPECT_FALSE(ct_.NodeDelete(node));
}

TEST_F(CTreeViewTest, NodeMoveNeverIntoItsOwnBranch) {
  Fill();
  Add(&N("k02"), "k01b", "01 Metals");
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("w100"), true));  // its own child
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("k01"), true));
  EXPECT_FALSE(ct_.NodeMove(N("ROOT"), N("w200"), true));  // a root stays
  EXPECT_FALSE(ct_.NodeMove(N("k01"), N("k01b"), true));   // the same text
  EXPECT_EQ(N("k01").parent(), &N("ROOT"));
  N("k02").set_expanded(false);
  ASSERT_TRUE(ct_.NodeMove(N("k01"), N("w200"), true));
  EXPECT_EQ(N("w100").parent()->parent(), &N("w200"));
  EXPECT_TRUE(N("w200").expanded() && N("k01").visible());
  EXPECT_EQ(tv_.selected(), &N("k01"));
}

TEST_F(CTreeViewTest, NodeCopyDescendsTheBranchUntilCancelled) {
  Fill();
  Add(&N("w100"), "s1", "screw");
  Keys asked;
  std::string cancel_at;
  ct_.node_copying.Connect([&](TreeNode& source, TreeNode& target) {
    asked.push_back(source.key() + ">" + target.key());
    Add(&target, "c" + source.key(), source.text());  // the owner's copy
    if (source.key() == cancel_at) ct_.CancelCopy(true);
  });
  ASSERT_TRUE(ct_.NodeCopy(N("k01"), N("w200"), true));
  EXPECT_EQ(asked, (Keys{"k01>w200", "w100>ck01", "s1>cw100", "w101>ck01"}));
  tv_.Remove(&N("ck01"));
  asked.clear();
  ASSERT_TRUE(ct_.NodeCopy(N("w100"), N("k02"), false));
  EXPECT_EQ(asked, Keys{"w100>k02"});
  tv_.Remove(&N("cw100"));
  asked.clear();
  cancel_at = "w100";
  ASSERT_TRUE(ct_.NodeCopy(N("k01"), N("w200"), true));
  EXPECT_EQ(asked, (Keys{"k01>w200", "w100>ck01"}));
  asked.clear();
  EXPECT_FALSE(ct_.NodeCopy(N("k01"), N("w100"), true));  // into its own branch
  Add(&N("k02"), "dup", "02 Plastics");
  EXPECT_FALSE(ct_.NodeCopy(N("dup"), N("k02"), true));  // the same text
  EXPECT_TRUE(asked.empty());
}

TEST_F(CTreeViewTest, ExpandingCollapsingCutMarkAndMovingTheSelection) {
  Fill();
  ct_.CollapseAll();
  EXPECT_EQ(tv_.Rows().size(), 1u);
  ct_.ExpandChildNodes(N("ROOT"));
  EXPECT_EQ(tv_.Rows().size(), 6u);
  ct_.CollapseChildNodes(N("k01"));
  EXPECT_TRUE(!N("k01").expanded() && N("k02").expanded() && tv_.drawing());
  tv_.set_selected(&N("w101"));
  ct_.CutIconState(true);
  EXPECT_TRUE(N("w101").cut());

  tv_.set_selected(&N("k01"));
  raised_.clear();
  ct_.MoveNodeNext();      // next sibling
  ct_.MoveNodeNext();      // none: first child
  ct_.MoveNodeNext();      // neither: stays, still raised
  ct_.MoveNodePrevious();  // no previous sibling: parent
  ct_.MoveNodePrevious();  // previous sibling
  EXPECT_EQ(raised_, (Keys{"k02", "w200", "w200", "k02", "k01"}));
}

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
  void Drag(int from, int to) {
    tv_.MouseDown(1, 0, 300, RowY(from));
    tv_.MouseMove(1, 0, 300, RowY(to));
    tv_.MouseUp(1, 0, 300, RowY(to));
  }
  Keys drags_;
};

TEST_F(CTreeViewDragTest, DropsOnAnotherNodeOnlyAndAClickEndsADrag) {
  Fill();
  Drag(2, 5);
  EXPECT_EQ(drags_, (Keys{"start w100", "over w100 w200", "drop w100 w200"}));
  EXPECT_FALSE(ct_.dragging());
  EXPECT_EQ(tv_.drop_highlight(), nullptr);
  Add(&N("k02"), "w100b", "100 Bolt");
  drags_.clear();
  Drag(2, 2);   // on itself
  Drag(2, 6);   // on a node of the same text
  Drag(12, 3);  // from no node
  EXPECT_EQ(drags_, (Keys{"start w100", "over w100 w100", "start w100", "over w100 w100b"}));
  EXPECT_TRUE(raised_.empty());

  tv_.MouseDown(1, 0, 300, RowY(2));
  tv_.MouseMove(1, 0, 300, RowY(4));
  EXPECT_EQ(tv_.drop_highlight(), &N("k02"));
  tv_.SelectNode(&N("w101"));
  EXPECT_TRUE(!ct_.dragging() && ct_.drag_node() == nullptr && tv_.drop_highlight() == nullptr);
  drags_.clear();
  tv_.MouseUp(1, 0, 300, RowY(4));
  ct_.set_drag_enabled(false);
  Drag(2, 4);
  EXPECT_TRUE(drags_.empty());
}

TEST_F(CTreeViewDragTest, TheTopAndBottomTwoRowsScrollByOneNode) {
  TreeNode* root = Add(nullptr, "ROOT", "root");
  for (int i = 0; i < 40; ++i) Add(root, "n" + std::to_string(i), "node " + std::to_string(i));
  ct_.ScrollView(-100);
  EXPECT_EQ(ct_.NodeLastViewable(), &N("n14"));
  tv_.MouseDown(1, 0, 300, RowY(6));
  tv_.MouseMove(1, 0, 300, 3501);  // past 14 rows: the bottom two
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  tv_.MouseMove(1, 0, 300, 3499);
  EXPECT_EQ(ct_.NodeFirstViewable(), &N("n0"));
  tv_.MouseMove(1, 0, 300, 499);  // the top two
  EXPECT_EQ(ct_.NodeFirstViewable(), root);
  tv_.MouseMove(1, 0, 300, 500);
  EXPECT_EQ(ct_.NodeFirstViewable(), root);
  EXPECT_EQ(drags_, (Keys{"start n5", "over n5 n13", "over n5 n1"}));
}

TEST_F(CTreeViewTest, TheRightButtonSelectsAndNotifiesOnUpOrInModeZeroOnDown) {
  Fill();
  Keys clicks;
  ct_.node_right_click.Connect([&](float x, float y, TreeNode& node) {
    clicks.push_back(node.key() + " " + std::to_string(static_cast<int>(x)) + " " +
                     std::to_string(static_cast<int>(y)) + (node.selected() ? " sel" : ""));
  });
  tv_.MouseDown(2, 0, 40, 1100);
  EXPECT_TRUE(clicks.empty());
  tv_.MouseUp(2, 0, 40, 1100);
  ct_.set_context_menu_mode(0);
  tv_.MouseDown(2, 0, 50, 1300);
  tv_.MouseUp(2, 0, 50, 1300);
  tv_.MouseDown(2, 0, 50, 3000);  // under no node
  EXPECT_EQ(clicks, (Keys{"k02 40 1100 sel", "w200 50 1300 sel"}));
  EXPECT_TRUE(raised_.empty());
}

}  // namespace
}  // namespace korvane::controls
