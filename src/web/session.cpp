// A session's worker: the one thread its modules live on, and the boxes it asks the page.
#include "web/session.h"

#include <exception>

namespace korvane::web {

std::string Dump(const Json& value) {
  // A module's text that is no valid UTF-8 still reaches the page, its bad bytes replaced.
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Outcome ErrorOutcome(int status, const std::string& error) {
  Json body = Json::object();
  body["ok"] = false;
  body["error"] = error;
  return {status, std::move(body)};
}

std::shared_ptr<Session> Session::Start(std::string id, hostapp::ReferenceHostOptions host,
                                        hostapp::ModuleFactory factory, std::string& error) {
  std::shared_ptr<Session> session(new Session(std::move(id)));
  std::promise<std::string> started;
  auto result = started.get_future();
  session->worker_ =
      std::thread(&Session::Main, session.get(), std::move(host), std::move(factory), &started);
  error = result.get();
  if (!error.empty()) {
    session->worker_.join();
    session->stream_.Close();
    return nullptr;
  }
  return session;
}

Session::~Session() { End(); }

void Session::Main(hostapp::ReferenceHostOptions options, hostapp::ModuleFactory factory,
                   std::promise<std::string>* started) {
  const hostapp::ModuleFactory factory_copy = factory;
  hostapp::ModuleDriver driver(std::move(factory));
  driver.set_answerer(this);
  driver.set_listener([this](const Json& item) {
    // Boxes went to the page when they were shown; an answered one is told so that every
    // page of the session closes it.
    if (item.contains("box")) return;
    stream_.Push("event", Dump(item));
  });
  std::string error;
  if (!options.module_factory) options.module_factory = factory_copy;
  auto host = hostapp::ReferenceHost::Open(options, driver.dialogs(), error);
  if (!host) {
    started->set_value(error.empty() ? "the database cannot be opened" : error);
    return;
  }
  driver.set_host(host);
  host_state_ = driver.HostState();
  started->set_value("");

  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return ending_ || !jobs_.empty(); });
      if (jobs_.empty()) break;  // ending, and nothing left to do
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    driver.BeginOperation();
    Outcome outcome;
    try {
      Json body = Json::object();
      body["ok"] = true;
      body["result"] = job.work(driver);
      outcome.body = std::move(body);
    } catch (const hostapp::UnknownModule& e) {
      outcome = ErrorOutcome(404, e.what());
    } catch (const hostapp::DriverError& e) {
      outcome = ErrorOutcome(400, e.what());
    } catch (const std::exception& e) {
      outcome = ErrorOutcome(500, std::string("the module threw: ") + e.what());
    } catch (...) {
      outcome = ErrorOutcome(500, "the module threw an unknown exception");
    }
    outcome.body["events"] = driver.events();
    outcome.body["boxes"] = driver.boxes();
    job.done.set_value(std::move(outcome));
  }
  driver.BeginOperation();
  driver.CloseAll();
  driver.set_host(nullptr);
  host.reset();
}

Outcome Session::Run(Work work) {
  std::future<Outcome> done;
  {
    std::lock_guard lock(mutex_);
    if (ending_) return ErrorOutcome(410, "the session has ended");
    Job job;
    job.work = std::move(work);
    done = job.done.get_future();
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
  return done.get();
}

MsgAnswer Session::AnswerMessage(Json& box, MsgButtons buttons) {
  Waiting waiting;
  waiting.buttons = buttons;
  if (!AwaitAnswer(box, waiting)) {
    box["answer"] = nullptr;
    return hostapp::SafestAnswer(buttons);
  }
  box["answer"] = AnswerName(waiting.answer);
  return waiting.answer;
}

std::optional<std::string> Session::AnswerInput(Json& box) {
  Waiting waiting;
  waiting.input = true;
  if (!AwaitAnswer(box, waiting)) {
    box["answer"] = nullptr;
    return std::nullopt;
  }
  box["answer"] = waiting.text ? Json(*waiting.text) : Json(nullptr);
  return waiting.text;
}

bool Session::AwaitAnswer(const Json& box, Waiting& waiting) {
  std::unique_lock lock(mutex_);
  if (ending_) return false;
  waiting.id = ++last_box_;
  waiting.shown = box;
  waiting.shown["id"] = waiting.id;
  const std::string shown = Dump(waiting.shown);
  waiting_ = waiting;
  lock.unlock();
  stream_.Push("box", shown);
  lock.lock();
  changed_.wait(lock, [&] { return ending_ || waiting_->answered; });
  const bool answered = waiting_->answered;
  waiting = *waiting_;
  waiting_.reset();
  lock.unlock();
  Json told = Json::object();
  told["id"] = waiting.id;
  told["answered"] = answered;
  stream_.Push("box_answered", Dump(told));
  return answered;
}

Outcome Session::Answer(std::uint64_t box_id, const Json& body) {
  {
    std::lock_guard lock(mutex_);
    if (!waiting_ || waiting_->id != box_id || waiting_->answered) {
      return ErrorOutcome(404, "no box " + std::to_string(box_id) + " is waiting for an answer");
    }
    Waiting& w = *waiting_;
    if (w.input) {
      if (!body.contains("input") || !(body["input"].is_null() || body["input"].is_string())) {
        return ErrorOutcome(400,
                            "an input box is answered with \"input\": a text, or null to "
                            "cancel");
      }
      if (body["input"].is_string()) w.text = body["input"].get<std::string>();
    } else {
      if (!body.contains("answer") || !body["answer"].is_string()) {
        return ErrorOutcome(400,
                            "a message box is answered with \"answer\": the name of a "
                            "button (OK, Cancel, Abort, Retry, Ignore, Yes or No)");
      }
      const std::string name = body["answer"].get<std::string>();
      const auto answer = hostapp::AnswerByName(name);
      if (!answer || !hostapp::AnswerFits(*answer, w.buttons)) {
        return ErrorOutcome(400, "the box has no button " + Json(name).dump() +
                                     " (its buttons: " + std::string(ButtonsName(w.buttons)) + ")");
      }
      w.answer = *answer;
    }
    w.answered = true;
  }
  changed_.notify_all();
  Json body_out = Json::object();
  body_out["ok"] = true;
  return {200, std::move(body_out)};
}

Json Session::WaitingBox() const {
  std::lock_guard lock(mutex_);
  return waiting_ ? waiting_->shown : Json(nullptr);
}

void Session::End() {
  std::lock_guard end(end_mutex_);
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  stream_.Close();
}

bool Session::ended() const {
  std::lock_guard lock(mutex_);
  return ending_;
}

}  // namespace korvane::web
