#include "data/tsql_runtime.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tsql_dates_internal.h"

namespace korvane::data {
namespace {

// ---------------------------------------------------------------------------------------------
// Text helpers. Texts are UTF-8; positions and lengths count code points, as the server counts
// characters. Case is folded for ASCII letters only, like the collation.

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::uint32_t FoldCodePoint(std::uint32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Byte length of the UTF-8 sequence starting with `lead` (1 for a stray continuation byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// The text split into code points (each as its byte offset), with the end offset appended.
std::vector<std::size_t> CodePointOffsets(std::string_view s) {
  std::vector<std::size_t> offsets;
  std::size_t i = 0;
  while (i < s.size()) {
    offsets.push_back(i);
    i += std::min(SequenceLength(static_cast<unsigned char>(s[i])), s.size() - i);
  }
  offsets.push_back(s.size());
  return offsets;
}

std::uint32_t DecodeAt(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const std::size_t n = std::min(SequenceLength(lead), s.size() - i);
  std::uint32_t c = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += n;
  return c;
}

std::string_view TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  if (p == nullptr) return {};
  return std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void ResultText(sqlite3_context* ctx, std::string_view text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ResultError(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

// ---------------------------------------------------------------------------------------------
// Numbers.

struct Number {
  bool is_integer = false;
  std::int64_t integer = 0;
  double real = 0;
  double AsDouble() const { return is_integer ? static_cast<double>(integer) : real; }
};

// A text read as a number the way the server converts it: blanks around it allowed, nothing
// else.
std::optional<Number> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  const std::string s(text);
  char* end = nullptr;
  const bool integral = s.find_first_of(".eE") == std::string::npos;
  if (integral) {
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (end == s.c_str() + s.size() && errno == 0) return Number{true, v, 0};
  }
  const double d = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(d)) return std::nullopt;
  // strtod reads "inf", "nan" and hex floats; the server does not.
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-' ||
          c == ' ' || c == '\t')) {
      return std::nullopt;
    }
  }
  return Number{false, 0, d};
}

std::optional<Number> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return Number{true, sqlite3_value_int64(v), 0};
    case SQLITE_FLOAT:
      return Number{false, 0, sqlite3_value_double(v)};
    default:
      return ParseNumber(TextOf(v));
  }
}

std::string NumberText(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return buf;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

// ---------------------------------------------------------------------------------------------
// Dates: texts "yyyy-mm-dd" with an optional " hh:mm:ss", as the schema stores them.

struct DateValue {
  std::int64_t days = 0;     // since 1970-01-01
  std::int64_t seconds = 0;  // of the day
  int millis = 0;
};

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

bool ReadDigits(std::string_view s, std::size_t& i, std::size_t count, int& out) {
  if (i + count > s.size()) return false;
  out = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const char c = s[i + k];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  i += count;
  return true;
}

// Reads "yyyy-mm-dd", "yyyy/mm/dd", "yyyy.mm.dd" or "yyyymmdd", optionally followed by
// " hh:mm[:ss[.fff]]" (or "T" instead of the blank). The empty text is the server's zero date
// 1900-01-01.
std::optional<DateValue> ParseDateText(std::string_view s) {
  s = TrimBlanks(s);
  if (s.empty()) return DateValue{DaysFromCivil(1900, 1, 1), 0, 0};
  std::size_t i = 0;
  int y = 0, m = 0, d = 0;
  if (!ReadDigits(s, i, 4, y)) return std::nullopt;
  if (i < s.size() && (s[i] == '-' || s[i] == '/' || s[i] == '.')) {
    const char sep = s[i++];
    // Month and day may have one or two digits.
    auto read12 = [&](int& out) {
      if (!ReadDigits(s, i, 1, out)) return false;
      int more = 0;
      std::size_t j = i;
      if (ReadDigits(s, j, 1, more)) {
        out = out * 10 + more;
        i = j;
      }
      return true;
    };
    if (!read12(m) || i >= s.size() || s[i] != sep) return std::nullopt;
    ++i;
    if (!read12(d)) return std::nullopt;
  } else if (!ReadDigits(s, i, 2, m) || !ReadDigits(s, i, 2, d)) {
    return std::nullopt;
  }
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
  DateValue value{DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), 0, 0};
  if (i == s.size()) return value;
  if (s[i] != ' ' && s[i] != 'T') return std::nullopt;
  while (i < s.size() && (s[i] == ' ' || s[i] == 'T')) ++i;
  int hh = 0, mi = 0, ss = 0, ms = 0;
  auto read_part = [&](int& out) {
    if (!ReadDigits(s, i, 1, out)) return false;
    int more = 0;
    std::size_t j = i;
    if (ReadDigits(s, j, 1, more)) {
      out = out * 10 + more;
      i = j;
    }
    return true;
  };
  if (!read_part(hh) || i >= s.size() || s[i] != ':') return std::nullopt;
  ++i;
  if (!read_part(mi)) return std::nullopt;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!read_part(ss)) return std::nullopt;
    if (i < s.size() && s[i] == '.') {
      ++i;
      int scale = 100;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ms += (s[i] - '0') * scale;
        scale /= 10;
        ++i;
      }
    }
  }
  if (i != s.size() || hh > 23 || mi > 59 || ss > 59) return std::nullopt;
  value.seconds = hh * 3600 + mi * 60 + ss;
  value.millis = ms;
  return value;
}

