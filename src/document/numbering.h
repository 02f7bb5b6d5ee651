// What every document's storage shares: what it works with, the outcomes it hands back for its
// caller to tell, and the claim of a number inside a save's transaction.
#ifndef KORVANE_DOCUMENT_NUMBERING_H_
#define KORVANE_DOCUMENT_NUMBERING_H_

#include <chrono>
#include <cstdint>
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

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_NUMBERING_H_
