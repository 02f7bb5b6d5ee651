#include "host/coding_scheme.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace korvane {
namespace {

TEST(CodingSchemeTest, ParseAcceptsPositiveLengthsOnly) {
  EXPECT_EQ(CodingScheme::Parse("2,2,3").level_lengths, (std::vector<int>{2, 2, 3}));
  EXPECT_EQ(CodingScheme::Parse(" 2 ,\t2, 3 ").level_lengths, (std::vector<int>{2, 2, 3}));
  for (const char* bad : {"", "  ", "2,,3", "2,0,3", "2,-1", "2,x", "2.5,2", "2,2,", "2 2", "+2",
                          "99999999999", "2147483647,1"}) {
    EXPECT_TRUE(CodingScheme::Parse(bad).level_lengths.empty()) << bad;
  }
}

TEST(CodingSchemeTest, LevelsAndParentsOfCodes) {
  const CodingScheme scheme = CodingScheme::Parse("2,2,3");
  EXPECT_EQ((std::vector<int>{scheme.CodeLength(0), scheme.CodeLength(1), scheme.CodeLength(3),
                              scheme.CodeLength(4)}),
            (std::vector<int>{0, 2, 7, 0}));
  // Each Chinese character is one character of the code, whatever its bytes.
  const std::tuple<const char*, int, const char*> codes[] = {{"01", 1, ""},
                                                             {"0101001", 3, "0101"},
                                                             {"", 0, ""},
                                                             {"010", 0, ""},
                                                             {"01010011", 0, ""},
                                                             {"原料", 1, ""},
                                                             {"原料钢材001", 3, "原料钢材"}};
  for (const auto& [code, level, parent] : codes) {
    EXPECT_EQ(scheme.LevelOf(code), level) << code;
    EXPECT_EQ(scheme.Parent(code), parent) << code;
  }

  const CodingScheme empty;
  EXPECT_EQ(empty.LevelOf("01"), 0);
  EXPECT_EQ(empty.Parent("0101"), "");
}

}  // namespace
}  // namespace korvane
