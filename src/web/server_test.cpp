// The web host's API over a real socket: a clerk's work report from entry to approval with a
// box answered the way the page answers it, a box left waiting when the session ends, and
// requests that are malformed, too large or name what does not exist.
#include "web/server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <thread>

#include "host/test_support.h"
#include "hostapp/module_driver.h"
#include "hostapp/script_test_module.h"
#include "hostapp/test_database.h"
#include "registration/registry.h"

namespace korvane::web {
namespace {

using ::testing::HasSubstr;
using Json = hostapp::DriverJson;
using namespace std::chrono_literals;

// A module that notes the thread each of its lives' steps runs on.
class ThreadNotingModule : public test::ScriptTestModule {
 public:
  using Threads = std::vector<std::thread::id>;
  explicit ThreadNotingModule(std::shared_ptr<Threads> seen) : seen_(std::move(seen)) { Note(); }
  ~ThreadNotingModule() override { Note(); }
  bool Refresh() override {
    Note();
    return ScriptTestModule::Refresh();
  }
  bool Clear() override {
    Note();
    return ScriptTestModule::Clear();
  }

 private:
  void Note() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    seen_->push_back(std::this_thread::get_id());
  }
  std::shared_ptr<Threads> seen_;
};

class WebServerTest : public ::testing::Test {
 protected:
  WebServerTest() {
    ServerOptions options;
    options.host.database_path = db_.path();
    options.host.user_name = "admin";
    options.host.business_date = std::chrono::year{2026} / std::chrono::March / 20;
    options.host.local_folder = folder_.path();
    options.factory = [this](std::string_view progid) -> std::shared_ptr<Object> {
      if (progid != "Test.Threads") return ClassRegistry::Instance().Create(progid);
      std::lock_guard lock(threads_mutex_);
      threads_.push_back(std::make_shared<ThreadNotingModule::Threads>());
      return std::make_shared<ThreadNotingModule>(threads_.back());
    };
    options.host.module_factory = options.factory;
    options.registered = [](std::string_view progid) {
      return ClassRegistry::Instance().Find(progid) != nullptr;
    };
    options.max_body = 64 * 1024;
    options.keep_alive_ms = 100;
    server_ = std::make_unique<WebServer>(options);
    std::string error;
    port_ = server_->Bind("127.0.0.1", 0, error);
    EXPECT_GT(port_, 0) << error;
    serving_ = std::thread([this] { server_->Serve(); });
  }
  ~WebServerTest() override {
    server_->Stop();
    serving_.join();
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(20, 0);
    return client;
  }

  // Starts a session; returns its cookie.
  std::string StartSession() {
    auto client = Client();
    auto res = client.Post("/api/session", "", "application/json");
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200) << res->body;
    const std::string cookie = res->get_header_value("Set-Cookie");
    EXPECT_THAT(cookie, HasSubstr("HttpOnly"));
    return cookie.substr(0, cookie.find(';'));
  }

  // Posts `body` with the session's cookie; returns the status and the parsed answer.
  std::pair<int, Json> Post(const std::string& cookie, const std::string& path,
                            const std::string& body,
                            const std::string& type = "application/json") const {
    auto client = Client();
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    auto res = client.Post(path.c_str(), headers, body, type.c_str());
    if (!res) return {0, Json()};
    Json answer = Json::parse(res->body, nullptr, false);
    EXPECT_FALSE(answer.is_discarded()) << path << " answered no JSON: " << res->body;
    return {res->status, answer};
  }
  // A call that must succeed; returns its result.
  Json Ok(const std::string& cookie, const std::string& path, const Json& body) const {
    const auto [status, answer] = Post(cookie, path, body.dump());
    EXPECT_EQ(status, 200) << path << " " << body.dump() << " -> " << answer.dump();
    return answer.value("result", Json());
  }
  Json Cell(const std::string& cookie, int row, int col) const {
    const Json grid = Ok(cookie, "/api/snapshot", {{"module", "wr"}, {"control", "qxGrid"}});
    return grid["cells"][row][col];
  }
  std::string Text(const std::string& cookie, int index) const {
    const Json field =
        Ok(cookie, "/api/snapshot", {{"module", "wr"}, {"control", "qxTxt"}, {"index", index}});
    return field.value("text", "");
  }

