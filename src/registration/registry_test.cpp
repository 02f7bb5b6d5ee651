#include "registration/registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "records/cls_cpml.h"
#include "records/cls_gy.h"
#include "values/variant.h"

namespace korvane {
namespace {

// The interfaces each kind of class must offer the host.
unsigned RequiredInterfaces(ClassKind kind) {
  switch (kind) {
    case ClassKind::kDocument:
      return kIFormUI | kIDesignUI;
    case ClassKind::kReport:
      return kIReportUI | kIDesignUI;
    case ClassKind::kPicker:
      return kIPickerUI;
    case ClassKind::kTool:
      return kIToolUI;
    case ClassKind::kRecord:
      return 0;
  }
  return 0;
}

TEST(ClassRegistryTest, EveryRegisteredClassIsCreatableAndHonoursItsRegistration) {
  const ClassRegistry& registry = ClassRegistry::Instance();
  ASSERT_FALSE(registry.Classes().empty());
  std::set<std::string> seen;
  for (const ClassInfo& info : registry.Classes()) {
    SCOPED_TRACE(info.progid);
    EXPECT_EQ(info.progid, "Korvane." + info.name);
    EXPECT_TRUE(seen.insert(ToUpperAscii(info.progid)).second) << "registered twice";
    EXPECT_EQ(info.interfaces, RequiredInterfaces(info.kind));
    if (info.kind == ClassKind::kRecord || info.kind == ClassKind::kTool) {
      EXPECT_EQ(info.events, EventSet::kNone);
    }
    const std::shared_ptr<Object> object = registry.Create(info.progid);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(Implements(*object, info.interfaces));
    EXPECT_EQ(registry.Find(info.progid), &info);
    ClassFactory* factory = registry.Factory(info.progid);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(&factory->Class(), &info);
    EXPECT_NE(factory->CreateInstance(), object) << "each creation is a new object";
  }
}

TEST(ClassRegistryTest, UnknownIdentifiersCreateNothing) {
  const ClassRegistry& registry = ClassRegistry::Instance();
  for (const char* progid : {"", "clsCpml", "Korvane.", "Korvane.NoSuchClass", "Other.clsCpml",
                             "Korvane.clsCpml ", "Korvane.clsCpmlX"}) {
    SCOPED_TRACE(progid);
    EXPECT_EQ(registry.Create(progid), nullptr);
    EXPECT_EQ(registry.Factory(progid), nullptr);
    EXPECT_EQ(registry.Find(progid), nullptr);
  }
}

TEST(ClassRegistryTest, IdentifiersIgnoreCaseAsTheHostRegistryDoes) {
  const ClassRegistry& registry = ClassRegistry::Instance();
  EXPECT_EQ(registry.Find("KORVANE.CLSGY"), registry.Find("Korvane.clsGY"));
  EXPECT_NE(std::dynamic_pointer_cast<clsGY>(registry.Create("korvane.clsgy")), nullptr);
  const auto cpml = std::dynamic_pointer_cast<clsCpml>(registry.Create("KORVANE.CLSCPML"));
  ASSERT_NE(cpml, nullptr);
  EXPECT_TRUE(cpml->b是否使用()) << "a created record starts cleared";
}

// Live objects are counted where the library answers whether it may be unloaded:
// entry_points_test.cpp.
TEST(ClassRegistryTest, InterfaceNamesComeInSlotOrder) {
  EXPECT_EQ(InterfaceNames(kIDesignUI | kIFormUI),
            (std::vector<std::string_view>{"IFormUI", "IDesignUI"}));
  EXPECT_TRUE(InterfaceNames(0).empty());
}

}  // namespace
}  // namespace korvane