std::optional<DateValue> DateOf(sqlite3_value* v) {
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    // A number is a count of days since the server's zero date, as the server converts it.
    const double n = sqlite3_value_double(v);
    const double whole = std::floor(n);
    DateValue value{DaysFromCivil(1900, 1, 1) + static_cast<std::int64_t>(whole), 0, 0};
    value.seconds = static_cast<std::int64_t>(std::llround((n - whole) * 86400.0));
    if (value.seconds >= 86400) {
      ++value.days;
      value.seconds -= 86400;
    }
    return value;
  }
  return ParseDateText(TextOf(v));
}

std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string FormatDate(const DateValue& value, int style) {
  int y = 0, m = 0, d = 0;
  CivilFromDays(value.days, y, m, d);
  char year[8];
  std::snprintf(year, sizeof year, "%04d", y);
  const std::string yyyy = year, mm = Two(m), dd = Two(d);
  const std::string time = Two(static_cast<int>(value.seconds / 3600)) + ":" +
                           Two(static_cast<int>(value.seconds / 60 % 60)) + ":" +
                           Two(static_cast<int>(value.seconds % 60));
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03d", value.millis);
  switch (style) {
    case 20:
    case 120:
      return yyyy + "-" + mm + "-" + dd + " " + time;
    case 21:
    case 121:
      return yyyy + "-" + mm + "-" + dd + " " + time + millis;
    case 126:
      return yyyy + "-" + mm + "-" + dd + "T" + time + millis;
    case 23:
      return yyyy + "-" + mm + "-" + dd;
    case 101:
      return mm + "/" + dd + "/" + yyyy;
    case 102:
      return yyyy + "." + mm + "." + dd;
    case 103:
      return dd + "/" + mm + "/" + yyyy;
    case 104:
      return dd + "." + mm + "." + yyyy;
    case 105:
      return dd + "-" + mm + "-" + yyyy;
    case 110:
      return mm + "-" + dd + "-" + yyyy;
    case 111:
      return yyyy + "/" + mm + "/" + dd;
    case 112:
      return yyyy + mm + dd;
    case 8:
    case 108:
      return time;
    default:
      return {};
  }
}

// The stored form of a date value: the day alone at midnight, with the time otherwise.
std::string StoredDate(const DateValue& value) {
  return FormatDate(value, value.seconds == 0 && value.millis == 0 ? 23 : 120);
}

// ---------------------------------------------------------------------------------------------
// The functions.

void PlusFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int ta = sqlite3_value_type(argv[0]);
  const int tb = sqlite3_value_type(argv[1]);
  const bool text_a = ta == SQLITE_TEXT || ta == SQLITE_BLOB;
  const bool text_b = tb == SQLITE_TEXT || tb == SQLITE_BLOB;
  if (text_a && text_b) {
    std::string joined(TextOf(argv[0]));
    joined += TextOf(argv[1]);
    return ResultText(ctx, joined);
  }
  // A number and a text: the server converts the text to a number.
  const auto a = NumberOf(argv[0]);
  const auto b = NumberOf(argv[1]);
  if (!a || !b) {
    return ResultError(ctx, "Conversion failed when converting the text '" +
                                std::string(TextOf(argv[a ? 1 : 0])) + "' to a number");
  }
  std::int64_t sum = 0;
  if (a->is_integer && b->is_integer && !__builtin_add_overflow(a->integer, b->integer, &sum)) {
    return sqlite3_result_int64(ctx, sum);
  }
  sqlite3_result_double(ctx, a->AsDouble() + b->AsDouble());
}

