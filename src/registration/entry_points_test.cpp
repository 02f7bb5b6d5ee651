// The entry points as a host reaches them: the built shared library is loaded with dlopen and
// the functions are looked up by their C names.
#include "registration/entry_points.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "host/test_support.h"
#include "records/cls_gy.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

using GetClassObjectFn = int (*)(const char*, void**);
using CanUnloadNowFn = int (*)();
using RegisterFn = int (*)(const char*);

using test::ReadFileBytes;
using test::WriteFileBytes;

class EntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(KORVANE_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    get_class_object_ = Resolve<GetClassObjectFn>("DllGetClassObject");
    can_unload_now_ = Resolve<CanUnloadNowFn>("DllCanUnloadNow");
    register_server_ = Resolve<RegisterFn>("DllRegisterServer");
    unregister_server_ = Resolve<RegisterFn>("DllUnregisterServer");
    ASSERT_TRUE(get_class_object_ && can_unload_now_ && register_server_ && unregister_server_);
  }

  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }

  template <typename Fn>
  Fn Resolve(const char* name) {
    void* symbol = dlsym(handle_, name);
    EXPECT_NE(symbol, nullptr) << name << ": " << dlerror();
    return reinterpret_cast<Fn>(symbol);
  }

  nlohmann::json ReadJson() const { return nlohmann::json::parse(ReadFileBytes(file_)); }

  // Files in the directory other than the registration file (left-over temporaries).
  int StrayFiles() const {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir_.path())) n += entry.path() != file_;
    return n;
  }

  void* handle_ = nullptr;
  GetClassObjectFn get_class_object_ = nullptr;
  CanUnloadNowFn can_unload_now_ = nullptr;
  RegisterFn register_server_ = nullptr;
  RegisterFn unregister_server_ = nullptr;
  test::TempFolder dir_;
  std::string file_ = dir_ / "classes.json";
};

TEST_F(EntryPointsTest, FactoryCreatesObjectsUnloadFollowsThemAndUnknownClassesAreRefused) {
  const int idle = Object::LiveCount() == 0 ? kSOk : kSFalse;
  EXPECT_EQ(can_unload_now_(), idle);

  void* raw = nullptr;
  ASSERT_EQ(get_class_object_("Korvane.clsGY", &raw), kSOk);
  ASSERT_NE(raw, nullptr);
  auto* factory = static_cast<ClassFactory*>(raw);
  EXPECT_EQ(factory->Class().progid, "Korvane.clsGY");
  EXPECT_EQ(can_unload_now_(), idle) << "a factory alone keeps nothing alive";

  std::shared_ptr<Object> object = factory->CreateInstance();
  ASSERT_NE(object, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<clsGY>(object), nullptr);
  EXPECT_EQ(can_unload_now_(), kSFalse);
  object.reset();
  EXPECT_EQ(can_unload_now_(), idle);

  // Unknown classes and null pointers are refused, the factory pointer then cleared.
  raw = &raw;
  EXPECT_EQ(get_class_object_("Korvane.NoSuchClass", &raw), kClassENotAvailable);
  EXPECT_EQ(raw, nullptr);
  raw = &raw;
  EXPECT_NE(get_class_object_(nullptr, &raw), kSOk);
  EXPECT_EQ(raw, nullptr);
  EXPECT_NE(get_class_object_("Korvane.clsCpml", nullptr), kSOk);
}

TEST_F(EntryPointsTest, RegisterWritesEveryClassIntoAMissingOrBlankFile) {
  EXPECT_EQ(unregister_server_(file_.c_str()), kSOk);
  EXPECT_FALSE(fs::exists(file_)) << "unregistering created a file";
  ASSERT_EQ(register_server_(file_.c_str()), kSOk);
  const nlohmann::json j = ReadJson();
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j.size(), ClassRegistry::Instance().Classes().size());
  for (const ClassInfo& info : ClassRegistry::Instance().Classes()) {
    SCOPED_TRACE(info.progid);
    ASSERT_TRUE(j.contains(info.progid));
    const nlohmann::json& entry = j[info.progid];
    const std::string library = entry.at("library").get<std::string>();
    EXPECT_TRUE(fs::path(library).is_absolute());
    EXPECT_TRUE(fs::equivalent(library, KORVANE_LIBRARY_FILE));
    EXPECT_EQ(entry.at("kind").get<std::string>(), ToString(info.kind));
    EXPECT_EQ(entry.at("events").get<std::string>(), ToString(info.events));
    EXPECT_EQ(entry.at("interfaces").size(), InterfaceNames(info.interfaces).size());
  }
  WriteFileBytes(file_, "  \n");
  ASSERT_EQ(register_server_(file_.c_str()), kSOk);
  EXPECT_EQ(ReadJson().size(), ClassRegistry::Instance().Classes().size());
  EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(EntryPointsTest, RegisterKeepsOtherLibrariesAndUnregisterRemovesOnlyThisOnes) {
  const nlohmann::json other = {{"library", "/opt/other/libother.so"}, {"kind", "tool"}};
  const nlohmann::json stale_copy = {{"library", "/opt/old/libkorvane.so.0"}, {"kind", "record"}};
  const nlohmann::json before = {{"Other.Tool", other}, {"Korvane.Legacy", stale_copy}};
  WriteFileBytes(file_, before.dump());
  chmod(file_.c_str(), 0640);

  ASSERT_EQ(register_server_(file_.c_str()), kSOk);
  const std::string first = ReadFileBytes(file_);
  nlohmann::json j = nlohmann::json::parse(first);
  EXPECT_EQ(j["Other.Tool"], other);
  EXPECT_EQ(j["Korvane.Legacy"], stale_copy);
  EXPECT_TRUE(j.contains("Korvane.clsGY"));
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(register_server_(file_.c_str()), kSOk);
  EXPECT_EQ(ReadFileBytes(file_), first);

  // An entry this library wrote under a name it no longer registers is still its own.
  j["Korvane.Retired"] = j["Korvane.clsGY"];
  WriteFileBytes(file_, j.dump());
  ASSERT_EQ(unregister_server_(file_.c_str()), kSOk);
  EXPECT_EQ(ReadJson(), before);
  ASSERT_EQ(unregister_server_(file_.c_str()), kSOk);
  EXPECT_EQ(ReadJson(), before);
  EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(EntryPointsTest, CorruptFileIsRefusedAndLeftUntouched) {
  for (const std::string corrupt : {"{\"Other.Tool\": ", "[1, 2]", "\"text\"", "{} trailing"}) {
    SCOPED_TRACE(corrupt);
    WriteFileBytes(file_, corrupt);
    EXPECT_NE(register_server_(file_.c_str()), kSOk);
    EXPECT_EQ(ReadFileBytes(file_), corrupt);
    EXPECT_NE(unregister_server_(file_.c_str()), kSOk);
    EXPECT_EQ(ReadFileBytes(file_), corrupt);
    EXPECT_EQ(StrayFiles(), 0);
  }
}

TEST_F(EntryPointsTest, UnusableFileNamesAreRefused) {
  EXPECT_EQ(register_server_(nullptr), kEInvalidArg);
  EXPECT_EQ(register_server_(""), kEInvalidArg);
  EXPECT_EQ(unregister_server_(nullptr), kEInvalidArg);
  // A directory where the file should be, and a file in a missing directory.
  EXPECT_NE(register_server_(dir_.path().c_str()), kSOk);
  EXPECT_NE(register_server_((dir_ / "missing/classes.json").c_str()), kSOk);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

}  // namespace
}  // namespace korvane
