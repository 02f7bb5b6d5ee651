// korvane serve.
#include "serve_command.h"

#include <csignal>
#include <filesystem>
#include <thread>

#include "hostapp/reference_host.h"
#include "registration/registry.h"
#include "values/variant.h"
#include "web/server.h"

namespace korvane::cli {

int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  std::string address;
  int port = 0;
  if (!web::ParseListen(options.listen, address, port)) {
    err << "korvane serve: --listen " << options.listen << " is not host:port\n";
    return 2;
  }
  web::ServerOptions server_options;
  auto& host = server_options.host;
  host.database_path = options.database;
  host.user_name = options.user;
  host.local_folder = options.folder;
  host.sqlite.create = false;
  if (!options.date.empty()) {
    const auto date = ParseDate(options.date);
    if (!date) {
      err << "korvane serve: --date " << options.date << " is not a date (yyyy-mm-dd)\n";
      return 2;
    }
    host.business_date = DateOf(*date);
  }
  if (!std::filesystem::exists(options.database)) {
    err << "korvane serve: " << options.database
        << " does not exist; create it with korvane init\n";
    return 1;
  }
  server_options.factory = [](std::string_view progid) {
    return ClassRegistry::Instance().Create(progid);
  };
  host.module_factory = server_options.factory;
  server_options.registered = [](std::string_view progid) {
    return ClassRegistry::Instance().Find(progid) != nullptr;
  };

  // The signals are taken by a thread of their own, so they are blocked before any other
  // thread starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  web::WebServer server(server_options);
  std::string error;
  const int bound = server.Bind(address, port, error);
  if (bound < 0) {
    err << "korvane serve: " << error << "\n";
    return 1;
  }
  out << "korvane serve: http://"
      << (address.find(':') != std::string::npos ? "[" + address + "]" : address) << ":" << bound
      << "/ on " << options.database << " (Ctrl+C stops)\n"
      << std::flush;
  std::thread serving([&server] { server.Serve(); });
  int received = 0;
  sigwait(&signals, &received);
  out << "korvane serve: stopping\n" << std::flush;
  server.Stop();
  serving.join();
  return 0;
}

}  // namespace korvane::cli
