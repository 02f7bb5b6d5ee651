// The steps that answer the boxes and dialogs modules show: the queues of answers and inputs
// the script gives ahead, and the dialogs that hand them out and tell the engine of forms.
#include <algorithm>

#include "controls/form.h"
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

namespace {

// The answer a box gets when nobody chose one: the one that changes the least.
MsgAnswer SafestAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return MsgAnswer::kOk;
    case MsgButtons::kAbortRetryIgnore:
      return MsgAnswer::kAbort;
    case MsgButtons::kYesNo:
      return MsgAnswer::kNo;
    default:
      return MsgAnswer::kCancel;
  }
}

bool Fits(MsgAnswer answer, MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return answer == MsgAnswer::kOk;
    case MsgButtons::kOkCancel:
      return answer == MsgAnswer::kOk || answer == MsgAnswer::kCancel;
    case MsgButtons::kAbortRetryIgnore:
      return answer == MsgAnswer::kAbort || answer == MsgAnswer::kRetry ||
             answer == MsgAnswer::kIgnore;
    case MsgButtons::kYesNoCancel:
      return answer == MsgAnswer::kYes || answer == MsgAnswer::kNo || answer == MsgAnswer::kCancel;
    case MsgButtons::kYesNo:
      return answer == MsgAnswer::kYes || answer == MsgAnswer::kNo;
    case MsgButtons::kRetryCancel:
      return answer == MsgAnswer::kRetry || answer == MsgAnswer::kCancel;
  }
  return false;
}

std::optional<MsgAnswer> AnswerByName(std::string_view name) {
  for (MsgAnswer a : {MsgAnswer::kOk, MsgAnswer::kCancel, MsgAnswer::kAbort, MsgAnswer::kRetry,
                      MsgAnswer::kIgnore, MsgAnswer::kYes, MsgAnswer::kNo}) {
    if (EqualsIgnoreCase(AnswerName(a), name)) return a;
  }
  return std::nullopt;
}

}  // namespace

namespace script {

MsgAnswer ScriptDialogs::MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                                    std::string_view title) {
  return owner_ ? owner_->OnMessageBox(text, buttons, icon, title) : SafestAnswer(buttons);
}

std::optional<std::string> ScriptDialogs::InputBox(std::string_view prompt, std::string_view title,
                                                   std::string_view default_text) {
  return owner_ ? owner_->OnInputBox(prompt, title, default_text) : std::nullopt;
}

void ScriptDialogs::FormShown(controls::Form& form) {
  if (owner_) owner_->OnFormShown(form);
}

void ScriptDialogs::FormClosed(controls::Form& form) {
  if (owner_) owner_->OnFormClosed(form);
}

}  // namespace script

MsgAnswer ScriptHost::Impl::OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                                         std::string_view title) {
  Json box = Json::object();
  box["module"] = acting;
  box["box"] = "message";
  box["text"] = text;
  box["title"] = title;
  box["buttons"] = ButtonsName(buttons);
  box["icon"] = IconName(icon);
  MsgAnswer answer = SafestAnswer(buttons);
  const std::string shown = "message box \"" + std::string(text) + "\" titled \"" +
                            std::string(title) + "\" with buttons " +
                            std::string(ButtonsName(buttons));
  if (answers.empty()) {
    box["answer"] = nullptr;
    log_failures.push_back("unexpected " + shown + " (no answer queued)");
  } else {
    const MsgAnswer queued = answers.front();
    answers.pop_front();
    if (Fits(queued, buttons)) {
      answer = queued;
      box["answer"] = AnswerName(answer);
    } else {
      box["answer"] = nullptr;
      log_failures.push_back("the queued answer " + std::string(AnswerName(queued)) +
                             " does not fit the " + shown);
    }
  }
  log_boxes.push_back(std::move(box));
  return answer;
}

std::optional<std::string> ScriptHost::Impl::OnInputBox(std::string_view prompt,
                                                        std::string_view title,
                                                        std::string_view default_text) {
  Json box = Json::object();
  box["module"] = acting;
  box["box"] = "input";
  box["text"] = prompt;
  box["title"] = title;
  box["default"] = default_text;
  std::optional<std::string> answer;
  if (inputs.empty()) {
    box["answer"] = nullptr;
    log_failures.push_back("unexpected input box \"" + std::string(prompt) + "\" titled \"" +
                           std::string(title) + "\" (no input queued)");
  } else {
    answer = inputs.front();
    inputs.pop_front();
    box["answer"] = answer ? Json(*answer) : Json(nullptr);
  }
  log_boxes.push_back(std::move(box));
  return answer;
}

void ScriptHost::Impl::OnFormShown(controls::Form& form) {
  std::erase_if(forms, [&](const ShownForm& s) { return s.form == &form; });
  forms.push_back({&form, acting});
  Json e = Json::object();
  e["module"] = acting;
  e["event"] = "FormShown";
  e["form"] = form.name();
  e["caption"] = form.caption();
  log_events.push_back(std::move(e));
}

void ScriptHost::Impl::OnFormClosed(controls::Form& form) {
  const auto before = forms.size();
  std::erase_if(forms, [&](const ShownForm& s) { return s.form == &form; });
  if (forms.size() == before) return;
  Json e = Json::object();
  e["module"] = acting;
  e["event"] = "FormClosed";
  e["form"] = form.name();
  log_events.push_back(std::move(e));
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
