// Test fixtures over real database files: DemoDatabase (the schema and the demo factory's data)
// and EmptyDatabase (the schema only), each a private file in its own temporary folder that is
// removed with the object.
//
// Building the demo takes a while, so each kind is built once per test process into a template
// file, and every fixture copies the template. The template is checkpointed and closed before
// the first copy, so its main file alone is the whole database and each copy is independent.
//
// Failures (a migration or the demo refused, a file that cannot be copied) throw
// std::runtime_error with the reason; GoogleTest reports it as the test's failure.
#ifndef KORVANE_HOSTAPP_TEST_DATABASE_H_
#define KORVANE_HOSTAPP_TEST_DATABASE_H_

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/demo_data.h"

namespace korvane::test {

namespace test_database_detail {

// A fresh folder below the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("korvane-test-" + std::to_string(::getpid()) + "-" +
                               std::to_string(counter++) + "-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder below " + base.string());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::shared_ptr<data::SqliteDataService> OpenOrThrow(const std::string& path,
                                                            data::SqliteOptions options = {}) {
  std::string error;
  auto db = data::SqliteDataService::Open(path, options, error);
  if (!db) throw std::runtime_error("cannot open test database " + path + ": " + error);
  return db;
}

// The template database of one kind, built on first use and kept until the process ends.
class Template {
 public:
  explicit Template(bool with_demo) {
    path_ = (folder_.path() / (with_demo ? "demo.db" : "empty.db")).string();
    auto db = OpenOrThrow(path_);
    std::string error;
    if (!data::MigrateSchema(*db, error)) {
      throw std::runtime_error("the schema migration failed on the test template: " + error);
    }
    if (with_demo && !hostapp::LoadDemoData(*db, error)) {
      throw std::runtime_error("the demo data failed to load on the test template: " + error);
    }
    // Everything into the main file, so that copying that file alone copies the database.
    char* message = nullptr;
    if (sqlite3_exec(db->handle(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, &message) !=
        SQLITE_OK) {
      std::string text = message ? message : "unknown error";
      sqlite3_free(message);
      throw std::runtime_error("cannot checkpoint the test template: " + text);
    }
  }

  const std::string& path() const { return path_; }

 private:
  TempFolder folder_;
  std::string path_;
};

inline const Template& DemoTemplate() {
  static const Template instance(true);
  return instance;
}

inline const Template& EmptyTemplate() {
  static const Template instance(false);
  return instance;
}

// A private copy of a template's main file in a folder of its own.
class DatabaseCopy {
 public:
  explicit DatabaseCopy(const Template& source) {
    path_ = (folder_.path() / "korvane.db").string();
    std::error_code ec;
    std::filesystem::copy_file(source.path(), path_, ec);
    if (ec) {
      throw std::runtime_error("cannot copy the test template to " + path_ + ": " + ec.message());
    }
  }

  // The database file; it lives as long as this object.
  const std::string& path() const { return path_; }

  // A new connection on the file. Each call opens another connection; they share the file.
  std::shared_ptr<data::SqliteDataService> Open(data::SqliteOptions options = {}) const {
    return OpenOrThrow(path_, options);
  }

 private:
  TempFolder folder_;
  std::string path_;
};

}  // namespace test_database_detail

// The latest schema with the demo factory's data (hostapp/demo_data.h), in a private file.
class DemoDatabase : public test_database_detail::DatabaseCopy {
 public:
  DemoDatabase() : DatabaseCopy(test_database_detail::DemoTemplate()) {}
};

// The latest schema without any rows, in a private file.
class EmptyDatabase : public test_database_detail::DatabaseCopy {
 public:
  EmptyDatabase() : DatabaseCopy(test_database_detail::EmptyTemplate()) {}
};

}  // namespace korvane::test

#endif  // KORVANE_HOSTAPP_TEST_DATABASE_H_
