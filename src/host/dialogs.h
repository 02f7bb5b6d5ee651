// Dialogs: the host's message boxes and input boxes. Every box a module shows goes through
// this interface, so a host decides how it is presented (a window, a terminal prompt, a queued
// answer in a script or a test).
#ifndef KORVANE_HOST_DIALOGS_H_
#define KORVANE_HOST_DIALOGS_H_

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

namespace controls {
class Form;
class MouseWheel;
}  // namespace controls

// The title of the boxes that tell a person what to correct or ask them to confirm. A few old
// questions (deleting a document, a zero rate) keep the plain colon their users know:
// kPlainPromptTitle.
inline constexpr std::string_view kPromptTitle = "提示：";
inline constexpr std::string_view kPlainPromptTitle = "提示:";

enum class MsgButtons : int {
  kOk = 0,
  kOkCancel = 1,
  kAbortRetryIgnore = 2,
  kYesNoCancel = 3,
  kYesNo = 4,
  kRetryCancel = 5,
};

enum class MsgIcon : int {
  kNone = 0,
  kCritical = 16,
  kQuestion = 32,
  kExclamation = 48,
  kInformation = 64,
};

enum class MsgAnswer : int {
  kOk = 1,
  kCancel = 2,
  kAbort = 3,
  kRetry = 4,
  kIgnore = 5,
  kYes = 6,
  kNo = 7,
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a message box and returns the button the user chose.
  virtual MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                               std::string_view title) = 0;
  // Asks for a text; nullopt when the user cancelled.
  virtual std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                              std::string_view default_text) = 0;

  // A module's dialog forms are modeless: the module shows the form and returns, and later
  // actions on the form (a button click) finish the work. The module tells the host when it
  // shows one, so that the host can present it and let a person act on its controls, and when
  // it closes it (before the form is destroyed: the host drops every reference then). A host
  // with no use for them keeps these defaults.
  virtual void FormShown(controls::Form& /*form*/) {}
  virtual void FormClosed(controls::Form& /*form*/) {}
};

// A module that scrolls its grid with the mouse wheel owns the wheel source and hands it out
// here, so that a host feeds it the notches turned over the module's window. Optional: a host
// asks the module object for it with QueryInterface<WheelSource>.
class WheelSource {
 public:
  virtual ~WheelSource() = default;
  virtual controls::MouseWheel& Wheel() = 0;
};

// Names of the buttons and icons as a host shows them ("OK", "Yes/No", "Question"), for hosts
// that print boxes as text.
std::string_view ButtonsName(MsgButtons buttons);
std::string_view IconName(MsgIcon icon);
std::string_view AnswerName(MsgAnswer answer);

}  // namespace korvane

#endif  // KORVANE_HOST_DIALOGS_H_
