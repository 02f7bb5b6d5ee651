#include "controls/grid_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid.h"
#include "controls/test_grid.h"

namespace korvane::controls {
namespace {

using test::Fill;

TEST(FormatNumberVb, DigitPlaceholdersGroupingAndRounding) {
  struct Case {
    double value;
    const char* format;
    const char* shown;
  };
  const Case cases[] = {
      {3.456, "###.##", "3.46"},
      {0.5, "##0.00", "0.50"},
      {1234.5, "#,##0.00", "1,234.50"},
      {0, "###.##", ""},   // optional digits show nothing for zero, and no dangling point
      {3, "###.##", "3"},  // the host would show "3."
      {0.5, "#.##", ".5"},
      {1.5, "0.0#", "1.5"},
      {1.25, "0.0#", "1.25"},
      {1234567, "#,##0", "1,234,567"},
      {123, "#,##0", "123"},
      {2.5, "0", "3"},  // half away from zero
      {-2.5, "0", "-3"},
      {2.675, "0.00", "2.68"},   // held as 2.67499999..., rounded as written
      {9.995, "0.00", "10.00"},  // carry into a new integer digit
      {-0.001, "0.00", "0.00"},  // no sign on a zero
      {7, "000", "007"},
      {123456, "##", "123456"},  // more digits than placeholders
      {1234567, "#,##0,", "1,235"},
      {0.256, "0.0%", "25.6%"},
      {1234.5, "\"¥\"#,##0.00", "¥1,234.50"},
      {5, "0 kg", "5 kg"},
      {-5, "0;(0)", "(5)"},
      {0, "0.00;(0.00);-", "-"},
      {1234.5, "Standard", "1,234.50"},
      {0.5, "Fixed", "0.50"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatNumberVb(c.value, c.format), c.shown) << c.value << " with " << c.format;
  }
  // No digit placeholder at all: the plain number.
  EXPECT_EQ(FormatNumberVb(2.5, ""), FormatNumber(2.5));
  EXPECT_EQ(FormatNumberVb(2.5, "yyyy-mm-dd"), FormatNumber(2.5));
  EXPECT_EQ(FormatNumberVb(1e300, "0"), "1" + std::string(300, '0'));
}

// Only a whole number is one: a text that merely starts with digits would be totalled, sorted
// and formatted as if it were the number.
TEST(IsNumericText, TakesWholeNumbersOnly) {
  for (const char* text : {"12", " 12 ", "-3", "+.5", "5.", "1e3", "2.5E-2", "007"}) {
    EXPECT_TRUE(IsNumericText(text)) << text;
  }
  for (const char* text : {"", " ", "12kg", ".", "-", "1.2.3", "1e", "1e+", "e3", "1 2", "0x1F"}) {
    EXPECT_FALSE(IsNumericText(text)) << text;
  }
}

TEST(Grid, DisplayTextUsesColumnFormatsAndBooleans) {
  Grid grid("g");
  grid.set_cols(4);
  Fill(grid, {{"", "1234.5", "12kg", "1"}, {"", "", "x", "False"}, {"", "0", "", "True"}});
  grid.SetColFormat(1, "#,##0.00");
  grid.SetColFormat(2, "0.0");
  grid.SetColDataType(3, grid_type::kBoolean);
  const auto shown = [&](int col) {
    std::vector<std::string> texts;
    for (int r = 1; r < grid.rows(); ++r) texts.push_back(grid.DisplayText(r, col));
    return texts;
  };
  EXPECT_EQ(shown(1), (std::vector<std::string>{"1,234.50", "", "0.00"}));
  EXPECT_EQ(shown(2), (std::vector<std::string>{"12kg", "x", ""}));  // not numbers: as typed
  EXPECT_EQ(shown(3), (std::vector<std::string>{"√", "", "√"}));
  grid.SetColDataType(1, grid_type::kString);
  EXPECT_EQ(grid.DisplayText(1, 1), "1234.5");
  EXPECT_EQ(grid.TextMatrix(1, 1), "1234.5");
}

}  // namespace
}  // namespace korvane::controls
