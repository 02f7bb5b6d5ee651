#include "registration/registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "values/variant.h"

namespace korvane {
namespace {

TEST(ClassRegistryTest, EveryRegisteredClassIsCreatableAndHonoursItsRegistration) {
  // The interfaces each kind of class must offer the host.
  const auto required = [](ClassKind kind) -> unsigned {
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
  };
  const ClassRegistry& registry = ClassRegistry::Instance();
  ASSERT_FALSE(registry.Classes().empty());
  std::set<std::string> seen;
  for (const ClassInfo& info : registry.Classes()) {
    SCOPED_TRACE(info.progid);
    EXPECT_EQ(info.progid, "Korvane." + info.name);
    EXPECT_TRUE(seen.insert(ToUpperAscii(info.progid)).second) << "registered twice";
    EXPECT_EQ(info.interfaces, required(info.kind));
    if (info.kind == ClassKind::kRecord || info.kind == ClassKind::kTool) {
      EXPECT_EQ(info.events, EventSet::kNone);
    }
    const std::shared_ptr<Object> object = registry.Create(info.progid);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(Implements(*object, info.interfaces));
    // Identifiers ignore case as the host's registry does.
    EXPECT_EQ(registry.Find(ToUpperAscii(info.progid)), &info);
    ClassFactory* factory = registry.Factory(ToLowerAscii(info.progid));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(&factory->Class(), &info);
    EXPECT_NE(factory->CreateInstance(), object) << "each creation is a new object";
  }
}

TEST(ClassRegistryTest, UnknownIdentifiersCreateNothing) {
  const ClassRegistry& registry = ClassRegistry::Instance();
  for (const char* progid : {"", "clsCpml", "Korvane.", "Korvane.NoSuchClass", "Other.clsCpml",
                             "Korvane.clsCpml ", "Korvane.clsCpmlX"}) {
    EXPECT_EQ(registry.Create(progid), nullptr) << progid;
    EXPECT_EQ(registry.Factory(progid), nullptr) << progid;
    EXPECT_EQ(registry.Find(progid), nullptr) << progid;
  }
}

}  // namespace
}  // namespace korvane
