// The demo walk: a work report entered, saved and approved on a fresh demo factory, as a clerk
// does it, with every screen printed.
#include "demo_command.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.h"
#include "controls/basic_controls.h"
#include "controls/grid.h"
#include "controls/tree_view.h"
#include "host/interfaces.h"
#include "hostapp/reference_host.h"
#include "registration/registry.h"
#include "screen_text.h"
#include "table_text.h"
#include "workreport/sccjd_s.h"

namespace korvane::cli {

namespace {

// A step that did not do what the clerk expected.
struct DemoFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Expect(bool done, const std::string& what) {
  if (!done) throw DemoFailure(what);
}

// The clerk's side of the dialogs: message boxes are printed and answered Yes or OK, dialog
// forms are remembered while they are shown.
class ClerkDialogs : public Dialogs {
 public:
  explicit ClerkDialogs(std::ostream& out) : out_(out) {}

  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon,
                       std::string_view title) override {
    const bool question = buttons == MsgButtons::kYesNo || buttons == MsgButtons::kYesNoCancel;
    out_ << "  [" << title << "] " << text << (question ? "  -> 是" : "") << "\n";
    return question ? MsgAnswer::kYes : MsgAnswer::kOk;
  }
  std::optional<std::string> InputBox(std::string_view prompt, std::string_view,
                                      std::string_view default_text) override {
    out_ << "  [输入] " << prompt << " -> " << default_text << "\n";
    return std::string(default_text);
  }
  void FormShown(controls::Form& form) override { shown.push_back(&form); }
  void FormClosed(controls::Form& form) override { std::erase(shown, &form); }

  // The dialog form shown last; a failure when none is.
  controls::Form& Top(const std::string& what) {
    Expect(!shown.empty(), what + " did not open");
    return *shown.back();
  }

  std::vector<controls::Form*> shown;

 private:
  std::ostream& out_;
};

// Prints what the module tells its host.
class PrintedEvents : public DocumentEvents {
 public:
  explicit PrintedEvents(std::ostream& out) : out_(out) {}
  void Message(const std::string& text) override {
    if (!text.empty()) out_ << "  (状态栏) " << text << "\n";
  }
  void ErrMessage(const std::string& text, LogLevel, const std::string& title) override {
    out_ << "  [" << title << "] " << text << "\n";
    ++errors;
  }
  void FormRefreshed() override {}
  int errors = 0;

 private:
  std::ostream& out_;
};

int RowHolding(const controls::Grid& grid, int col, const std::string& text) {
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (grid.TextMatrix(r, col) == text) return r;
  }
  return -1;
}

class Walk {
 public:
  Walk(std::ostream& out, hostapp::ReferenceHost& host, ClerkDialogs& dialogs)
      : out_(out), host_(host), dialogs_(dialogs), events_(out) {}

