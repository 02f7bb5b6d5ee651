// Test helper: runs one body in several forked processes at the same moment and collects the
// lines each printed, to check what processes sharing one database file are handed.
#ifndef KORVANE_HOSTAPP_PROCESS_TEST_SUPPORT_H_
#define KORVANE_HOSTAPP_PROCESS_TEST_SUPPORT_H_

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostapp/reference_host.h"

namespace korvane::test {

// A child's own reference host on the shared file; throws when it cannot be opened.
inline std::shared_ptr<hostapp::ReferenceHost> OpenChildHost(const std::string& database,
                                                             const std::string& folder) {
  hostapp::ReferenceHostOptions options;
  options.database_path = database;
  options.local_folder = folder;
  std::string error;
  auto host = hostapp::ReferenceHost::Open(options, nullptr, error);
  if (!host) throw std::runtime_error(error);
  return host;
}

struct ChildResult {
  int exit_code = -1;
  std::vector<std::string> lines;
};

// Forks `processes` children that wait on a common start signal, then each runs
// body(child_index) and writes the lines it returns to folder/child-<i>.txt. A child ends with
// _exit (never returning into the test runner): code 0 when the body returned, 1 when it threw.
// The children must not use any database connection of the parent; they open their own.
inline std::vector<ChildResult> RunInProcesses(
    int processes, const std::string& folder,
    const std::function<std::vector<std::string>(int child_index)>& body) {
  int start[2];
  std::vector<ChildResult> results(static_cast<std::size_t>(processes));
  if (::pipe(start) != 0) return results;
  std::vector<pid_t> children;
  for (int i = 0; i < processes; ++i) {
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char byte;
      while (::read(start[0], &byte, 1) > 0) {
      }
      int code = 0;
      try {
        const std::vector<std::string> lines = body(i);
        std::ofstream out(folder + "/child-" + std::to_string(i) + ".txt");
        for (const std::string& line : lines) out << line << '\n';
        out.close();
        if (!out) code = 2;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "child %d: %s\n", i, e.what());
        code = 1;
      } catch (...) {
        code = 1;
      }
      std::fflush(nullptr);
      ::_exit(code);
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);  // every child sees end-of-file now and starts
  for (std::size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    if (children[i] > 0 && ::waitpid(children[i], &status, 0) == children[i] && WIFEXITED(status)) {
      results[i].exit_code = WEXITSTATUS(status);
    }
    std::ifstream in(folder + "/child-" + std::to_string(i) + ".txt");
    for (std::string line; std::getline(in, line);) results[i].lines.push_back(line);
  }
  return results;
}

}  // namespace korvane::test

#endif  // KORVANE_HOSTAPP_PROCESS_TEST_SUPPORT_H_
