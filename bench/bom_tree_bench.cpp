// The structure document's product tree on a large catalogue, as ratios against the raw SQL it
// runs.
//
//   BM_BomTreeOpenRaw    the statements one opening of the document runs (Init and Refresh,
//                        taken from the data service as they run: the caption, the categories,
//                        the count of products, the categories that have products), prepared,
//                        stepped and every column read with SQLite alone;
//   BM_BomTreeOpen       the document made, Init and Refresh: the tree of categories built, and
//                        with more products than the threshold (1 000 when the user has set
//                        none) a placeholder under every category that has products;
//   BM_BomTreeExpandRaw  the statement expanding one category runs (its products with whether
//                        each has a standard structure), replayed the same way;
//   BM_BomTreeExpand     a person expanding that category: the placeholder removed, the
//                        products read, a node for each. The category is the one of the
//                        catalogue with the most products; between expansions it is put back
//                        as Refresh leaves it, outside the time measured.
// Each non-raw benchmark reports `x_raw`, its CPU time per iteration over that of its raw
// benchmark in the same run (the raw one runs first; run both, or the counter is left out), and
// `nodes`, the nodes it makes.
//
// The catalogue is the demo database plus generated volume data at the scale given by the
// environment variable KORVANE_BENCH_SCALE (1 000 products each; 2 when unset, which keeps the
// smoke run short; the documented numbers use 100). Both sizes are above the threshold, so the
// tree is always the lazy one. It is built once per run, in a temporary folder removed at exit,
// and only when a tree benchmark runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "bom/bom.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"

namespace {

namespace data = korvane::data;
namespace hostapp = korvane::hostapp;
namespace bench = korvane::bench;
using bench::Fail;
using bench::LoopClock;
using bench::RecordRaw;
using bench::ReportRatio;
using bench::Scale;
using korvane::controls::NodeRelation;
using korvane::controls::TreeNode;

// The menu entry of the structure document.
constexpr int kProgId = 4101;

const std::string& CataloguePath() {
  static const std::string path = bench::BuildTemporaryDatabase(
      "korvane-bom-tree-bench-", "catalogue.db",
      [](data::SqliteDataService& db, std::string& error) {
        return hostapp::LoadDemoData(db, error) && hostapp::GenerateScaleData(db, Scale(), error);
      });
  return path;
}

std::shared_ptr<hostapp::ReferenceHost> OpenHost() { return bench::OpenHost(CataloguePath()); }

// The category the tree shows with the most products (the first by code among equals), with
// its count, read with SQLite alone.
struct Category {
  std::string key;  // the tree's key: "k" and the category code
  int products = 0;
};

Category LargestCategory(sqlite3* db) {
  const char* sql =
      "SELECT B.类别编码, COUNT(*) FROM PDMCPML A JOIN PDMCPLB B ON A.产品类别ID = B.类别ID "
      "WHERE B.对应科目编号 IN (SELECT 科目编码 FROM pdmkjkm WHERE 是否存货科目 = 1 AND "
      "科目编码 <> '1211') GROUP BY B.类别ID, B.类别编码 ORDER BY COUNT(*) DESC, B.类别编码 "
      "LIMIT 1";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    Fail(std::string("cannot look for the largest category: ") + sqlite3_errmsg(db));
  }
  Category category;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    category.key = "k" + std::string(code != nullptr ? code : "");
    category.products = sqlite3_column_int(stmt, 1);
  }
  sqlite3_finalize(stmt);
  if (category.products == 0) Fail("the catalogue has no category with products");
  return category;
}

// The thread's CPU time, for measuring a part of an iteration.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The document opened on the catalogue, as a host opens it.
struct OpenTree {
  std::shared_ptr<hostapp::ReferenceHost> host;
  std::unique_ptr<korvane::Bom> bom;

