// The category deletion tool: one confirmation, then the category, its sub-categories, their
// products and what hangs on the products, in one transaction.
#include "tools/c_del_cplb.h"

#include <string_view>
#include <utility>

#include "document/sql.h"
#include "host/data_service.h"
#include "host/dialogs.h"

namespace korvane {
namespace {

constexpr std::string_view kModule = "cDelCPLB";

// The categories the deletion reaches, for code C: C itself and every code beginning with C.
std::string Categories(const std::string& escaped_code) {
  return "(select 类别ID  from pdmcplb where 类别编码 like '" + escaped_code + "%')";
}

// The products of those categories.
std::string Products(const std::string& escaped_code) {
  return "(select 产品ID  from pdmcpml where 产品类别ID in " + Categories(escaped_code) + ")";
}

// A code that LIKE would read as more than its own characters.
bool HoldsPatternCharacter(std::string_view code) {
  return code.find_first_of("%_[") != std::string_view::npos;
}

}  // namespace

cDelCPLB::cDelCPLB()
    : guard_(document::ErrorGuard::Box(
          document::BoxStyle{
              .module = std::string(kModule), .arrow = "-->", .colon = "::", .title = ""},
          [this] { return host_.get(); })) {}

std::shared_ptr<ParameterSet> cDelCPLB::GetParameters() { return nullptr; }

void cDelCPLB::SetParameters(std::shared_ptr<ParameterSet> /*parameters*/) {}

bool cDelCPLB::Init(std::shared_ptr<HostContext> context, const Variant& argument1,
                    const Variant& category_id) {
  if (context == nullptr) return false;
  return guard_.Run("Init", [&] {
    argument1_ = argument1.ToLong();
    category_id_ = category_id.ToLong();
    host_ = std::move(context);
    return true;
  });
}

bool cDelCPLB::Clear() { return false; }

std::string cDelCPLB::Author() { return {}; }
std::string cDelCPLB::Version() { return {}; }
std::string cDelCPLB::FriendlyName() { return {}; }
std::string cDelCPLB::Description() { return {}; }
std::string cDelCPLB::Error() { return {}; }

bool cDelCPLB::Action(const Variant& /*argument*/) {
  // Without a host there is nobody to ask.
  if (host_ == nullptr) return false;
  return guard_.Run("Action", [this] { return Delete(); });
}

bool cDelCPLB::Delete() {
  Dialogs& dialogs = host_->dialogs();
  if (dialogs.MessageBox("确定删除数据？", MsgButtons::kYesNo, MsgIcon::kQuestion, kPromptTitle) !=
      MsgAnswer::kYes) {
    return true;
  }
  if (category_id_ == 0) {
    dialogs.MessageBox("物品编号为0，不能删除！", MsgButtons::kOk, MsgIcon::kNone, kPromptTitle);
    return false;
  }
  const std::shared_ptr<DataService> data = host_->Data();
  if (data == nullptr) {
    guard_.Report("Action", "the host has no database");
    return false;
  }
  document::DocumentSql sql;
  sql.Bind(data);
  const Variant read =
      sql.Scalar("select 类别编码 from pdmcplb  where 类别ID=" + std::to_string(category_id_));
  if (read.IsEmpty()) {
    guard_.Report("Action", "产品类别不存在（类别ID=" + std::to_string(category_id_) + "）");
    return false;
  }
  const std::string code = Trim(read.ToText());
  if (code.empty()) {
    dialogs.MessageBox("类别编码为空，不能删除！（空编码会匹配所有类别）", MsgButtons::kOk,
                       MsgIcon::kExclamation, kPromptTitle);
    return false;
  }
  if (HoldsPatternCharacter(code)) {
    dialogs.MessageBox("类别编码[" + code + "]含有通配符（% _ [），不能删除！", MsgButtons::kOk,
                       MsgIcon::kExclamation, kPromptTitle);
    return false;
  }
  const std::string c = SqlEscape(code);
  const std::string statements[] = {
      "Delete from pagzde where 产品ID in " + Products(c),
      "Delete from pdmsrlxmx where SRLXID in(select [ID] from PDMSRLX where 产品ID in" +
          Products(c) + ")",
      "Delete from PDMSRLX where 产品ID in " + Products(c),
      "Delete from PDMBOMMX where BOMID in (select BOMID from PDMBOM where 产品ID in " +
          Products(c) + ")",
      "Delete from PDMBOM where 产品ID in " + Products(c),
      "Delete  from pdmcpml where 产品类别ID in " + Categories(c),
      "Delete from pdmcplb where 类别编码 like '" + c + "%'",
  };
  const bool deleted = sql.InTransaction(guard_, "Action", [&] {
    for (const std::string& statement : statements) sql.Execute(statement);
    return true;
  });
  if (!deleted) return false;
  dialogs.MessageBox("删除数据成功！", MsgButtons::kOk, MsgIcon::kNone, kPromptTitle);
  return true;
}

}  // namespace korvane
