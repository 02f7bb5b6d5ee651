// The web host's routes: the page, the sessions, the module API and the event stream.
#include "web/server.h"

#include <httplib.h>

#include <charconv>
#include <map>
#include <mutex>
#include <random>

#include "hostapp/script_host_internal.h"
#include "web/page_files.h"
#include "web/session.h"

namespace korvane::web {
namespace {

constexpr std::string_view kCookie = "korvane_session";

void Reply(httplib::Response& res, const Outcome& outcome) {
  res.status = outcome.status;
  res.set_content(Dump(outcome.body), "application/json; charset=utf-8");
}

void ReplyError(httplib::Response& res, int status, const std::string& error) {
  Reply(res, ErrorOutcome(status, error));
}

std::string_view ContentType(std::string_view path) {
  if (path.ends_with(".html")) return "text/html; charset=utf-8";
  if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (path.ends_with(".css")) return "text/css; charset=utf-8";
  return "application/octet-stream";
}

// A new session id: 128 random bits as hex.
std::string NewSessionId() {
  static std::mutex mutex;
  static std::random_device device;
  std::lock_guard lock(mutex);
  std::string id;
  for (int i = 0; i < 4; ++i) {
    const unsigned value = device();
    char part[9];
    std::snprintf(part, sizeof part, "%08x", value);
    id += part;
  }
  return id;
}

// The session id a request carries in its cookie; empty when none.
std::string CookieSession(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  std::string_view rest = cookies;
  while (!rest.empty()) {
    const auto end = rest.find(';');
    std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    if (part.starts_with(kCookie) && part.size() > kCookie.size() && part[kCookie.size()] == '=') {
      return std::string(part.substr(kCookie.size() + 1));
    }
  }
  return {};
}

// The JSON object a request's body holds; nullopt after answering the client's fault.
std::optional<Json> BodyOf(const httplib::Request& req, httplib::Response& res) {
  const std::string type = req.get_header_value("Content-Type");
  if (type.rfind("application/json", 0) != 0) {
    ReplyError(res, 415, "the body must be JSON sent as application/json");
    return std::nullopt;
  }
  try {
    Json body = hostapp::script::ParseStep(req.body);
    if (!body.is_object()) {
      ReplyError(res, 400, "the body must be a JSON object");
      return std::nullopt;
    }
    return body;
  } catch (const hostapp::DriverError& e) {
    ReplyError(res, 400, e.what());
    return std::nullopt;
  }
}

// The text of a key the body must hold.
std::optional<std::string> TextOf(const Json& body, const char* key, httplib::Response& res) {
  if (!body.contains(key) || !body[key].is_string()) {
    ReplyError(res, 400, std::string("the body needs \"") + key + "\" as a text");
    return std::nullopt;
  }
  return body[key].get<std::string>();
}

}  // namespace

bool ParseListen(std::string_view text, std::string& host, int& port) {
  std::string_view port_text = text;
  host = "127.0.0.1";
  if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
    if (colon > 0) host = std::string(text.substr(0, colon));
    port_text = text.substr(colon + 1);
  }
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  int value = -1;
  const auto [end, ec] =
      std::from_chars(port_text.data(), port_text.data() + port_text.size(), value);
  if (ec != std::errc() || end != port_text.data() + port_text.size() || value < 0 ||
      value > 65535) {
    return false;
  }
  port = value;
  return true;
}

struct WebServer::Impl {
  explicit Impl(ServerOptions o) : options(std::move(o)) {}

  std::shared_ptr<Session> SessionOf(const httplib::Request& req, httplib::Response& res) {
    const std::string id = CookieSession(req);
    if (id.empty()) {
      ReplyError(res, 401, "no session: start one with POST /api/session");
      return nullptr;
    }
    std::lock_guard lock(mutex);
    const auto it = sessions.find(id);
    if (it == sessions.end()) {
      ReplyError(res, 401, "the session has ended or never was; start one with POST /api/session");
      return nullptr;
    }
    return it->second;
  }

  // The routes of the module API that run on the session's worker: the body's keys decide
  // what `work` does with the driver.
  void Route(const char* path,
             std::function<std::optional<Session::Work>(const Json&, httplib::Response&)> make) {
    server.Post(path, [this, make](const httplib::Request& req, httplib::Response& res) {
      auto session = SessionOf(req, res);
      if (!session) return;
      auto body = BodyOf(req, res);
      if (!body) return;
      auto work = make(*body, res);
      if (!work) return;
      Reply(res, session->Run(std::move(*work)));
    });
  }

