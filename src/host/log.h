// Levels of the host's log, as modules pass them with ErrMessage.
#ifndef KORVANE_HOST_LOG_H_
#define KORVANE_HOST_LOG_H_

namespace korvane {

enum class LogLevel : int {
  kInformation = 1,  // a record of what was done
  kWarning = 2,      // a problem the user can correct
  kError = 8,        // an operation failed
  kAudit = 12,       // a record of a deleted line
};

}  // namespace korvane

#endif  // KORVANE_HOST_LOG_H_
