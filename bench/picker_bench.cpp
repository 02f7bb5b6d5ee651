// The product picker on a large catalogue, as ratios against the raw work each step needs.
//
//   BM_PickerListRaw     the statement p_PDM_CPML_SELECT runs for the picker's first list
//                        (taken from the data service as it runs), prepared, stepped and every
//                        column read with SQLite alone;
//   BM_PickerListProcedure  the same procedure call through the data service into a recordset
//                        (the share of the list load that is not the grid's);
//   BM_PickerList        a click on 刷新: the procedure through the data service into the grid,
//                        row heights, the count label;
//   BM_PickerFindRaw     a plain loop over the loaded texts of the search columns with the
//                        comparisons find makes (upper-cased, from the left), for a text that no
//                        row holds, so every row is looked at;
//   BM_PickerFind        the same text typed into the search box and the timer's tick;
//   BM_PickerFilterRaw   a plain loop over the loaded texts deciding for every row whether it
//                        stays (upper-cased, the text anywhere in a search column);
//   BM_PickerFilter      the filter box ticked, the text typed and the timer's tick: rows shown
//                        again, the others hidden, the first one left shown made current.
// Each picker benchmark reports `x_raw`, its CPU time divided by that of its raw benchmark in
// the same run (the raw one runs first; run both, or the counter is left out).
//
// The catalogue is the demo database plus generated volume data at the scale given by the
// environment variable KORVANE_BENCH_SCALE (1 000 products each; 2 when unset, which keeps the
// smoke run short; the documented numbers use 100). It is built once per run, in a temporary
// folder removed at exit, and only when a picker benchmark runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "pickers/pdm_cpml.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
namespace cpml = korvane::pickers::cpml;
using korvane::Command;
using korvane::CommandType;
using korvane::Parameter;
using korvane::Variant;
using korvane::bench::Fail;
using korvane::bench::LoopClock;
using korvane::bench::RecordRaw;
using korvane::bench::ReportRatio;
using korvane::bench::Scale;

// No product code or name starts with it, so find walks every row of both search columns.
constexpr const char* kFindText = "ZX-无此物品";
// A word of some product names (pumps, pump shafts): the filter keeps a part of the rows.
constexpr const char* kFilterText = "泵";

const std::string& CataloguePath() {
  static const std::string path = korvane::bench::BuildTemporaryDatabase(
      "korvane-picker-bench-", "catalogue.db", [](data::SqliteDataService& db, std::string& error) {
        return hostapp::LoadDemoData(db, error) && hostapp::GenerateScaleData(db, Scale(), error);
      });
  return path;
}

std::shared_ptr<hostapp::ReferenceHost> OpenHost() {
  return korvane::bench::OpenHost(CataloguePath());
}

// The picker opened on the catalogue, as a host shows it: initialised, its first list loaded.
struct OpenPicker {
  std::shared_ptr<hostapp::ReferenceHost> host = OpenHost();
  std::unique_ptr<korvane::pdmCpml> picker = std::make_unique<korvane::pdmCpml>();

  OpenPicker() {
    if (!picker->Init(host, 0, "")) Fail("the picker refused its host");
    picker->Refresh();
    if (DataRows() < 1000 * Scale()) {
      Fail("the picker listed " + std::to_string(DataRows()) + " products");
    }
  }
  int DataRows() const { return picker->grid().rows() - picker->grid().fixed_rows(); }

  // The loaded texts of the search columns, column by column, for the plain scans.
  std::vector<std::vector<std::string>> SearchColumnTexts() const {
    std::vector<std::vector<std::string>> columns;
    const korvane::controls::Grid& grid = picker->grid();
    for (int col : picker->search_columns()) {
      auto& texts = columns.emplace_back();
      for (int r = grid.fixed_rows(); r < grid.rows(); ++r)
        texts.push_back(grid.TextMatrix(r, col));
    }
    return columns;
  }

  // Types `text` into the search box as a fresh word and lets the timer fire.
  void Search(const std::string& text) {
    picker->search_box().Type("");
    picker->search_box().Type(text);
    if (!picker->timer().Tick()) Fail("typing did not start the search timer");
  }
};

// The list procedure with the parameters of the picker's first list (every category and
// source, no cancelled products, no structure, no account codes).
Command ListCommand() {
  return Command{"p_PDM_CPML_SELECT",
                 CommandType::kStoredProcedure,
                 {Parameter{"@p0", Variant(-1), false}, Parameter{"@p1", Variant(0), false},
                  Parameter{"@p2", Variant(std::string("-1")), false},
                  Parameter{"@p3", Variant(std::string()), false},
                  Parameter{"@p4", Variant(std::string()), false}}};
}

