// Error texts in the form every module reports them.
#include "host/error_rule.h"

namespace korvane {

std::string ErrorText(std::string_view module, std::string_view routine,
                      std::string_view description) {
  std::string text(module);
  text += "-->";
  text += routine;
  text += "::";
  text += description;
  return text;
}

ErrorReport MakeErrorReport(std::string_view module, std::string_view routine,
                            std::string_view description) {
  return {ErrorText(module, routine, description), LogLevel::kError,
          std::string(kApplicationTitle)};
}

}  // namespace korvane
