#include "controls/tree_view.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "controls/form.h"

namespace korvane::controls {
namespace {

std::vector<std::string> Keys(const std::vector<TreeNode*>& nodes) {
  std::vector<std::string> keys;
  for (const TreeNode* node : nodes) keys.push_back(node->key());
  return keys;
}

// A product tree as the structure document builds it: a root, categories, products.
class TreeViewTest : public ::testing::Test {
 protected:
  TreeViewTest() : tv_(form_.Add<TreeView>("tv")) {
    TreeNode& root = tv_.Add(nullptr, NodeRelation::kLast, "ROOT", "BOM");
    TreeNode& metals = tv_.Add(&root, NodeRelation::kChild, "k01", "01  Metals");
    tv_.Add(&metals, NodeRelation::kChild, "w100", "100  Bolt").set_tag("7");
    tv_.Add(&metals, NodeRelation::kChild, "w101", "101  Nut");
    TreeNode& plastics = tv_.Add(&root, NodeRelation::kChild, "k02", "02  Plastics");
    tv_.Add(&plastics, NodeRelation::kChild, "w200", "200  Cap");
    tv_.node_click.Connect([this](TreeNode& node) { clicks_.push_back(node.key()); });
    tv_.expand.Connect([this](TreeNode& node) { expands_.push_back(node.key()); });
    tv_.collapse.Connect([this](TreeNode& node) { collapses_.push_back(node.key()); });
  }

  TreeNode& N(const std::string& key) {
    TreeNode* node = tv_.Find(key);
    if (node == nullptr) throw std::logic_error("test tree has no node " + key);
    return *node;
  }

