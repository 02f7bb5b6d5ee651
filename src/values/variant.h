// Variant: the value a database field or a host call carries (empty, null, integer, double,
// text, date, boolean), with the conversions the modules rely on.
//
// The conversions follow the rules the host's own scripting language applies, because texts
// typed by users and values read from the database are mixed freely in the modules:
//  - NumericValue("12.5kg") is 12.5: the number a text begins with, 0 when it begins with none.
//  - A null or empty value converts to 0, false or the empty text ("null-safe").
//  - Dates are shown as "yyyy-mm-dd"; a date with a time of day adds " hh:mm:ss".
#ifndef KORVANE_VALUES_VARIANT_H_
#define KORVANE_VALUES_VARIANT_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvane {

// A calendar date with an optional time of day, kept as wall-clock seconds.
using DateTime = std::chrono::sys_seconds;

enum class VarType { kEmpty, kNull, kInteger, kDouble, kText, kDate, kBoolean };

class Variant {
 public:
  struct Null {
    bool operator==(const Null&) const = default;
  };

  Variant() = default;
  Variant(Null) : value_(Null{}) {}
  Variant(int v) : value_(std::int64_t{v}) {}
  Variant(long v) : value_(std::int64_t{v}) {}
  Variant(long long v) : value_(static_cast<std::int64_t>(v)) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(DateTime v) : value_(v) {}
  Variant(std::chrono::year_month_day d) : value_(DateTime(std::chrono::sys_days(d))) {}

  static Variant MakeNull() { return Variant(Null{}); }

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return type() == VarType::kEmpty; }
  bool IsNull() const { return type() == VarType::kNull; }
  // True for empty, null and the empty text: "nothing was entered".
  bool IsBlank() const;
  bool IsNumber() const { return type() == VarType::kInteger || type() == VarType::kDouble; }

  // Null-safe conversions. ToLong rounds a double half to even as the host does for whole
  // numbers, and saturates at the 32-bit range; ToText of a double gives at most 15 significant
  // digits without trailing zeros ("3", "0.5", "1234.56").
  std::string ToText() const;
  double ToDouble() const;
  std::int32_t ToLong() const;
  std::int64_t ToInt64() const;
  bool ToBool() const;
  // The date the value holds or names; nullopt when it is neither a date nor a text that
  // reads as one.
  std::optional<DateTime> ToDate() const;

  // Exact access; REQUIRES: type() is the matching kind.
  std::int64_t integer() const { return std::get<std::int64_t>(value_); }
  double real() const { return std::get<double>(value_); }
  const std::string& text() const { return std::get<std::string>(value_); }
  DateTime date() const { return std::get<DateTime>(value_); }
  bool boolean() const { return std::get<bool>(value_); }

  // Same kind and same value; Null equals Null.
  bool operator==(const Variant& other) const { return value_ == other.value_; }

 private:
  std::variant<std::monostate, Null, std::int64_t, double, std::string, DateTime, bool> value_;
};

// The number a text begins with: leading blanks are skipped, blanks between digits are ignored,
// a sign, digits, one decimal point and an exponent are read; reading stops at the first other
// character. A text that begins with no number is 0.
double NumericValue(std::string_view text);

// Whether the text reads as a date: "yyyy-mm-dd", "yyyy/mm/dd" or "yyyy.mm.dd", optionally
// followed by " hh:mm" or " hh:mm:ss", or eight digits "yyyymmdd"; the date must exist.
bool IsDate(std::string_view text);
std::optional<DateTime> ParseDate(std::string_view text);

// "yyyy-mm-dd".
std::string FormatDate(std::chrono::year_month_day date);
std::string FormatDate(DateTime date);
// "yyyy-mm-dd hh:mm:ss".
std::string FormatDateTime(DateTime date);
std::chrono::year_month_day DateOf(DateTime date);

// A double as text with at most 15 significant digits and no trailing zeros.
std::string FormatNumber(double value);

// Text helpers that count code points, not bytes.
std::size_t CodePointCount(std::string_view text);
// The first n code points of the text (the whole text when it is shorter).
std::string LeftChars(std::string_view text, std::size_t n);
std::string RightChars(std::string_view text, std::size_t n);
// Whether the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);
// Whether the text holds a NUL byte. No person can type one, and SQLite ends a statement at
// one (so "delete from t\0 where id = 1" would delete every row): statements and typed texts
// holding one are refused wherever they arrive.
bool HoldsNul(std::string_view text);
// Leading and trailing blanks (spaces and tabs) removed.
std::string Trim(std::string_view text);
// ASCII upper and lower case; other characters are kept.
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// The pieces between separators, empty ones included ("a,,b" -> "a", "", "b"; "" -> "").
std::vector<std::string> Split(std::string_view text, char separator);

// A two-dimensional array of values, addressed (row, column), as the host passes condition
// arrays and parameter arrays: one column per condition or parameter.
class VariantArray {
 public:
  VariantArray() = default;
  VariantArray(int rows, int cols) : rows_(rows), cols_(cols), cells_(Size(rows, cols)) {}

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  bool empty() const { return rows_ == 0 || cols_ == 0; }
  // REQUIRES: 0 <= row < rows(), 0 <= col < cols().
  Variant& at(int row, int col) { return cells_.at(Index(row, col)); }
  const Variant& at(int row, int col) const { return cells_.at(Index(row, col)); }
  // A cell outside the array reads as empty.
  Variant get(int row, int col) const;

 private:
  static std::size_t Size(int rows, int cols) {
    return rows > 0 && cols > 0 ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)
                                : 0;
  }
  std::size_t Index(int row, int col) const;
  int rows_ = 0;
  int cols_ = 0;
  std::vector<Variant> cells_;
};

}  // namespace korvane

#endif  // KORVANE_VALUES_VARIANT_H_
