// Lookup fields reaching the library's pickers through the reference host: typed codes resolved
// by the pickers' Validate, and a picker opened from a field handing its choice and record back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "records/cls_cpml.h"
#include "records/cls_gy.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using controls::LookupDefinition;
using controls::LookupField;

class PickerLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(
        db_.path(), (std::filesystem::path(db_.path()).parent_path() / "user").string(), log_,
        [](std::string_view progid) { return ClassRegistry::Instance().Create(progid); });
    field_.set_resolver(host_->Lookups().get());
  }

  // The first data row of the shown picker's list holding `text` in some cell.
  static int RowHolding(const controls::Grid& grid, const std::string& text) {
    for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
      for (int c = 0; c < grid.cols(); ++c) {
        if (grid.TextMatrix(r, c) == text) return r;
      }
    }
    return -1;
  }

  test::DemoDatabase db_;
  std::shared_ptr<test::FakeDialogs> log_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  controls::Form form_{"frmDocument"};
  LookupField& field_ = form_.Add<LookupField>("qxTxt", 0);
};

TEST_F(PickerLookupsTest, TypedTextsResolveThroughTheLibraryPickers) {
  field_.set_lookup({"cpml", "", "产品ID", "物品编码", "", {}});
  field_.Type("bz");  // the pump shaft's mnemonic
  ASSERT_TRUE(field_.Leave());
  EXPECT_EQ(field_.value().ToLong(), 20);
  EXPECT_EQ(field_.text(), "JJ-BZ-01");

  // Restricted to a structure's components, the pump shaft is not found in a structure that
  // does not use it.
  field_.set_lookup({"pdmcpml", "", "产品ID", "物品编码", "", {{"bomID", Variant(999)}}});
  field_.Type("JJ-BZ-01 ");
  EXPECT_FALSE(field_.Leave());

  field_.set_lookup({"pdmgy", "", "雇员ID", "姓名", "", {}});
  field_.Type("E002");
  ASSERT_TRUE(field_.Leave());
  EXPECT_EQ(field_.text(), "王芳");
  field_.Type("E020");  // no longer employed
  EXPECT_FALSE(field_.Leave());
  field_.Type("O'Brien's \"lot\"; --");
  EXPECT_FALSE(field_.Leave());
}

TEST_F(PickerLookupsTest, AProcessPickerOpenedFromAFieldHandsBackItsRecord) {
  field_.set_lookup({"pdmcpml_sr", "", "产品ID", "物品编码", "", {}});
  ASSERT_TRUE(field_.OpenPicker());
  ASSERT_EQ(log_->shown_forms.size(), 1u);
  auto& grid = log_->shown_forms.front()->Get<controls::Grid>("Vs");
  const int row = RowHolding(grid, "JJ-YL-01");
  ASSERT_GT(row, 0);
  grid.DoubleClickCell(row, 2);
  EXPECT_TRUE(log_->shown_forms.empty());
  EXPECT_EQ(field_.value().ToLong(), 21);
  EXPECT_EQ(field_.text(), "JJ-YL-01");
  auto record = std::dynamic_pointer_cast<clsCpml>(field_.picked_record());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->s物品名称(), "叶轮");

  // Cancelled: the field keeps its choice.
  ASSERT_TRUE(field_.OpenPicker());
  log_->shown_forms.front()->Get<controls::Button>("Cmd", 1).Click();
  EXPECT_TRUE(log_->shown_forms.empty());
  EXPECT_EQ(field_.text(), "JJ-YL-01");
}

}  // namespace
}  // namespace korvane
