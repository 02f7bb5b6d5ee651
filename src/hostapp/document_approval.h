// DocumentApproval: the host's record of a document's approval state (status, approver,
// approval date), which the document modules do not write themselves. Optional: a host context
// that keeps the record implements it beside HostContext, and a host that drives the modules
// asks for it with dynamic_cast once a module's Check or UnCheck returned true.
#ifndef KORVANE_HOSTAPP_DOCUMENT_APPROVAL_H_
#define KORVANE_HOSTAPP_DOCUMENT_APPROVAL_H_

#include <cstdint>
#include <string>

namespace korvane::hostapp {

class DocumentApproval {
 public:
  virtual ~DocumentApproval() = default;
  // Marks document `document_id` of program `progid` approved (status "02", approver the
  // user's name, approval date the business date) or unapproved (status "01", approver and
  // approval date emptied). The table and its key follow from the program's document class.
  // Returns false with `error` set when the program's class keeps no approval state this host
  // knows, the program has no such document, or the database fails; nothing is changed then.
  virtual bool MarkApproval(std::int32_t progid, std::int32_t document_id, bool approved,
                            std::string& error) = 0;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_DOCUMENT_APPROVAL_H_