  // Opens the work report of program 2101 and starts a new one in the machining workshop
  // with a line of 5 shafts by 赵敏, who works in another workshop.
  void EnterReportWithStranger(const std::string& cookie) {
    EXPECT_EQ(
        Ok(cookie, "/api/open", {{"progid", "Korvane.SCCJD_S"}, {"as", "wr"}}).value("module", ""),
        "wr");
    EXPECT_EQ(Ok(cookie, "/api/call", {{"module", "wr"}, {"member", "Init"}, {"args", {2101}}}),
              Json(true));
    Ok(cookie, "/api/call", {{"module", "wr"}, {"member", "Refresh"}});
    EXPECT_EQ(Ok(cookie, "/api/call", {{"module", "wr"}, {"member", "FileNew"}}), Json(true));
    EXPECT_EQ(Text(cookie, 0), "BG2026030003");
    EXPECT_EQ(Ok(cookie, "/api/act",
                 {{"module", "wr"},
                  {"act", "type"},
                  {"control", "qxTxt"},
                  {"index", 1},
                  {"text", "机加工车间"}}),
              Json(true));
    for (const auto& [col, text] : std::vector<std::pair<int, std::string>>{
             {9, "JJ-BZ-01"}, {14, "精车"}, {15, "5"}, {7, "E007"}}) {
      Ok(cookie, "/api/act",
         {{"module", "wr"},
          {"act", "edit"},
          {"control", "qxGrid"},
          {"row", 1},
          {"col", col},
          {"text", text}});
    }
  }

  // Waits until the session has a box waiting; returns it (null after the time is up).
  Json WaitForBox(const std::string& cookie) const {
    for (int i = 0; i < 400; ++i) {
      auto client = Client();
      auto res = client.Get("/api/session", {{"Cookie", cookie}});
      if (res && res->status == 200) {
        const Json box = Json::parse(res->body)["result"]["box"];
        if (!box.is_null()) return box;
      }
      std::this_thread::sleep_for(10ms);
    }
    return nullptr;
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::mutex threads_mutex_;
  std::vector<std::shared_ptr<ThreadNotingModule::Threads>> threads_;
  std::unique_ptr<WebServer> server_;
  int port_ = -1;
  std::thread serving_;
};

// What a page does: it listens to the session's events and answers each box it is shown.
class PageListener {
 public:
  PageListener(int port, std::string cookie, std::string answer)
      : thread_([this, port, cookie, answer] { Listen(port, cookie, answer); }) {}
  ~PageListener() {
    stop_ = true;
    thread_.join();
  }
  // The event names seen so far, and the boxes shown.
  std::vector<std::string> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<Json> boxes() {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  std::vector<int> answer_statuses() {
    std::lock_guard lock(mutex_);
    return statuses_;
  }

 private:
  void Listen(int port, const std::string& cookie, const std::string& answer) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    std::string pending;
    client.Get("/api/events", {{"Cookie", cookie}}, [&](const char* data, std::size_t size) {
      pending.append(data, size);
      for (auto end = pending.find("\n\n"); end != std::string::npos; end = pending.find("\n\n")) {
        const std::string message = pending.substr(0, end);
        pending.erase(0, end + 2);
        Handle(port, cookie, answer, message);
      }
      return !stop_;
    });
  }
  void Handle(int port, const std::string& cookie, const std::string& answer,
              const std::string& message) {
    std::string type;
    std::string data;
    std::size_t start = 0;
    while (start < message.size()) {
      auto end = message.find('\n', start);
      if (end == std::string::npos) end = message.size();
      const std::string line = message.substr(start, end - start);
      if (line.rfind("event: ", 0) == 0) type = line.substr(7);
      if (line.rfind("data: ", 0) == 0) data = line.substr(6);
      start = end + 1;
    }
    if (type.empty()) return;
    const Json item = Json::parse(data, nullptr, false);
    std::lock_guard lock(mutex_);
    if (type == "event") events_.push_back(item.value("event", ""));
    if (type != "box") return;
    boxes_.push_back(item);
    httplib::Client client("127.0.0.1", port);
    const Json reply = {{"box", item["id"]}, {"answer", answer}};
    auto res = client.Post("/api/answer", {{"Cookie", cookie}}, reply.dump(), "application/json");
    statuses_.push_back(res ? res->status : 0);
  }

