// What every document's storage shares: what it works with, the outcomes it hands back for its
// caller to tell, and the claim of a number inside a save's transaction.
#ifndef KORVANE_DOCUMENT_NUMBERING_H_
#define KORVANE_DOCUMENT_NUMBERING_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "document/browser.h"
#include "document/guard.h"
#include "document/sql.h"
#include "host/host_context.h"

namespace korvane::document {

// What a document's storage works with.
struct DocumentStore {
  HostContext& host;  // the numbering
  DocumentSql& sql;
  DocumentBrowser& browser;  // the new rows' keys
  const ErrorGuard& guard;   // refused statements
  std::int32_t progid = 0;
};

enum class SaveOutcome {
  kSaved,
  kNumberRefused,    // the numbering refused the number of a new document
  kNumberEmpty,      // no number
  kNumberDuplicate,  // another document of the program holds the number
  kFailed,           // a statement failed (reported)
};

enum class DeleteOutcome {
  kDeleted,
  kNumberHeld,  // the numbering could not release the number: nothing deleted
  kFailed,      // a statement failed (reported), nothing deleted
};

// Inside a save's transaction, before anything is written: a new document takes `number` from
// the numbering on `day`; an empty number, or one that `duplicate_query` (the documents of the
// program holding it, the document itself left out) finds, is refused. kSaved when the
// document may be written under it. Throws DataFailure when the query is refused.
SaveOutcome ClaimNumber(HostContext& host, DocumentSql& sql, std::int32_t progid,
                        std::chrono::year_month_day day, bool is_new, const std::string& number,
                        const std::string& duplicate_query);

struct SaveResult {
  SaveOutcome outcome = SaveOutcome::kFailed;
  std::int32_t id = 0;  // the stored document's id when saved, else the one it had
};

// Saves a document in one transaction of the store: claims its number (ClaimNumber, new when
// `id` is 0 or below), then `write` writes it and returns its id, or nullopt to give up. Rolls
// back on any refusal or failure (a refused statement reported as an error of "FileSave");
// other exceptions pass through after the rollback.
template <typename Write>
SaveResult SaveInTransaction(const DocumentStore& s, std::int32_t id, const std::string& number,
                             const std::string& duplicate_query, std::chrono::year_month_day day,
                             Write&& write) {
  SaveResult result{SaveOutcome::kFailed, id};
  std::int32_t stored = id;
  const bool saved = s.sql.InTransaction(s.guard, "FileSave", [&] {
    result.outcome = ClaimNumber(s.host, s.sql, s.progid, day, id <= 0, number, duplicate_query);
    if (result.outcome != SaveOutcome::kSaved) return false;
    const std::optional<std::int32_t> written = write();
    if (!written) return false;
    stored = *written;
    return true;
  });
  if (saved) {
    result.id = stored;
  } else if (result.outcome == SaveOutcome::kSaved) {
    result.outcome = SaveOutcome::kFailed;
  }
  return result;
}

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_NUMBERING_H_
