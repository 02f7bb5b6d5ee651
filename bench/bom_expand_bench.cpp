// The structure expansion dialog on a deep structure, as ratios against the raw SQL it runs.
//
//   BM_BomExpandDownRaw  the statements one downward expansion runs (taken from the data
//                        service as they run: the product row, and for every row its lines and
//                        its standard batch), prepared, stepped and every column read with
//                        SQLite alone;
//   BM_BomExpandDown     the dialog expanding the top product downward: 1 000 rows over 10
//                        levels (the product, then 111 branches of 9 levels each), outlined to
//                        level 2 and column 0 sized;
//   BM_BomExpandUpRaw    the statements a person's clicks on "下展" and then "上展" run: the
//                        first expands downward (the raw material has no structure: two
//                        statements), the second upward; replayed the same way;
//   BM_BomExpandUp       those two clicks: upward from a raw material used by 100 products,
//                        each used by a chain of 9 more, 1 000 rows over 10 levels.
// Each non-raw benchmark reports `x_raw`, its CPU time per iteration over that of its raw
// benchmark in the same run (the raw one runs first; run both, or the counter is left out), and
// `rows`, the rows it shows.
//
// The database holds the schema and the two generated structures only; it is built once per
// run, in a temporary folder removed at exit, and only when an expansion benchmark runs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bom/frm_bom_zk.h"
#include "data/sqlite_data_service.h"
#include "hostapp/reference_host.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
namespace bench = korvane::bench;
using bench::Fail;
using bench::LoopClock;
using bench::ReportRatio;

constexpr int kBranches = 111;      // components of the top product
constexpr int kBranchDepth = 9;     // levels 2 to 10 below it
constexpr int kUsers = 100;         // products using the raw material
constexpr int kUserDepth = 10;      // levels 1 to 10 above it
constexpr int kTop = 1;             // the top product
constexpr int kRawMaterial = 2;     // the raw material expanded upward
constexpr int kFirstBranch = 1000;  // products of the downward structure from here on
constexpr int kFirstUser = 100000;  // products of the upward one from here on

// Products, their standard approved structures of one line each (the top product one line per
// branch), as one script.
std::string Structures() {
  std::string sql;
  int structure = 0;
  int line = 0;
  const auto product = [&](int id, const std::string& code) {
    sql += "INSERT INTO PDMCPML (产品ID, 物品编码, 物品名称, 规格, 库存单位) VALUES (" +
           std::to_string(id) + ", '" + code + "', '件" + code + "', 'M" + code + "', '件');\n";
  };
  const auto structure_of = [&](int id) {
    ++structure;
    sql +=
        "INSERT INTO PDMBOM (bomID, 产品ID, 产品名称, 批量, 是否标准, 是否失效, smark) VALUES (" +
        std::to_string(structure) + ", " + std::to_string(id) + ", '', 2, 1, 0, '02');\n";
    return structure;
  };
  const auto line_of = [&](int bom, int component, int sequence) {
    ++line;
    sql +=
        "INSERT INTO PDMBOMMX (bommxID, bomID, rowindex, 配件ID, 配量分子, 配量分母, 损耗率) "
        "VALUES (" +
        std::to_string(line) + ", " + std::to_string(bom) + ", '" +
        std::to_string(1000 + sequence).substr(1) + "', " + std::to_string(component) +
        ", 3, 2, 0.01);\n";
  };
  product(kTop, "TOP");
  product(kRawMaterial, "RAW");
  const int top = structure_of(kTop);
  for (int b = 0; b < kBranches; ++b) {
    for (int level = 0; level < kBranchDepth; ++level) {
      const int id = kFirstBranch + b * kBranchDepth + level;
      product(id, "D" + std::to_string(id));
      // The first of a branch is a line of the top product; each other one of the one above.
      if (level == 0) {
        line_of(top, id, b);
      } else {
        line_of(structure, id, 1);
      }
      if (level + 1 < kBranchDepth) structure_of(id);
    }
  }
  for (int u = 0; u < kUsers; ++u) {
    int below = kRawMaterial;
    for (int level = 0; level < kUserDepth; ++level) {
      const int id = kFirstUser + u * kUserDepth + level;
      product(id, "U" + std::to_string(id));
      line_of(structure_of(id), below, 1);
      below = id;
    }
  }
  return sql;
}

const std::string& DatabasePath() {
  static const std::string path = bench::BuildTemporaryDatabase(
      "korvane-bom-expand-bench-", "structures.db",
      [](data::SqliteDataService& db, std::string& error) {
        return db.ExecScript("BEGIN;\n" + Structures() + "COMMIT;\n", error);
      });
  return path;
}

// The dialog on the database, first shown for the top product.
struct Expansion {
  std::shared_ptr<hostapp::ReferenceHost> host = bench::OpenHost(DatabasePath());
  korvane::FrmBomZk form;

  void Down() {
    if (!form.py_Init(host, kTop, "TOP", "件TOP")) Fail("the expansion refused its host");
  }
  // With the raw material in the product field and "上展" ticked: a person's clicks on "下展"
  // and then on "上展".
  void Up() {
    form.downward_box().Click();
    form.upward_box().Click();
  }
  void ForUp() {
    if (!form.py_Init(host, kRawMaterial, "RAW", "件RAW")) Fail("the expansion refused its host");
    form.upward_box().Click();
  }
  int Rows() { return form.grid().rows() - 1; }
};

Expansion& Shared() {
  static Expansion expansion;
  return expansion;
}

constexpr int kRowsDown = 1 + kBranches * kBranchDepth;
constexpr int kRowsUp = kUsers * kUserDepth;

void BM_BomExpandDownRaw(benchmark::State& state) {
  Expansion& e = Shared();
  const auto statements = bench::StatementsOf(e.host->database(), [&] { e.Down(); });
  if (e.Rows() != kRowsDown) Fail("downward shows " + std::to_string(e.Rows()) + " rows");
  bench::ReplayLoop(state, e.host->database().handle(), statements, "bom-expand-down");
}

void BM_BomExpandDown(benchmark::State& state) {
  Expansion& e = Shared();
  LoopClock clock;
  for (auto _ : state) e.Down();
  ReportRatio("bom-expand-down", clock, state);
  state.counters["rows"] = e.Rows();
  if (e.Rows() != kRowsDown) state.SkipWithError("rows went missing");
}

void BM_BomExpandUpRaw(benchmark::State& state) {
  Expansion& e = Shared();
  e.ForUp();
  const auto statements = bench::StatementsOf(e.host->database(), [&] { e.Up(); });
  if (e.Rows() != kRowsUp) Fail("upward shows " + std::to_string(e.Rows()) + " rows");
  bench::ReplayLoop(state, e.host->database().handle(), statements, "bom-expand-up");
}

void BM_BomExpandUp(benchmark::State& state) {
  Expansion& e = Shared();
  e.ForUp();
  LoopClock clock;
  for (auto _ : state) e.Up();
  ReportRatio("bom-expand-up", clock, state);
  state.counters["rows"] = e.Rows();
  if (e.Rows() != kRowsUp) state.SkipWithError("rows went missing");
}

BENCHMARK(BM_BomExpandDownRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomExpandDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomExpandUpRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomExpandUp)->Unit(benchmark::kMillisecond);

}  // namespace
