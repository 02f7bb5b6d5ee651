// The employee record: its accessors come from the property table in the header; this file
// builds the descriptor and member tables from the same list.
#include "pickers/cls_gy.h"

#include <array>

namespace korvane {
namespace {

#define KORVANE_COUNT_ONE(...) +1
constexpr std::size_t kPropertyCount = 0 KORVANE_CLSGY_PROPERTIES(KORVANE_COUNT_ONE);
#undef KORVANE_COUNT_ONE

constexpr std::array<PropertyInfo, kPropertyCount> kProperties = {
    KORVANE_CLSGY_PROPERTIES(KORVANE_RECORD_INFO)};

}  // namespace

std::span<const PropertyInfo> clsGY::Properties() { return kProperties; }

std::span<const record_detail::MemberPtr<clsGY>> clsGY::Members() {
#define KORVANE_MEMBER_PTR(name, type, column, load, sets_change, cleared) \
  record_detail::MemberPtr<clsGY>(&clsGY::name##_),
  static const std::array<record_detail::MemberPtr<clsGY>, kPropertyCount> members = {
      KORVANE_CLSGY_PROPERTIES(KORVANE_MEMBER_PTR)};
#undef KORVANE_MEMBER_PTR
  return members;
}

bool clsGY::LoadFrom(const Recordset& row) {
  bool loaded = false;
  if (record_detail::LoadRow(*this, Properties(), Members(), row, loaded)) Change_ = true;
  return loaded;
}

Variant clsGY::Get(std::string_view name) const {
  const std::optional<std::size_t> index = record_detail::FindProperty(Properties(), name);
  if (!index) return Variant();
  return record_detail::Read(*this, Members()[*index]);
}

bool clsGY::Set(std::string_view name, const Variant& value) {
  const std::optional<std::size_t> index = record_detail::FindProperty(Properties(), name);
  if (!index) return false;
  if (!record_detail::Write(*this, Members()[*index], value)) return false;
  if (Properties()[*index].sets_change) Change_ = true;
  return true;
}

}  // namespace korvane
