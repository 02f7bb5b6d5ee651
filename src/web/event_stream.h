// EventStream: what a session tells its page as it happens (the modules' events, the boxes
// waiting for an answer), numbered in order, for the server-sent events of GET /api/events.
// Any thread may push and wait; a closed stream wakes every waiter and takes nothing more.
#ifndef KORVANE_WEB_EVENT_STREAM_H_
#define KORVANE_WEB_EVENT_STREAM_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace korvane::web {

struct StreamMessage {
  std::uint64_t id = 0;
  std::string type;  // the SSE event name: "event", "box", "box_answered", "ended"
  std::string data;  // one line of JSON
};

class EventStream {
 public:
  // Keeps the last `history` messages for a page that reconnects.
  explicit EventStream(std::size_t history = 512) : history_(history) {}

  // Adds a message and wakes the waiters; returns its id (0 when the stream is closed).
  std::uint64_t Push(std::string type, std::string data);
  // The messages after `after` that are still kept, waiting up to `timeout` for one when
  // there are none. `closed` tells whether the stream has closed.
  std::vector<StreamMessage> Wait(std::uint64_t after, std::chrono::milliseconds timeout,
                                  bool& closed);
  // The id of the newest message (0 before the first).
  std::uint64_t last_id() const;
  void Close();
  bool closed() const;

  // One message in the wire format of server-sent events.
  static std::string Format(const StreamMessage& message);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<StreamMessage> kept_;
  std::size_t history_;
  std::uint64_t next_id_ = 1;
  bool closed_ = false;
};

}  // namespace korvane::web

#endif  // KORVANE_WEB_EVENT_STREAM_H_
