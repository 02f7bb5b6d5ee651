#include "web/event_stream.h"

namespace korvane::web {

std::uint64_t EventStream::Push(std::string type, std::string data) {
  std::uint64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return 0;
    id = next_id_++;
    kept_.push_back({id, std::move(type), std::move(data)});
    while (kept_.size() > history_) kept_.pop_front();
  }
  changed_.notify_all();
  return id;
}

std::vector<StreamMessage> EventStream::Wait(std::uint64_t after, std::chrono::milliseconds timeout,
                                             bool& closed) {
  std::unique_lock lock(mutex_);
  const auto ready = [&] { return closed_ || (!kept_.empty() && kept_.back().id > after); };
  changed_.wait_for(lock, timeout, ready);
  std::vector<StreamMessage> out;
  for (const auto& m : kept_) {
    if (m.id > after) out.push_back(m);
  }
  closed = closed_;
  return out;
}

std::uint64_t EventStream::last_id() const {
  std::lock_guard lock(mutex_);
  return next_id_ - 1;
}

void EventStream::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventStream::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::string EventStream::Format(const StreamMessage& message) {
  // The data is one line of JSON: JSON escapes every line break inside its texts.
  return "id: " + std::to_string(message.id) + "\nevent: " + message.type +
         "\ndata: " + message.data + "\n\n";
}

}  // namespace korvane::web
