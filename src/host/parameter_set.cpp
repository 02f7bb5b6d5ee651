// The in-memory parameter set.
#include "host/parameter_set.h"

#include <algorithm>

namespace korvane {

bool BasicParameterSet::Exists(std::string_view name) const { return Item(name).has_value(); }

std::optional<Variant> BasicParameterSet::Item(std::string_view name) const {
  for (const auto& [key, value] : entries_) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return std::nullopt;
}

void BasicParameterSet::Set(std::string_view name, Variant value) {
  for (auto& [key, existing] : entries_) {
    if (EqualsIgnoreCase(key, name)) {
      existing = std::move(value);
      return;
    }
  }
  entries_.emplace_back(std::string(name), std::move(value));
}

void BasicParameterSet::Remove(std::string_view name) {
  std::erase_if(entries_, [&](const auto& entry) { return EqualsIgnoreCase(entry.first, name); });
}

}  // namespace korvane
