// The list of public classes and the factories built from it.
#include "registration/registry.h"

#include <type_traits>
#include <utility>

#include "bom/bom.h"
#include "host/interfaces.h"
#include "pickers/pdm_cpml.h"
#include "pickers/pdm_cpml_sr.h"
#include "pickers/pdm_gy.h"
#include "planning/plan2.h"
#include "records/cls_cpml.h"
#include "records/cls_gy.h"
#include "reports/cx_emp_mx.h"
#include "reports/sc_plan.h"
#include "reports/sccjd_rpt.h"
#include "routing/srlx1.h"
#include "tools/c_del_cplb.h"
#include "workreport/sccjd_s.h"

namespace korvane {
namespace {

// The host interfaces are read off the C++ class, so the registration cannot claim an
// interface the object does not answer to through QueryInterface.
template <typename T>
constexpr unsigned InterfacesOf() {
  unsigned bits = 0;
  if constexpr (std::is_base_of_v<IFormUI, T>) bits |= kIFormUI;
  if constexpr (std::is_base_of_v<IReportUI, T>) bits |= kIReportUI;
  if constexpr (std::is_base_of_v<IPickerUI, T>) bits |= kIPickerUI;
  if constexpr (std::is_base_of_v<IToolUI, T>) bits |= kIToolUI;
  if constexpr (std::is_base_of_v<IDesignUI, T>) bits |= kIDesignUI;
  return bits;
}

struct Registration {
  std::string_view name;
  ClassKind kind;
  EventSet events;
  unsigned interfaces;
  std::shared_ptr<Object> (*create)();
};

template <typename T>
constexpr Registration Class(std::string_view name, ClassKind kind, EventSet events) {
  static_assert(std::is_base_of_v<Object, T>, "a public class derives from korvane::Object");
  return Registration{name, kind, events, InterfacesOf<T>(),
                      [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); }};
}

// The public classes, one line each; a class is listed once its module exists.
constexpr Registration kClasses[] = {
    Class<clsCpml>("clsCpml", ClassKind::kRecord, EventSet::kNone),
    Class<clsGY>("clsGY", ClassKind::kRecord, EventSet::kNone),
    Class<pdmCpml>("pdmCpml", ClassKind::kPicker, EventSet::kPicker),
    Class<pdmCpml_Sr>("pdmCpml_Sr", ClassKind::kPicker, EventSet::kPicker),
    Class<pdmgy>("pdmgy", ClassKind::kPicker, EventSet::kPicker),
    Class<SCCJD_S>("SCCJD_S", ClassKind::kDocument, EventSet::kDocument),
    Class<plan2>("plan2", ClassKind::kDocument, EventSet::kPlan),
    Class<Bom>("Bom", ClassKind::kDocument, EventSet::kDocument),
    Class<SRLX1>("SRLX1", ClassKind::kDocument, EventSet::kDocument),
    Class<SCCJD_RPT>("SCCJD_RPT", ClassKind::kReport, EventSet::kReport),
    Class<cDelCPLB>("cDelCPLB", ClassKind::kTool, EventSet::kNone),
    Class<Cx_EmpMx>("Cx_EmpMx", ClassKind::kReport, EventSet::kReport),
    Class<SC_Plan>("SC_Plan", ClassKind::kReport, EventSet::kReport),
};

class RegisteredFactory : public ClassFactory {
 public:
  RegisteredFactory(const ClassInfo& info, std::shared_ptr<Object> (*create)())
      : info_(info), create_(create) {}

  std::shared_ptr<Object> CreateInstance() override {
    try {
      return create_();
    } catch (...) {
      // A host cannot take an exception across the entry points.
      return nullptr;
    }
  }
  const ClassInfo& Class() const override { return info_; }

 private:
  const ClassInfo& info_;
  std::shared_ptr<Object> (*create_)();
};

}  // namespace

std::string_view ToString(ClassKind kind) {
  switch (kind) {
    case ClassKind::kDocument:
      return "document";
    case ClassKind::kReport:
      return "report";
    case ClassKind::kPicker:
      return "picker";
    case ClassKind::kTool:
      return "tool";
    case ClassKind::kRecord:
      return "record";
  }
  return "";
}

std::string_view ToString(EventSet events) {
  switch (events) {
    case EventSet::kNone:
      return "none";
    case EventSet::kDocument:
      return "document";
    case EventSet::kPlan:
      return "plan";
    case EventSet::kReport:
      return "report";
    case EventSet::kPicker:
      return "picker";
  }
  return "";
}

std::vector<std::string_view> InterfaceNames(unsigned interfaces) {
  static constexpr std::pair<HostInterface, std::string_view> kNames[] = {
      {kIFormUI, "IFormUI"}, {kIReportUI, "IReportUI"}, {kIPickerUI, "IPickerUI"},
      {kIToolUI, "IToolUI"}, {kIDesignUI, "IDesignUI"},
  };
  std::vector<std::string_view> names;
  for (const auto& [bit, name] : kNames) {
    if ((interfaces & bit) != 0) names.push_back(name);
  }
  return names;
}

bool Implements(const Object& object, unsigned interfaces) {
  const auto lacks = [&object, interfaces](unsigned bit, auto* as) {
    using I = std::remove_pointer_t<decltype(as)>;
    return (interfaces & bit) != 0 && dynamic_cast<const I*>(&object) == nullptr;
  };
  return !(lacks(kIFormUI, static_cast<IFormUI*>(nullptr)) ||
           lacks(kIReportUI, static_cast<IReportUI*>(nullptr)) ||
           lacks(kIPickerUI, static_cast<IPickerUI*>(nullptr)) ||
           lacks(kIToolUI, static_cast<IToolUI*>(nullptr)) ||
           lacks(kIDesignUI, static_cast<IDesignUI*>(nullptr)));
}

const ClassRegistry& ClassRegistry::Instance() {
  // Never destroyed: factories handed to a host must outlive every static destructor.
  static const ClassRegistry* const registry = new ClassRegistry();
  return *registry;
}

ClassRegistry::ClassRegistry() {
  classes_.reserve(std::size(kClasses));
  for (const Registration& r : kClasses) {
    classes_.push_back(ClassInfo{std::string(r.name),
                                 std::string(kProgIdPrefix) + std::string(r.name), r.kind,
                                 r.interfaces, r.events});
  }
  // classes_ no longer grows, so references into it stay valid.
  for (std::size_t i = 0; i < classes_.size(); ++i) {
    factories_.push_back(std::make_unique<RegisteredFactory>(classes_[i], kClasses[i].create));
  }
}

const ClassInfo* ClassRegistry::Find(std::string_view progid) const {
  for (const ClassInfo& info : classes_) {
    if (EqualsIgnoreCase(info.progid, progid)) return &info;
  }
  return nullptr;
}

ClassFactory* ClassRegistry::Factory(std::string_view progid) const {
  const ClassInfo* info = Find(progid);
  if (info == nullptr) return nullptr;
  return factories_[static_cast<std::size_t>(info - classes_.data())].get();
}

std::shared_ptr<Object> ClassRegistry::Create(std::string_view progid) const {
  ClassFactory* factory = Factory(progid);
  return factory == nullptr ? nullptr : factory->CreateInstance();
}

}  // namespace korvane
