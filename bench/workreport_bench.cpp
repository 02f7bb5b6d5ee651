// Saving, approving and loading work reports, as ratios against the raw SQLite work the same
// rows need.
//
//   BM_WorkReportSaveRaw     the rows a save of a new 1 000-line report writes (its header,
//                            1 000 lines, 2 000 employees' shares) written again with prepared
//                            inserts and bound values, in one transaction;
//   BM_WorkReportSave        the report's FileSave: the snapshot of the form, the checks, the
//                            number, the statements (each with its values inline);
//   BM_WorkReportApproveRaw  the 2 000 wage intake rows an approval writes (1 000 lines, two
//                            employees each), prepared inserts with bound values in one
//                            transaction;
//   BM_WorkReportApprove     Check: the hand-over of the wages;
//   BM_WorkReportLoadRaw/<n> the statements one load of an n-line report runs (taken from the
//                            data service while it ran), prepared, stepped and read with SQLite;
//   BM_WorkReportLoad/<n>    RecordTop on the report opened by its id: header, lines, grid.
// Only the timed step is on the clock (its thread's CPU time): filling the grid before a save,
// deleting the saved report and withdrawing an approval are not. Each non-raw benchmark
// reports `x_raw` against its raw benchmark of the same run.
//
// KORVANE_SHAPE_CACHE=off runs the same with every statement translated and compiled anew.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "workreport/sccjd_s.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
namespace bench = korvane::bench;
using korvane::SCCJD_S;
using korvane::Variant;
using namespace korvane::workreport;

constexpr int kProgId = hostapp::demo::kWorkReportProgId;

const std::string& DatabasePath() {
  static const std::string path =
      bench::BuildTemporaryDatabase("korvane-workreport-bench-", "reports.db",
                                    [](data::SqliteDataService& db, std::string& error) {
                                      return hostapp::LoadDemoData(db, error);
                                    });
  return path;
}

std::shared_ptr<hostapp::ReferenceHost> OpenClerk() {
  hostapp::ReferenceHostOptions options;
  options.database_path = DatabasePath();
  options.user_name = "admin";
  options.business_date = std::chrono::year{2026} / std::chrono::March / 20;
  options.local_folder = std::filesystem::path(DatabasePath()).parent_path().string();
  std::string error;
  auto host = hostapp::ReferenceHost::Open(options, nullptr, error);
  if (!host) bench::Fail("cannot open " + DatabasePath() + ": " + error);
  return host;
}

// The thread's CPU time, for the timed step alone.
double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// CPU seconds of the timed steps and how many ran; sets `x_raw` the way bench::ReportRatio
// does, from the steps alone.
struct StepClock {
  double seconds = 0;
  int steps = 0;
  template <typename Step>
  void Time(Step step) {
    const double start = CpuNow();
    step();
    seconds += CpuNow() - start;
    ++steps;
  }
  void Report(const std::string& raw_name, benchmark::State& state) const {
    const auto raw = bench::RawSeconds().find(raw_name);
    if (steps == 0) return;
    state.counters["step_ms"] = seconds / steps * 1e3;
    if (raw == bench::RawSeconds().end() || raw->second <= 0) return;
    state.counters["x_raw"] = seconds / steps / raw->second;
  }
};

// Rows of one table, each value as SQLite holds it.
struct TableRows {
  std::string table;
  std::vector<std::string> columns;
  std::vector<std::vector<sqlite3_value*>> rows;
};

TableRows ReadRows(sqlite3* db, const std::string& table, const std::string& where) {
  TableRows out;
  out.table = table;
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "SELECT * FROM " + table + " WHERE " + where;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    bench::Fail(sql + ": " + sqlite3_errmsg(db));
  }
  for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
    out.columns.emplace_back(sqlite3_column_name(stmt, c));
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<sqlite3_value*> row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      row.push_back(sqlite3_value_dup(sqlite3_column_value(stmt, c)));
    }
    out.rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return out;
}

