// The employee record: its accessors come from the property table in the header; this file
// builds the descriptor and member tables from the same list.
#include "records/cls_gy.h"

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

std::vector<std::string_view> clsGY::PropertyNames() const {
  return records::NamesOf(Properties());
}

std::span<const records::MemberPtr<clsGY>> clsGY::Members() {
#define KORVANE_MEMBER_PTR(name, type, column, load, sets_change, cleared) \
  records::MemberPtr<clsGY>(&clsGY::name##_),
  static const std::array<records::MemberPtr<clsGY>, kPropertyCount> members = {
      KORVANE_CLSGY_PROPERTIES(KORVANE_MEMBER_PTR)};
#undef KORVANE_MEMBER_PTR
  return members;
}

bool clsGY::LoadFrom(const Recordset& row) {
  return records::LoadRecord(*this, Members(), row, Change_);
}

Variant clsGY::Get(std::string_view name) const {
  return records::GetProperty(*this, Members(), name);
}

bool clsGY::Set(std::string_view name, const Variant& value) {
  return records::SetProperty(*this, Members(), name, value, Change_);
}

}  // namespace korvane
