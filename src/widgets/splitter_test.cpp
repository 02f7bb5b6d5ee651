#include "widgets/splitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/form.h"
#include "controls/grid.h"
#include "controls/tree_view.h"
#include "host/ini_profile_store.h"
#include "host/test_support.h"

namespace korvane::controls {
namespace {

constexpr double kFormWidth = 6000;
constexpr double kFormHeight = 4000;
constexpr double kTop = 400;  // a row of search fields sits above the tree and the grid
constexpr double kBarLeft = 1500;

// The picker's layout: a process tree on the left, the product grid on the right, the bar
// between them.
class SplitterTest : public ::testing::Test {
 protected:
  SplitterTest()
      : tree_(form_.Add<TreeView>("TvSr")),
        grid_(form_.Add<Grid>("Vs")),
        sp_(form_.Add<Splitter>("Sp")) {
    tree_.set_geometry({0, kTop, 1400, 3000});
    grid_.set_geometry({1600, kTop, 4000, 3000});
    sp_.set_geometry({kBarLeft, kTop, 75, 3000});
    sp_.set_control_name1("TvSr");
    sp_.set_control_name2("Vs");
    sp_.moving.Connect([this](std::int32_t offset, bool dragging) {
      events_.push_back("Moving " + std::to_string(offset) + (dragging ? " T" : " F"));
    });
    sp_.moved.Connect([this](std::int32_t offset, bool finished) {
      events_.push_back("Moved " + std::to_string(offset) + (finished ? " T" : " F"));
    });
    form_.SetInnerSize(kFormWidth, kFormHeight);
    sp_.Resize();
    events_.clear();
  }

  double Bar() const { return sp_.geometry().left; }
  double RightMost() const {
    return form_.inner_width() - sp_.splitter_width() - Splitter::kMinimumRightWidth;
  }
  // Both sides sit flush against the bar and share its top and height.
  void ExpectArrangedAroundBar() const {
    const Geometry bar = sp_.geometry();
    EXPECT_EQ(tree_.geometry(), (Geometry{0, bar.top, bar.left, kFormHeight - bar.top}));
    EXPECT_EQ(grid_.geometry(),
              (Geometry{bar.left + bar.width, bar.top, kFormWidth - bar.left - bar.width,
                        kFormHeight - bar.top}));
  }
  void Drag(double x) { sp_.MouseMove(Splitter::kLeftButton, 0, x, 10); }