// The statement the list procedure runs for the picker's first list.
std::string ListStatement(hostapp::ReferenceHost& host) {
  std::vector<std::string> seen;
  host.database().InjectFailures([&seen](std::string_view statement) {
    seen.emplace_back(statement);
    return false;
  });
  Command command = ListCommand();
  const bool ran = host.database().Open(command) != nullptr;
  host.database().InjectFailures({});
  if (!ran) Fail("p_PDM_CPML_SELECT failed: " + host.database().LastError());
  for (const std::string& statement : seen) {
    // Bound values would have to be bound here too; the first list binds none.
    if (statement.find("vtPDMCPML") != std::string::npos &&
        statement.find('?') == std::string::npos) {
      return statement;
    }
  }
  Fail("the list statement was not seen");
}

void BM_PickerListRaw(benchmark::State& state) {
  auto host = OpenHost();
  const std::string sql = ListStatement(*host);
  sqlite3* db = host->database().handle();
  std::int64_t rows = 0;
  LoopClock clock;
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
      state.SkipWithError(sqlite3_errmsg(db));
      return;
    }
    rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
      }
    }
    sqlite3_finalize(stmt);
  }
  RecordRaw("list", clock, state);
  state.counters["rows"] = static_cast<double>(rows);
}

// One picker for the find and filter benchmarks: loading 100 000 rows for each of Google
// Benchmark's calls would cost more than the passes measured. The filter benchmark leaves the
// filter box as it found it.
OpenPicker& SharedPicker() {
  static OpenPicker open;
  return open;
}

void BM_PickerListProcedure(benchmark::State& state) {
  auto host = OpenHost();
  LoopClock clock;
  for (auto _ : state) {
    Command command = ListCommand();
    auto rows = host->Data()->Open(command);
    if (!rows) {
      state.SkipWithError(host->Data()->LastError().c_str());
      return;
    }
    benchmark::DoNotOptimize(rows);
  }
  ReportRatio("list", clock, state);
}

void BM_PickerList(benchmark::State& state) {
  OpenPicker& open = SharedPicker();
  LoopClock clock;
  for (auto _ : state) {
    // 刷新 reloads even when the list key is unchanged.
    open.picker->button(2).Click();
  }
  ReportRatio("list", clock, state);
  state.counters["rows"] = open.DataRows();
}

void BM_PickerFindRaw(benchmark::State& state) {
  OpenPicker& open = SharedPicker();
  const auto columns = open.SearchColumnTexts();
  LoopClock clock;
  for (auto _ : state) {
    const std::string wanted = korvane::ToUpperAscii(kFindText);
    int found = -1;
    for (const auto& texts : columns) {
      for (std::size_t r = 0; r < texts.size() && found < 0; ++r) {
        if (korvane::ToUpperAscii(texts[r]).starts_with(wanted)) found = static_cast<int>(r);
      }
      if (found >= 0) break;
    }
    benchmark::DoNotOptimize(found);
  }
  RecordRaw("find", clock, state);
}

void BM_PickerFind(benchmark::State& state) {
  OpenPicker& open = SharedPicker();
  const int row_before = open.picker->grid().row();
  LoopClock clock;
  for (auto _ : state) open.Search(kFindText);
  ReportRatio("find", clock, state);
  if (open.picker->grid().row() != row_before) state.SkipWithError("find moved to a row");
}

void BM_PickerFilterRaw(benchmark::State& state) {
  OpenPicker& open = SharedPicker();
  const auto columns = open.SearchColumnTexts();
  const std::size_t rows = columns.empty() ? 0 : columns.front().size();
  std::vector<char> shown(rows);
  std::size_t kept = 0;
  LoopClock clock;
  for (auto _ : state) {
    const std::string wanted = korvane::ToUpperAscii(kFilterText);
    kept = 0;
    for (std::size_t r = 0; r < rows; ++r) {
      bool match = false;
      for (const auto& texts : columns) {
        match = korvane::ToUpperAscii(texts[r]).find(wanted) != std::string::npos;
        if (match) break;
      }
      shown[r] = match;
      kept += match ? 1 : 0;
    }
    benchmark::DoNotOptimize(shown.data());
  }
  RecordRaw("filter", clock, state);
  state.counters["kept"] = static_cast<double>(kept);
}

void BM_PickerFilter(benchmark::State& state) {
  OpenPicker& open = SharedPicker();
  open.picker->filter_box().Click();
  if (!open.picker->filter_box().ticked()) Fail("the filter box did not tick");
  LoopClock clock;
  for (auto _ : state) open.Search(kFilterText);
  ReportRatio("filter", clock, state);
  const korvane::controls::Grid& grid = open.picker->grid();
  int kept = 0;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) kept += grid.RowHidden(r) ? 0 : 1;
  state.counters["kept"] = kept;
  open.Search("");
  open.picker->filter_box().Click();
}

BENCHMARK(BM_PickerListRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerListProcedure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerFindRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerFilterRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickerFilter)->Unit(benchmark::kMillisecond);

}  // namespace
