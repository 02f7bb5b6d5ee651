// The host's number display formats and the grid's pictures of cell texts.
#include "controls/grid_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "controls/grid.h"
#include "values/variant.h"

namespace korvane::controls {
namespace {

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsTrueText(std::string_view text) {
  const std::string t = Trim(text);
  if (EqualsIgnoreCase(t, "true") || t == "√") return true;
  return IsNumericText(t) && NumericValue(t) != 0.0;
}

// The integer and fraction digits of a non-negative finite value rounded half away from zero
// to `places` decimals. The value is first taken to 15 significant digits, which is what the
// person typed or saw, so that binary noise (2.675 held as 2.67499...) does not decide.
void RoundedDigits(double value, int places, std::string& int_digits, std::string& frac_digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string mantissa;
  const char* p = buffer;
  for (; *p != '\0' && *p != 'e'; ++p) {
    if (IsDigit(*p)) mantissa.push_back(*p);
  }
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  const int int_len = exponent + 1;
  std::string digits;
  int point = 0;
  if (int_len <= 0) {
    digits = std::string(Idx(-int_len), '0') + mantissa;
    point = 0;
  } else {
    digits = mantissa;
    if (Idx(int_len) > digits.size()) digits.append(Idx(int_len) - digits.size(), '0');
    point = int_len;
  }
  const std::size_t keep = Idx(point + places);
  const bool round_up = digits.size() > keep && digits[keep] >= '5';
  digits.resize(keep, '0');
  if (round_up) {
    std::size_t i = digits.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        carry = false;
      }
    }
    if (carry) {
      digits.insert(digits.begin(), '1');
      ++point;
    }
  }
  int_digits = digits.substr(0, Idx(point));
  const std::size_t first = int_digits.find_first_not_of('0');
  int_digits = first == std::string::npos ? std::string() : int_digits.substr(first);
  frac_digits = digits.substr(Idx(point));
}

struct FormatToken {
  enum Kind { kIntDigit, kFracDigit, kPoint, kLiteral } kind;
  char placeholder = 0;  // '0' or '#'
  std::string text;      // for literals
};

struct ParsedSection {
  std::vector<FormatToken> tokens;
  int int_places = 0;
  int frac_places = 0;
  bool grouping = false;
  int scale_commas = 0;
  int percents = 0;
};

ParsedSection ParseSection(std::string_view format) {
  ParsedSection s;
  bool seen_point = false;
  std::vector<int> comma_positions;  // integer placeholders seen before each comma
  auto literal = [&s](std::string text) {
    if (!s.tokens.empty() && s.tokens.back().kind == FormatToken::kLiteral) {
      s.tokens.back().text += text;
    } else {
      s.tokens.push_back({FormatToken::kLiteral, 0, std::move(text)});
    }
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      const std::size_t end = format.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      literal(std::string(format.substr(i + 1, stop - i - 1)));
      i = stop;
    } else if (c == '\\') {
      if (i + 1 < format.size()) {
        // Copy the whole next character, which may take several bytes.
        std::size_t len = 1;
        while (i + 1 + len < format.size() &&
               (static_cast<unsigned char>(format[i + 1 + len]) & 0xC0) == 0x80) {
          ++len;
        }
        literal(std::string(format.substr(i + 1, len)));
        i += len;
      }
    } else if (c == '0' || c == '#') {
      if (seen_point) {
        s.tokens.push_back({FormatToken::kFracDigit, c, {}});
        ++s.frac_places;
      } else {
        s.tokens.push_back({FormatToken::kIntDigit, c, {}});
        ++s.int_places;
      }
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      s.tokens.push_back({FormatToken::kPoint, 0, {}});
    } else if (c == ',') {
      if (!seen_point) comma_positions.push_back(s.int_places);
    } else if (c == '%') {
      ++s.percents;
      literal("%");
    } else {
      literal(std::string(1, c));
    }
  }
  for (int before : comma_positions) {
    if (before > 0 && before < s.int_places) {
      s.grouping = true;
    } else if (before > 0 && before == s.int_places) {
      ++s.scale_commas;
    }
  }
  return s;
}

