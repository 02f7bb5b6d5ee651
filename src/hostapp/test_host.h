// The reference host as the module tests use it: the demo's clerk "admin" on the demo's
// business date, with the per-user files in a folder of the test's own.
#ifndef KORVANE_HOSTAPP_TEST_HOST_H_
#define KORVANE_HOSTAPP_TEST_HOST_H_

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/dialogs.h"
#include "hostapp/module_factory.h"
#include "hostapp/reference_host.h"

namespace korvane::test {

// Opens the host over `database`; `factory` creates the library's pickers that lookups open
// (none: only the host's own lists). Throws std::runtime_error when the host cannot open.
inline std::shared_ptr<hostapp::ReferenceHost> OpenClerkHost(const std::string& database,
                                                             const std::string& folder,
                                                             std::shared_ptr<Dialogs> dialogs,
                                                             hostapp::ModuleFactory factory = {}) {
  hostapp::ReferenceHostOptions options;
  options.database_path = database;
  options.user_name = "admin";
  options.business_date = std::chrono::year{2026} / std::chrono::March / 20;
  options.local_folder = folder;
  options.module_factory = std::move(factory);
  std::string error;
  auto host = hostapp::ReferenceHost::Open(options, std::move(dialogs), error);
  if (!host) throw std::runtime_error("cannot open the reference host: " + error);
  return host;
}

}  // namespace korvane::test

#endif  // KORVANE_HOSTAPP_TEST_HOST_H_
