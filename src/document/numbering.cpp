// The claim of a document's number.
#include "document/numbering.h"

namespace korvane::document {

SaveOutcome ClaimNumber(HostContext& host, DocumentSql& sql, std::int32_t progid,
                        std::chrono::year_month_day day, bool is_new, const std::string& number,
                        const std::string& duplicate_query) {
  if (number.empty()) return SaveOutcome::kNumberEmpty;
  if (is_new && !host.CommitDocumentNumber(progid, day, number)) {
    return SaveOutcome::kNumberRefused;
  }
  if (sql.Rows(duplicate_query)->RecordCount() > 0) return SaveOutcome::kNumberDuplicate;
  return SaveOutcome::kSaved;
}

}  // namespace korvane::document