  std::atomic<bool> stop_ = false;
  std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<Json> boxes_;
  std::vector<int> statuses_;
  std::thread thread_;
};

TEST_F(WebServerTest, AClerkEntersSavesAndApprovesAWorkReport) {
  const std::string cookie = StartSession();
  PageListener page(port_, cookie, "Yes");
  std::this_thread::sleep_for(200ms);  // the page is listening before the clerk starts
  EnterReportWithStranger(cookie);
  EXPECT_EQ(Cell(cookie, 1, 18), Json("12.5"));  // 5 shafts at the standard rate of 2.5

  // The save asks whether to keep a stranger to the workshop: the page says Yes, from its own
  // thread, while the call waits.
  const auto [status, saved] =
      Post(cookie, "/api/call", Json{{"module", "wr"}, {"member", "FileSave"}}.dump());
  EXPECT_EQ(status, 200) << saved.dump();
  EXPECT_EQ(saved["result"], Json(true)) << saved.dump();
  ASSERT_EQ(saved["boxes"].size(), 1u) << saved.dump();
  EXPECT_EQ(saved["boxes"][0]["text"], "第1行员工不属于当前所选部门，就是保存？");
  EXPECT_EQ(saved["boxes"][0]["answer"], "Yes");
  bool told = false;
  for (const auto& e : saved["events"]) {
    told = told || e.value("text", "") == "保存数据成功！编号：BG2026030003";
  }
  EXPECT_TRUE(told) << saved["events"].dump();
  ASSERT_EQ(page.boxes().size(), 1u);
  EXPECT_EQ(page.boxes()[0]["buttons"], "Yes/No");
  EXPECT_EQ(page.answer_statuses(), std::vector<int>{200});

  // Approved: the host records it, and the approved view shows the stamp.
  EXPECT_EQ(Ok(cookie, "/api/approve", {{"module", "wr"}}), Json(true));
  EXPECT_EQ(
      Ok(cookie, "/api/call", {{"module", "wr"}, {"member", "DoSetStatus"}, {"args", {"", true}}}),
      Json(true));
  EXPECT_EQ(Text(cookie, 0), "BG2026030003");
  EXPECT_EQ(Text(cookie, 5), "admin");
  const Json stamp = Ok(cookie, "/api/snapshot", {{"module", "wr"}, {"control", "Lab_Succeed"}});
  EXPECT_EQ(stamp["visible"], Json(true));

  // The page heard the modules' events as they happened.
  std::this_thread::sleep_for(300ms);
  const auto heard = page.events();
  EXPECT_NE(std::find(heard.begin(), heard.end(), "Message"), heard.end());
  EXPECT_NE(std::find(heard.begin(), heard.end(), "FormRefreshed"), heard.end());
}

TEST_F(WebServerTest, SessionsKeepTheirModulesApart) {
  const std::string first = StartSession();
  const std::string second = StartSession();
  Ok(first, "/api/open", {{"progid", "Korvane.SCCJD_S"}, {"as", "wr"}});
  const auto [status, answer] =
      Post(second, "/api/call", Json{{"module", "wr"}, {"member", "Refresh"}}.dump());
  EXPECT_EQ(status, 404);
  EXPECT_THAT(answer.value("error", ""), HasSubstr("unknown module handle \"wr\""));
  // The same handle in the other session is a module of its own.
  Ok(second, "/api/open", {{"progid", "Korvane.SCCJD_S"}, {"as", "wr"}});
  EXPECT_EQ(server_->session_count(), 2u);
}

TEST_F(WebServerTest, AModuleLivesAndDiesOnItsSessionsWorkerThread) {
  const std::string first = StartSession();
  const std::string second = StartSession();
  for (const auto& cookie : {first, second}) {
    Ok(cookie, "/api/open", {{"progid", "Test.Threads"}, {"as", "t"}});
    for (int i = 0; i < 3; ++i) Ok(cookie, "/api/call", {{"module", "t"}, {"member", "Refresh"}});
  }
  Ok(first, "/api/close", {{"module", "t"}});
  auto client = Client();
  ASSERT_TRUE(client.Delete("/api/session", {{"Cookie", second}}));  // clears the module
  std::lock_guard lock(threads_mutex_);
  ASSERT_EQ(threads_.size(), 2u);
  for (const auto& seen : threads_) {
    ASSERT_EQ(seen->size(), 6u);  // made, refreshed three times, cleared, destroyed
    for (const auto& id : *seen) {
      EXPECT_EQ(id, seen->front());
      EXPECT_NE(id, std::this_thread::get_id());
    }
  }
  EXPECT_NE(threads_[0]->front(), threads_[1]->front());
}

TEST_F(WebServerTest, ABoxLeftUnansweredWhenTheSessionEndsEndsTheCall) {
  const std::string cookie = StartSession();
  EnterReportWithStranger(cookie);
  auto saving = std::async(std::launch::async, [&] {
    return Post(cookie, "/api/call", Json{{"module", "wr"}, {"member", "FileSave"}}.dump());
  });
  const Json box = WaitForBox(cookie);
  ASSERT_FALSE(box.is_null());
  EXPECT_EQ(box["buttons"], "Yes/No");
  // A page that answers with a button the box lacks is told so, and the box still waits.
  const auto [wrong, refused] =
      Post(cookie, "/api/answer", Json{{"box", box["id"]}, {"answer", "OK"}}.dump());
  EXPECT_EQ(wrong, 400);
  EXPECT_THAT(refused.value("error", ""), HasSubstr("Yes/No"));
  EXPECT_EQ(saving.wait_for(100ms), std::future_status::timeout);

  auto client = Client();
  auto ended = client.Delete("/api/session", {{"Cookie", cookie}});
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->status, 200);
  ASSERT_EQ(saving.wait_for(10s), std::future_status::ready);
  const auto [status, saved] = saving.get();
  EXPECT_EQ(status, 200) << saved.dump();
  EXPECT_EQ(saved["result"], Json(false));  // No: the report is not stored
  ASSERT_EQ(saved["boxes"].size(), 1u);
  EXPECT_TRUE(saved["boxes"][0]["answer"].is_null());
  // The session is gone with its modules.
  EXPECT_EQ(Post(cookie, "/api/snapshot", Json{{"module", "wr"}}.dump()).first, 401);
  EXPECT_EQ(server_->session_count(), 0u);
  const auto [late, answer] =
      Post(cookie, "/api/answer", Json{{"box", box["id"]}, {"answer", "Yes"}}.dump());
  EXPECT_EQ(late, 401);
}

