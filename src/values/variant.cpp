// Conversions between the value kinds a field or a host call carries.
#include "values/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace korvane {
namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads n digits at text[pos..]; false when any is missing.
bool ReadDigits(std::string_view text, std::size_t& pos, int n, int& out) {
  out = 0;
  for (int i = 0; i < n; ++i) {
    if (pos >= text.size() || !IsDigit(text[pos])) return false;
    out = out * 10 + (text[pos++] - '0');
  }
  return true;
}

// Reads 1 or 2 digits.
bool ReadShort(std::string_view text, std::size_t& pos, int& out) {
  if (pos >= text.size() || !IsDigit(text[pos])) return false;
  out = text[pos++] - '0';
  if (pos < text.size() && IsDigit(text[pos])) out = out * 10 + (text[pos++] - '0');
  return true;
}

}  // namespace

bool Variant::IsBlank() const {
  return IsEmpty() || IsNull() || (type() == VarType::kText && text().empty());
}

std::string Variant::ToText() const {
  switch (type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return {};
    case VarType::kInteger:
      return std::to_string(integer());
    case VarType::kDouble:
      return FormatNumber(real());
    case VarType::kText:
      return text();
    case VarType::kDate: {
      const DateTime d = date();
      return d == std::chrono::floor<std::chrono::days>(d) ? FormatDate(d) : FormatDateTime(d);
    }
    case VarType::kBoolean:
      return boolean() ? "True" : "False";
  }
  return {};
}

double Variant::ToDouble() const {
  switch (type()) {
    case VarType::kInteger:
      return static_cast<double>(integer());
    case VarType::kDouble:
      return real();
    case VarType::kText:
      return NumericValue(text());
    case VarType::kBoolean:
      return boolean() ? -1.0 : 0.0;
    case VarType::kDate:
      // Days since 1899-12-30, the host's serial date.
      return static_cast<double>(
                 (date() - DateTime(std::chrono::sys_days(std::chrono::year{1899} /
                                                          std::chrono::December / 30)))
                     .count()) /
             86400.0;
    default:
      return 0.0;
  }
}

std::int64_t Variant::ToInt64() const {
  if (type() == VarType::kInteger) return integer();
  const double d = std::nearbyint(ToDouble());  // round half to even
  if (!std::isfinite(d)) return 0;
  if (d >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

std::int32_t Variant::ToLong() const {
  const std::int64_t v = ToInt64();
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

bool Variant::ToBool() const {
  switch (type()) {
    case VarType::kBoolean:
      return boolean();
    case VarType::kInteger:
      return integer() != 0;
    case VarType::kDouble:
      return real() != 0.0;
    case VarType::kText: {
      if (EqualsIgnoreCase(Trim(text()), "true")) return true;
      return NumericValue(text()) != 0.0;
    }
    default:
      return false;
  }
}

std::optional<DateTime> Variant::ToDate() const {
  if (type() == VarType::kDate) return date();
  if (type() == VarType::kText) return ParseDate(text());
  return std::nullopt;
}

double NumericValue(std::string_view text) {
  std::string digits;
  std::size_t i = 0;
  while (i < text.size() && IsBlankChar(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) digits += text[i++];
  bool seen_digit = false;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsBlankChar(c)) continue;
    if (IsDigit(c)) {
      digits += c;
      seen_digit = true;
    } else if (c == '.' && !seen_point) {
      digits += c;
      seen_point = true;
    } else {
      break;
    }
  }
  if (!seen_digit) return 0.0;
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    std::size_t first_digit = j;
    while (j < text.size() && IsDigit(text[j])) exponent += text[j++];
    if (j > first_digit) digits += exponent;
  }
  try {
    return std::stod(digits);
  } catch (const std::out_of_range&) {
    return digits[0] == '-' ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
  } catch (const std::invalid_argument&) {
    return 0.0;
  }
}

std::optional<DateTime> ParseDate(std::string_view text) {
  const std::string trimmed = Trim(text);
  std::string_view t = trimmed;
  std::size_t pos = 0;
  int y = 0, m = 0, d = 0;
  if (!ReadDigits(t, pos, 4, y)) return std::nullopt;
  if (pos < t.size() && (t[pos] == '-' || t[pos] == '/' || t[pos] == '.')) {
    const char sep = t[pos++];
    if (!ReadShort(t, pos, m) || pos >= t.size() || t[pos++] != sep || !ReadShort(t, pos, d)) {
      return std::nullopt;
    }
  } else if (!ReadDigits(t, pos, 2, m) || !ReadDigits(t, pos, 2, d)) {
    return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{unsigned(m)},
                                        std::chrono::day{unsigned(d)}};
  if (!ymd.ok()) return std::nullopt;
  int hh = 0, mm = 0, ss = 0;
  if (pos < t.size()) {
    if (t[pos] != ' ' && t[pos] != 'T') return std::nullopt;
    ++pos;
    while (pos < t.size() && t[pos] == ' ') ++pos;
    if (!ReadShort(t, pos, hh) || pos >= t.size() || t[pos++] != ':' || !ReadShort(t, pos, mm)) {
      return std::nullopt;
    }
    if (pos < t.size()) {
      if (t[pos++] != ':' || !ReadShort(t, pos, ss)) return std::nullopt;
      // Fractions of a second are accepted and dropped.
      if (pos < t.size() && t[pos] == '.') {
        ++pos;
        while (pos < t.size() && IsDigit(t[pos])) ++pos;
      }
    }
    if (pos != t.size() || hh > 23 || mm > 59 || ss > 59) return std::nullopt;
  }
  return DateTime(std::chrono::sys_days(ymd)) + std::chrono::hours(hh) + std::chrono::minutes(mm) +
         std::chrono::seconds(ss);
}

bool IsDate(std::string_view text) { return ParseDate(text).has_value(); }

std::chrono::year_month_day DateOf(DateTime date) {
  return std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(date));
}

std::string FormatDate(std::chrono::year_month_day date) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return buffer;
}

std::string FormatDate(DateTime date) { return FormatDate(DateOf(date)); }

std::string FormatDateTime(DateTime date) {
  const auto day = std::chrono::floor<std::chrono::days>(date);
  const std::chrono::hh_mm_ss time(date - day);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
  return FormatDate(date) + buffer;
}

std::string FormatNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0.0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::size_t CodePointCount(std::string_view text) {
  std::size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

namespace {
// Byte offset of the n-th code point (text.size() when there are fewer).
std::size_t OffsetOfCodePoint(std::string_view text, std::size_t n) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == n) return i;
      ++seen;
    }
  }
  return text.size();
}
}  // namespace

std::string LeftChars(std::string_view text, std::size_t n) {
  return std::string(text.substr(0, OffsetOfCodePoint(text, n)));
}

std::string RightChars(std::string_view text, std::size_t n) {
  const std::size_t count = CodePointCount(text);
  if (n >= count) return std::string(text);
  return std::string(text.substr(OffsetOfCodePoint(text, count - n)));
}

bool HoldsNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(extra) >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlankChar(text[b])) ++b;
  while (e > b && IsBlankChar(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    pieces.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

Variant VariantArray::get(int row, int col) const {
  if (row < 0 || col < 0 || row >= rows_ || col >= cols_) return {};
  return at(row, col);
}

std::size_t VariantArray::Index(int row, int col) const {
  if (row < 0 || col < 0 || row >= rows_ || col >= cols_) {
    throw std::out_of_range("VariantArray index outside the array");
  }
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
         static_cast<std::size_t>(col);
}

}  // namespace korvane
