// Reading a step's JSON and writing an answer's, within a depth that keeps every recursive
// walk over the values (nlohmann::json's dumps, copies and comparisons, and this host's) far
// from the end of the stack, whatever a script line holds.
#include <utility>
#include <vector>

#include "hostapp/script_host_internal.h"

namespace korvane::hostapp::script {

Json ParseStep(std::string_view line) {
  // The parser tells how many lists and objects enclose each one it opens; refusing there
  // stops it before the deep part is read at all.
  const Json::parser_callback_t within = [](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::array_start || event == Json::parse_event_t::object_start) &&
        depth >= kMaxStepDepth) {
      throw ScriptError("the step nests lists and objects more than " +
                        std::to_string(kMaxStepDepth) + " levels deep");
    }
    return true;
  };
  try {
    return Json::parse(line, within);
  } catch (const Json::parse_error& e) {
    throw ScriptError(std::string("malformed JSON: ") + e.what());
  }
}

bool NestsWithin(const Json& value, int levels) {
  std::vector<std::pair<const Json*, int>> pending{{&value, 0}};
  while (!pending.empty()) {
    const auto [item, above] = pending.back();
    pending.pop_back();
    if (!item->is_structured()) continue;
    if (above >= levels) return false;
    for (const Json& part : *item) pending.emplace_back(&part, above + 1);
  }
  return true;
}

std::string DumpAnswer(const Json& answer) {
  if (!NestsWithin(answer, kMaxAnswerDepth)) {
    throw ScriptError("the answer nests more than " + std::to_string(kMaxAnswerDepth) +
                      " levels deep");
  }
  return answer.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace korvane::hostapp::script
