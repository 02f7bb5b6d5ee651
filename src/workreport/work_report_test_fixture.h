// What the work report's tests share: the demo factory's database opened by a clerk's host
// (business date 2026-03-20), message boxes answered from a queue, and modules created as a
// host creates them, listening to their events.
#ifndef KORVANE_WORKREPORT_WORK_REPORT_TEST_FIXTURE_H_
#define KORVANE_WORKREPORT_WORK_REPORT_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"
#include "workreport/sccjd_s.h"

namespace korvane::test {

class WorkReportFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenClerkHost(db_.path(), user_folder_.path(), dialogs_);
    ASSERT_NE(host_, nullptr);
    module_ = Create();
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    host_->database().InjectFailures({});
    for (auto& module : modules_) module->Unadvise(&sink_);
  }

  // A module as a host creates it, listening to its events; null when the registry does not
  // hand out the document interfaces.
  SCCJD_S* Create() {
    std::shared_ptr<Object> object = ClassRegistry::Instance().Create("Korvane.SCCJD_S");
    auto module = std::dynamic_pointer_cast<SCCJD_S>(object);
    if (!module || !QueryInterface<IFormUI>(object) || !QueryInterface<IDesignUI>(object)) {
      return nullptr;
    }
    module->Advise(&sink_);
    modules_.push_back(module);
    return module.get();
  }
  bool Open(std::int32_t progid = hostapp::demo::kWorkReportProgId, std::int32_t id = 0) {
    return module_->Init(host_, progid, id);
  }

  void Exec(const std::string& sql) {
    std::string error;
    ASSERT_TRUE(host_->database().Native().Exec(sql, {}, error)) << sql << ": " << error;
  }
  // Every row of a query (SQLite SQL), each as its values joined by "|".
  std::vector<std::string> Query(const std::string& sql) {
    std::string error;
    auto rows = host_->database().Native().Query(sql, {}, error);
    EXPECT_NE(rows, nullptr) << sql << ": " << error;
    std::vector<std::string> out;
    if (!rows) return out;
    for (const auto& row : rows->Rows()) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + row[i].ToText();
      out.push_back(line);
    }
    return out;
  }
  std::string One(const std::string& sql) {
    const auto rows = Query(sql);
    return rows.empty() ? std::string("<none>") : rows.front();
  }

  controls::LookupField& Field(int index) { return module_->field(index); }
  std::string Number() { return Field(workreport::kFieldNumber).text(); }
  std::string Cell(int row, int col) { return module_->grid().TextMatrix(row, col); }
  // The texts of the boxes shown since the last call.
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const auto& box : dialogs_->boxes()) texts.push_back(box.text);
    dialogs_->ClearShown();
    return texts;
  }

  DemoDatabase db_;
  TempFolder user_folder_;
  std::shared_ptr<FakeDialogs> dialogs_ = std::make_shared<FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  RecordingDocumentEvents sink_;
  std::vector<std::shared_ptr<SCCJD_S>> modules_;
  SCCJD_S* module_ = nullptr;
};

}  // namespace korvane::test

#endif  // KORVANE_WORKREPORT_WORK_REPORT_TEST_FIXTURE_H_
