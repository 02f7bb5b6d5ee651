// The one guard every module handler runs under: an exception a handler did not expect never
// crosses a host interface; it is reported either through the module's ErrMessage event (the
// error rule) or in a critical message box, and the handler gives its failure value.
#ifndef KORVANE_DOCUMENT_GUARD_H_
#define KORVANE_DOCUMENT_GUARD_H_

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "host/error_rule.h"
#include "host/host_context.h"

namespace korvane::document {

// How the text of a boxed error is made: with a module name, module + arrow + routine + colon +
// description ("frmSelGy-->cmdOK_Click::...", "FmMCpml->Init:..."); without one, the
// description alone.
struct BoxStyle {
  std::string module;
  std::string arrow = "-->";
  std::string colon = "::";
  // The box's title; empty means the host's application title.
  std::string title;

  std::string Text(std::string_view routine, std::string_view description) const;
};

class ErrorGuard {
 public:
  using RaiseError = std::function<void(const ErrorReport&)>;
  using HostOf = std::function<HostContext*()>;

  // Reports through `raise` (the module's ErrMessage event) the error rule's report of
  // `module`: module + "-->" + routine + "::" + description, level 8, the application title.
  static ErrorGuard Event(std::string module, RaiseError raise);
  // Reports in a critical message box through the dialogs of the host `host` gives at the
  // time of the error; with no host yet (null) there is nobody to tell and nothing is shown.
  static ErrorGuard Box(BoxStyle style, HostOf host);

  // Reports `description` as an error of `routine`. Never throws: a host whose dialogs fail
  // cannot be told more.
  void Report(std::string_view routine, std::string_view description) const noexcept;

  // Runs `body`; an escaping exception is reported as an error of `routine` and `on_error`
  // is returned instead of body's result (nothing for a body without a result).
  template <typename Body, typename Result = std::invoke_result_t<Body>>
  Result Run(std::string_view routine, Body&& body,
             std::conditional_t<std::is_void_v<Result>, int, Result> on_error = {}) const {
    try {
      if constexpr (std::is_void_v<Result>) {
        std::forward<Body>(body)();
        static_cast<void>(on_error);
        return;
      } else {
        return std::forward<Body>(body)();
      }
    } catch (const std::exception& e) {
      Report(routine, e.what());
    } catch (...) {
      Report(routine, "unknown error");
    }
    if constexpr (!std::is_void_v<Result>) return on_error;
  }

 private:
  ErrorGuard() = default;

  std::string module_;
  RaiseError raise_;
  BoxStyle style_;
  HostOf host_;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_GUARD_H_
