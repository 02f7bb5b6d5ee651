// What every list picker shares, tested once: the search-column rule, find and filter over list
// rows, and the base's own controls on a minimal picker (the filter and match boxes, the sort
// list, the search-column prompt, ticking, the completion of a choice and its guard).
#include "pickers/list_picker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/test_support.h"

namespace korvane {
namespace {

using namespace pickers;

TEST(ListSearch, EveryPieceOfASearchColumnListIsAColumn) {
  EXPECT_EQ(ParseSearchColumns(" 1;2;4 "), (std::vector<int>{1, 2, 4}));
  // Blank pieces are no columns; a piece that holds no number is the first column.
  EXPECT_EQ(ParseSearchColumns("4; ;12;"), (std::vector<int>{4, 12}));
  EXPECT_EQ(ParseSearchColumns("3;x;5"), (std::vector<int>{3, 0, 5}));
  EXPECT_TRUE(ParseSearchColumns("").empty());
}

class ListRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.set_cols(4);
    grid_.set_fixed_cols(0);
    grid_.set_rows(1);
    grid_.AddItem("\t1\tab12\tzeta");
    grid_.AddItem("\t2\tAB1\tab12x");
    grid_.AddItem("\t3\tcd\tmid ab1 end");
  }
  std::vector<bool> Hidden() const {
    return {grid_.RowHidden(1), grid_.RowHidden(2), grid_.RowHidden(3)};
  }
  controls::Grid grid_{"Vs", -1, "VSFlexGrid"};
};

TEST_F(ListRowsTest, FindTriesTheColumnsInOrder) {
  // The first column that yields a row wins, even when a later column matches earlier.
  EXPECT_EQ(FindListRow(grid_, {3, 2}, "ab1", false), 2);
  EXPECT_EQ(FindListRow(grid_, {2, 3}, "ab1", false), 1);
  // Whole-text match, case ignored.
  EXPECT_EQ(FindListRow(grid_, {2}, "ab1", true), 2);
  EXPECT_EQ(FindListRow(grid_, {2}, "zz", false), -1);
  // A column the grid does not have is passed over, not read.
  EXPECT_EQ(FindListRow(grid_, {-1, 9, 2}, "cd", true), 3);
}