  Form form_{"frmBom"};
  TreeView& tv_;
  std::vector<std::string> clicks_;
  std::vector<std::string> expands_;
  std::vector<std::string> collapses_;
};

TEST_F(TreeViewTest, AddPlacesTheNodeByEachRelation) {
  TreeNode& metals = N("k01");
  tv_.Add(&N("w100"), NodeRelation::kFirst, "w099", "099");  // first among w100's siblings
  tv_.Add(&N("w101"), NodeRelation::kLast, "w102", "102");
  tv_.Add(&N("w100"), NodeRelation::kNext, "w100a", "100a");
  tv_.Add(&N("w100"), NodeRelation::kPrevious, "w100p", "100p");
  EXPECT_EQ(Keys(metals.children()),
            (std::vector<std::string>{"w099", "w100p", "w100", "w100a", "w101", "w102"}));
  EXPECT_EQ(N("w100a").parent(), &metals);
  EXPECT_EQ(N("w099").parent(), &metals);
  tv_.Add(&N("w099"), NodeRelation::kChild, "c1", "child");
  tv_.Add(&N("w099"), NodeRelation::kChild, "c2", "child");
  EXPECT_EQ(Keys(N("w099").children()), (std::vector<std::string>{"c1", "c2"}));

  // Without a relative the relation does not matter: the node is the last root.
  tv_.Add(nullptr, NodeRelation::kFirst, "R2", "second root");
  // Siblings of a root are roots.
  tv_.Add(&N("ROOT"), NodeRelation::kPrevious, "R0", "first root");
  EXPECT_EQ(Keys(tv_.roots()), (std::vector<std::string>{"R0", "ROOT", "R2"}));
  EXPECT_EQ(N("R0").parent(), nullptr);
  EXPECT_EQ(tv_.Count(), 14);
}

TEST_F(TreeViewTest, AddRefusesATakenKeyOrAForeignRelativeAndLeavesTheTree) {
  const auto before = Keys(tv_.Walk());
  EXPECT_THROW(tv_.Add(&N("k02"), NodeRelation::kChild, "w100", "again"), std::invalid_argument);
  TreeView other("other");
  TreeNode& stranger = other.Add(nullptr, NodeRelation::kLast, "x", "x");
  EXPECT_THROW(tv_.Add(&stranger, NodeRelation::kChild, "w300", "300"), std::invalid_argument);
  EXPECT_EQ(Keys(tv_.Walk()), before);
  EXPECT_EQ(tv_.Find("w300"), nullptr);

  // Keys are compared exactly, and nodes without a key never clash.
  EXPECT_NO_THROW(tv_.Add(&N("k02"), NodeRelation::kChild, "W100", "upper"));
  tv_.Add(&N("k02"), NodeRelation::kChild, "", "loading...");
  tv_.Add(&N("k01"), NodeRelation::kChild, "", "loading...");
  EXPECT_EQ(tv_.Count(), 9);
  EXPECT_EQ(tv_.Find(""), nullptr);
  EXPECT_EQ(tv_.Find("W100")->text(), "upper");
  EXPECT_EQ(tv_.Find("w100")->tag(), "7");
}

TEST_F(TreeViewTest, RemoveDropsTheWholeBranchAndFreesItsKeys) {
  tv_.Remove(&N("k01"));
  EXPECT_EQ(tv_.Count(), 3);
  EXPECT_EQ(tv_.Find("w101"), nullptr);
  EXPECT_EQ(Keys(tv_.Walk()), (std::vector<std::string>{"ROOT", "k02", "w200"}));
  EXPECT_NO_THROW(tv_.Add(&N("k02"), NodeRelation::kChild, "w100", "100  Bolt"));
  EXPECT_THROW(tv_.Remove(nullptr), std::invalid_argument);

  tv_.Clear();
  EXPECT_EQ(tv_.Count(), 0);
  EXPECT_TRUE(tv_.roots().empty());
  EXPECT_NO_THROW(tv_.Add(nullptr, NodeRelation::kLast, "ROOT", "BOM"));
}

TEST_F(TreeViewTest, RemoveMovesTheSelectionOffTheBranchWithoutAClick) {
  // Next sibling first.
  tv_.set_selected(&N("w101"));
  tv_.Remove(&N("k01"));
  EXPECT_EQ(tv_.selected(), &N("k02"));
  // With no next sibling, the parent.
  tv_.set_selected(&N("w200"));
  tv_.Remove(&N("w200"));
  EXPECT_EQ(tv_.selected(), &N("k02"));
  // A root with no next sibling: the previous root; the last node: nothing.
  TreeNode& extra = tv_.Add(nullptr, NodeRelation::kLast, "X", "extra");
  tv_.set_selected(&extra);
  tv_.Remove(&extra);
  EXPECT_EQ(tv_.selected(), &N("ROOT"));
  tv_.Remove(&N("ROOT"));
  EXPECT_EQ(tv_.selected(), nullptr);
  EXPECT_TRUE(clicks_.empty());

  // Clearing drops the selection too.
  TreeNode& again = tv_.Add(nullptr, NodeRelation::kLast, "ROOT", "BOM");
  tv_.set_selected(&again);
  tv_.Clear();
  EXPECT_EQ(tv_.selected(), nullptr);
}

// Siblings are walked by the moves of the selection after a removal (below) and in cTreeView.
TEST_F(TreeViewTest, WalkPathsAndRoot) {
  EXPECT_EQ(Keys(tv_.Walk()),
            (std::vector<std::string>{"ROOT", "k01", "w100", "w101", "k02", "w200"}));
  EXPECT_EQ(N("w101").full_path(), "BOM\\01  Metals\\101  Nut");
  tv_.set_path_separator("/");
  EXPECT_EQ(N("w200").full_path(), "BOM/02  Plastics/200  Cap");
  // A root's path is its text: that is how the wrapper tells roots apart.
  EXPECT_EQ(N("ROOT").full_path(), "BOM");
  EXPECT_EQ(N("w200").root(), &N("ROOT"));
}

TEST_F(TreeViewTest, SelectingByCodeIsSilentButAPersonsClickIsNot) {
  std::vector<std::string> changes;
  tv_.changed.Connect([&](const Control&, std::string_view what) { changes.emplace_back(what); });
  N("ROOT").set_expanded(true);
  N("k01").set_expanded(true);
  expands_.clear();
  changes.clear();

  tv_.set_selected(&N("w100"));
  EXPECT_TRUE(N("w100").selected());
  EXPECT_TRUE(clicks_.empty());
  EXPECT_EQ(changes, std::vector<std::string>{"selected"});

  int plain_clicks = 0;
  tv_.click.Connect([&] { ++plain_clicks; });
  EXPECT_TRUE(tv_.SelectNode(&N("w101")));
  EXPECT_EQ(tv_.selected(), &N("w101"));
  EXPECT_FALSE(N("w100").selected());
  // Clicking the selected node again still reports the click.
  EXPECT_TRUE(tv_.SelectNode(&N("w101")));
  EXPECT_EQ(clicks_, (std::vector<std::string>{"w101", "w101"}));
  EXPECT_EQ(plain_clicks, 2);
  EXPECT_TRUE(tv_.HasFocus());
  EXPECT_TRUE(expands_.empty());

  tv_.set_selected(nullptr);
  EXPECT_EQ(tv_.selected(), nullptr);
  TreeView other("other");
  TreeNode& stranger = other.Add(nullptr, NodeRelation::kLast, "x", "x");
  EXPECT_THROW(tv_.set_selected(&stranger), std::invalid_argument);
  EXPECT_FALSE(tv_.SelectNode(&stranger));
  EXPECT_FALSE(tv_.SelectNode(nullptr));
}

TEST_F(TreeViewTest, ExpandingAndCollapsingFireTheirEventsOncePerChange) {
  EXPECT_TRUE(tv_.ExpandNode(&N("k01")));
  EXPECT_TRUE(N("k01").expanded());
  EXPECT_TRUE(tv_.ExpandNode(&N("k01")));
  EXPECT_EQ(expands_, std::vector<std::string>{"k01"});
  EXPECT_TRUE(tv_.CollapseNode(&N("k01")));
  EXPECT_FALSE(N("k01").expanded());
  EXPECT_EQ(collapses_, std::vector<std::string>{"k01"});
  // A leaf has no button to expand it.
  EXPECT_FALSE(tv_.ExpandNode(&N("w100")));
  EXPECT_FALSE(N("w100").expanded());

  // By code, as a module restoring the saved expansion does.
  N("k02").set_expanded(true);
  N("k02").set_expanded(true);
  EXPECT_EQ(expands_, (std::vector<std::string>{"k01", "k02"}));

  // Collapsing hides the selection, so it moves up to the collapsed node.
  tv_.set_selected(&N("w200"));
  tv_.CollapseNode(&N("ROOT"));
  EXPECT_EQ(tv_.selected(), &N("ROOT"));
  EXPECT_TRUE(clicks_.empty());
}

TEST_F(TreeViewTest, SelectingAHiddenNodeOpensItsBranchAndDoubleClickSelectsThenToggles) {
  tv_.set_selected(&N("w200"));
  EXPECT_EQ(expands_, (std::vector<std::string>{"ROOT", "k02"}));
  EXPECT_TRUE(N("k02").expanded());
  EXPECT_FALSE(N("k01").expanded());
  tv_.CollapseNode(&N("k02"));
  collapses_.clear();

  int double_clicks = 0;
  tv_.double_click.Connect([&] { ++double_clicks; });
  EXPECT_TRUE(tv_.DoubleClickNode(&N("k02")));
  EXPECT_EQ(tv_.selected(), &N("k02"));
  EXPECT_TRUE(N("k02").expanded());
  EXPECT_TRUE(tv_.DoubleClickNode(&N("k02")));
  EXPECT_FALSE(N("k02").expanded());
  EXPECT_EQ(double_clicks, 2);
  EXPECT_EQ(collapses_, std::vector<std::string>{"k02"});
}

TEST_F(TreeViewTest, ADisabledOrHiddenTreeRefusesEveryAction) {
  N("ROOT").set_expanded(true);
  N("k02").set_expanded(true);
  tv_.set_selected(&N("k01"));
  expands_.clear();
  collapses_.clear();
  int double_clicks = 0;
  tv_.double_click.Connect([&] { ++double_clicks; });
  for (int round = 0; round < 2; ++round) {
    tv_.set_enabled(round != 0);
    tv_.set_visible(round == 0);
    EXPECT_FALSE(tv_.SelectNode(&N("w100")));
    EXPECT_FALSE(tv_.ExpandNode(&N("k01")));
    EXPECT_FALSE(tv_.CollapseNode(&N("k02")));
    EXPECT_FALSE(tv_.DoubleClickNode(&N("k01")));
    EXPECT_FALSE(tv_.MouseDown(1, 0, 10, 10));
    EXPECT_FALSE(tv_.MouseUp(1, 0, 10, 10));
  }
  EXPECT_EQ(tv_.selected(), &N("k01"));
  EXPECT_FALSE(N("k01").expanded());
  EXPECT_TRUE(N("k02").expanded());
  EXPECT_EQ(clicks_.size() + expands_.size() + collapses_.size() + double_clicks, 0u)
      << "a refused action fired an event";
  EXPECT_FALSE(tv_.HasFocus());
}

// Three rows of 250 twips shown at a time.
class TreeRowsTest : public TreeViewTest {
 protected:
  TreeRowsTest() {
    tv_.set_geometry({0, 0, 2000, 750});
    tv_.set_visible_count(3);
  }
};

TEST_F(TreeRowsTest, RowsLeaveOutCollapsedBranchesAndHitTestCountsFromTheTopRow) {
  N("ROOT").set_expanded(true);
  N("k02").set_expanded(true);
  EXPECT_EQ(Keys(tv_.Rows()), (std::vector<std::string>{"ROOT", "k01", "k02", "w200"}));
  EXPECT_EQ(tv_.HitTest(499), &N("k01"));
  EXPECT_EQ(tv_.HitTest(500), &N("k02"));
  EXPECT_EQ(tv_.HitTest(750), nullptr);  // below the last row shown
  tv_.ScrollRows(1);
  EXPECT_EQ(tv_.HitTest(0), &N("k01"));
  EXPECT_EQ(tv_.RowOf(&N("w200")), 2);
  EXPECT_EQ(tv_.RowOf(&N("ROOT")), -1);
  tv_.set_visible_count(5);  // all four rows fit: back to the top, rows of 150
  EXPECT_EQ(tv_.first_visible(), &N("ROOT"));
  EXPECT_EQ(tv_.HitTest(600), nullptr);
}

TEST_F(TreeRowsTest, ScrollingStaysWithinTheRowsAndEnsureVisibleMovesTheLeast) {
  tv_.EnsureVisible(&N("w101"));  // ROOT k01 w100 w101 k02: w101 onto the bottom row
  EXPECT_EQ(expands_, (std::vector<std::string>{"ROOT", "k01"}));
  EXPECT_EQ(tv_.first_visible(), &N("k01"));
  tv_.ScrollRows(10);
  EXPECT_EQ(tv_.first_visible(), &N("w100"));  // the last row never rises above the bottom
  tv_.EnsureVisible(&N("w101"));               // shown: no scroll
  EXPECT_EQ(tv_.first_visible(), &N("w100"));
  tv_.EnsureVisible(&N("ROOT"));
  EXPECT_EQ(tv_.first_visible(), &N("ROOT"));
  tv_.ScrollRows(2);
  N("k01").set_expanded(false);  // the hidden top row gives way: ROOT k01 k02 fit
  EXPECT_EQ(tv_.first_visible(), &N("ROOT"));
}

TEST_F(TreeRowsTest, MoveNeverIntoItsOwnBranchAndAPressWithoutAMoveIsAClick) {
  tv_.Move(&N("k01"), &N("w200"));
  EXPECT_EQ(Keys(tv_.Walk()),
            (std::vector<std::string>{"ROOT", "k02", "w200", "k01", "w100", "w101"}));
  EXPECT_THROW(tv_.Move(&N("k02"), &N("w100")), std::invalid_argument);
  EXPECT_THROW(tv_.Move(&N("k02"), &N("k02")), std::invalid_argument);
  EXPECT_EQ(N("k02").parent(), &N("ROOT"));

  N("ROOT").set_expanded(true);  // rows ROOT k02
  tv_.MouseDown(1, 0, 100, 300);
  tv_.MouseUp(1, 0, 100, 320);
  tv_.MouseDown(1, 0, 100, 300);
  tv_.MouseMove(1, 0, 100, 300);
  tv_.MouseUp(1, 0, 100, 300);
  tv_.MouseDown(1, 0, 100, 300);
  tv_.MouseUp(1, 0, 100, 10);  // released on another row
  tv_.MouseDown(2, 0, 100, 300);
  tv_.MouseUp(2, 0, 100, 300);
  EXPECT_EQ(clicks_, (std::vector<std::string>{"k02"}));
  EXPECT_TRUE(tv_.HasFocus());
}

TEST(ImageListTest, IndexesAreOneBasedAndMissingKeysGiveZero) {
  ImageList images("ImgList");
  EXPECT_FALSE(images.visible());
  EXPECT_EQ(images.Add("closed", "folder.bmp"), 1);
  EXPECT_EQ(images.Add("open", "open.bmp"), 2);
  EXPECT_EQ(images.Add("", "anonymous.bmp"), 3);
  EXPECT_EQ(images.IndexOf("open"), 2);
  EXPECT_EQ(images.IndexOf("OPEN"), 0);
  EXPECT_EQ(images.IndexOf(""), 0);
  EXPECT_THROW(images.KeyAt(4), std::out_of_range);
  EXPECT_THROW(images.Add("open", "other.bmp"), std::invalid_argument);
  images.Clear();
  EXPECT_EQ(images.IndexOf("open"), 0);
}

}  // namespace
}  // namespace korvane::controls
