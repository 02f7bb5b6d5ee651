// Loading and saving a master plan of 1 000 lines, as ratios against the raw SQL each needs.
//
//   BM_PlanLoadRaw   the statements the plan's load runs (taken from the data service while
//                    one load runs: the header through the record navigator, the lines with
//                    each product's stock on hand), prepared, stepped and every column read
//                    with SQLite alone;
//   BM_PlanLoad      the plan shown again (RecordTop on a plan opened by its id): header
//                    fields, 1 000 grid rows with their formats and colours, Property;
//   BM_PlanSaveRaw   the statements an edited save runs (its transaction, the header, every
//                    line, and showing the stored plan again), replayed the same way;
//   BM_PlanSave      FileEdit, every line's demand changed, FileSave: the snapshot of the
//                    form, validation, the statements, the plan shown again.
// Each non-raw benchmark reports `x_raw`, its CPU time over that of its raw benchmark in the
// same run (run both, or the counter is left out).
//
// The database is the demo factory plus one plan of 1 000 lines over the demo's products,
// built once per run in a temporary folder removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "planning/plan2.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
namespace bench = korvane::bench;

constexpr int kPlanId = 1000;
constexpr int kProgId = 3101;
constexpr int kLines = 1000;

bool Run(data::SqliteDataService& db, const std::string& sql, std::string& error) {
  korvane::Command command{sql, korvane::CommandType::kText, {}};
  if (db.Execute(command)) return true;
  error = db.LastError();
  return false;
}

// The plan of 1 000 lines: one product after another of the demo's catalogue, each line with
// its batch, quantity and dates, as a planner's long plan has them.
bool AddLongPlan(data::SqliteDataService& db, std::string& error) {
  if (!Run(db,
           "INSERT INTO MRPPlan (主计划组ID, progID, smark, 单据编号, 计划日期, 计划员, 制单, "
           "制单日期, 备注, 性质, 计划类型ID, sign) VALUES (" +
               std::to_string(kPlanId) + ", " + std::to_string(kProgId) +
               ", '01', 'JH202604900', '2026-04-01', '张建国', 'admin', '2026-04-01', "
               "'年度大计划', '正常', 0, 0)",
           error)) {
    return false;
  }
  // Lines n = 0..999 from a digits table crossed three times.
  const std::string digits =
      "(SELECT 0 AS d UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT "
      "4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION ALL "
      "SELECT 9)";
  return Run(db,
             "INSERT INTO MRPPlanmx (主计划ID, 主计划组ID, 产品ID, 库存数量, 需求数量, 计划数量, "
             "status, 产品批次, 计划编号, 需求日期, 预计开工日, 预计完工日, 计划类型, sign) "
             "SELECT 100000+n, " +
                 std::to_string(kPlanId) +
                 ", (SELECT min(产品ID) FROM PDMCPML) + n % (SELECT count(*) FROM PDMCPML), 0, "
                 "1+n, 1+n, '填单', 'P2604-' + convert(varchar(10), n), 'JH202604900-' + "
                 "convert(varchar(10), 100000+n), '2026-04-30', '2026-04-02', '2026-04-28', 2, 0 "
                 "FROM (SELECT a.d*100+b.d*10+c.d AS n FROM " +
                 digits + " a CROSS JOIN " + digits + " b CROSS JOIN " + digits + " c) s",
             error);
}

const std::string& DatabasePath() {
  static const std::string path = bench::BuildTemporaryDatabase(
      "korvane-plan-bench-", "plans.db", [](data::SqliteDataService& db, std::string& error) {
        return hostapp::LoadDemoData(db, error) && AddLongPlan(db, error);
      });
  return path;
}

// The plan document opened on the long plan, as a host shows it.
struct OpenPlan {
  std::shared_ptr<hostapp::ReferenceHost> host;
  std::unique_ptr<korvane::plan2> plan = std::make_unique<korvane::plan2>();

  OpenPlan() {
    host = bench::OpenHost(DatabasePath());
    if (!plan->Init(host, kProgId, kPlanId)) bench::Fail("the plan refused its host");
    if (Lines() != kLines) bench::Fail("the plan shows " + std::to_string(Lines()) + " lines");
  }
  int Lines() const {
    const korvane::controls::Grid& grid = plan->lines();
    int used = 0;
    for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
      used += grid.TextMatrix(r, korvane::planning::kColProductCode).empty() ? 0 : 1;
    }
    return used;
  }
  void Load() {
    if (!plan->RecordTop()) bench::Fail("the plan did not load");
  }
  // A planner's save: every line's demand changed (as after a revision of the whole plan), so
  // no statement text repeats one the data service has seen before.
  void Save() {
    if (!plan->FileEdit()) bench::Fail("the plan could not be edited");
    ++revision;
    korvane::controls::Grid& grid = plan->lines();
    for (int r = grid.fixed_rows(); r < grid.fixed_rows() + kLines; ++r) {
      grid.SetTextMatrix(r, korvane::planning::kColDemand, std::to_string(revision * 10 + r));
    }
    if (!plan->FileSave()) bench::Fail("the plan was not saved");
  }
  int revision = 0;
};

OpenPlan& SharedPlan() {
  static OpenPlan open;
  return open;
}

void BM_PlanLoadRaw(benchmark::State& state) {
  OpenPlan& open = SharedPlan();
  bench::ReplayLoop(state, open.host->database().handle(),
                    bench::StatementsOf(open.host->database(), [&] { open.Load(); }), "load");
}

void BM_PlanLoad(benchmark::State& state) {
  OpenPlan& open = SharedPlan();
  bench::LoopClock clock;
  for (auto _ : state) open.Load();
  bench::ReportRatio("load", clock, state);
}

void BM_PlanSaveRaw(benchmark::State& state) {
  OpenPlan& open = SharedPlan();
  // The save's writes are one transaction (the data service opens it without a statement the
  // capture sees), so the replay is one too.
  bench::ReplayLoop(state, open.host->database().handle(),
                    bench::StatementsOf(open.host->database(), [&] { open.Save(); }), "save", true);
}

void BM_PlanSave(benchmark::State& state) {
  OpenPlan& open = SharedPlan();
  bench::LoopClock clock;
  for (auto _ : state) open.Save();
  bench::ReportRatio("save", clock, state);
  if (open.Lines() != kLines) state.SkipWithError("the saved plan lost lines");
}

BENCHMARK(BM_PlanLoadRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanSaveRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanSave)->Unit(benchmark::kMillisecond);

}  // namespace