TEST_F(ListRowsTest, FilterHidesTheRowsNoColumnMatches) {
  // Containing, upper-cased: all three rows carry "AB1" in column 2 or 3.
  EXPECT_EQ(FilterListRows(grid_, {2, 3}, "ab1", false), 1);
  EXPECT_EQ(Hidden(), (std::vector<bool>{false, false, false}));
  // From the left only: row 3's "mid ab1 end" no longer matches, row 1 is hidden by column 3.
  EXPECT_EQ(FilterListRows(grid_, {3, 7}, "ab1", true), 2);
  EXPECT_EQ(Hidden(), (std::vector<bool>{true, false, true}));
  // An empty text shows everything again.
  EXPECT_EQ(FilterListRows(grid_, {3}, "", true), 1);
  EXPECT_EQ(Hidden(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(FilterListRows(grid_, {3}, "nothing", false), -1);
  EXPECT_EQ(FilterListRows(grid_, {12}, "a", false), -1);
}

// The smallest picker on the base: a tick, id, code and name column; the choice text of a
// ticked row is its code.
class TestPicker : public ListPicker, public PickerEvents {
 public:
  TestPicker() : ListPicker("frmTest", {"frmTest", "->", ":", "错误："}, 2) {
    ListControls list{&form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid"),
                      &form_.Add<controls::TextBox>("Txt", 0),
                      &form_.Add<controls::TextBox>("Txt", 1),
                      &form_.Add<controls::ComboBox>("cbo"),
                      &form_.Add<controls::CheckBox>("Check"),
                      &form_.Add<controls::CheckBox>("ChkFind"),
                      {}};
    for (int i = 0; i < 5; ++i) list.buttons[i] = &form_.Add<controls::Button>("Cmd", i);
    list.search_columns->set_text("2;3");
    list.match->set_caption(std::string(kWholeMatchCaption));
    AttachList(list);
    controls::Grid& vs = grid();
    vs.set_cols(4);
    vs.set_fixed_cols(0);
    vs.set_rows(1);
    for (const char* row : {"\t7\tB-2\tbolt", "\t12\t\tno code", "\t3\tA-1\tnut", "\t5\tC-3\tbolt"})
      vs.AddItem(row);
    sort_list().AddItem("code", Variant(2));
    Advise(this);
  }
  ~TestPicker() override { Unadvise(this); }

  bool Init(std::shared_ptr<HostContext> context, std::int32_t, std::string_view) override {
    return guard().Run(
        "Init", [&] { return InitList(std::move(context)); }, false);
  }
  bool Refresh() override { return true; }
  std::shared_ptr<Object> Objects() override { return nullptr; }
  bool Validate(std::string_view, std::string_view, std::string_view, std::string_view,
                std::string&, std::string&) override {
    return false;
  }
  void DoSelect() override { ++selects; }
  void DoCancel() override { ++cancels; }

  using ListPicker::ApplyMultipleChoice;
  using ListPicker::AskSearchColumns;
  using ListPicker::RunSearch;
  using ListPicker::ToggleTick;

  std::vector<int> loaded;
  bool broken = false;
  int selects = 0;
  int cancels = 0;

 private:
  void LoadChoice(int row) override {
    if (broken) throw std::runtime_error("row unreadable");
    loaded.push_back(row);
    text_ = grid().TextMatrix(row, 3);
    value_ = Variant(grid().TextMatrix(row, 1));
  }
  std::string LayoutFileName() const override { return "frmTest"; }
};

class ListPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_->data->WhenScalar("mouseeventscrollrate", Variant("4"));
    ASSERT_TRUE(picker_.Init(host_, 1, ""));
  }
  std::vector<bool> Hidden() {
    std::vector<bool> hidden;
    for (int r = 1; r < picker_.grid().rows(); ++r) hidden.push_back(picker_.grid().RowHidden(r));
    return hidden;
  }
  void Search(const std::string& text) {
    picker_.search_box().set_text(text);
    picker_.RunSearch();
  }

  std::shared_ptr<test::FakeHostContext> host_ = std::make_shared<test::FakeHostContext>();
  TestPicker picker_;
};

TEST_F(ListPickerTest, InitNeedsAHostAndReadsTheScrollRate) {
  EXPECT_EQ(picker_.scroll_rate(), 4);
  EXPECT_NE(picker_.GetParameters(), nullptr);
  EXPECT_FALSE(TestPicker().Init(nullptr, 1, ""));
  ASSERT_TRUE(picker_.Clear());
  EXPECT_EQ(picker_.GetParameters(), nullptr);
  // Without a host nothing is chosen.
  picker_.grid().set_row(1);
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.selects, 0);
}

