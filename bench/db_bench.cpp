// The cost of the T-SQL layer and of key issuance, as ratios against the raw SQLite work the
// same operation needs.
//
//   BM_Raw/<n>        prepare, step and read every column of the already translated statement
//                     with SQLite alone (what any data access must do);
//   BM_Service/<n>    the same statement sent as T-SQL text through the data service (cached
//                     translation, execution, rows into a recordset);
//   BM_CachedTranslation/<n>  only the cache lookup; its time divided by BM_Service's is the
//                     share a cached translation adds to executing the statement.
//   BM_ShapeTranslation/<n>  the statement's literal shape read and its shaped translation
//                     found in the shape cache (what a statement of a known shape with new
//                     values costs before it runs); `x_cached` is its time over
//                     BM_CachedTranslation's of the same statement.
//   BM_ColdTranslation/<n>  a translation from nothing, what a new text without the shape
//                     cache costs before SQLite compiles it.
//   BM_NewKey         keys issued by 1, 2 and 4 connections at once on one file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "data/tsql_shape.h"
#include "data/tsql_translator.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"

namespace {

using korvane::Command;
using korvane::CommandType;
namespace data = korvane::data;
namespace hostapp = korvane::hostapp;

// Typical statements of the modules: a header by key, a lookup by code, the work report query's
// join, an aggregate.
const std::vector<std::string>& Statements() {
  static const std::vector<std::string> statements = {
      "select top 1 * from SFCDJ where progid=2101 and smark='01' order by 报工单ID desc",
      "select 产品ID,物品编码,物品名称,isnull(规格,'') as 规格 from PDMCPML where "
      "物品编码='jj-fl-01 '",
      "SELECT SFCDJ.报工单编号 as 单据编号, SFCDJMX.生产日期, PDMCPML.物品编码, "
      "PDMCPML.物品名称+' '+isnull(PDMCPML.规格,'') as 成品信息, SFCDJMX.合格数量, "
      "SFCDJMX.工资金额 FROM SFCDJ left JOIN SFCDJMX ON SFCDJ.报工单ID = SFCDJMX.报工单ID "
      "left JOIN PDMCPML ON SFCDJMX.产品ID = PDMCPML.产品ID where SFCDJ.progid=2101",
      "select count(*), sum(isnull(工资金额,0)) from SFCDJMX",
  };
  return statements;
}

// One demo database per run, in a temporary folder removed at exit.
const std::string& DatabasePath() {
  static const std::string path = korvane::bench::BuildTemporaryDatabase(
      "korvane-bench-", "bench.db", [](data::SqliteDataService& db, std::string& error) {
        return hostapp::LoadDemoData(db, error) && hostapp::GenerateScaleData(db, 2, error);
      });
  return path;
}

std::shared_ptr<hostapp::ReferenceHost> OpenHost() {
  return korvane::bench::OpenHost(DatabasePath());
}

void BM_Raw(benchmark::State& state) {
  auto host = OpenHost();
  auto& db = host->database();
  const auto translation = data::TranslateTsql(Statements()[state.range(0)], db.catalog());
  if (!translation.ok() || translation.statements.size() != 1) {
    state.SkipWithError(translation.error.c_str());
    return;
  }
  const std::string& sql = translation.statements[0];
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(), sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
      }
    }
    sqlite3_finalize(stmt);
  }
}

void BM_Service(benchmark::State& state) {
  auto host = OpenHost();
  auto& db = host->database();
  Command command{Statements()[state.range(0)], CommandType::kText, {}};
  for (auto _ : state) {
    auto rows = db.Open(command);
    if (!rows) {
      state.SkipWithError(db.LastError().c_str());
      return;
    }
    benchmark::DoNotOptimize(rows);
  }
}

void BM_CachedTranslation(benchmark::State& state) {
  auto host = OpenHost();
  data::TranslationCache cache;
  const std::string& text = Statements()[state.range(0)];
  cache.Get(text, host->database().catalog());
  korvane::bench::LoopClock clock;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.Get(text, host->database().catalog()));
  }
  korvane::bench::RecordRaw("cached_translation_" + std::to_string(state.range(0)), clock, state);
}

void BM_ShapeTranslation(benchmark::State& state) {
  auto host = OpenHost();
  data::ShapeCache cache;
  const std::string& text = Statements()[state.range(0)];
  const data::SchemaCatalog& catalog = host->database().catalog();
  data::LiteralShape shape;
  if (!data::ReadLiteralShape(text, shape) || cache.Get(text, shape, catalog) == nullptr) {
    state.SkipWithError("the statement has no shape the cache serves");
    return;
  }
  korvane::bench::LoopClock clock;
  for (auto _ : state) {
    data::ReadLiteralShape(text, shape);
    benchmark::DoNotOptimize(cache.Get(text, shape, catalog));
  }
  korvane::bench::ReportRatio("cached_translation_" + std::to_string(state.range(0)), clock, state);
  state.counters["x_cached"] = state.counters["x_raw"];
  state.counters.erase("x_raw");
}

void BM_ColdTranslation(benchmark::State& state) {
  auto host = OpenHost();
  const std::string& text = Statements()[state.range(0)];
  const data::SchemaCatalog& catalog = host->database().catalog();
  for (auto _ : state) benchmark::DoNotOptimize(data::TranslateTsql(text, catalog));
}

void BM_NewKey(benchmark::State& state) {
  auto host = OpenHost();  // every thread its own connection, as separate processes would have
  auto navigator = host->CreateRecordNavigator();
  for (auto _ : state) {
    auto answer = navigator->NewKey("SFCDJ", "报工单ID");
    if (!answer.error.empty()) {
      state.SkipWithError(answer.error.c_str());
      return;
    }
    benchmark::DoNotOptimize(answer.key);
  }
}

BENCHMARK(BM_Raw)->DenseRange(0, 3);
BENCHMARK(BM_Service)->DenseRange(0, 3);
BENCHMARK(BM_CachedTranslation)->DenseRange(0, 3);
BENCHMARK(BM_ShapeTranslation)->DenseRange(0, 3);
BENCHMARK(BM_ColdTranslation)->DenseRange(0, 3);
BENCHMARK(BM_NewKey)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
