// WebServer: `korvane serve`. It serves the page (src/web/page, built into the program) and a
// JSON API over sessions: each session drives its modules through a ModuleDriver on a worker
// thread of its own (web/session.h). docs/web.md describes the API.
//
// Contract:
//  - Every request gets an answer; malformed or oversized bodies, unknown sessions, handles,
//    boxes and routes get a 4xx with {"ok": false, "error": ...}. Nothing a client sends ends
//    the server.
//  - Module objects never leave their session's worker thread.
//  - Stop ends every session (answering their waiting boxes as nobody chose) and returns when
//    the server has stopped listening.
#ifndef KORVANE_WEB_SERVER_H_
#define KORVANE_WEB_SERVER_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hostapp/module_factory.h"
#include "hostapp/reference_host.h"

namespace korvane::web {

struct ServerOptions {
  // The database, user, business date and folder every session's host context opens with;
  // its module factory also serves the lookups.
  hostapp::ReferenceHostOptions host;
  // Creates the modules the page opens.
  hostapp::ModuleFactory factory;
  // Whether a menu entry's class is one the factory can create.
  std::function<bool(std::string_view progid)> registered;
  // The largest request body taken; a larger one is refused with 413.
  std::size_t max_body = 1 << 20;
  // How many sessions may be open at once; one more is refused with 503.
  std::size_t max_sessions = 32;
  // How long the event stream waits before it sends a keep-alive comment.
  int keep_alive_ms = 15000;
};

class WebServer {
 public:
  explicit WebServer(ServerOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds to the address and port (0: a free port). Returns the port bound, or -1 with
  // `error` set.
  int Bind(const std::string& address, int port, std::string& error);
  // Serves until Stop; call after Bind, on a thread of its own.
  void Serve();
  // Ends every session and stops serving. Any thread may call it, more than once.
  void Stop();

  // How many sessions are open.
  std::size_t session_count() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The text of a listen option "host:port" (":port" and "port" take 127.0.0.1); false for one
// that names no port from 0 to 65535.
bool ParseListen(std::string_view text, std::string& host, int& port);

}  // namespace korvane::web

#endif  // KORVANE_WEB_SERVER_H_
