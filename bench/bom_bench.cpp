// The structure cycle check on a large catalogue, as ratios against the raw queries it issues.
//
//   BM_BomSafeDeepRaw     the statements one check of a line issues when its parent stands under
//                         11 levels of structures and its component above 11 more (24 queries,
//                         taken from the data service as they run), prepared, stepped and every
//                         column read with SQLite alone;
//   BM_BomSafeDeep        the same check through mBOMIsSafe::IsDataSafe and the data service;
//   BM_BomSafeStructureRaw  the statements of the 1 000 checks that storing a structure of
//                         1 000 lines makes (one per line, that line left out; the structure's
//                         product stands under 11 levels), prepared and stepped with SQLite;
//   BM_BomSafeStructure   the same 1 000 checks through IsDataSafe.
// Each check benchmark reports `x_raw`, its CPU time per iteration over that of its raw
// benchmark in the same run (the raw one runs first; run both, or the counter is left out).
//
// The catalogue is the demo database plus generated volume data at the scale given by the
// environment variable KORVANE_BENCH_SCALE (1 000 products each; 2 when unset, which keeps the
// smoke run short; the documented numbers use 100), with the chains and the wide structure
// added on products of their own. It is built once per run, in a temporary folder
// removed at exit, and only when a structure benchmark runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bom/bom_is_safe.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
using korvane::mBOMIsSafe;
using korvane::Variant;
namespace bench = korvane::bench;
using bench::Fail;
using bench::LoopClock;
using bench::RecordRaw;
using bench::ReportRatio;
using bench::Scale;

constexpr int kLevels = 11;       // the deepest chain the check still accepts
constexpr int kWideLines = 1000;  // lines of the wide structure

// The products the benchmark's structures are made of.
struct Catalogue {
  std::string path;
  std::vector<std::int32_t> up;          // up[i + 1] uses up[i]: 11 levels above up[0]
  std::vector<std::int32_t> down;        // down[i] uses down[i + 1]: 11 levels below down[0]
  std::vector<std::int32_t> wide_lines;  // the lines of up[0]'s structure of 1 000 lines
};

void Exec(data::SqliteDataService& db, const std::string& sql, const std::vector<Variant>& binds) {
  std::string error;
  if (!db.Native().Exec(sql, binds, error)) Fail(error + " in " + sql);
}

std::int64_t One(data::SqliteDataService& db, const std::string& sql) {
  std::string error;
  auto rows = db.Native().Query(sql, {}, error);
  if (!rows || rows->RecordCount() != 1) Fail("cannot read " + sql + ": " + error);
  return rows->Rows()[0][0].ToInt64();
}

// Adds a standard, approved structure of `product` using `components`; returns the line ids.
std::vector<std::int32_t> AddStructure(data::SqliteDataService& db, std::int32_t product,
                                       const std::vector<std::int32_t>& components) {
  const std::int64_t bom = One(db, "SELECT IFNULL(MAX(bomID),0)+1 FROM PDMBOM");
  std::int64_t line = One(db, "SELECT IFNULL(MAX(bommxID),0) FROM PDMBOMMX");
  Exec(db, "INSERT INTO PDMBOM (bomID,产品ID,批量,是否标准,是否失效,smark) VALUES (?,?,1,1,0,'02')",
       {bom, product});
  std::vector<std::int32_t> lines;
  for (std::size_t i = 0; i < components.size(); ++i) {
    char rowindex[8];
    std::snprintf(rowindex, sizeof rowindex, "%04zu", (i + 1) % 10000);
    Exec(db,
         "INSERT INTO PDMBOMMX (bommxID,bomID,rowindex,配件ID,配量分子,配量分母,实际配量分子,"
         "实际配量分母) VALUES (?,?,?,?,1,1,1,1)",
         {++line, bom, std::string(rowindex), components[i]});
    lines.push_back(static_cast<std::int32_t>(line));
  }
  return lines;
}

void AddChains(data::SqliteDataService& db, Catalogue& c);

const Catalogue& TheCatalogue() {
  static const Catalogue catalogue = [] {
    Catalogue c;
    c.path = bench::BuildTemporaryDatabase(
        "korvane-bom-bench-", "catalogue.db",
        [&c](data::SqliteDataService& db, std::string& error) {
          if (!hostapp::LoadDemoData(db, error) || !hostapp::GenerateScaleData(db, Scale(), error))
            return false;
          AddChains(db, c);
          return true;
        });
    return c;
  }();
  return catalogue;
}

