// The one table of setting defaults. A setting whose row is missing, NULL or blank takes the
// value below; a stored value always wins.
#include "hostapp/settings_defaults.h"

#include "values/variant.h"

namespace korvane::hostapp {

const std::vector<std::pair<std::string_view, std::string_view>>& NamedSettingDefaults() {
  static const std::vector<std::pair<std::string_view, std::string_view>> kDefaults = {
      // Rows the mouse wheel scrolls per notch.
      {"mouseeventscrollrate", "5"},
      // Approved documents are browsed within the current period only.
      {"befmonth", "0"},
      // Read-only grid cells: black text on light grey (colour numbers are 0xBBGGRR).
      {"readonlyforecolor", "0"},
      {"readonlybackcolor", "14737632"},
      // The piece rate of a work report line is the standard one and cannot be overtyped.
      {"scgydchangegzxs", "0"},
      // Approving a work report hands its wages to the wage system ...
      {"sfctopay", "1"},
      // ... and withdrawing the approval takes them back unless they were booked there.
      {"sfctopay_zj", "0"},
      // No auxiliary unit column in structures.
      {"doubleunit", "0"},
      // No drawing number column in structures.
      {"displaydrawnoInBom", "0"},
      // Process routes without a work centre column.
      {"ishavework", "0"},
      // Plan lines do not group batches.
      {"batchgroup", "0"},
  };
  return kDefaults;
}

const std::vector<std::pair<int, std::string_view>>& NumberedSettingDefaults() {
  static const std::vector<std::pair<int, std::string_view>> kDefaults = {
      // The wage run of the period that approved work reports feed (written with each wage
      // row): the first. Setting 1, the accounting period, is not listed: like "period" it
      // defaults to the current period.
      {5, "1"},
      // Decimal places by class of value: 7 quantities, 9 piece rates and unit prices, 12 money;
      // the other classes follow the quantity (8, 13) or the rate (10, 11, 14) precision.
      {7, "2"},
      {8, "2"},
      {9, "4"},
      {10, "4"},
      {11, "4"},
      {12, "2"},
      {13, "2"},
      {14, "4"},
  };
  return kDefaults;
}

std::optional<std::string_view> DefaultNamedSetting(std::string_view key) {
  const std::string trimmed = Trim(key);
  for (const auto& [name, value] : NamedSettingDefaults()) {
    if (EqualsIgnoreCase(name, trimmed)) return value;
  }
  return std::nullopt;
}

std::optional<std::string_view> DefaultNumberedSetting(int number) {
  for (const auto& [n, value] : NumberedSettingDefaults()) {
    if (n == number) return value;
  }
  return std::nullopt;
}

}  // namespace korvane::hostapp
