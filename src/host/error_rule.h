// The one way a module reports an unexpected error: the text module + "-->" + routine + "::" +
// description, at the error level, with the application title.
#ifndef KORVANE_HOST_ERROR_RULE_H_
#define KORVANE_HOST_ERROR_RULE_H_

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>

#include "host/log.h"

namespace korvane {

// The title modules give their error messages and message boxes.
inline constexpr std::string_view kApplicationTitle = "Korvane";

struct ErrorReport {
  std::string text;
  LogLevel level = LogLevel::kError;
  std::string title;
};

// "SCCJD_S-->LoadData::no such table: SFCDJ".
std::string ErrorText(std::string_view module, std::string_view routine,
                      std::string_view description);
ErrorReport MakeErrorReport(std::string_view module, std::string_view routine,
                            std::string_view description);

// Runs `body` and turns an escaping exception into the module's error report, handed to
// `report` (which raises ErrMessage). Returns body's result, or `on_error` when it threw.
template <typename Body, typename Report, typename Result = std::invoke_result_t<Body>>
Result Guarded(std::string_view module, std::string_view routine, Report&& report, Body&& body,
               Result on_error = Result{}) {
  try {
    return body();
  } catch (const std::exception& e) {
    report(MakeErrorReport(module, routine, e.what()));
  } catch (...) {
    report(MakeErrorReport(module, routine, "unknown error"));
  }
  return on_error;
}

}  // namespace korvane

#endif  // KORVANE_HOST_ERROR_RULE_H_
