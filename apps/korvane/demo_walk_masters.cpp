// The demo walk's master data: a product structure with its cycle check, a process route with
// its piece rate, and a master plan for the finished product, each saved and approved.
#include <string>

#include "bom/bom.h"
#include "demo_walk.h"
#include "planning/plan2.h"
#include "routing/srlx1.h"
#include "screen_text.h"

namespace korvane::cli {

namespace {
constexpr std::int32_t kStructureProgram = 4101;
constexpr std::int32_t kRouteProgram = 5101;
constexpr std::int32_t kPlanProgram = 3101;
}  // namespace

void Walk::Structure() {
  Opened<Bom, DocumentEvents> bom("Korvane.Bom", &events_);
  const std::string product(kDemoProduct);

  Step("1. 产品物料清单：为管道泵 " + product + " 新建结构（转子组件、泵盖、电机）");
  Expect(bom->Init(host_, kStructureProgram, 0) && bom->Refresh(), "opening the structures");
  controls::TreeView& tree = bom->tree();
  Expect(tree.SelectNode(tree.Find("w" + product)), "the pump in the product tree");
  Expect(bom->FileNew(), "a new structure");
  Expect(bom->header(bom::kFieldProduct).text() == product, "the pump as the parent");

  controls::Grid& lines = bom->lines();
  const int first = lines.fixed_rows();
  Step("1.1 子件：转子组件、泵盖、电机，保存");
  Expect(lines.EditCell(first, bom::kColCode, std::string(kDemoPart)) &&
             lines.EditCell(first + 1, bom::kColCode, "ZJ-ZZ-01") &&
             lines.EditCell(first + 2, bom::kColCode, "DQ-DJ-15") &&
             lines.EditCell(first + 2, bom::kColQuantity, "1"),
         "the three components");
  Expect(bom->FileSave() && events_.errors == 0, "saving the structure");
  Show(bom->form());

  Step("1.2 审核物料清单");
  Expect(bom->Check(), "approving the structure");
  const Variant id = host_->Data()->ScalarSql(
      "select max(bomID) from PDMBOM where 产品ID=(select 产品ID from PDMCPML where 物品编码=" +
      SqlQuote(product) + ")");
  Expect(!id.IsEmpty() && !id.IsNull(), "the stored structure");
  std::string error;
  Expect(host_->MarkApproval(kStructureProgram, static_cast<std::int32_t>(id.ToLong()), true,
                             error),
         "recording the approval: " + error);
  Table(
      "select a.bomID, a.smark as 状态, b.rowindex as 顺序号, c.物品编码 as 子件, c.物品名称 "
      "as 名称, b.配量分子 as 组成量 from PDMBOM a join PDMBOMMX b on a.bomID=b.bomID join "
      "PDMCPML c on b.配件ID=c.产品ID where a.bomID=" +
          std::to_string(id.ToLong()) + " order by b.rowindex",
      "the approved structure");

  // Finished goods are no components, so the cycle check is shown on the pump's rotor
  // assembly: a structure naming the assembly inside itself is refused.
  Step("1.3 转子组件 ZJ-ZZ-01 的新结构以自身为子件：保存时结构检查拒绝");
  Expect(tree.SelectNode(tree.Find("wZJ-ZZ-01")) && bom->FileNew(),
         "a new structure for the rotor assembly");
  Expect(lines.EditCell(first, bom::kColCode, "ZJ-ZZ-01"), "the assembly as its own component");
  const std::size_t boxes = dialogs_.boxes.size();
  Expect(!bom->FileSave(), "the cycle check refusing the assembly inside itself");
  Expect(dialogs_.boxes.size() > boxes && dialogs_.boxes.back().find("嵌套") != std::string::npos,
         "the refusal naming the nested structure");
  Show(bom->form());
  Expect(bom->FileCancel(), "leaving the refused structure");
}

void Walk::Route() {
  Opened<SRLX1, DocumentEvents> route("Korvane.SRLX1", &events_);
  const std::string part(kDemoPart);

  Step("2. 工艺路线：泵盖 " + part + " 新建路线，精车工资定额 " + std::string(kDemoRate));
  Expect(route->Init(host_, kRouteProgram, 0) && route->Refresh(), "opening the routes");
  controls::TreeView& tree = route->tree();
  Expect(tree.SelectNode(tree.Find("w" + part)), "the pump cover in the product tree");
  Expect(route->FileNew(), "a new route");
  Expect(route->header(routing::kFieldName).Type("泵盖数控路线") &&
             route->header(routing::kFieldName).Leave(),
         "the route's name");
  controls::Grid& operations = route->operations();
  const int first = operations.fixed_rows();
  Expect(operations.EditCell(first, routing::kColProcess, "GX02") &&
             operations.EditCell(first, routing::kColWorkshop, "机加工车间") &&
             operations.EditCell(first, routing::kColWage, std::string(kDemoRate)),
         "the operation 精车 with its piece rate");
  Show(route->form());
  Expect(route->FileSave() && events_.errors == 0, "saving the route");
  Show(route->form());
  auto rates = Table(
      "select z.ID, c.物品编码, s.工艺名称, z.单位工资 from pagzde z join PDMCPML c on "
      "z.产品ID=c.产品ID join PDMSR s on z.工序ID=s.工艺ID where c.物品编码=" +
          SqlQuote(part) + " and s.编号='GX02'",
      "the piece rate");
  Expect(rates->RecordCount() == 1, "one piece rate of 精车 for the pump cover in pagzde");
}

void Walk::Plan() {
  Opened<plan2, PlanEvents> plan("Korvane.plan2", &events_);

  Step("3. 主生产计划：管道泵 8 台，保存并审核");
  Expect(plan->Init(host_, kPlanProgram, 0), "opening the master plans");
  Expect(plan->FileNew(), "a new plan");
  Expect(plan->header(planning::kFieldRemark).Type("三月管道泵生产计划") &&
             plan->header(planning::kFieldRemark).Leave(),
         "the plan's remark");
  controls::Grid& lines = plan->lines();
  const int first = lines.fixed_rows();
  Expect(lines.EditCell(first, planning::kColProductCode, std::string(kDemoProduct)) &&
             lines.EditCell(first, planning::kColBatch, "P2603-GD") &&
             lines.EditCell(first, planning::kColDemand, "8") &&
             lines.EditCell(first, planning::kColDemandDate, "2026-03-31"),
         "the plan line for the pump");
  Expect(plan->FileSave() && events_.errors == 0, "saving the plan");
  const std::int32_t id = plan->GetID();
  plan_number_ = plan->header(planning::kFieldNumber).text();
  Expect(id > 0 && !plan_number_.empty(), "the stored plan's number");
  Expect(plan->Check(), "approving the plan");
  std::string error;
  Expect(host_->MarkApproval(kPlanProgram, id, true, error), "recording the approval: " + error);
  Expect(plan->DoSetStatus("", true) && plan->GetID() == id, "showing the approved plan");
  Show(plan->form());
}

}  // namespace korvane::cli
