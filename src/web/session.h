// Session: one person's place on the web host. It owns a worker thread, and on it the person's
// host context (with its own database connection) and a ModuleDriver with every module the
// person opened: module objects are created, driven and destroyed on that thread only. The
// HTTP threads hand it work with Run and wait for the outcome.
//
// A message or input box a module shows while it works asks the page: the box goes out on the
// session's event stream and the worker waits until Answer brings the person's choice, or the
// session ends (a message box then gets Cancel, No, OK or Abort, an input box nothing).
//
// A later sign-in attaches the signed-in user to the session's host options; the session is
// the unit that owns the user's modules.
#ifndef KORVANE_WEB_SESSION_H_
#define KORVANE_WEB_SESSION_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "hostapp/module_driver.h"
#include "hostapp/reference_host.h"
#include "web/event_stream.h"

namespace korvane::web {

using Json = hostapp::DriverJson;

// What an operation on a session came to: an HTTP status and the JSON body of the answer.
struct Outcome {
  int status = 200;
  Json body;
};

// An answer's body for an error.
Outcome ErrorOutcome(int status, const std::string& error);
// One line of JSON; bytes of a text that are no UTF-8 are replaced.
std::string Dump(const Json& value);

class Session final : public hostapp::BoxAnswerer {
 public:
  using Work = std::function<Json(hostapp::ModuleDriver& driver)>;

  // Starts the worker and opens the host context on it; nullptr with `error` when the
  // database cannot be opened.
  static std::shared_ptr<Session> Start(std::string id, hostapp::ReferenceHostOptions host,
                                        hostapp::ModuleFactory factory, std::string& error);
  // Ends the session (see End).
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& id() const { return id_; }
  // {"title", "user", "date"} of the session's host context, as it opened.
  const Json& host_state() const { return host_state_; }

  // Runs `work` on the worker, one operation at a time, and waits for it. The answer is
  // {"ok": true, "result": ..., "events": [...], "boxes": [...]} with the events the modules
  // raised and the boxes they showed meanwhile; a caller fault (DriverError) answers 400, an
  // unknown module handle 404, a module that threw 500, an ended session 410, each with
  // {"ok": false, "error": ...} and what happened before the fault.
  Outcome Run(Work work);

  // Answers the box waiting with `box_id`: {"answer": "Yes"} for a message box (one it has a
  // button for), {"input": "text"} or {"input": null} for an input box. 404 when no such box
  // waits, 400 for an answer that does not fit.
  Outcome Answer(std::uint64_t box_id, const Json& body);
  // The box waiting for an answer as the page got it ({"id", "module", "box", ...}), or null.
  Json WaitingBox() const;

  // Ends the session: a box waiting is answered as nobody chose, the work already handed in
  // finishes, every module is cleared and the worker stops; later Run calls answer 410. The
  // event stream closes. Safe to call more than once, from any thread but the worker.
  void End();
  bool ended() const;

  EventStream& stream() { return stream_; }

  // BoxAnswerer, on the worker.
  MsgAnswer AnswerMessage(Json& box, MsgButtons buttons) override;
  std::optional<std::string> AnswerInput(Json& box) override;

 private:
  Session(std::string id) : id_(std::move(id)) {}
  void Main(hostapp::ReferenceHostOptions host, hostapp::ModuleFactory factory,
            std::promise<std::string>* started);

  struct Job {
    Work work;
    std::promise<Outcome> done;
  };
  struct Waiting {
    std::uint64_t id = 0;
    bool input = false;
    MsgButtons buttons = MsgButtons::kOk;
    Json shown;  // the box as the page got it
    bool answered = false;
    MsgAnswer answer = MsgAnswer::kCancel;
    std::optional<std::string> text;
  };

  std::string id_;
  Json host_state_;
  EventStream stream_;
  std::thread worker_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool ending_ = false;
  // Shows the box to the page and waits for its answer; false when the session ended first.
  bool AwaitAnswer(const Json& box, Waiting& waiting);

  std::optional<Waiting> waiting_;
  std::uint64_t last_box_ = 0;
  std::mutex end_mutex_;
};

}  // namespace korvane::web

#endif  // KORVANE_WEB_SESSION_H_
