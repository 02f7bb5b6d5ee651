// CodingScheme: a hierarchical coding in which each level's code is its parent's code followed
// by a fixed number of characters (product categories: "01", "0101", "0101001").
#ifndef KORVANE_HOST_CODING_SCHEME_H_
#define KORVANE_HOST_CODING_SCHEME_H_

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct CodingScheme {
  // Characters each level adds, level 1 first (e.g. {2, 2, 3}).
  std::vector<int> level_lengths;

  // Total length in characters (code points) of a code of `level` (1-based); 0 when the scheme
  // has no such level.
  int CodeLength(int level) const;
  // The level whose code length equals the code's length in characters; 0 when none does.
  int LevelOf(std::string_view code) const;
  // The code one level above: the code cut to the previous level's length. Empty for a level-1
  // code and for a code that fits no level.
  std::string Parent(std::string_view code) const;
  // Parses "2,2,3"; blanks are ignored, and anything that is not a positive whole number makes
  // the scheme empty.
  static CodingScheme Parse(std::string_view lengths);
};

}  // namespace korvane

#endif  // KORVANE_HOST_CODING_SCHEME_H_