  void StartSession(httplib::Response& res) {
    {
      std::lock_guard lock(mutex);
      if (stopping) return ReplyError(res, 503, "the server is stopping");
      if (sessions.size() >= options.max_sessions) {
        return ReplyError(res, 503, "too many sessions are open; try again later");
      }
    }
    std::string error;
    auto session = Session::Start(NewSessionId(), options.host, options.factory, error);
    if (!session) return ReplyError(res, 500, "the database cannot be opened: " + error);
    {
      std::lock_guard lock(mutex);
      sessions[session->id()] = session;
    }
    res.set_header("Set-Cookie", std::string(kCookie) + "=" + session->id() +
                                     "; Path=/; HttpOnly; SameSite=Strict");
    Json body = Json::object();
    body["ok"] = true;
    body["host"] = session->host_state();
    Reply(res, {200, std::move(body)});
  }

  void EndSession(const httplib::Request& req, httplib::Response& res) {
    auto session = SessionOf(req, res);
    if (!session) return;
    {
      std::lock_guard lock(mutex);
      sessions.erase(session->id());
    }
    session->End();
    res.set_header("Set-Cookie",
                   std::string(kCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
    Json body = Json::object();
    body["ok"] = true;
    Reply(res, {200, std::move(body)});
  }

  // The menu: every entry of xt_menu with whether its class can be opened here.
  Json Menu(hostapp::ModuleDriver& driver) const {
    auto data = driver.host()->Data();
    auto rows = data->OpenSql(
        "SELECT progID, menuname, parentID, sortorder, classname FROM xt_menu ORDER BY parentID, "
        "sortorder, progID");
    if (!rows) throw hostapp::DriverError("the menu cannot be read: " + data->LastError());
    Json table = hostapp::script::ToJson(*rows);
    Json out = Json::array();
    for (const auto& row : table["rows"]) {
      Json entry = Json::object();
      entry["progid"] = row[0];
      entry["name"] = row[1];
      entry["parent"] = row[2];
      entry["classname"] = row[4];
      const std::string classname = row[4].is_string() ? row[4].get<std::string>() : "";
      entry["registered"] =
          !classname.empty() && options.registered && options.registered(classname);
      out.push_back(std::move(entry));
    }
    return out;
  }

  void Events(const httplib::Request& req, httplib::Response& res) {
    auto session = SessionOf(req, res);
    if (!session) return;
    std::uint64_t after = session->stream().last_id();
    if (req.has_header("Last-Event-ID")) {
      const std::string text = req.get_header_value("Last-Event-ID");
      std::uint64_t value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec == std::errc() && end == text.data() + text.size() && value <= after) after = value;
    }
    // A box that waits already is the first thing a page that connects now must see.
    Json waiting = session->WaitingBox();
    std::string first = waiting.is_null() ? std::string(": connected\n\n")
                                          : "event: box\ndata: " + Dump(waiting) + "\n\n";
    const auto keep_alive = std::chrono::milliseconds(options.keep_alive_ms);
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream",
        [session, after, first, keep_alive](std::size_t, httplib::DataSink& sink) mutable {
          if (!first.empty()) {
            const std::string text = std::move(first);
            first.clear();
            return sink.write(text.data(), text.size());
          }
          bool closed = false;
          const auto messages = session->stream().Wait(after, keep_alive, closed);
          std::string text;
          for (const auto& m : messages) {
            text += EventStream::Format(m);
            after = m.id;
          }
          if (closed) {
            text += "event: ended\ndata: {}\n\n";
            sink.write(text.data(), text.size());
            sink.done();
            return true;
          }
          if (text.empty()) text = ": keep-alive\n\n";
          return sink.write(text.data(), text.size());
        });
  }

