// ParameterSet: named values a host hands to a module (picker options, a designer's colours).
// Names are matched without regard to ASCII case.
#ifndef KORVANE_HOST_PARAMETER_SET_H_
#define KORVANE_HOST_PARAMETER_SET_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "values/variant.h"

namespace korvane {

class ParameterSet {
 public:
  virtual ~ParameterSet() = default;
  virtual bool Exists(std::string_view name) const = 0;
  // The value of the named entry; nullopt when there is none.
  virtual std::optional<Variant> Item(std::string_view name) const = 0;
  // Adds the entry or replaces its value.
  virtual void Set(std::string_view name, Variant value) = 0;
  virtual void Remove(std::string_view name) = 0;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  // Entries in the order they were first set.
  virtual std::vector<std::pair<std::string, Variant>> Entries() const = 0;
};

// The plain in-memory parameter set hosts and modules create when they need an empty one.
class BasicParameterSet : public ParameterSet {
 public:
  bool Exists(std::string_view name) const override;
  std::optional<Variant> Item(std::string_view name) const override;
  void Set(std::string_view name, Variant value) override;
  void Remove(std::string_view name) override;
  void Clear() override { entries_.clear(); }
  int Count() const override { return static_cast<int>(entries_.size()); }
  std::vector<std::pair<std::string, Variant>> Entries() const override { return entries_; }

 private:
  std::vector<std::pair<std::string, Variant>> entries_;
};

}  // namespace korvane

#endif  // KORVANE_HOST_PARAMETER_SET_H_
