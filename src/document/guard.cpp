// The guard's two ways of reporting an error.
#include "document/guard.h"

namespace korvane::document {

std::string BoxStyle::Text(std::string_view routine, std::string_view description) const {
  if (module.empty()) return std::string(description);
  std::string text = module;
  text += arrow;
  text += routine;
  text += colon;
  text += description;
  return text;
}

ErrorGuard ErrorGuard::Event(std::string module, RaiseError raise) {
  ErrorGuard guard;
  guard.module_ = std::move(module);
  guard.raise_ = std::move(raise);
  return guard;
}

ErrorGuard ErrorGuard::Box(BoxStyle style, HostOf host) {
  ErrorGuard guard;
  guard.style_ = std::move(style);
  guard.host_ = std::move(host);
  return guard;
}

void ErrorGuard::Report(std::string_view routine, std::string_view description) const noexcept {
  try {
    if (raise_) {
      raise_(MakeErrorReport(module_, routine, description));
      return;
    }
    HostContext* host = host_ ? host_() : nullptr;
    if (host == nullptr) return;
    const std::string title =
        style_.title.empty() ? std::string(host->ApplicationTitle()) : style_.title;
    host->dialogs().MessageBox(style_.Text(routine, description), MsgButtons::kOk,
                               MsgIcon::kCritical, title);
  } catch (...) {
    // A report that fails in turn has nowhere left to go.
  }
}

}  // namespace korvane::document