std::string FormatSection(double magnitude, const ParsedSection& s, bool negative) {
  double v = magnitude * std::pow(100.0, s.percents) / std::pow(1000.0, s.scale_commas);
  std::string int_digits;
  std::string frac_digits;
  RoundedDigits(v, s.frac_places, int_digits, frac_digits);

  // Required integer digits: from the first "0" placeholder to the point.
  int required = 0;
  int index = 0;
  for (const FormatToken& t : s.tokens) {
    if (t.kind != FormatToken::kIntDigit) continue;
    if (t.placeholder == '0') {
      required = s.int_places - index;
      break;
    }
    ++index;
  }
  if (int_digits.size() < Idx(required)) {
    int_digits.insert(0, Idx(required) - int_digits.size(), '0');
  }
  // Fraction digits shown: up to the last "0" placeholder always, beyond it without trailing
  // zeros.
  int min_frac = 0;
  index = 0;
  for (const FormatToken& t : s.tokens) {
    if (t.kind != FormatToken::kFracDigit) continue;
    ++index;
    if (t.placeholder == '0') min_frac = index;
  }
  while (frac_digits.size() > Idx(min_frac) && frac_digits.back() == '0') frac_digits.pop_back();

  const bool shows_nonzero = int_digits.find_first_not_of('0') != std::string::npos ||
                             frac_digits.find_first_not_of('0') != std::string::npos;
  const int len = static_cast<int>(int_digits.size());
  std::string out;
  auto emit_int_digit = [&](int pos_from_left) {
    out.push_back(int_digits[Idx(pos_from_left)]);
    const int place = len - 1 - pos_from_left;
    if (s.grouping && place > 0 && place % 3 == 0) out.push_back(',');
  };
  bool int_emitted = false;
  auto emit_leading = [&](int placeholders) {
    // Digits beyond the placeholders all go where the first placeholder stands.
    for (int k = 0; k < len - placeholders; ++k) emit_int_digit(k);
    int_emitted = true;
  };
  int int_index = 0;
  int frac_index = 0;
  for (const FormatToken& t : s.tokens) {
    switch (t.kind) {
      case FormatToken::kIntDigit: {
        if (int_index == 0) emit_leading(s.int_places);
        const int place = s.int_places - 1 - int_index;
        if (place < len) emit_int_digit(len - 1 - place);
        ++int_index;
        break;
      }
      case FormatToken::kPoint:
        if (!int_emitted) emit_leading(0);
        if (!frac_digits.empty()) out.push_back('.');
        break;
      case FormatToken::kFracDigit:
        if (Idx(frac_index) < frac_digits.size()) out.push_back(frac_digits[Idx(frac_index)]);
        ++frac_index;
        break;
      case FormatToken::kLiteral:
        out += t.text;
        break;
    }
  }
  return negative && shows_nonzero ? "-" + out : out;
}

// Splits "positive;negative;zero" at semicolons outside quotes and escapes.
std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && !quoted) {
      ++i;
    } else if (c == ';' && !quoted) {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

}  // namespace

bool IsNumericText(std::string_view text) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  const std::size_t n = t.size();
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  bool digits = false;
  while (i < n && IsDigit(t[i])) {
    ++i;
    digits = true;
  }
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && IsDigit(t[i])) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == n || !IsDigit(t[i])) return false;
    while (i < n && IsDigit(t[i])) ++i;
  }
  return i == n;
}

std::string FormatNumberVb(double value, std::string_view format) {
  if (format.empty() || !std::isfinite(value)) return FormatNumber(value);
  if (EqualsIgnoreCase(format, "General Number")) return FormatNumber(value);
  if (EqualsIgnoreCase(format, "Fixed")) return FormatNumberVb(value, "0.00");
  if (EqualsIgnoreCase(format, "Standard")) return FormatNumberVb(value, "#,##0.00");
  if (EqualsIgnoreCase(format, "Percent")) return FormatNumberVb(value, "0.00%");

  std::vector<ParsedSection> sections;
  bool any_placeholder = false;
  for (std::string_view piece : SplitSections(format)) {
    sections.push_back(ParseSection(piece));
    any_placeholder =
        any_placeholder || sections.back().int_places > 0 || sections.back().frac_places > 0;
  }
  if (!any_placeholder) return FormatNumber(value);
  auto usable = [&sections](std::size_t i) {
    return i < sections.size() && !sections[i].tokens.empty();
  };
  if (value < 0 && usable(1)) return FormatSection(-value, sections[1], false);
  if (value == 0 && usable(2)) return FormatSection(0, sections[2], false);
  return FormatSection(std::fabs(value), sections[0], value < 0);
}

std::string CellDisplayText(std::string_view text, std::string_view format, int data_type) {
  if (data_type == grid_type::kBoolean) return IsTrueText(text) ? "√" : "";
  if (format.empty() || data_type == grid_type::kString || !IsNumericText(text)) {
    return std::string(text);
  }
  return FormatNumberVb(NumericValue(text), format);
}

}  // namespace korvane::controls