  void Register() {
    server.set_payload_max_length(options.max_body);
    // The event streams and the calls that wait on a box each hold a thread while they last.
    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return;
      std::string error = "the request could not be served";
      if (res.status == 404) error = "no such route";
      if (res.status == 413) error = "the body is too large";
      if (res.status == 400) error = "the request is malformed";
      if (res.status == 405) error = "the route does not take this method";
      ReplyError(res, res.status, error);
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
          ReplyError(res, 500, "the server failed on the request");
        });

    for (const auto& file : PageFiles()) {
      const std::string path = "/" + std::string(file.path);
      const auto serve = [file](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_content(std::string(file.text), std::string(ContentType(file.path)));
      };
      server.Get(path, serve);
      if (file.path == "index.html") server.Get("/", serve);
    }

    server.Post("/api/session",
                [this](const httplib::Request&, httplib::Response& res) { StartSession(res); });
    server.Delete("/api/session", [this](const httplib::Request& req, httplib::Response& res) {
      EndSession(req, res);
    });
    // What a page that (re)loads needs without waiting for the worker, which may be inside a
    // call that waits on the box.
    server.Get("/api/session", [this](const httplib::Request& req, httplib::Response& res) {
      auto session = SessionOf(req, res);
      if (!session) return;
      Json body = Json::object();
      body["ok"] = true;
      body["result"] = Json::object();
      body["result"]["host"] = session->host_state();
      body["result"]["box"] = session->WaitingBox();
      Reply(res, {200, std::move(body)});
    });
    server.Get("/api/menu", [this](const httplib::Request& req, httplib::Response& res) {
      auto session = SessionOf(req, res);
      if (!session) return;
      Reply(res, session->Run([this](hostapp::ModuleDriver& driver) { return Menu(driver); }));
    });
    server.Get("/api/events",
               [this](const httplib::Request& req, httplib::Response& res) { Events(req, res); });
    server.Post("/api/answer", [this](const httplib::Request& req, httplib::Response& res) {
      auto session = SessionOf(req, res);
      if (!session) return;
      auto body = BodyOf(req, res);
      if (!body) return;
      if (!body->contains("box") || !(*body)["box"].is_number_unsigned()) {
        return ReplyError(res, 400, "the body needs \"box\": the id of the box it answers");
      }
      Reply(res, session->Answer((*body)["box"].get<std::uint64_t>(), *body));
    });

    using Work = std::optional<Session::Work>;
    Route("/api/open", [](const Json& body, httplib::Response& res) -> Work {
      auto progid = TextOf(body, "progid", res);
      if (!progid) return std::nullopt;
      std::optional<std::string> as;
      if (body.contains("as")) {
        as = TextOf(body, "as", res);
        if (!as) return std::nullopt;
      }
      return [progid = *progid, as](hostapp::ModuleDriver& d) { return d.Open(progid, as); };
    });
    Route("/api/close", [](const Json& body, httplib::Response& res) -> Work {
      auto handle = TextOf(body, "module", res);
      if (!handle) return std::nullopt;
      return [handle = *handle](hostapp::ModuleDriver& d) { return d.Close(handle); };
    });
    Route("/api/call", [](const Json& body, httplib::Response& res) -> Work {
      auto handle = TextOf(body, "module", res);
      auto member = handle ? TextOf(body, "member", res) : std::nullopt;
      if (!member) return std::nullopt;
      const Json args = body.contains("args") ? body["args"] : Json();
      return [body, member = *member, args](hostapp::ModuleDriver& d) {
        return d.Call(d.ModuleOf(body), member, args);
      };
    });
    Route("/api/act", [](const Json& body, httplib::Response& res) -> Work {
      if (!TextOf(body, "module", res) || !TextOf(body, "act", res)) return std::nullopt;
      return [body](hostapp::ModuleDriver& d) { return d.Act(body); };
    });
    Route("/api/snapshot", [](const Json& body, httplib::Response& res) -> Work {
      if (!TextOf(body, "module", res)) return std::nullopt;
      return [body](hostapp::ModuleDriver& d) { return d.Snapshot(body); };
    });
    for (const bool approve : {true, false}) {
      Route(approve ? "/api/approve" : "/api/withdraw",
            [approve](const Json& body, httplib::Response& res) -> Work {
              if (!TextOf(body, "module", res)) return std::nullopt;
              return [body, approve](hostapp::ModuleDriver& d) {
                return d.Approve(d.ModuleOf(body), approve);
              };
            });
    }
    Route("/api/print", [](const Json& body, httplib::Response& res) -> Work {
      if (!TextOf(body, "module", res)) return std::nullopt;
      return [body](hostapp::ModuleDriver& d) { return d.PrintFile(d.ModuleOf(body)); };
    });
  }

  ServerOptions options;
  httplib::Server server;
  mutable std::mutex mutex;
  std::map<std::string, std::shared_ptr<Session>> sessions;
  bool stopping = false;
};

WebServer::WebServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->Register();
}

WebServer::~WebServer() { Stop(); }

int WebServer::Bind(const std::string& address, int port, std::string& error) {
  if (port == 0) {
    const int bound = impl_->server.bind_to_any_port(address);
    if (bound < 0) error = "cannot listen on " + address;
    return bound < 0 ? -1 : bound;
  }
  if (!impl_->server.bind_to_port(address, port)) {
    error = "cannot listen on " + address + ":" + std::to_string(port);
    return -1;
  }
  return port;
}

void WebServer::Serve() { impl_->server.listen_after_bind(); }

void WebServer::Stop() {
  std::map<std::string, std::shared_ptr<Session>> ending;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
    ending.swap(impl_->sessions);
  }
  for (auto& [id, session] : ending) session->End();
  impl_->server.stop();
}

std::size_t WebServer::session_count() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->sessions.size();
}

}  // namespace korvane::web