TEST_F(WebServerTest, BadRequestsGetAClearRefusal) {
  const std::string cookie = StartSession();
  Ok(cookie, "/api/open", {{"progid", "Korvane.SCCJD_S"}, {"as", "wr"}});
  struct Case {
    std::string path;
    std::string body;
    int status;
    std::string error;
    std::string type = "application/json";
  };
  const std::vector<Case> cases = {
      {"/api/call", "{\"module\": \"wr\", \"member\": ", 400, "malformed JSON"},
      {"/api/call", std::string(5000, '[') + std::string(5000, ']'), 400, "levels deep"},
      {"/api/call", "[1, 2]", 400, "JSON object"},
      {"/api/call", "{\"module\": \"wr\", \"member\": 7}", 400, "\"member\" as a text"},
      {"/api/call", "{\"module\": \"wr\", \"member\": \"NoSuchMember\"}", 400, "NoSuchMember"},
      {"/api/call", "{\"module\": \"wr\", \"member\": \"Init\", \"args\": [\"x\"]}", 400,
       "argument 1 of Init"},
      {"/api/call", "{\"module\": \"nobody\", \"member\": \"Refresh\"}", 404,
       "unknown module handle \"nobody\""},
      {"/api/act", "{\"module\": \"wr\", \"act\": \"click\", \"control\": \"noSuch\"}", 400,
       "noSuch"},
      {"/api/act",
       "{\"module\": \"wr\", \"act\": \"edit\", \"control\": \"qxGrid\", \"row\": 9999, \"col\": "
       "1, \"text\": \"1\"}",
       400, "outside"},
      {"/api/snapshot", "{\"module\": \"wr\", \"form\": \"frmNone\"}", 400, "no dialog form"},
      {"/api/close", "{\"module\": \"gone\"}", 404, "unknown module handle"},
      {"/api/open", "{\"progid\": \"Korvane.NoSuchClass\"}", 400, "no module"},
      {"/api/answer", "{\"box\": 12, \"answer\": \"Yes\"}", 404, "no box 12"},
      {"/api/answer", "{\"box\": \"x\"}", 400, "\"box\""},
      {"/api/call", "{\"module\": \"wr\", \"member\": \"Refresh\"}", 415, "application/json",
       "text/plain"},
      {"/api/call",
       "{\"module\": \"wr\", \"member\": \"Refresh\", \"pad\": \"" + std::string(70 * 1024, 'x') +
           "\"}",
       413, "too large"},
      {"/api/nowhere", "{}", 404, "no such route"},
  };
  for (const auto& c : cases) {
    const auto [status, answer] = Post(cookie, c.path, c.body, c.type);
    EXPECT_EQ(status, c.status) << c.path << " " << c.body.substr(0, 80) << " -> " << answer.dump();
    EXPECT_EQ(answer.value("ok", true), false) << c.path;
    EXPECT_THAT(answer.value("error", ""), HasSubstr(c.error))
        << c.path << " " << c.body.substr(0, 80);
  }
  // Without a session every route of the API is refused.
  for (const char* path : {"/api/open", "/api/call", "/api/act", "/api/snapshot", "/api/answer"}) {
    EXPECT_EQ(Post("", path, "{}").first, 401) << path;
    EXPECT_EQ(Post("korvane_session=0123", path, "{}").first, 401) << path;
  }

  // Random bytes on every route, a bounded number of times: each gets an answer, and the
  // module still works afterwards.
  std::mt19937 random(7);
  const std::vector<std::string> routes = {"/api/open",    "/api/close",    "/api/call",
                                           "/api/act",     "/api/snapshot", "/api/answer",
                                           "/api/approve", "/api/withdraw", "/api/print"};
  for (int i = 0; i < 120; ++i) {
    std::string body;
    const int size = static_cast<int>(random() % 200);
    const std::string alphabet = "{}[]\":,0123456789abcwr \\tnulltrue\xe4\xb8\xad\xff";
    for (int k = 0; k < size; ++k) body += alphabet[random() % alphabet.size()];
    if (i % 3 == 0) body = "{\"module\": \"wr\", \"act\": \"" + body + "\"}";
    const auto [status, answer] = Post(cookie, routes[i % routes.size()], body);
    EXPECT_GE(status, 200) << body;
    EXPECT_LT(status, 500) << routes[i % routes.size()] << " " << body << " -> " << answer.dump();
  }
  EXPECT_EQ(Ok(cookie, "/api/call", {{"module", "wr"}, {"member", "Init"}, {"args", {2101}}}),
            Json(true));
}

