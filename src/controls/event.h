// Event: a list of handlers a control fires when a person acts on it or its state changes.
// The owning module connects its handlers; a host's renderer may connect observers too.
#ifndef KORVANE_CONTROLS_EVENT_H_
#define KORVANE_CONTROLS_EVENT_H_

#include <functional>
#include <utility>
#include <vector>

namespace korvane::controls {

template <typename... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;

  // Returns a token for Disconnect.
  int Connect(Handler handler) {
    handlers_.emplace_back(next_token_, std::move(handler));
    return next_token_++;
  }
  void Disconnect(int token) {
    std::erase_if(handlers_, [token](const auto& h) { return h.first == token; });
  }
  void DisconnectAll() { handlers_.clear(); }
  bool connected() const { return !handlers_.empty(); }

  // Calls every handler in connection order. Handlers may take arguments by reference to
  // answer (cancel an edit, swallow a key). A handler connected while firing waits for the
  // next event.
  template <typename... CallArgs>
  void operator()(CallArgs&&... args) const {
    const auto snapshot = handlers_;
    for (const auto& [token, handler] : snapshot) handler(args...);
  }

 private:
  std::vector<std::pair<int, Handler>> handlers_;
  int next_token_ = 1;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_EVENT_H_
