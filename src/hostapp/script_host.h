// ScriptHost: a host that drives modules from a script of JSON lines, one step per line, and
// answers each step with one JSON line: what the module returned, the events it raised, the
// boxes it showed, snapshots of its forms and the outcome of the script's expectations. The
// `korvane script` command and the tests use it; docs/scripting.md describes the protocol.
//
// Contract:
//  - RunLine never throws, whatever the line holds: malformed JSON, unknown commands, modules,
//    members or controls, wrong arguments, a module that throws, a failed expectation or a
//    box that came without a queued answer all end as {"ok": false, "error": ...} in that
//    step's answer; the next line runs as usual.
//  - Blank lines and lines starting with '#' or '//' are not steps: they get no answer.
//  - The engine owns the modules it opens and calls Clear on each still open when it is
//    destroyed. The host context is shared; its dialogs must be the engine's dialogs() so that
//    queued answers reach the modules' boxes.
#ifndef KORVANE_HOSTAPP_SCRIPT_HOST_H_
#define KORVANE_HOSTAPP_SCRIPT_HOST_H_

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/dialogs.h"
#include "host/host_context.h"
#include "values/object.h"
#include "hostapp/module_factory.h"

namespace korvane::hostapp {

class ScriptHost {
 public:
  explicit ScriptHost(ModuleFactory factory);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // The dialogs to build the host context with: they answer boxes from the script's queue and
  // learn of the modules' dialog forms. They stay valid (answering Cancel, No or nothing) after
  // the engine is gone.
  std::shared_ptr<Dialogs> dialogs() const;
  // The context modules get with Init and the "sql" step runs on. Without one, Init and "sql"
  // steps fail.
  void set_host(std::shared_ptr<HostContext> host);

  // Runs one line as step `step` (its 1-based line number). Returns the answer (one line of
  // JSON without a line break), or nullopt for a line that is not a step.
  std::optional<std::string> RunLine(std::string_view line, int step);
  // Runs every line of `in`, writing each answer and a line break to `out`. Returns 0 when
  // every step succeeded, 1 when any failed.
  int Run(std::istream& in, std::ostream& out);

  // Steps that failed so far.
  int failures() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_SCRIPT_HOST_H_
