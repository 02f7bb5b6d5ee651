// Uses the installed library the way a host does: creates classes by programmatic identifier,
// through the registry and through the exported factory entry point. Exits 0 when all works.
#include <cstdio>
#include <memory>

#include "records/cls_cpml.h"
#include "registration/entry_points.h"
#include "registration/registry.h"

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "korvane consumer: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  const korvane::ClassRegistry& registry = korvane::ClassRegistry::Instance();
  std::shared_ptr<korvane::Object> object = registry.Create("Korvane.clsCpml");
  auto product = std::dynamic_pointer_cast<korvane::clsCpml>(object);
  if (!product) return Fail("Korvane.clsCpml was not created");
  product->set_s物品编码("C-100");
  if (!product->Change() || product->Get("s物品编码").ToText() != "C-100") {
    return Fail("the product record does not keep its code");
  }

  void* raw = nullptr;
  if (DllGetClassObject("Korvane.clsGY", &raw) != korvane::kSOk || raw == nullptr) {
    return Fail("no factory for Korvane.clsGY");
  }
  std::shared_ptr<korvane::Object> employee =
      static_cast<korvane::ClassFactory*>(raw)->CreateInstance();
  if (!employee) return Fail("the factory created nothing");

  if (DllCanUnloadNow() != korvane::kSFalse) return Fail("unload allowed with live objects");
  object.reset();
  product.reset();
  employee.reset();
  if (DllCanUnloadNow() != korvane::kSOk) return Fail("unload refused with no live objects");

  std::printf("korvane consumer: %zu classes registered\n", registry.Classes().size());
  return 0;
}
