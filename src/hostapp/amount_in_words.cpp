// Amounts in Chinese capital numerals, written the way payment documents require: every digit
// in its anti-forgery form, one 零 for each run of inner zeros, 万 and 亿 sections, and "整"
// closing an amount that has no jiao or fen.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "hostapp/reference_host.h"

namespace korvane::hostapp {
namespace {

constexpr const char* kDigits[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr const char* kPlaceUnits[] = {"", "拾", "佰", "仟"};

// The amount in fen, rounded half away from zero on its shortest decimal form, so that 1.005
// is 1.01 and 0.1 + 0.2 is 0.30 (the binary value of either is a hair off). Nullopt when the
// amount is not finite or too large to count in fen.
std::optional<std::uint64_t> FenOf(double magnitude) {
  if (!std::isfinite(magnitude) || magnitude >= 9.0e15) return std::nullopt;
  // 15 significant digits is what a double holds exactly; the rest is representation noise.
  char buffer[64];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  if (ec != std::errc()) return std::nullopt;
  const std::string text(buffer, end);  // d.dddddddddddddde±xx
  const std::size_t e_at = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e_at - 2);  // 15 digits
  const int exponent = std::stoi(text.substr(e_at + 1));
  // magnitude * 100 == digits * 10^shift
  const int shift = exponent + 2 - static_cast<int>(digits.size()) + 1;
  std::uint64_t mantissa = std::stoull(digits);
  if (shift >= 0) {
    for (int i = 0; i < shift; ++i) mantissa *= 10;
    return mantissa;
  }
  const int drop = -shift;
  if (drop > static_cast<int>(digits.size())) return 0;
  std::uint64_t divisor = 1;
  for (int i = 0; i < drop; ++i) divisor *= 10;
  const std::uint64_t kept = mantissa / divisor;
  const std::uint64_t rest = mantissa % divisor;
  return rest * 2 >= divisor ? kept + 1 : kept;
}

// 1..9999 with inner zero runs as one 零 and trailing zeros silent: 1004 -> 壹仟零肆,
// 1010 -> 壹仟零壹拾, 10 -> 壹拾.
std::string FourDigits(std::uint64_t n) {
  std::string out;
  bool pending_zero = false;
  bool started = false;
  for (int place = 3; place >= 0; --place) {
    std::uint64_t scale = 1;
    for (int i = 0; i < place; ++i) scale *= 10;
    const std::uint64_t digit = (n / scale) % 10;
    if (digit == 0) {
      if (started) pending_zero = true;
      continue;
    }
    if (pending_zero) out += kDigits[0];
    pending_zero = false;
    started = true;
    out += kDigits[digit];
    out += kPlaceUnits[place];
  }
  return out;
}

// A whole number above 0. A section whose lower part does not fill its leading place needs a
// 零 between the section unit and that part (100010 -> 壹拾万零壹拾).
std::string WholeNumber(std::uint64_t n) {
  constexpr std::uint64_t kYi = 100000000;
  constexpr std::uint64_t kWan = 10000;
  if (n >= kYi) {
    std::string out = WholeNumber(n / kYi) + "亿";
    const std::uint64_t low = n % kYi;
    if (low == 0) return out;
    if (low < kYi / 10) out += kDigits[0];
    return out + WholeNumber(low);
  }
  if (n >= kWan) {
    std::string out = FourDigits(n / kWan) + "万";
    const std::uint64_t low = n % kWan;
    if (low == 0) return out;
    if (low < kWan / 10) out += kDigits[0];
    return out + FourDigits(low);
  }
  return FourDigits(n);
}

}  // namespace

std::string ChineseCapitalAmount(double amount) {
  const std::optional<std::uint64_t> fen = FenOf(std::fabs(amount));
  if (!fen) return {};
  if (*fen == 0) return "零元整";
  const std::uint64_t yuan = *fen / 100;
  const std::uint64_t jiao = (*fen / 10) % 10;
  const std::uint64_t cents = *fen % 10;

  std::string out = amount < 0 ? "负" : "";
  if (yuan > 0) out += WholeNumber(yuan) + "元";
  if (jiao == 0 && cents == 0) return out + "整";
  if (jiao > 0) {
    out += kDigits[jiao];
    out += "角";
  } else if (yuan > 0) {
    out += kDigits[0];  // 1004.05 -> ...元零伍分: the missing jiao is read out
  }
  if (cents > 0) {
    out += kDigits[cents];
    out += "分";
  }
  return out;
}

}  // namespace korvane::hostapp