// substring(s, start, length) counting characters; characters before the first are counted but
// do not exist, so substring('abc', 0, 2) is 'a'.
void SubstringFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t start = sqlite3_value_int64(argv[1]);
  const std::int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    return ResultError(ctx, "Invalid length parameter passed to the substring function");
  }
  const std::string_view s = TextOf(argv[0]);
  const auto offsets = CodePointOffsets(s);
  const auto count = static_cast<std::int64_t>(offsets.size() - 1);
  const std::int64_t first = std::max<std::int64_t>(start, 1);
  // One past the last position; a sum past the largest integer reaches the end anyway.
  std::int64_t end = 0;
  if (__builtin_add_overflow(start, length, &end)) end = count + 1;
  if (end <= first) return ResultText(ctx, "");
  const std::int64_t last = std::min(count, end - 1);  // inclusive
  if (first > last) return ResultText(ctx, "");
  ResultText(ctx, s.substr(offsets[first - 1], offsets[last] - offsets[first - 1]));
}

void RightFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return ResultError(ctx, "Invalid length parameter passed to the right function");
  const std::string_view s = TextOf(argv[0]);
  const auto offsets = CodePointOffsets(s);
  const auto count = static_cast<std::int64_t>(offsets.size() - 1);
  const std::int64_t from = std::max<std::int64_t>(0, count - n);
  ResultText(ctx, s.substr(offsets[from]));
}

// Position (in characters, from 1) of `needle` in `hay` at or after `start`, ignoring ASCII
// case; 0 when absent.
std::int64_t FindFolded(std::string_view hay, std::string_view needle, std::int64_t start) {
  if (needle.empty()) return 0;
  const auto offsets = CodePointOffsets(hay);
  const auto count = static_cast<std::int64_t>(offsets.size() - 1);
  for (std::int64_t k = std::max<std::int64_t>(start, 1) - 1; k < count; ++k) {
    const std::size_t at = offsets[k];
    if (hay.size() - at < needle.size()) break;
    bool same = true;
    for (std::size_t j = 0; j < needle.size() && same; ++j) {
      same = FoldAscii(hay[at + j]) == FoldAscii(needle[j]);
    }
    if (same) return k + 1;
  }
  return 0;
}

void CharindexFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t start = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  sqlite3_result_int64(ctx, FindFolded(TextOf(argv[1]), TextOf(argv[0]), start));
}

void ReplaceFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view s = TextOf(argv[0]);
  const std::string_view from = TextOf(argv[1]);
  const std::string_view to = TextOf(argv[2]);
  if (from.empty()) return ResultText(ctx, s);
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    bool same = s.size() - i >= from.size();
    for (std::size_t j = 0; j < from.size() && same; ++j) {
      same = FoldAscii(s[i + j]) == FoldAscii(from[j]);
    }
    if (same) {
      out += to;
      i += from.size();
    } else {
      const std::size_t n =
          std::min(SequenceLength(static_cast<unsigned char>(s[i])), s.size() - i);
      out.append(s.substr(i, n));
      i += n;
    }
  }
  ResultText(ctx, out);
}

// A value converted to text: whole numbers without a decimal point, as the server writes them.
void TextFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
      return ResultText(ctx, std::to_string(sqlite3_value_int64(argv[0])));
    case SQLITE_FLOAT:
      return ResultText(ctx, NumberText(sqlite3_value_double(argv[0])));
    default:
      return ResultText(ctx, TextOf(argv[0]));
  }
}

// A date written in a style; a value that is not a date stays as it is, as the server ignores
// the style for texts.
void DateTextFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int style = sqlite3_value_int(argv[1]);
  if (DateStyleLength(style) < 0) {
    return ResultError(ctx, "date style " + std::to_string(style) + " is not supported");
  }
  const int type = sqlite3_value_type(argv[0]);
  const auto date = type == SQLITE_TEXT ? ParseDateText(TextOf(argv[0])) : std::nullopt;
  if (!date) return TextFunc(ctx, 1, argv);
  ResultText(ctx, FormatDate(*date, style));
}

void DateTimeFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto date = DateOf(argv[0]);
  if (!date) {
    return ResultError(ctx, "Conversion failed when converting date and/or time from '" +
                                std::string(TextOf(argv[0])) + "'");
  }
  ResultText(ctx, StoredDate(*date));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool ReadDateArg(sqlite3_context* ctx, sqlite3_value* v, DateValue& out) {
  const auto date = DateOf(v);
  if (!date) {
    ResultError(ctx, "Conversion failed when converting date and/or time from '" +
                         std::string(TextOf(v)) + "'");
    return false;
  }
  out = *date;
  return true;
}

void DatePartFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view part = TextOf(argv[0]);
  DateValue date;
  if (!ReadDateArg(ctx, argv[1], date)) return;
  int y = 0, m = 0, d = 0;
  CivilFromDays(date.days, y, m, d);
  std::int64_t result = 0;
  if (part == "year") {
    result = y;
  } else if (part == "quarter") {
    result = (m - 1) / 3 + 1;
  } else if (part == "month") {
    result = m;
  } else if (part == "day") {
    result = d;
  } else if (part == "dayofyear") {
    result = date.days - DaysFromCivil(y, 1, 1) + 1;
  } else if (part == "weekday") {
    result = (date.days + 4) % 7 < 0 ? (date.days + 4) % 7 + 8 : (date.days + 4) % 7 + 1;
  } else if (part == "hour") {
    result = date.seconds / 3600;
  } else if (part == "minute") {
    result = date.seconds / 60 % 60;
  } else if (part == "second") {
    result = date.seconds % 60;
  } else {
    return ResultError(ctx, "date part '" + std::string(part) + "' is not supported");
  }
  sqlite3_result_int64(ctx, result);
}

// Counts the boundaries of `part` crossed from a to b, as the server does (datediff(year,
// '2023-12-31', '2024-01-01') is 1).
void DateDiffFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view part = TextOf(argv[0]);
  DateValue a, b;
  if (!ReadDateArg(ctx, argv[1], a) || !ReadDateArg(ctx, argv[2], b)) return;
  int ya = 0, ma = 0, da = 0, yb = 0, mb = 0, db = 0;
  CivilFromDays(a.days, ya, ma, da);
  CivilFromDays(b.days, yb, mb, db);
  const std::int64_t sa = a.days * 86400 + a.seconds;
  const std::int64_t sb = b.days * 86400 + b.seconds;
  std::int64_t result = 0;
  if (part == "year") {
    result = yb - ya;
  } else if (part == "quarter") {
    result = (yb - ya) * 4 + (mb - 1) / 3 - (ma - 1) / 3;
  } else if (part == "month") {
    result = (yb - ya) * 12 + mb - ma;
  } else if (part == "day" || part == "dayofyear") {
    result = b.days - a.days;
  } else if (part == "week") {
    // Weeks end on Saturday; 1970-01-04 was a Sunday.
    result = FloorDiv(b.days - 3, 7) - FloorDiv(a.days - 3, 7);
  } else if (part == "hour") {
    result = FloorDiv(sb, 3600) - FloorDiv(sa, 3600);
  } else if (part == "minute") {
    result = FloorDiv(sb, 60) - FloorDiv(sa, 60);
  } else if (part == "second") {
    result = sb - sa;
  } else {
    return ResultError(ctx, "date part '" + std::string(part) + "' is not supported");
  }
  sqlite3_result_int64(ctx, result);
}

void DateAddFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view part = TextOf(argv[0]);
  // The server drops the fraction of the number to add. Beyond a trillion of any part the date
  // leaves every calendar, and the arithmetic below would overflow.
  const double amount = std::trunc(sqlite3_value_double(argv[1]));
  if (!(std::fabs(amount) < 1e12)) {
    return ResultError(ctx, "Adding a value to a 'datetime' column caused an overflow.");
  }
  const auto n = static_cast<std::int64_t>(amount);
  DateValue date;
  if (!ReadDateArg(ctx, argv[2], date)) return;
  auto add_months = [&](std::int64_t months) {
    int y = 0, m = 0, d = 0;
    CivilFromDays(date.days, y, m, d);
    const std::int64_t total = static_cast<std::int64_t>(y) * 12 + (m - 1) + months;
    const auto ny = static_cast<int>(FloorDiv(total, 12));
    const int nm = static_cast<int>(total - static_cast<std::int64_t>(ny) * 12) + 1;
    const int nd = std::min(d, DaysInMonth(ny, nm));
    date.days = DaysFromCivil(ny, static_cast<unsigned>(nm), static_cast<unsigned>(nd));
  };
  auto add_seconds = [&](std::int64_t seconds) {
    const std::int64_t total = date.days * 86400 + date.seconds + seconds;
    date.days = FloorDiv(total, 86400);
    date.seconds = total - date.days * 86400;
  };
  if (part == "year") {
    add_months(n * 12);
  } else if (part == "quarter") {
    add_months(n * 3);
  } else if (part == "month") {
    add_months(n);
  } else if (part == "day" || part == "dayofyear" || part == "weekday") {
    date.days += n;
  } else if (part == "week") {
    date.days += n * 7;
  } else if (part == "hour") {
    add_seconds(n * 3600);
  } else if (part == "minute") {
    add_seconds(n * 60);
  } else if (part == "second") {
    add_seconds(n);
  } else {
    return ResultError(ctx, "date part '" + std::string(part) + "' is not supported");
  }
  ResultText(ctx, StoredDate(date));
}

void IsNumericFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  int result = 0;
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    result = 1;
  } else if (type == SQLITE_TEXT) {
    result = ParseNumber(TextOf(argv[0])) ? 1 : 0;
  }
  sqlite3_result_int(ctx, result);
}

// str(x[, length[, decimals]]): the number rounded and right-aligned in `length` characters;
// stars when the whole part does not fit.
void StrFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto number = NumberOf(argv[0]);
  if (!number) {
    return ResultError(ctx, "Conversion failed when converting the text '" +
                                std::string(TextOf(argv[0])) + "' to a number");
  }
  const int length = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
  int decimals = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  if (length <= 0 || length > 8000 || decimals < 0) return sqlite3_result_null(ctx);
  decimals = std::min(decimals, 16);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, number->AsDouble());
  std::string text = buf;
  if (static_cast<int>(text.size()) > length) {
    // Fewer decimals first, then stars.
    const std::size_t dot = text.find('.');
    const std::size_t whole = dot == std::string::npos ? text.size() : dot;
    if (static_cast<int>(whole) > length) return ResultText(ctx, std::string(length, '*'));
    const int fit = length - static_cast<int>(whole) - 1;
    std::snprintf(buf, sizeof buf, "%.*f", std::max(fit, 0), number->AsDouble());
    text = buf;
    if (static_cast<int>(text.size()) > length) return ResultText(ctx, std::string(length, '*'));
  }
  ResultText(ctx, std::string(length - text.size(), ' ') + text);
}

void SpaceFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[0]);
  if (n < 0 || n > 1000000) return sqlite3_result_null(ctx);
  ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void ReplicateFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  const std::string_view s = TextOf(argv[0]);
  // Divided rather than multiplied, so that no count wraps around past the bound; an empty
  // text repeated any number of times is empty at once.
  if (n < 0 || (!s.empty() && static_cast<std::uint64_t>(n) > 1000000 / s.size())) {
    return sqlite3_result_null(ctx);
  }
  if (s.empty()) return ResultText(ctx, "");
  std::string out;
  out.reserve(static_cast<std::size_t>(n) * s.size());
  for (std::int64_t i = 0; i < n; ++i) out += s;
  ResultText(ctx, out);
}

// ---------------------------------------------------------------------------------------------
// LIKE with the server's rules: % and _, character sets [abc], ranges [a-z] and negations
// [^a], ASCII case ignored, and trailing blanks of the value ignored.

struct PatternElement {
  enum Kind { kAnyRun, kAnyOne, kChar, kSet } kind;
  std::uint32_t ch = 0;
  bool negated = false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;

  bool Matches(std::uint32_t c) const {
    c = FoldCodePoint(c);
    switch (kind) {
      case kAnyOne:
        return true;
      case kChar:
        return c == ch;
      case kSet: {
        bool in = false;
        for (const auto& [lo, hi] : ranges) in = in || (c >= lo && c <= hi);
        return in != negated;
      }
      case kAnyRun:
        break;
    }
    return false;
  }
};

std::vector<PatternElement> CompilePattern(std::string_view p, std::optional<std::uint32_t> esc) {
  std::vector<PatternElement> out;
  std::size_t i = 0;
  while (i < p.size()) {
    const std::uint32_t c = DecodeAt(p, i);
    if (esc && c == *esc && i < p.size()) {
      out.push_back({PatternElement::kChar, FoldCodePoint(DecodeAt(p, i)), false, {}});
    } else if (c == '%') {
      if (out.empty() || out.back().kind != PatternElement::kAnyRun) {
        out.push_back({PatternElement::kAnyRun, 0, false, {}});
      }
    } else if (c == '_') {
      out.push_back({PatternElement::kAnyOne, 0, false, {}});
    } else if (c == '[' && p.find(']', i) != std::string_view::npos) {
      PatternElement set{PatternElement::kSet, 0, false, {}};
      std::size_t j = i;
      if (j < p.size() && p[j] == '^') {
        set.negated = true;
        ++j;
      }
      bool first = true;
      while (j < p.size() && (p[j] != ']' || first)) {
        first = false;
        const std::uint32_t lo = FoldCodePoint(DecodeAt(p, j));
        std::uint32_t hi = lo;
        if (j + 1 < p.size() && p[j] == '-' && p[j + 1] != ']') {
          ++j;
          hi = FoldCodePoint(DecodeAt(p, j));
        }
        set.ranges.emplace_back(lo, hi);
      }
      if (j >= p.size()) {  // no closing bracket after all: the '[' is an ordinary character
        out.push_back({PatternElement::kChar, '[', false, {}});
        continue;
      }
      i = j + 1;
      out.push_back(std::move(set));
    } else {
      out.push_back({PatternElement::kChar, FoldCodePoint(c), false, {}});
    }
  }
  return out;
}

