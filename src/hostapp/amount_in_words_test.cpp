#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "hostapp/reference_host.h"

namespace korvane::hostapp {
namespace {

// Reads an amount in capital numerals back into fen, independently of how it was written, so
// that any amount can be checked by a round trip. Returns -1 for a character it does not know.
std::int64_t ReadBackFen(const std::string& words) {
  static const std::string kDigits[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
  std::int64_t total = 0, wan = 0, section = 0, digit = 0, yuan = 0, jiao = 0, fen = 0;
  bool negative = false;
  std::size_t i = 0;
  auto next_is = [&](const std::string& token) {
    if (words.compare(i, token.size(), token) != 0) return false;
    i += token.size();
    return true;
  };
  while (i < words.size()) {
    bool matched = false;
    for (int d = 0; d < 10 && !matched; ++d) {
      if (next_is(kDigits[d])) {
        digit = d;
        matched = true;
      }
    }
    if (matched) continue;
    if (next_is("拾")) {
      section += digit * 10;
    } else if (next_is("佰")) {
      section += digit * 100;
    } else if (next_is("仟")) {
      section += digit * 1000;
    } else if (next_is("万")) {
      wan = (section + digit) * 10000;
      section = 0;
    } else if (next_is("亿")) {
      total = (wan + section + digit) * 100000000;
      wan = section = 0;
    } else if (next_is("元")) {
      yuan = total + wan + section + digit;
    } else if (next_is("角")) {
      jiao = digit;
    } else if (next_is("分")) {
      fen = digit;
    } else if (next_is("负")) {
      negative = true;
    } else if (!next_is("整")) {
      return -1;
    }
    digit = 0;
  }
  const std::int64_t value = yuan * 100 + jiao * 10 + fen;
  return negative ? -value : value;
}

TEST(ChineseCapitalAmountTest, PaymentDocumentExamples) {
  EXPECT_EQ(ChineseCapitalAmount(0), "零元整");
  EXPECT_EQ(ChineseCapitalAmount(1234.56), "壹仟贰佰叁拾肆元伍角陆分");
  EXPECT_EQ(ChineseCapitalAmount(0.5), "伍角");
  // A zero jiao between yuan and fen is read out; a run of inner zeros gives one 零.
  EXPECT_EQ(ChineseCapitalAmount(1004.05), "壹仟零肆元零伍分");
  EXPECT_EQ(ChineseCapitalAmount(100010), "壹拾万零壹拾元整");
  EXPECT_EQ(ChineseCapitalAmount(1000000.01), "壹佰万元零壹分");
  EXPECT_EQ(ChineseCapitalAmount(10001000), "壹仟万壹仟元整");
  EXPECT_EQ(ChineseCapitalAmount(100010000), "壹亿零壹万元整");
  EXPECT_EQ(ChineseCapitalAmount(1e12), "壹万亿元整");
  EXPECT_EQ(ChineseCapitalAmount(-1234.5), "负壹仟贰佰叁拾肆元伍角");
}

TEST(ChineseCapitalAmountTest, RoundsToTheFenOnTheDecimalValue) {
  EXPECT_EQ(ChineseCapitalAmount(0.1 + 0.2), ChineseCapitalAmount(0.3));
  EXPECT_EQ(ChineseCapitalAmount(1.005), "壹元零壹分");    // binary 1.00499999...
  EXPECT_EQ(ChineseCapitalAmount(2.675), "贰元陆角捌分");  // binary 2.67499999...
  EXPECT_EQ(ChineseCapitalAmount(9.996), "壹拾元整");      // carries into the yuan
  EXPECT_EQ(ChineseCapitalAmount(0.004), "零元整");
  EXPECT_EQ(ChineseCapitalAmount(-0.004), "零元整");  // no sign on nothing
  EXPECT_EQ(ChineseCapitalAmount(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(ChineseCapitalAmount(std::numeric_limits<double>::infinity()), "");
}

// Any amount below 10^13 yuan reads back as the fen it was made of, and the text keeps the
// writing rules: no doubled 零, no 零 before a unit or at the end of the yuan part.
TEST(ChineseCapitalAmountTest, EveryAmountReadsBackAndKeepsTheZeroRules) {
  std::mt19937_64 random(20260305);
  for (int i = 0; i < 20000; ++i) {
    // Mix magnitudes so that zero runs in every section get exercised.
    const int digits = 1 + static_cast<int>(random() % 15);
    std::int64_t bound = 1;
    for (int d = 0; d < digits; ++d) bound *= 10;
    std::int64_t fen = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(bound));
    if (i % 3 == 0) fen -= fen % 1000;  // many inner and trailing zeros
    if (i % 7 == 0) fen = -fen;
    const double amount = static_cast<double>(fen) / 100.0;
    const std::string words = ChineseCapitalAmount(amount);
    SCOPED_TRACE(std::to_string(fen) + " fen -> " + words);
    ASSERT_EQ(ReadBackFen(words), fen);
    EXPECT_EQ(words.find("零零"), std::string::npos);
    for (const char* unit : {"零拾", "零佰", "零仟", "零万", "零亿", "零角", "零分"}) {
      EXPECT_EQ(words.find(unit), std::string::npos) << unit;
    }
    if (fen != 0) {
      EXPECT_EQ(words.find("零元"), std::string::npos);
      EXPECT_NE(words.rfind("零", 0), 0u) << "begins with 零";
    }
    const bool whole = fen % 100 == 0;
    EXPECT_EQ(words.size() >= 3 && words.compare(words.size() - 3, 3, "整") == 0, whole);
  }
}

}  // namespace
}  // namespace korvane::hostapp
