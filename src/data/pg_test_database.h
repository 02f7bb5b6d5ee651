// Test fixture over the throwaway PostgreSQL server of the test run: PgTestDatabase creates a
// database of its own (a unique name) on the server KORVANE_TEST_PG names and drops it with the
// object. CTest starts that server for the whole run (scripts/pg-test-server.sh); a test run
// without it, or with the server unreachable, fails with a message saying so: a PostgreSQL test
// is never skipped.
//
// Failures throw std::runtime_error; GoogleTest reports it as the test's failure.
#ifndef KORVANE_DATA_PG_TEST_DATABASE_H_
#define KORVANE_DATA_PG_TEST_DATABASE_H_

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "data/pg_data_service.h"

namespace korvane::test {

// The URI of the test run's server (its "postgres" database).
inline std::string TestPgUri() {
  const char* uri = std::getenv("KORVANE_TEST_PG");
  if (uri == nullptr || *uri == '\0') {
    throw std::runtime_error(
        "KORVANE_TEST_PG is not set: the PostgreSQL tests need the test server that ctest starts "
        "(fixture pg_server_start); run them through ctest, or start one with "
        "scripts/pg-test-server.sh start DIR and export the URI it prints");
  }
  return uri;
}

// `uri` with its database name replaced by `name`.
inline std::string PgUriWithDatabase(const std::string& uri, const std::string& name) {
  const std::size_t scheme = uri.find("://");
  if (scheme == std::string::npos) throw std::runtime_error("not a database URI: " + uri);
  const std::size_t slash = uri.find('/', scheme + 3);
  const std::size_t query = uri.find('?', scheme + 3);
  if (slash == std::string::npos || (query != std::string::npos && slash > query)) {
    return uri.substr(0, query == std::string::npos ? uri.size() : query) + "/" + name +
           (query == std::string::npos ? "" : uri.substr(query));
  }
  const std::size_t end = query == std::string::npos ? uri.size() : query;
  return uri.substr(0, slash + 1) + name + uri.substr(end);
}

inline std::shared_ptr<data::PgDataService> OpenPgOrThrow(const std::string& uri) {
  std::string error;
  auto db = data::PgDataService::Open(uri, error);
  if (!db) throw std::runtime_error("the PostgreSQL test server cannot be reached: " + error);
  return db;
}

// A fresh, empty database on the test server, dropped with the object.
class PgTestDatabase {
 public:
  PgTestDatabase() : admin_(OpenPgOrThrow(TestPgUri())) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    name_ = "korvane_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
            std::to_string(random() % 1000000);
    if (!admin_->ExecScript("CREATE DATABASE " + name_ + " TEMPLATE template0 ENCODING 'UTF8'",
                            error_)) {
      throw std::runtime_error("cannot create the test database " + name_ + ": " + error_);
    }
    uri_ = PgUriWithDatabase(TestPgUri(), name_);
  }
  ~PgTestDatabase() {
    std::string ignored;
    admin_->ExecScript("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", ignored);
  }
  PgTestDatabase(const PgTestDatabase&) = delete;
  PgTestDatabase& operator=(const PgTestDatabase&) = delete;

  const std::string& uri() const { return uri_; }
  const std::string& name() const { return name_; }
  // A new connection to the database; each call opens another one.
  std::shared_ptr<data::PgDataService> Open() const { return OpenPgOrThrow(uri_); }
  // A connection to the server's own database, for ending other connections.
  data::PgDataService& admin() { return *admin_; }

 private:
  std::shared_ptr<data::PgDataService> admin_;
  std::string name_;
  std::string uri_;
  std::string error_;
};

}  // namespace korvane::test

#endif  // KORVANE_DATA_PG_TEST_DATABASE_H_
