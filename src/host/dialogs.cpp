// Names of message box buttons, icons and answers, for hosts that show boxes as text.
#include "host/dialogs.h"

namespace korvane {

std::string_view ButtonsName(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return "OK";
    case MsgButtons::kOkCancel:
      return "OK/Cancel";
    case MsgButtons::kAbortRetryIgnore:
      return "Abort/Retry/Ignore";
    case MsgButtons::kYesNoCancel:
      return "Yes/No/Cancel";
    case MsgButtons::kYesNo:
      return "Yes/No";
    case MsgButtons::kRetryCancel:
      return "Retry/Cancel";
  }
  return "?";
}

std::string_view IconName(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kNone:
      return "None";
    case MsgIcon::kCritical:
      return "Critical";
    case MsgIcon::kQuestion:
      return "Question";
    case MsgIcon::kExclamation:
      return "Exclamation";
    case MsgIcon::kInformation:
      return "Information";
  }
  return "?";
}

std::string_view AnswerName(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::kOk:
      return "OK";
    case MsgAnswer::kCancel:
      return "Cancel";
    case MsgAnswer::kAbort:
      return "Abort";
    case MsgAnswer::kRetry:
      return "Retry";
    case MsgAnswer::kIgnore:
      return "Ignore";
    case MsgAnswer::kYes:
      return "Yes";
    case MsgAnswer::kNo:
      return "No";
  }
  return "?";
}

}  // namespace korvane
