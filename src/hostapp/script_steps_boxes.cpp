// The steps that answer the boxes modules show: the queues of answers and inputs the script
// gives ahead, handed out as the boxes come.
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

MsgAnswer ScriptHost::Impl::AnswerMessage(Json& box, MsgButtons buttons) {
  MsgAnswer answer = SafestAnswer(buttons);
  const std::string shown = "message box \"" + box["text"].get<std::string>() + "\" titled \"" +
                            box["title"].get<std::string>() + "\" with buttons " +
                            std::string(ButtonsName(buttons));
  if (answers.empty()) {
    box["answer"] = nullptr;
    log_failures.push_back("unexpected " + shown + " (no answer queued)");
  } else {
    const MsgAnswer queued = answers.front();
    answers.pop_front();
    if (AnswerFits(queued, buttons)) {
      answer = queued;
      box["answer"] = AnswerName(answer);
    } else {
      box["answer"] = nullptr;
      log_failures.push_back("the queued answer " + std::string(AnswerName(queued)) +
                             " does not fit the " + shown);
    }
  }
  return answer;
}

std::optional<std::string> ScriptHost::Impl::AnswerInput(Json& box) {
  std::optional<std::string> answer;
  if (inputs.empty()) {
    box["answer"] = nullptr;
    log_failures.push_back("unexpected input box \"" + box["text"].get<std::string>() +
                           "\" titled \"" + box["title"].get<std::string>() +
                           "\" (no input queued)");
  } else {
    answer = inputs.front();
    inputs.pop_front();
    box["answer"] = answer ? Json(*answer) : Json(nullptr);
  }
  return answer;
}

Json ScriptHost::Impl::QueueAnswers(const Json& step) {
  const Json& value = step["answer"];
  std::vector<MsgAnswer> queued;
  const auto add = [&](const Json& item) {
    const std::string name = script::ToText(item, "an answer");
    const auto answer = AnswerByName(name);
    if (!answer) {
      throw ScriptError("unknown answer \"" + name +
                        "\" (OK, Cancel, Abort, Retry, Ignore, Yes or No)");
    }
    queued.push_back(*answer);
  };
  if (value.is_array()) {
    for (const auto& item : value) add(item);
  } else {
    add(value);
  }
  answers.insert(answers.end(), queued.begin(), queued.end());
  return static_cast<int>(answers.size());
}

Json ScriptHost::Impl::QueueInputs(const Json& step) {
  const Json& value = step["input"];
  std::vector<std::optional<std::string>> queued;
  const auto add = [&](const Json& item) {
    if (item.is_null()) {
      queued.push_back(std::nullopt);
    } else {
      queued.push_back(script::ToText(item, "an input (a text, or null to cancel)"));
    }
  };
  if (value.is_array()) {
    for (const auto& item : value) add(item);
  } else {
    add(value);
  }
  inputs.insert(inputs.end(), queued.begin(), queued.end());
  return static_cast<int>(inputs.size());
}

}  // namespace korvane::hostapp