// Products of their own, so that the chains are exactly as long as intended.
void AddChains(data::SqliteDataService& db, Catalogue& c) {
  const std::size_t needed = 2 * (kLevels + 1) + kWideLines;
  const std::int64_t first = One(db, "SELECT IFNULL(MAX(产品ID),0)+1 FROM PDMCPML");
  const std::int64_t category = One(db, "SELECT MIN(产品类别ID) FROM PDMCPML");
  if (!db.BeginTrans()) Fail(db.LastError());
  std::vector<std::int32_t> ids;
  for (std::size_t i = 0; i < needed; ++i) {
    const std::int64_t id = first + static_cast<std::int64_t>(i);
    Exec(db, "INSERT INTO PDMCPML (产品ID,物品编码,物品名称,产品类别ID) VALUES (?,?,?,?)",
         {id, "BOM-BENCH-" + std::to_string(i), "结构测试件" + std::to_string(i), category});
    ids.push_back(static_cast<std::int32_t>(id));
  }
  c.up.assign(ids.begin(), ids.begin() + kLevels + 1);
  c.down.assign(ids.begin() + kLevels + 1, ids.begin() + 2 * (kLevels + 1));
  const std::vector<std::int32_t> components(ids.begin() + 2 * (kLevels + 1), ids.end());
  for (int i = 0; i < kLevels; ++i) {
    AddStructure(db, c.up[static_cast<std::size_t>(i + 1)], {c.up[static_cast<std::size_t>(i)]});
    AddStructure(db, c.down[static_cast<std::size_t>(i)],
                 {c.down[static_cast<std::size_t>(i + 1)]});
  }
  c.wide_lines = AddStructure(db, c.up[0], components);
  if (!db.CommitTrans()) Fail(db.LastError());
}

std::shared_ptr<data::SqliteDataService> OpenCatalogue() {
  std::string error;
  auto db = data::SqliteDataService::Open(TheCatalogue().path, {}, error);
  if (!db) Fail("cannot open the catalogue: " + error);
  return db;
}

// The check shows no box on this catalogue; one that appears is a failure of the benchmark.
class NoDialogs : public korvane::Dialogs {
 public:
  korvane::MsgAnswer MessageBox(std::string_view text, korvane::MsgButtons, korvane::MsgIcon,
                                std::string_view) override {
    Fail("the check showed a box: " + std::string(text));
  }
  std::optional<std::string> InputBox(std::string_view, std::string_view,
                                      std::string_view) override {
    return std::nullopt;
  }
};

// A check of a line: its id, its parent, its component, and whether it is safe.
struct Check {
  std::int32_t line, parent, component;
};

std::vector<Check> DeepChecks() {
  const Catalogue& c = TheCatalogue();
  return {{0, c.up[0], c.down[0]}};
}

// Storing the wide structure again: every line checked, that line left out.
std::vector<Check> StructureChecks() {
  const Catalogue& c = TheCatalogue();
  auto db = OpenCatalogue();
  std::string error;
  auto rows = db->Native().Query(
      "SELECT bommxID, 配件ID FROM PDMBOMMX WHERE bomID=(SELECT bomID "
      "FROM PDMBOMMX WHERE bommxID=?)",
      {c.wide_lines.front()}, error);
  if (!rows) Fail(error);
  std::vector<Check> checks;
  for (const auto& row : rows->Rows())
    checks.push_back({row[0].ToLong(), c.up[0], row[1].ToLong()});
  if (checks.size() != kWideLines) Fail("the wide structure lost lines");
  return checks;
}

bool RunChecks(const std::vector<Check>& checks, korvane::DataService& db,
               korvane::Dialogs& dialogs) {
  bool all_safe = true;
  for (const Check& check : checks) {
    all_safe &= mBOMIsSafe::IsDataSafe(check.line, check.parent, check.component, "", db, dialogs);
  }
  return all_safe;
}

// The SQLite statements the checks run, as the data service hands them to SQLite.
std::vector<std::string> StatementsOf(const std::vector<Check>& checks) {
  auto db = OpenCatalogue();
  std::vector<std::string> seen;
  db->InjectFailures([&seen](std::string_view statement) {
    seen.emplace_back(statement);
    return false;
  });
  NoDialogs dialogs;
  if (!RunChecks(checks, *db, dialogs)) Fail("a check of the benchmark found a cycle");
  db->InjectFailures({});
  for (const std::string& statement : seen) {
    if (statement.find('?') != std::string::npos) Fail("a statement binds values: " + statement);
  }
  return seen;
}

void RunRaw(benchmark::State& state, const std::string& name, const std::vector<Check>& checks) {
  const std::vector<std::string> statements = StatementsOf(checks);
  auto db = OpenCatalogue();
  bench::ReplayLoop(state, db->handle(), statements, name);
}

void RunChecked(benchmark::State& state, const std::string& raw_name,
                const std::vector<Check>& checks) {
  auto db = OpenCatalogue();
  NoDialogs dialogs;
  LoopClock clock;
  for (auto _ : state) {
    if (!RunChecks(checks, *db, dialogs)) {
      state.SkipWithError("a check found a cycle");
      return;
    }
  }
  ReportRatio(raw_name, clock, state);
  state.counters["checks"] = static_cast<double>(checks.size());
}

void BM_BomSafeDeepRaw(benchmark::State& state) { RunRaw(state, "deep", DeepChecks()); }
void BM_BomSafeDeep(benchmark::State& state) { RunChecked(state, "deep", DeepChecks()); }
void BM_BomSafeStructureRaw(benchmark::State& state) {
  RunRaw(state, "structure", StructureChecks());
}
void BM_BomSafeStructure(benchmark::State& state) {
  RunChecked(state, "structure", StructureChecks());
}

BENCHMARK(BM_BomSafeDeepRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BomSafeDeep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BomSafeStructureRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomSafeStructure)->Unit(benchmark::kMillisecond);

}  // namespace
