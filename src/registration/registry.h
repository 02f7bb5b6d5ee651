// The class registry: every public class of the library, with its programmatic identifier
// ("Korvane." + class name), kind, host interfaces and event set, and a factory that creates
// it. The entry points and the registration file are built from this list.
//
// Contract:
//  - Programmatic identifiers are matched without regard to ASCII case, as the host's own class
//    registry matches them.
//  - Create returns a new object, owned by the caller, or nullptr for an unknown identifier or
//    when the object could not be built; it never throws.
//  - The registry and its factories live as long as the library is loaded; the pointers it
//    hands out stay valid until then. It is immutable, so it may be read from any thread.
#ifndef KORVANE_REGISTRATION_REGISTRY_H_
#define KORVANE_REGISTRATION_REGISTRY_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "values/object.h"

namespace korvane {

inline constexpr std::string_view kProgIdPrefix = "Korvane.";

enum class ClassKind {
  kDocument,  // document control: IFormUI and IDesignUI
  kReport,    // report control: IReportUI and IDesignUI
  kPicker,    // picker control: IPickerUI
  kTool,      // non-visual tool class: IToolUI
  kRecord,    // record class: no host interface
};

// Bits of the host interfaces a class implements.
enum HostInterface : unsigned {
  kIFormUI = 1u << 0,
  kIReportUI = 1u << 1,
  kIPickerUI = 1u << 2,
  kIToolUI = 1u << 3,
  kIDesignUI = 1u << 4,
};

enum class EventSet {
  kNone,
  kDocument,  // Message, ErrMessage, FormRefreshed
  kPlan,      // the document events plus Property
  kReport,    // Message, ErrMessage, Detaile, VsMouseDown
  kPicker,    // DoSelect, DoCancel
};

// Short names used in the registration file: "document", "report", "picker", "tool", "record";
// "none", "document", "plan", "report", "picker"; "IFormUI", ... in slot order of the bits.
std::string_view ToString(ClassKind kind);
std::string_view ToString(EventSet events);
std::vector<std::string_view> InterfaceNames(unsigned interfaces);

struct ClassInfo {
  std::string name;    // "clsCpml"
  std::string progid;  // "Korvane.clsCpml"
  ClassKind kind;
  unsigned interfaces;  // HostInterface bits
  EventSet events;
};

// What DllGetClassObject hands out: creates objects of one class.
class ClassFactory {
 public:
  virtual ~ClassFactory() = default;
  // A new object of the class, or nullptr when it could not be built. Never throws.
  virtual std::shared_ptr<Object> CreateInstance() = 0;
  virtual const ClassInfo& Class() const = 0;
};

// Whether `object` implements every interface in `interfaces`.
bool Implements(const Object& object, unsigned interfaces);

class ClassRegistry {
 public:
  // The library's registry, built on first use.
  static const ClassRegistry& Instance();

  ClassRegistry(const ClassRegistry&) = delete;
  ClassRegistry& operator=(const ClassRegistry&) = delete;

  // The registered classes in registration order.
  const std::vector<ClassInfo>& Classes() const { return classes_; }
  // The class registered as `progid`; nullptr when there is none.
  const ClassInfo* Find(std::string_view progid) const;
  // The factory of `progid`; nullptr when there is none. Owned by the registry.
  ClassFactory* Factory(std::string_view progid) const;
  // A new object of the class registered as `progid`; nullptr when unknown or not buildable.
  std::shared_ptr<Object> Create(std::string_view progid) const;

 private:
  ClassRegistry();
  ~ClassRegistry() = default;

  std::vector<ClassInfo> classes_;
  std::vector<std::unique_ptr<ClassFactory>> factories_;  // parallel to classes_
};

}  // namespace korvane

#endif  // KORVANE_REGISTRATION_REGISTRY_H_