bool MatchPattern(const std::vector<PatternElement>& pattern, std::string_view text) {
  std::vector<std::uint32_t> chars;
  for (std::size_t i = 0; i < text.size();) chars.push_back(DecodeAt(text, i));
  // Greedy matching with one backtrack point per % run (enough, as every other element
  // consumes exactly one character).
  std::size_t p = 0, t = 0;
  std::size_t star_p = std::string::npos, star_t = 0;
  while (t < chars.size()) {
    if (p < pattern.size() && pattern[p].kind == PatternElement::kAnyRun) {
      star_p = p++;
      star_t = t;
    } else if (p < pattern.size() && pattern[p].Matches(chars[t])) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].kind == PatternElement::kAnyRun) ++p;
  return p == pattern.size();
}

void LikeFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<std::uint32_t> esc;
  if (argc > 2) {
    const std::string_view e = TextOf(argv[2]);
    std::size_t i = 0;
    if (e.empty() || (DecodeAt(e, i), i != e.size())) {
      return ResultError(ctx, "ESCAPE expression must be a single character");
    }
    i = 0;
    esc = DecodeAt(e, i);
  }
  const auto pattern = CompilePattern(TextOf(argv[0]), esc);
  const std::string_view value = TextOf(argv[1]);
  const bool match =
      MatchPattern(pattern, value) || MatchPattern(pattern, TrimTrailingBlanks(value));
  sqlite3_result_int(ctx, match ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------

int CompareTsql(void*, int n1, const void* p1, int n2, const void* p2) {
  std::string_view a(static_cast<const char*>(p1), static_cast<std::size_t>(n1));
  std::string_view b(static_cast<const char*>(p2), static_cast<std::size_t>(n2));
  a = TrimTrailingBlanks(a);
  b = TrimTrailingBlanks(b);
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto cb = static_cast<unsigned char>(FoldAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

struct FunctionDef {
  const char* name;
  int arg_count;
  void (*body)(sqlite3_context*, int, sqlite3_value**);
};

constexpr FunctionDef kFunctions[] = {
    {"korvane_plus", 2, PlusFunc},
    {"korvane_substring", 3, SubstringFunc},
    {"korvane_right", 2, RightFunc},
    {"korvane_charindex", 2, CharindexFunc},
    {"korvane_charindex", 3, CharindexFunc},
    {"korvane_replace", 3, ReplaceFunc},
    {"korvane_text", 1, TextFunc},
    {"korvane_datetext", 2, DateTextFunc},
    {"korvane_datetime", 1, DateTimeFunc},
    {"korvane_datepart", 2, DatePartFunc},
    {"korvane_datediff", 3, DateDiffFunc},
    {"korvane_dateadd", 3, DateAddFunc},
    {"korvane_isnumeric", 1, IsNumericFunc},
    {"korvane_str", 1, StrFunc},
    {"korvane_str", 2, StrFunc},
    {"korvane_str", 3, StrFunc},
    {"korvane_space", 1, SpaceFunc},
    {"korvane_replicate", 2, ReplicateFunc},
    // Replaces SQLite's own LIKE (and like()) on this connection.
    {"like", 2, LikeFunc},
    {"like", 3, LikeFunc},
};

}  // namespace

int RegisterTsqlRuntime(sqlite3* db) {
  int rc = sqlite3_create_collation(db, kTsqlCollation, SQLITE_UTF8, nullptr, CompareTsql);
  if (rc != SQLITE_OK) return rc;
  for (const FunctionDef& f : kFunctions) {
    rc = sqlite3_create_function(db, f.name, f.arg_count, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                 nullptr, f.body, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace korvane::data
