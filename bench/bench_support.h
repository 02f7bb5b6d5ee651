// What the benchmarks share: failing loudly, the scale of generated data, CPU-time loop clocks
// and the `x_raw` ratio of a benchmark to its raw baseline, and replaying the statements an
// operation ran with SQLite alone.
#ifndef KORVANE_BENCH_BENCH_SUPPORT_H_
#define KORVANE_BENCH_BENCH_SUPPORT_H_

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/reference_host.h"

namespace korvane::bench {

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark: %s\n", what.c_str());
  std::exit(1);
}

// KORVANE_BENCH_SCALE, or 2 when unset (which keeps the CTest smoke run short).
inline int Scale() {
  const char* text = std::getenv("KORVANE_BENCH_SCALE");
  if (text == nullptr || *text == '\0') return 2;
  const int scale = std::atoi(text);
  if (scale < 1) Fail(std::string("KORVANE_BENCH_SCALE must be a number >= 1, not ") + text);
  return scale;
}

// A database built once per run: a new file `file_name` in a temporary folder named after
// `folder_prefix` and the process, with the schema, then whatever `fill` adds. The folder is
// removed at exit. Fails the run when the database cannot be built.
inline std::string BuildTemporaryDatabase(
    const std::string& folder_prefix, const std::string& file_name,
    const std::function<bool(data::SqliteDataService&, std::string&)>& fill) {
  const auto folder =
      std::filesystem::temp_directory_path() / (folder_prefix + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  // Kept out of static destruction: the exit handler runs after static strings are gone.
  static auto* folders = new std::vector<std::filesystem::path>();
  if (folders->empty()) {
    std::atexit([] {
      for (const auto& f : *folders) std::filesystem::remove_all(f);
    });
  }
  folders->push_back(folder);
  const std::string file = (folder / file_name).string();
  std::string error;
  auto db = data::SqliteDataService::Open(file, {}, error);
  if (!db || !data::MigrateSchema(*db, error) || !fill(*db, error)) {
    Fail("cannot build the database " + file + ": " + error);
  }
  return file;
}

// Times the benchmark loop by the thread's CPU time, for the ratios: the machines these run on
// are shared, and a neighbour's load stretches wall time but not the work done.
class LoopClock {
 public:
  LoopClock() : start_(Now()) {}
  double SecondsPerIteration(const benchmark::State& state) const {
    return state.iterations() == 0 ? 0 : (Now() - start_) / static_cast<double>(state.iterations());
  }

 private:
  static double Now() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  }
  double start_;
};

// CPU time per iteration of the last run of each raw benchmark, by name.
inline std::map<std::string, double>& RawSeconds() {
  static std::map<std::string, double> seconds;
  return seconds;
}

inline void RecordRaw(const std::string& name, const LoopClock& clock, benchmark::State& state) {
  RawSeconds()[name] = clock.SecondsPerIteration(state);
}

// Sets `x_raw` to this loop's CPU time over that of the raw benchmark `raw_name` (which must
// have run before in the same run; otherwise the counter is left out).
inline void ReportRatio(const std::string& raw_name, const LoopClock& clock,
                        benchmark::State& state) {
  const auto raw = RawSeconds().find(raw_name);
  if (raw == RawSeconds().end() || raw->second <= 0) return;
  state.counters["x_raw"] = clock.SecondsPerIteration(state) / raw->second;
}

// The SQLite texts of the statements `operation` runs through `db`, in order. A statement with
// bound values ("?") runs inside a database function of another statement (the stock on hand
// of a plan line), so replaying the outer statement runs it again: it is left out.
inline std::vector<std::string> StatementsOf(data::SqliteDataService& db,
                                             const std::function<void()>& operation) {
  std::vector<std::string> seen;
  db.InjectFailures([&seen](std::string_view statement) {
    if (statement.find('?') == std::string_view::npos) seen.emplace_back(statement);
    return false;
  });
  operation();
  db.InjectFailures({});
  return seen;
}

// Prepares, steps and reads every column of each statement with SQLite alone: the work any
// data access needs for them; with `in_one_transaction` between BEGIN IMMEDIATE and COMMIT.
// False (with the error in `error`) when one fails.
inline bool Replay(sqlite3* db, const std::vector<std::string>& statements, bool in_one_transaction,
                   std::string& error) {
  const auto exec = [&](const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    error = sqlite3_errmsg(db);
    return false;
  };
  const auto fail = [&](const std::string& sql) {
    error = sqlite3_errmsg(db) + std::string(" in ") + sql;
    if (in_one_transaction) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  };
  if (in_one_transaction && !exec("BEGIN IMMEDIATE")) return false;
  for (const std::string& sql : statements) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
      return fail(sql);
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
      }
    }
    if (rc != SQLITE_DONE) {
      const bool failed = fail(sql);  // the message before finalize clears it
      sqlite3_finalize(stmt);
      return failed;
    }
    sqlite3_finalize(stmt);
  }
  return !in_one_transaction || exec("COMMIT");
}

// The reference host on a benchmark's database, its folder as the local one.
inline std::shared_ptr<hostapp::ReferenceHost> OpenHost(const std::string& path) {
  hostapp::ReferenceHostOptions options;
  options.database_path = path;
  options.local_folder = std::filesystem::path(path).parent_path().string();
  std::string error;
  auto host = hostapp::ReferenceHost::Open(options, nullptr, error);
  if (!host) Fail("cannot open " + path + ": " + error);
  return host;
}

// A raw benchmark's loop: the statements replayed every iteration, the time kept under `name`
// for the ratios.
inline void ReplayLoop(benchmark::State& state, sqlite3* db,
                       const std::vector<std::string>& statements, const std::string& name,
                       bool in_one_transaction = false) {
  std::string error;
  LoopClock clock;
  for (auto _ : state) {
    if (!Replay(db, statements, in_one_transaction, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  RecordRaw(name, clock, state);
  state.counters["statements"] = static_cast<double>(statements.size());
}

}  // namespace korvane::bench

#endif  // KORVANE_BENCH_BENCH_SUPPORT_H_
