#include "host/coding_scheme.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(scheme.CodeLength(1), 2);
  EXPECT_EQ(scheme.CodeLength(3), 7);
  EXPECT_EQ(scheme.CodeLength(0), 0);
  EXPECT_EQ(scheme.CodeLength(4), 0);

  EXPECT_EQ(scheme.LevelOf("01"), 1);
  EXPECT_EQ(scheme.LevelOf("0101001"), 3);
  EXPECT_EQ(scheme.LevelOf(""), 0);
  EXPECT_EQ(scheme.LevelOf("010"), 0);
  EXPECT_EQ(scheme.LevelOf("01010011"), 0);

  EXPECT_EQ(scheme.Parent("0101001"), "0101");
  EXPECT_EQ(scheme.Parent("01"), "");
  EXPECT_EQ(scheme.Parent("010"), "");

  // Each Chinese character is one character of the code, whatever its bytes.
  EXPECT_EQ(scheme.LevelOf("原料"), 1);
  EXPECT_EQ(scheme.LevelOf("原料钢材001"), 3);
  EXPECT_EQ(scheme.Parent("原料钢材001"), "原料钢材");

  const CodingScheme empty;
  EXPECT_EQ(empty.LevelOf("01"), 0);
  EXPECT_EQ(empty.Parent("0101"), "");
}

}  // namespace
}  // namespace korvane