  void Run(const std::shared_ptr<HostContext>& context) {
    std::shared_ptr<Object> object = ClassRegistry::Instance().Create("Korvane.SCCJD_S");
    auto report = std::dynamic_pointer_cast<SCCJD_S>(object);
    Expect(report != nullptr, "the work report module is not registered");
    report->Advise(&events_);
    struct Unadvise {
      SCCJD_S& module;
      DocumentEvents* sink;
      ~Unadvise() {
        module.Unadvise(sink);
        module.Clear();
      }
    } unadvise{*report, &events_};
    SCCJD_S& wr = *report;

    Step("1. 打开生产报工单，显示最后一张未审核的报工单");
    Expect(wr.Init(context, kProgram, 0) && wr.Refresh(), "opening the work report");
    Show(wr.form());

    Step("2. 新建报工单");
    Expect(wr.FileNew(), "a new work report");
    Expect(wr.field(workreport::kFieldWorkshop).Type("机加工车间") &&
               wr.field(workreport::kFieldWorkshop).Leave(),
           "the workshop 机加工车间");
    Expect(wr.field(workreport::kFieldDate).Type("2026-03-20") &&
               wr.field(workreport::kFieldDate).Leave(),
           "the production date");
    Show(wr.form());

    Step("3. 在产品工艺选择中选择工艺\"粗车\"下的产品\"泵轴\"");
    controls::Grid& lines = wr.grid();
    const int row = lines.fixed_rows();
    Expect(lines.ClickCellButton(row, workreport::kColProductCode), "the product picker button");
    controls::Form& picker = dialogs_.Top("the product picker");
    auto& tree = picker.Get<controls::TreeView>("TvSr");
    controls::TreeNode* process = tree.Find("wGX01");
    Expect(process != nullptr && tree.SelectNode(process), "the process 粗车 in the tree");
    auto& products = picker.Get<controls::Grid>("Vs");
    const int shaft = RowHolding(products, 2, "JJ-BZ-01");
    Expect(shaft > 0, "the pump shaft in the product list");
    products.ClickCell(shaft, 0);
    Show(picker);
    Expect(picker.Get<controls::Button>("Cmd", 0).Click() && dialogs_.shown.empty(),
           "choosing the pump shaft");
    out_ << "  标准工资定额: " << lines.TextMatrix(row, workreport::kColStandardRate) << "\n";

    Step("4. 录入生产数量 20、合格数量 19、扣减金额 1.5");
    Expect(lines.EditCell(row, workreport::kColProduced, "20"), "the produced quantity");
    Expect(lines.EditCell(row, workreport::kColQualified, "19"), "the qualified quantity");
    Expect(lines.EditCell(row, workreport::kColDeduction, "1.5"), "the deduction");
    Show(wr.form());

    Step("5. 在选择员工中分配给张伟 0.6 和王芳 0.4（多人共享一行）");
    Expect(lines.ClickCellButton(row, workreport::kColEmployees), "the employee dialog button");
    controls::Form& allocation = dialogs_.Top("the employee dialog");
    auto& people = allocation.Get<controls::Grid>("Vs");
    const int first = people.fixed_rows();
    Expect(people.EditCell(first, 1, "E001") && people.EditCell(first, 3, "0.6") &&
               people.EditCell(first + 1, 1, "王芳") && people.EditCell(first + 1, 3, "0.4"),
           "typing the two employees");
    auto& shared = allocation.Get<controls::CheckBox>("chk");
    if (!shared.ticked()) shared.Click();
    Show(allocation);
    Expect(allocation.Get<controls::Button>("cmdOK").Click() && dialogs_.shown.empty(),
           "confirming the employees");
    Show(wr.form());

    Step("6. 保存");
    Expect(wr.FileSave() && events_.errors == 0, "saving the report");
    const std::int32_t id = wr.GetID();
    Show(wr.form());

    Step("7. 审核：工资交给工资系统");
    Expect(wr.Check(), "approving the report");
    std::string error;
    Expect(host_.MarkApproval(kProgram, id, true, error), "recording the approval: " + error);
    Expect(wr.DoSetStatus("", true) && wr.GetID() == id, "showing the approved report");
    Show(wr.form());

    Step("8. 工资系统接收表 PATempDataMx");
    std::unique_ptr<Recordset> rows = host_.Data()->OpenSql(
        "select lEmployeeID as 员工ID, B.姓名, tCzDate as 日期, lGxID as 工艺ID, dAmount as 数量, "
        "dPrice as 单价, dMoney as 金额, sStandby1 as 工资定额, sStandby2 as 分配比例, "
        "sOutNumber as 报工单编号 from PATempDataMx A left join PDMGY B on "
        "A.lEmployeeID=B.雇员ID where lOutAutoID=" +
        std::to_string(id) + " and lOutCzID=" + std::to_string(kProgram) + " order by lAutoID");
    Expect(rows != nullptr, "reading the wage rows: " + host_.Data()->LastError());
    Expect(rows->RecordCount() == 2, "two wage rows, one per employee");
    out_ << FormatTable(*rows);
  }

 private:
  static constexpr std::int32_t kProgram = 2101;

  void Step(const std::string& title) { out_ << "\n" << title << "\n"; }
  void Show(const controls::Form& form) { out_ << ScreenText(form); }

  std::ostream& out_;
  hostapp::ReferenceHost& host_;
  ClerkDialogs& dialogs_;
  PrintedEvents events_;
};

}  // namespace

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  std::string path = options.database;
  std::error_code ec;
  if (path.empty()) {
    const fs::path folder =
        fs::temp_directory_path(ec) / ("korvane-demo-" + std::to_string(::getpid()));
    fs::create_directories(folder, ec);
    path = (folder / "factory.db").string();
  }
  if (fs::exists(path, ec)) {
    err << "korvane demo: " << path << " exists; the demo creates a new database\n";
    return 2;
  }
  std::ostringstream init_out;
  if (RunInit({path, true, std::nullopt}, init_out, err) != 0) return 1;
  out << "演示数据库: " << path << "\n";

  hostapp::ReferenceHostOptions host_options;
  host_options.database_path = path;
  host_options.user_name = "admin";
  host_options.business_date = std::chrono::year{2026} / std::chrono::March / 20;
  host_options.local_folder = (fs::path(path).parent_path() / "demo-user").string();
  host_options.module_factory = [](std::string_view progid) {
    return ClassRegistry::Instance().Create(progid);
  };
  auto dialogs = std::make_shared<ClerkDialogs>(out);
  std::string error;
  std::shared_ptr<hostapp::ReferenceHost> host =
      hostapp::ReferenceHost::Open(host_options, dialogs, error);
  if (!host) {
    err << "korvane demo: " << error << "\n";
    return 1;
  }
  try {
    Walk(out, *host, *dialogs).Run(host);
  } catch (const std::exception& e) {
    err << "korvane demo: the step failed: " << e.what() << "\n";
    return 1;
  }
  out << "\n演示完成。查看数据: korvane sql --db " << path << " \"select * from PATempDataMx\"\n";
  return 0;
}

}  // namespace korvane::cli