  Form form_{"FmMCpml"};
  TreeView& tree_;
  Grid& grid_;
  Splitter& sp_;
  std::vector<std::string> events_;
};

// The layout of the bar dragged and scaled in a picker's window, and the drag threshold for a
// nudge, are walked by the cpml_sr_splitter scenario.
TEST_F(SplitterTest, HidingASideGivesTheOtherTheWholeWidthAndShowingRestores) {
  sp_.set_control_visible1(false);
  EXPECT_FALSE(tree_.visible());
  EXPECT_EQ(Bar(), -sp_.splitter_width());
  EXPECT_EQ(grid_.geometry(), (Geometry{0, kTop, kFormWidth, kFormHeight - kTop}));
  EXPECT_EQ(events_, std::vector<std::string>{"Moving 0 F"});
  sp_.set_control_visible1(true);
  EXPECT_TRUE(tree_.visible());
  EXPECT_EQ(Bar(), kBarLeft);
  ExpectArrangedAroundBar();

  // A dragged position is the one that comes back.
  sp_.MouseDown(Splitter::kLeftButton, 0, 10, 10);
  Drag(600);
  sp_.MouseUp(Splitter::kLeftButton, 0, 0, 0);
  sp_.set_control_visible2(false);
  EXPECT_FALSE(grid_.visible());
  EXPECT_EQ(Bar(), kFormWidth);
  EXPECT_EQ(tree_.geometry(), (Geometry{0, kTop, kFormWidth, kFormHeight - kTop}));
  sp_.set_control_visible2(true);
  EXPECT_EQ(Bar(), kBarLeft + 600);
  ExpectArrangedAroundBar();

  // A bar placed without a layout comes back where it was placed.
  sp_.set_geometry({2000, kTop, 75, 3600});
  sp_.set_control_visible1(false);
  sp_.set_control_visible1(true);
  EXPECT_EQ(Bar(), 2000);

  // The container narrowed while a side was hidden: the old position no longer fits.
  sp_.set_control_visible1(false);
  form_.SetInnerSize(1200, kFormHeight);
  sp_.Resize();
  sp_.set_control_visible1(true);
  EXPECT_EQ(Bar(), RightMost());
}

TEST_F(SplitterTest, LayoutScalesFromTheLastWidthWithinTheMinimumWidths) {
  // A wider bar pushes the right side over at the next layout.
  sp_.set_splitter_width(120);
  sp_.Resize();
  ExpectArrangedAroundBar();
  EXPECT_EQ(grid_.geometry().left, kBarLeft + 120);
  sp_.set_splitter_width(75);

  form_.SetInnerSize(9000, 5000);
  sp_.Resize();
  EXPECT_EQ(sp_.saved_position(), Bar());
  form_.SetInnerSize(7000, 5000);
  sp_.Resize();
  EXPECT_EQ(Bar(), std::nearbyint(kBarLeft * 9000 / kFormWidth * 7000 / 9000));
  const double before = Bar();
  sp_.Resize();  // the same width leaves the bar where it is
  EXPECT_EQ(Bar(), before);

  // Shrinking scales the bar below the left minimum.
  form_.SetInnerSize(1000, kFormHeight);
  sp_.Resize();
  EXPECT_EQ(Bar(), Splitter::kMinimumLeftWidth);
  // A bar close to the right edge is pulled back to leave exactly the right minimum.
  sp_.set_geometry({990, kTop, 75, 0});
  sp_.Resize();
  EXPECT_EQ(grid_.geometry().width, Splitter::kMinimumRightWidth);
  // Too narrow for both minimums: the right one wins.
  form_.SetInnerSize(500, kFormHeight);
  sp_.Resize();
  EXPECT_EQ(Bar(), RightMost());
  EXPECT_LT(Bar(), Splitter::kMinimumLeftWidth);
}

TEST_F(SplitterTest, ADragMovesFromEightyTwipsAndReportsItsOffsetsInOrder) {
  ASSERT_TRUE(sp_.MouseDown(Splitter::kLeftButton, 0, 10, 10));
  Drag(79);
  Drag(-79);
  EXPECT_EQ(Bar(), kBarLeft);
  EXPECT_TRUE(events_.empty());
  Drag(80);
  EXPECT_EQ(Bar(), kBarLeft + 80);
  Drag(-80);
  EXPECT_EQ(events_, (std::vector<std::string>{"Moving 80 T", "Moving -80 T"}));
  events_.clear();
  sp_.Resize();  // a layout during the drag reports the drag state, the move already reported
  Drag(30);      // under the threshold: kept for the release
  sp_.MouseUp(Splitter::kLeftButton, 0, 30, 10);
  EXPECT_FALSE(sp_.dragging());
  EXPECT_EQ(events_, (std::vector<std::string>{"Moving 0 T", "Moved 30 T"}));

  // A release right after a reported move carries 0; the next layout reports no drag.
  events_.clear();
  sp_.MouseDown(Splitter::kLeftButton, 0, 10, 10);
  Drag(-100);
  sp_.MouseUp(Splitter::kLeftButton, 0, -100, 10);
  sp_.Resize();
  EXPECT_EQ(events_, (std::vector<std::string>{"Moving -100 T", "Moved 0 T", "Moving 0 F"}));
  // A move without the button held, with the right button, or on a disabled bar is no drag.
  const double at = Bar();
  Drag(500);
  sp_.MouseDown(2, 0, 10, 10);
  EXPECT_FALSE(sp_.dragging());
  Drag(300);
  EXPECT_EQ(Bar(), at);
  sp_.set_enabled(false);
  EXPECT_FALSE(sp_.MouseDown(Splitter::kLeftButton, 0, 10, 10));
  EXPECT_FALSE(sp_.dragging());
}

TEST_F(SplitterTest, NamesBindTheFirstMatchingControlAndLateSiblings) {
  Form form("frmBom");
  Splitter& sp = form.Add<Splitter>("Sp");
  sp.set_control_name1("tv");
  sp.set_control_name2("Vs");
  EXPECT_EQ(sp.left_control(), nullptr);
  // Added after the splitter; the first member of an array wins.
  TreeView& tv = form.Add<TreeView>("Tv");
  Grid& first = form.Add<Grid>("Vs", 0);
  form.Add<Grid>("Vs", 1);
  form.SetInnerSize(5000, 3000);
  sp.Resize();
  EXPECT_EQ(sp.left_control(), &tv);
  EXPECT_EQ(sp.right_control(), &first);
  // An unknown name leaves its side alone while the other is still laid out.
  const Geometry tree_before = tv.geometry();
  sp.set_control_name1("nothing");
  EXPECT_EQ(sp.left_control(), nullptr);
  form.SetInnerSize(8000, 3000);
  sp.Resize();
  EXPECT_EQ(tv.geometry(), tree_before);
  EXPECT_EQ(first.geometry().width, 8000 - first.geometry().left);
}

TEST_F(SplitterTest, SavedPropertiesReadBackAndUnreadableOnesTakeTheDefaults) {
  test::TempFolder folder;
  IniProfileStore store;
  store.SetFile(folder / "FmMCpml.ini");
  sp_.set_splitter_width(120);
  sp_.set_control_visible1(false);
  ASSERT_TRUE(sp_.WriteProperties(store, "Sp"));
  Form form("FmMCpml");
  TreeView& tree = form.Add<TreeView>("TvSr");
  Grid& grid = form.Add<Grid>("Vs");
  Splitter& sp = form.Add<Splitter>("Sp");
  int layouts = 0;
  sp.moving.Connect([&layouts](std::int32_t, bool) { ++layouts; });
  sp.ReadProperties(store, "Sp");
  EXPECT_EQ(layouts, 0);
  EXPECT_EQ(sp.left_control(), &tree);
  EXPECT_EQ(sp.right_control(), &grid);
  EXPECT_EQ(sp.splitter_width(), 120);
  EXPECT_FALSE(tree.visible());
  EXPECT_TRUE(grid.visible());

  for (const char* width : {"wide", "40000"}) {  // not a number, beyond a 16-bit width
    ASSERT_TRUE(store.Write("Sp", "SplitterWidth", width));
    ASSERT_TRUE(store.Write("Sp", "ControlVisible2", "maybe"));
    ASSERT_TRUE(store.Write("Sp", "ControlVisible1", "0"));
    ASSERT_TRUE(store.Write("Sp", "ControlName1", ""));
    sp.set_control_visible2(false);
    sp.ReadProperties(store, "Sp");
    EXPECT_EQ(sp.splitter_width(), Splitter::kDefaultSplitterWidth) << width;
    EXPECT_TRUE(sp.control_visible2());
    EXPECT_FALSE(sp.control_visible1());
    EXPECT_EQ(sp.left_control(), nullptr);
  }
}

}  // namespace
}  // namespace korvane::controls
