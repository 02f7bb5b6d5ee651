// Level arithmetic of hierarchical codes. Lengths count code points, so a category code written
// with Chinese characters has as many "characters" as a person sees.
#include "host/coding_scheme.h"

#include <charconv>
#include <climits>

#include "values/variant.h"

namespace korvane {

int CodingScheme::CodeLength(int level) const {
  if (level < 1 || level > static_cast<int>(level_lengths.size())) return 0;
  long long total = 0;
  for (int i = 0; i < level; ++i) total += level_lengths[static_cast<std::size_t>(i)];
  // Parse refuses schemes whose total does not fit; a hand-built one saturates.
  return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

int CodingScheme::LevelOf(std::string_view code) const {
  if (code.empty()) return 0;
  const std::size_t length = CodePointCount(code);
  for (int level = 1; level <= static_cast<int>(level_lengths.size()); ++level) {
    const int expected = CodeLength(level);
    if (expected > 0 && static_cast<std::size_t>(expected) == length) return level;
  }
  return 0;
}

std::string CodingScheme::Parent(std::string_view code) const {
  const int level = LevelOf(code);
  if (level <= 1) return {};
  return LeftChars(code, static_cast<std::size_t>(CodeLength(level - 1)));
}

CodingScheme CodingScheme::Parse(std::string_view lengths) {
  CodingScheme scheme;
  if (Trim(lengths).empty()) return scheme;
  long long total = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = lengths.find(',', start);
    const std::string item = Trim(lengths.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    int value = 0;
    const char* const end = item.data() + item.size();
    const auto [ptr, ec] = std::from_chars(item.data(), end, value);
    // from_chars accepts a leading '-', so positivity is checked on the value.
    if (item.empty() || ec != std::errc() || ptr != end || value <= 0) return CodingScheme{};
    total += value;
    if (total > INT_MAX) return CodingScheme{};
    scheme.level_lengths.push_back(value);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return scheme;
}

}  // namespace korvane
