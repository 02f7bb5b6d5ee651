// cDelCPLB: the tool the product-category maintenance runs to delete a category with
// everything below it: every category whose code begins with its code, the products of those
// categories, and what hangs on the products (piece rates, process routes with their
// operations, structures with their lines).
//
// Contract:
//  - Init(context, argument1, category id) keeps the three and is true; false, keeping nothing,
//    without a context. argument1 is kept and not used.
//  - Clear is false and changes nothing; GetParameters is null and SetParameters is ignored;
//    Author, Version, FriendlyName, Description and Error are empty.
//  - Action asks "确定删除数据？" (Yes/No, "提示："). Any answer but Yes is true and touches
//    nothing. Category id 0 is refused ("物品编号为0，不能删除！", OK) as false before any
//    statement. Otherwise the category's code is read (trimmed); a category that does not exist
//    is an error, and an empty code, or one holding a pattern character (% _ [), is refused
//    before any delete, since its pattern would match other categories' codes.
//  - The deletes run in one transaction in the order piece rates, route operations, routes,
//    structure lines, structures, products, categories; the first refused statement rolls all
//    of them back, no later one is sent, and the error is shown in an OK box (module, routine
//    and the database's text) and Action is false. After the commit "删除数据成功！" is shown
//    once and Action is true.
//  - Only structures that belong to the deleted products go: a line of another product's
//    structure using one of them as a component stays.
//  - The code reaches the statements through SqlEscape only. Everything is told through the
//    host's dialogs; nothing throws out of a member.
#ifndef KORVANE_TOOLS_C_DEL_CPLB_H_
#define KORVANE_TOOLS_C_DEL_CPLB_H_

#include <cstdint>
#include <memory>
#include <string>

#include "document/guard.h"
#include "host/interfaces.h"
#include "values/object.h"
#include "values/variant.h"

namespace korvane {

class cDelCPLB : public Object, public IToolUI {
 public:
  cDelCPLB();

  std::shared_ptr<ParameterSet> GetParameters() override;
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override;
  bool Init(std::shared_ptr<HostContext> context, const Variant& argument1,
            const Variant& category_id) override;
  bool Clear() override;
  std::string Author() override;
  std::string Version() override;
  std::string FriendlyName() override;
  std::string Description() override;
  bool Action(const Variant& argument) override;
  std::string Error() override;

  // The category Init was given (0 before).
  std::int32_t category_id() const { return category_id_; }

 private:
  bool Delete();

  std::shared_ptr<HostContext> host_;
  std::int32_t argument1_ = 0;
  std::int32_t category_id_ = 0;
  document::ErrorGuard guard_;
};

}  // namespace korvane

#endif  // KORVANE_TOOLS_C_DEL_CPLB_H_