  explicit OpenTree(std::shared_ptr<hostapp::ReferenceHost> context) : host(std::move(context)) {
    Open();
  }
  void Open() {
    bom = std::make_unique<korvane::Bom>();
    if (!bom->Init(host, kProgId, 0)) Fail("the structure document refused its host");
    if (!bom->Refresh()) Fail("the product tree was not built");
  }
  korvane::controls::TreeView& tree() { return bom->tree(); }
  TreeNode& Node(const std::string& key) {
    TreeNode* node = tree().Find(key);
    if (node == nullptr) Fail("the tree has no node " + key);
    return *node;
  }
  // Whether the category still waits for its products (as Refresh leaves a lazy tree).
  bool Waiting(const std::string& key) {
    const TreeNode* first = Node(key).first_child();
    return first != nullptr && first->tag() == korvane::document::ProductTree::kWaitingTag;
  }
  // The product nodes under the category.
  int Products(const std::string& key) {
    int count = 0;
    for (const TreeNode* child : Node(key).children()) {
      count += !child->key().empty() && child->key().front() == 'w' ? 1 : 0;
    }
    return count;
  }
  void Expand(const std::string& key) {
    if (!tree().ExpandNode(&Node(key))) Fail("the category " + key + " could not be expanded");
  }
  // Collapses the category and puts its placeholder back in place of its products, as Refresh
  // leaves a lazy tree, so that the next expansion loads it again.
  void PutBack(const std::string& key) {
    TreeNode& category = Node(key);
    category.set_expanded(false);
    while (TreeNode* child = category.first_child()) tree().Remove(child);
    tree()
        .Add(&category, NodeRelation::kChild, "",
             std::string(korvane::document::ProductTree::kWaitingText))
        .set_tag(std::string(korvane::document::ProductTree::kWaitingTag));
  }
};

// One open document for the expansion benchmarks: opening it takes far longer than expanding.
OpenTree& SharedTree() {
  static OpenTree open(OpenHost());
  return open;
}

const Category& Largest() {
  static const Category category = LargestCategory(SharedTree().host->database().handle());
  return category;
}

void BM_BomTreeOpenRaw(benchmark::State& state) {
  OpenTree& open = SharedTree();
  bench::ReplayLoop(state, open.host->database().handle(),
                    bench::StatementsOf(open.host->database(), [&] { open.Open(); }),
                    "bom-tree-open");
}

void BM_BomTreeOpen(benchmark::State& state) {
  OpenTree& open = SharedTree();
  const std::string& key = Largest().key;
  LoopClock clock;
  for (auto _ : state) open.Open();
  ReportRatio("bom-tree-open", clock, state);
  state.counters["nodes"] = open.tree().Count();
  if (!open.Waiting(key)) state.SkipWithError("the opened tree is not lazy");
}

void BM_BomTreeExpandRaw(benchmark::State& state) {
  OpenTree& open = SharedTree();
  const std::string& key = Largest().key;
  if (!open.Waiting(key)) open.PutBack(key);
  const auto statements = bench::StatementsOf(open.host->database(), [&] { open.Expand(key); });
  if (open.Products(key) != Largest().products) {
    Fail("the expanded category shows " + std::to_string(open.Products(key)) + " of " +
         std::to_string(Largest().products) + " products");
  }
  bench::ReplayLoop(state, open.host->database().handle(), statements, "bom-tree-expand");
}

void BM_BomTreeExpand(benchmark::State& state) {
  OpenTree& open = SharedTree();
  const std::string& key = Largest().key;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!open.Waiting(key)) open.PutBack(key);
    state.ResumeTiming();
    const double start = CpuSeconds();
    open.Expand(key);
    seconds += CpuSeconds() - start;
  }
  // Only the expansions count, not putting the placeholder back.
  const auto raw = bench::RawSeconds().find("bom-tree-expand");
  if (raw != bench::RawSeconds().end() && raw->second > 0 && state.iterations() > 0) {
    state.counters["x_raw"] = seconds / static_cast<double>(state.iterations()) / raw->second;
  }
  state.counters["nodes"] = open.Products(key);
  if (open.Products(key) != Largest().products) state.SkipWithError("products went missing");
}

BENCHMARK(BM_BomTreeOpenRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomTreeOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomTreeExpandRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BomTreeExpand)->Unit(benchmark::kMillisecond);

}  // namespace
