// Test helper: fails the statements an operation sends, one at a time, and checks that each
// failure is reported and leaves the database and the screen exactly as they were.
#ifndef KORVANE_HOSTAPP_FAULT_LOOP_TEST_SUPPORT_H_
#define KORVANE_HOSTAPP_FAULT_LOOP_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hostapp/reference_host.h"

namespace korvane::test {

// Fails the n-th statement `operation` sends, for n = 1, 2, ... until it succeeds; after every
// failure `errors` (cleared before each run) holds a report and `state` (the tables the
// operation writes and what the person sees) is as before. `before_each` runs ahead of every
// attempt, before any statement can fail (queueing the answer to a confirmation, putting the
// form back the way the operation expects it). The host's own reads of its settings and
// users are not counted: a failed one falls back to a default, which is the host's business.
// Returns the statements the successful run needed, or -n after the n-th failed a check.
template <class Errors>
int FailEachStatement(hostapp::ReferenceHost& host, Errors& errors,
                      const std::function<std::vector<std::string>()>& state,
                      const std::function<bool()>& operation,
                      const std::function<void()>& before_each = {}) {
  const std::vector<std::string> before = state();
  for (int n = 1; n < 500; ++n) {
    // The form is prepared with every statement working; only the operation meets the failure.
    if (before_each) before_each();
    int seen = 0;
    host.database().InjectFailures([&seen, n](std::string_view statement) {
      for (const char* host_table : {"xt_accinformation", "xt_setting_numbered", "xt_user"}) {
        if (statement.find(host_table) != std::string_view::npos) return false;
      }
      return ++seen == n;
    });
    errors.clear();
    const bool done = operation();
    host.database().InjectFailures({});
    if (done) return n;
    EXPECT_FALSE(errors.empty()) << "statement " << n << " failed silently";
    EXPECT_EQ(state(), before) << "after failing statement " << n;
    if (::testing::Test::HasFailure()) return -n;
  }
  ADD_FAILURE() << "the operation never succeeded";
  return 0;
}

}  // namespace korvane::test

#endif  // KORVANE_HOSTAPP_FAULT_LOOP_TEST_SUPPORT_H_