TEST_F(ListPickerTest, TheFilterAndMatchBoxesSwitchBetweenFindAndFilter) {
  // Find: from the left, the first search column first; the match box asks for the whole text.
  Search("a");
  EXPECT_EQ(picker_.grid().row(), 3);
  ASSERT_TRUE(picker_.match_box().Click());
  Search("bolt");
  EXPECT_EQ(picker_.grid().row(), 1);
  EXPECT_EQ(picker_.grid().top_row(), 1);
  Search("bol");  // no whole match: the row stays
  EXPECT_EQ(picker_.grid().row(), 1);
  ASSERT_TRUE(picker_.match_box().Click());

  // Filter: the caption changes; the match box now asks for the text from the left.
  Search("c");
  EXPECT_EQ(picker_.grid().row(), 4);
  ASSERT_TRUE(picker_.filter_box().Click());
  EXPECT_EQ(picker_.match_box().caption(), kLeftMatchCaption);
  EXPECT_EQ(Hidden(), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(picker_.grid().row(), 2);
  EXPECT_TRUE(picker_.search_box().HasFocus());
  ASSERT_TRUE(picker_.match_box().Click());
  EXPECT_EQ(Hidden(), (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(picker_.grid().row(), 4);
  // Leaving filter mode shows every row again.
  ASSERT_TRUE(picker_.filter_box().Click());
  EXPECT_EQ(picker_.match_box().caption(), kWholeMatchCaption);
  EXPECT_EQ(Hidden(), (std::vector<bool>{false, false, false, false}));
}

// The prompt's offer and a typed answer are walked by the gy_keys_choice scenario.
TEST_F(ListPickerTest, SearchColumnsFollowTheirBoxAndThePrompt) {
  ASSERT_TRUE(picker_.search_columns_box().Type("3"));
  EXPECT_EQ(picker_.search_columns(), (std::vector<int>{3}));
  EXPECT_EQ(picker_.search_columns_box().text(), "3");
  // Cancelled or emptied, the list stays.
  for (const std::optional<std::string>& answer : {std::optional<std::string>(), {""}}) {
    host_->dialogs_fake.QueueInput(answer);
    picker_.AskSearchColumns();
    EXPECT_EQ(picker_.search_columns(), (std::vector<int>{3}));
    EXPECT_EQ(picker_.search_columns_box().text(), "3");
  }
}

TEST_F(ListPickerTest, TheSortListSortsByTheChosenColumn) {
  ASSERT_TRUE(picker_.sort_list().Choose(0));
  std::vector<std::string> codes;
  for (int r = 1; r < picker_.grid().rows(); ++r) codes.push_back(picker_.grid().TextMatrix(r, 2));
  EXPECT_EQ(codes, (std::vector<std::string>{"", "A-1", "B-2", "C-3"}));
}

TEST_F(ListPickerTest, SingleChoiceLoadsTheCurrentRowUnlessItIsHidden) {
  picker_.grid().set_row(3);
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.loaded, std::vector<int>{3});
  EXPECT_EQ(picker_.selects, 1);
  EXPECT_EQ(picker_.GetText(), "nut");
  picker_.grid().SetRowHidden(3, true);
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.selects, 1);
  ASSERT_TRUE(picker_.button(1).Click());
  EXPECT_EQ(picker_.cancels, 1);
}

TEST_F(ListPickerTest, MultipleChoiceJoinsTheTickedRowsTopToBottom) {
  picker_.ApplyMultipleChoice(true);
  picker_.grid().set_row(1);
  picker_.ToggleTick(4);
  picker_.ToggleTick(1);
  picker_.ToggleTick(3);
  picker_.ToggleTick(3);  // unticks again
  picker_.ToggleTick(0);  // the header is no row
  EXPECT_EQ(picker_.grid().TextMatrix(1, kTickColumn), kTickMark);
  EXPECT_EQ(picker_.grid().TextMatrix(0, kTickColumn), "");
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.selects, 1);
  EXPECT_EQ(picker_.GetValue(), Variant("7,5"));
  EXPECT_EQ(picker_.GetText(), "B-2,C-3");

  // Tick-all passes over a row without a code and ticks the hidden rows too.
  picker_.grid().SetRowHidden(4, true);
  ASSERT_TRUE(picker_.button(3).Click());
  EXPECT_EQ(picker_.grid().TextMatrix(2, kTickColumn), "");
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.GetValue(), Variant("7,3,5"));
  EXPECT_EQ(picker_.GetText(), "B-2,A-1,C-3");
  ASSERT_TRUE(picker_.button(4).Click());
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.GetValue(), Variant(""));
  EXPECT_EQ(picker_.GetText(), "");
}

TEST_F(ListPickerTest, AChoiceThatCannotBeReadIsBoxedAndSelectsNothing) {
  picker_.broken = true;
  picker_.grid().set_row(1);
  host_->dialogs_fake.QueueAnswer(MsgAnswer::kOk);
  ASSERT_TRUE(picker_.button(0).Click());
  EXPECT_EQ(picker_.selects, 0);
  ASSERT_EQ(host_->dialogs_fake.boxes().size(), 1u);
  EXPECT_EQ(host_->dialogs_fake.boxes()[0].text, "frmTest->CompleteSelection:row unreadable");
  EXPECT_EQ(host_->dialogs_fake.boxes()[0].title, "错误：");
  EXPECT_EQ(host_->dialogs_fake.boxes()[0].icon, MsgIcon::kCritical);
}

}  // namespace
}  // namespace korvane