// Deletes what `deletes` name and writes `tables` again with one prepared insert per table and
// bound values, all in one transaction.
bool WriteBound(sqlite3* db, const std::vector<std::string>& deletes,
                const std::vector<TableRows>& tables) {
  bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  for (const std::string& d : deletes) {
    ok = ok && sqlite3_exec(db, d.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  for (const TableRows& t : tables) {
    std::string sql = "INSERT INTO " + t.table + " (";
    std::string marks;
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
      sql += (c ? ", \"" : "\"") + t.columns[c] + "\"";
      marks += c ? ", ?" : "?";
    }
    sql += ") VALUES (" + marks + ")";
    sqlite3_stmt* stmt = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
    for (const auto& row : t.rows) {
      if (!ok) break;
      for (std::size_t c = 0; c < row.size(); ++c) {
        sqlite3_bind_value(stmt, static_cast<int>(c + 1), row[c]);
      }
      ok = sqlite3_step(stmt) == SQLITE_DONE;
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
  }
  return sqlite3_exec(db, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
}

// A work report document on its own host.
struct Report {
  std::shared_ptr<hostapp::ReferenceHost> host = OpenClerk();
  SCCJD_S module;

  explicit Report(std::int32_t id = 0) {
    if (!module.Init(host, kProgId, id)) bench::Fail("the work report refused its host");
  }
  data::SqliteDataService& db() { return host->database(); }

  // A new report of the machining workshop with `lines` lines, two employees each, every line
  // with other quantities; not saved.
  void Fill(int lines, int variant) {
    if (!module.FileNew()) bench::Fail("no new report");
    module.field(kFieldWorkshop).set_text("机加工车间");
    module.field(kFieldWorkshop).set_value(Variant(3));
    korvane::controls::Grid& grid = module.grid();
    if (grid.rows() < lines + 2) grid.set_rows(lines + 2);
    for (int row = 1; row <= lines; ++row) {
      const int qualified = 1 + (row * 7 + variant) % 50;
      const double rate = 0.5 + (row % 9) * 0.25;
      grid.SetTextMatrix(row, kColDate, "2026-03-20");
      grid.SetTextMatrix(row, kColProductCode, "JJ-BZ-01");
      grid.SetCellKey(row, kColProductCode, Variant(20));
      grid.SetTextMatrix(row, kColProcess, "粗车");
      grid.SetCellKey(row, kColProcess, Variant(1));
      grid.SetTextMatrix(row, kColProduced, std::to_string(qualified));
      grid.SetTextMatrix(row, kColQualified, std::to_string(qualified));
      grid.SetTextMatrix(row, kColRate, korvane::FormatNumber(rate));
      grid.SetTextMatrix(row, kColStandardRate, korvane::FormatNumber(rate));
      grid.SetTextMatrix(row, kColWage, korvane::FormatNumber(qualified * rate));
      grid.SetTextMatrix(row, kColActualWage, korvane::FormatNumber(qualified * rate));
      grid.SetTextMatrix(row, kColEmployees, "陈静;杨磊");
      grid.SetCellKey(row, kColEmployees, Variant("5;6"));
      grid.SetTextMatrix(row, kColShares, "0.6;0.4");
      grid.SetTextMatrix(row, kColRemarks, "第" + std::to_string(row) + "行");
      grid.SetCellKey(row, kColSourceType, Variant(0));
      grid.SetCellKey(row, kColSourceNumber, Variant(0));
    }
  }
  void Save() {
    if (!module.FileSave()) bench::Fail("the report was not saved");
  }
  // Deletes the stored report with its lines and shares, outside the module and the clock.
  void Forget(std::int32_t id) {
    std::string error;
    const std::string report = std::to_string(id);
    if (!db().Native().Exec("DELETE FROM xt_document_number WHERE number = (SELECT 报工单编号 "
                            "FROM SFCDJ WHERE 报工单ID = " +
                                report + ")",
                            {}, error) ||
        !db().Native().Exec("DELETE FROM SFCDJMXFS WHERE 报工单明细ID IN (SELECT 报工单明细ID "
                            "FROM SFCDJMX WHERE 报工单ID = " +
                                report + ")",
                            {}, error) ||
        !db().Native().Exec("DELETE FROM SFCDJMX WHERE 报工单ID = " + report, {}, error) ||
        !db().Native().Exec("DELETE FROM SFCDJ WHERE 报工单ID = " + report, {}, error)) {
      bench::Fail("cannot delete report " + report + ": " + error);
    }
  }
};

std::vector<TableRows> ReportRows(sqlite3* db, std::int32_t id) {
  const std::string report = std::to_string(id);
  return {ReadRows(db, "SFCDJ", "报工单ID = " + report),
          ReadRows(db, "SFCDJMX", "报工单ID = " + report),
          ReadRows(db, "SFCDJMXFS",
                   "报工单明细ID IN (SELECT 报工单明细ID FROM SFCDJMX WHERE 报工单ID = " + report +
                       ")")};
}

std::vector<std::string> ReportDeletes(std::int32_t id) {
  const std::string report = std::to_string(id);
  return {
      "DELETE FROM SFCDJMXFS WHERE 报工单明细ID IN (SELECT 报工单明细ID FROM SFCDJMX WHERE "
      "报工单ID = " +
          report + ")",
      "DELETE FROM SFCDJMX WHERE 报工单ID = " + report,
      "DELETE FROM SFCDJ WHERE 报工单ID = " + report};
}

constexpr int kSaveLines = 1000;

void BM_WorkReportSaveRaw(benchmark::State& state) {
  Report report;
  report.Fill(kSaveLines, 0);
  report.Save();
  const std::int32_t id = report.module.GetID();
  const std::vector<TableRows> rows = ReportRows(report.db().handle(), id);
  if (rows[1].rows.size() != kSaveLines || rows[2].rows.size() != 2 * kSaveLines) {
    bench::Fail("the saved report holds " + std::to_string(rows[1].rows.size()) + " lines");
  }
  bench::LoopClock clock;
  for (auto _ : state) {
    if (!WriteBound(report.db().handle(), ReportDeletes(id), rows)) {
      state.SkipWithError(sqlite3_errmsg(report.db().handle()));
      break;
    }
  }
  bench::RecordRaw("workreport_save", clock, state);
  report.Forget(id);
  for (const TableRows& t : rows) {
    for (const auto& row : t.rows) {
      for (sqlite3_value* v : row) sqlite3_value_free(v);
    }
  }
}

void BM_WorkReportSave(benchmark::State& state) {
  Report report;
  StepClock step;
  int variant = 0;
  for (auto _ : state) {
    report.Fill(kSaveLines, ++variant);
    step.Time([&] { report.Save(); });
    report.Forget(report.module.GetID());
  }
  step.Report("workreport_save", state);
}

// A saved report of 1 000 lines for the approval, made once.
std::int32_t ApprovalReport() {
  static const std::int32_t id = [] {
    Report report;
    report.Fill(kSaveLines, 7);
    report.Save();
    return report.module.GetID();
  }();
  return id;
}

void BM_WorkReportApproveRaw(benchmark::State& state) {
  Report report(ApprovalReport());
  if (!report.module.RecordTop()) bench::Fail("the report did not load");
  sqlite3* db = report.db().handle();
  const TableRows before = ReadRows(db, "PATempDataMx", "1 = 1");
  if (!report.module.Check()) bench::Fail("the report was not approved");
  const std::string after_last = "lAutoID > " + std::to_string(before.rows.empty() ? 0 : [&] {
                                   sqlite3_int64 last = 0;
                                   for (const auto& row : before.rows)
                                     last = std::max(last, sqlite3_value_int64(row[0]));
                                   return last;
                                 }());
  const std::vector<TableRows> rows = {ReadRows(db, "PATempDataMx", after_last)};
  if (!report.module.UnCheck()) bench::Fail("the approval was not withdrawn");
  if (rows[0].rows.size() != 2 * kSaveLines) {
    bench::Fail("the approval wrote " + std::to_string(rows[0].rows.size()) + " rows");
  }
  bench::LoopClock clock;
  for (auto _ : state) {
    if (!WriteBound(db, {"DELETE FROM PATempDataMx WHERE " + after_last}, rows)) {
      state.SkipWithError(sqlite3_errmsg(db));
      break;
    }
  }
  bench::RecordRaw("workreport_approve", clock, state);
  sqlite3_exec(db, ("DELETE FROM PATempDataMx WHERE " + after_last).c_str(), nullptr, nullptr,
               nullptr);
  for (const TableRows* t : {&before, &rows[0]}) {
    for (const auto& row : t->rows) {
      for (sqlite3_value* v : row) sqlite3_value_free(v);
    }
  }
}

void BM_WorkReportApprove(benchmark::State& state) {
  Report report(ApprovalReport());
  if (!report.module.RecordTop()) bench::Fail("the report did not load");
  StepClock step;
  for (auto _ : state) {
    bool approved = false;
    step.Time([&] { approved = report.module.Check(); });
    if (!approved || !report.module.UnCheck()) {
      state.SkipWithError("the approval failed");
      break;
    }
  }
  step.Report("workreport_approve", state);
}

// Saved reports of 50 and 1 000 lines to load, made once.
std::int32_t LoadReport(int lines) {
  static std::map<int, std::int32_t> ids;
  if (const auto it = ids.find(lines); it != ids.end()) return it->second;
  Report report;
  report.Fill(lines, 3);
  report.Save();
  return ids[lines] = report.module.GetID();
}

void BM_WorkReportLoadRaw(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  Report report(LoadReport(lines));
  bench::ReplayLoop(state, report.db().handle(),
                    bench::StatementsOf(report.db(), [&] { report.module.RecordTop(); }),
                    "workreport_load_" + std::to_string(lines));
}

void BM_WorkReportLoad(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  Report report(LoadReport(lines));
  bench::LoopClock clock;
  for (auto _ : state) {
    if (!report.module.RecordTop()) {
      state.SkipWithError("the report did not load");
      break;
    }
  }
  bench::ReportRatio("workreport_load_" + std::to_string(lines), clock, state);
}

BENCHMARK(BM_WorkReportSaveRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkReportSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkReportApproveRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkReportApprove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkReportLoadRaw)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorkReportLoad)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