TEST_F(WebServerTest, TheMenuAndThePageAreServed) {
  const std::string cookie = StartSession();
  auto client = Client();
  auto menu = client.Get("/api/menu", {{"Cookie", cookie}});
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->status, 200);
  const Json entries = Json::parse(menu->body)["result"];
  bool work_report = false;
  bool work_orders = false;
  for (const auto& e : entries) {
    if (e["progid"] == 2101) work_report = e["registered"] == Json(true);
    if (e["progid"] == 3201) work_orders = e["registered"] == Json(true);
  }
  EXPECT_TRUE(work_report);
  EXPECT_FALSE(work_orders);  // the host's own program: nothing to open here

  for (const char* path : {"/", "/app.js", "/app.css"}) {
    auto res = client.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 200) << path;
    EXPECT_FALSE(res->body.empty()) << path;
  }
  // The page never hands a text of the database to the browser as markup.
  auto script = client.Get("/app.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->body.find("innerHTML"), std::string::npos);
  EXPECT_EQ(script->body.find("insertAdjacentHTML"), std::string::npos);
}

TEST(WebListenTest, ListenTextsNameAHostAndAPort) {
  std::string host;
  int port = -1;
  ASSERT_TRUE(ParseListen("127.0.0.1:8080", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 8080);
  ASSERT_TRUE(ParseListen("9000", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 9000);
  ASSERT_TRUE(ParseListen("[::1]:81", host, port));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 81);
  EXPECT_FALSE(ParseListen("127.0.0.1:", host, port));
  EXPECT_FALSE(ParseListen("127.0.0.1:70000", host, port));
  EXPECT_FALSE(ParseListen("host:80x", host, port));
}

}  // namespace
}  // namespace korvane::web
