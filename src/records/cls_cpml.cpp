// The product record: its accessors come from the property table in the header; this file
// builds the descriptor and member tables from the same list.
#include "records/cls_cpml.h"

#include <array>

namespace korvane {
namespace {

#define KORVANE_COUNT_ONE(...) +1
constexpr std::size_t kPropertyCount = 0 KORVANE_CLSCPML_PROPERTIES(KORVANE_COUNT_ONE);
#undef KORVANE_COUNT_ONE

constexpr std::array<PropertyInfo, kPropertyCount> kProperties = {
    KORVANE_CLSCPML_PROPERTIES(KORVANE_RECORD_INFO)};

}  // namespace

clsCpml::clsCpml() { sbClear(); }

void clsCpml::sbClear() {
#define KORVANE_CLEAR(name, type, column, load, sets_change, cleared) name##_ = cleared;
  KORVANE_CLSCPML_PROPERTIES(KORVANE_CLEAR)
#undef KORVANE_CLEAR
}

std::span<const PropertyInfo> clsCpml::Properties() { return kProperties; }

std::vector<std::string_view> clsCpml::PropertyNames() const {
  return records::NamesOf(Properties());
}

std::span<const records::MemberPtr<clsCpml>> clsCpml::Members() {
#define KORVANE_MEMBER_PTR(name, type, column, load, sets_change, cleared) \
  records::MemberPtr<clsCpml>(&clsCpml::name##_),
  static const std::array<records::MemberPtr<clsCpml>, kPropertyCount> members = {
      KORVANE_CLSCPML_PROPERTIES(KORVANE_MEMBER_PTR)};
#undef KORVANE_MEMBER_PTR
  return members;
}

bool clsCpml::LoadFrom(const Recordset& row) {
  return records::LoadRecord(*this, Members(), row, Change_);
}

Variant clsCpml::Get(std::string_view name) const {
  return records::GetProperty(*this, Members(), name);
}

bool clsCpml::Set(std::string_view name, const Variant& value) {
  return records::SetProperty(*this, Members(), name, value, Change_);
}

}  // namespace korvane
