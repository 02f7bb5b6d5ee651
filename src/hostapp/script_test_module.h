// A small document module for the scripted host's tests: a form with text boxes, a grid, a
// check box, a combo box, a tree, a timer, a bar a person drags and buttons that ask message
// and input boxes, show a dialog form or throw; its form keeps a proportional layout and shows
// the wait cursor while it refreshes. It records what the host handed it so that tests can
// look.
#ifndef KORVANE_HOSTAPP_SCRIPT_TEST_MODULE_H_
#define KORVANE_HOSTAPP_SCRIPT_TEST_MODULE_H_

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/tree_view.h"
#include "host/dialogs.h"
#include "host/interfaces.h"
#include "host/shared_routines.h"

namespace korvane::test {

// A bar a person drags with the mouse; it keeps every press, move and release it was given.
class DragBar : public controls::Control, public PointerTarget {
 public:
  DragBar(std::string name, int index)
      : Control(controls::ControlKind::kPicture, "DragBar", std::move(name), index) {}
  bool MouseDown(int button, int, double x, double) override { return Note("down", button, x); }
  bool MouseMove(int button, int, double x, double) override { return Note("move", button, x); }
  bool MouseUp(int button, int, double x, double) override { return Note("up", button, x); }

  std::vector<std::string> log;

 private:
  bool Note(const char* what, int button, double x) {
    if (!CanAct()) return false;
    log.push_back(std::string(what) + " " + std::to_string(button) + " " + FormatNumber(x));
    return true;
  }
};

class ScriptTestModule : public Object,
                         public IFormUI,
                         public IDesignUI,
                         public EventSource<DocumentEvents>,
                         public WheelSource {
 public:
  ScriptTestModule() : form_("frmFake"), dialog_("frmPick") {
    using namespace controls;
    form_.Add<TextBox>("qxTxt", 0);
    auto& required = form_.Add<TextBox>("qxTxt", 1);
    // A person may not leave the second field empty.
    required.validate.Connect([&required](bool& cancel) { cancel = required.text().empty(); });
    grid_ = &form_.Add<Grid>("qxGrid");
    grid_->set_rows(4);
    grid_->set_cols(4);
    grid_->SetFormatString("#|产品|数量|ID");
    grid_->SetTextMatrix(1, 1, "A-100");
    grid_->SetCellKey(1, 1, Variant(100));
    grid_->SetTextMatrix(2, 1, "B-200");
    grid_->SetCellKey(2, 1, Variant(200));
    grid_->SetColHidden(3, true);
    grid_->SetColWidth(1, 1500);
    grid_->SetCellPicture(2, 2, "note");
    grid_->SetRowHidden(3, true);
    grid_->SetColFormat(2, "#,##0.00");
    grid_->SetColDataType(2, grid_type::kDouble);
    // The product codes are read-only: grey on dark blue; the second quantity stands out.
    for (int row = 1; row <= 2; ++row) {
      grid_->SetCellBackColor(row, 1, 14737632);
      grid_->SetCellForeColor(row, 1, 8388608);
    }
    grid_->SetCellBold(2, 2, true);
    grid_->set_editable(true);
    grid_->validate_edit.Connect([this](int row, int col, bool& cancel) {
      if (col == 2 && !IsNumber(grid_->edit_text())) {
        Host().dialogs().MessageBox("第" + std::to_string(row) + "行数量必须是数字",
                                    MsgButtons::kOk, MsgIcon::kExclamation, "提示：");
        cancel = true;
      }
    });
    grid_->key_down.Connect([this](int& key, int shift) {
      last_shift = shift;
      if (key == keys::kDelete && grid_->row() >= grid_->fixed_rows()) {
        const int row = grid_->row();
        grid_->RemoveItem(row);
        Say("deleted row " + std::to_string(row));
        key = 0;
      }
    });
    auto& check = form_.Add<CheckBox>("Chk");
    check.click.Connect([this, &check] { Say("check " + std::to_string(check.value())); });
    auto& combo = form_.Add<ComboBox>("cboType");
    combo.AddItem("生产", Variant(1));
    combo.AddItem("返工", Variant(2));
    combo.click.Connect([this, &combo] { Say("chose " + combo.text()); });
    auto& tree = form_.Add<TreeView>("tvw");
    auto& root = tree.Add(nullptr, NodeRelation::kLast, "r", "全部");
    tree.Add(&root, NodeRelation::kChild, "c1", "车间一");
    tree.node_click.Connect([this](TreeNode& node) { Say("node " + node.key()); });
    // Eight rows of 250 twips.
    tree.set_geometry({2600, 600, 2000, 2000});
    tree.set_visible_count(8);
    const auto mouse = [this](std::string what) {
      return [this, what](int button, int, double x, double y) {
        Say("tree " + what + " " + std::to_string(button) + " " +
            std::to_string(static_cast<int>(x)) + " " + std::to_string(static_cast<int>(y)));
      };
    };
    tree.mouse_down.Connect(mouse("down"));
    tree.mouse_move.Connect(mouse("move"));
    tree.mouse_up.Connect(mouse("up"));
    auto& timer = form_.Add<Timer>("tmr");
    timer.set_interval(200);
    timer.set_running(true);
    timer.timer.Connect([this, &timer] {
      timer.set_running(false);
      Say("timer");
    });
    auto& ask = form_.Add<Button>("cmdAsk");
    ask.set_caption("保存");
    ask.set_tooltip("保存修改");
    ask.click.Connect([this] {
      const MsgAnswer answer = Host().dialogs().MessageBox("保存修改吗？", MsgButtons::kYesNo,
                                                           MsgIcon::kQuestion, "提示：");
      Say(std::string("answer ") + std::string(AnswerName(answer)));
    });
    auto& input = form_.Add<Button>("cmdInput");
    input.click.Connect([this] {
      const auto text = Host().dialogs().InputBox("数量", "提示：", "1");
      form_.Get<TextBox>("qxTxt", 0).set_text(text ? *text : "(cancelled)");
    });
    auto& open = form_.Add<Button>("cmdDialog");
    open.click.Connect([this] {
      dialog_.Get<TextBox>("txtCode").set_text("");
      Host().dialogs().FormShown(dialog_);
    });
    auto& thrower = form_.Add<Button>("cmdThrow");
    thrower.click.Connect([] { throw std::runtime_error("boom"); });
    form_.Add<Button>("cmdLocked").set_enabled(false);
    form_.Add<DragBar>("bar").set_geometry({2400, 600, 75, 3000});

    form_.Get<TextBox>("qxTxt", 0).set_geometry({120, 120, 2400, 300});
    form_.SetInnerSize(4800, 3600);
    layout_.Record(form_);
    layout_.Attach(form_);
    dialog_.set_caption("选择产品");
    dialog_.Add<TextBox>("txtCode");
    auto& ok = dialog_.Add<Button>("cmdOK");
    ok.click.Connect([this] {
      grid_->SetTextMatrix(1, 1, dialog_.Get<TextBox>("txtCode").text());
      Say("picked");
      Host().dialogs().FormClosed(dialog_);
    });

    AttachWheel(wheel_, *grid_, rate_);
  }

  static bool IsNumber(const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0';
  }

  // IFormUI.
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::int32_t document_id) override {
    if (!context) return false;
    context_ = std::move(context);
    init_progid = progid;
    init_document_id = document_id;
    const Variant caption = context_->Data()->ScalarSql(
        "select menuname from xt_menu where progID=" + std::to_string(progid));
    form_.set_caption(caption.ToText());
    return !caption.IsBlank();
  }
  bool Clear() override {
    cleared = true;
    context_.reset();
    return true;
  }
  bool FileNew() override { return false; }
  bool FileNewNext() override { return false; }
  bool FileEdit() override { return false; }
  bool FileDelete() override {
    Raise([](DocumentEvents& e) {
      e.ErrMessage("FakeDoc-->FileDelete::not here", LogLevel::kError, "Korvane");
    });
    return false;
  }
  bool FileSave() override { return false; }
  bool FileCancel() override { return false; }
  bool Find(const ConditionArray& conditions) override {
    last_conditions = conditions;
    return !conditions.empty();
  }
  bool FindNext() override { return false; }
  bool Filter(const ConditionArray& conditions) override {
    last_conditions = conditions;
    return true;
  }
  bool Refresh() override {
    controls::BusyCursor busy(form_);
    Say("refreshed");
    Raise([](DocumentEvents& e) { e.FormRefreshed(); });
    return true;
  }
  bool RecordTop() override { return false; }
  bool RecordPrevious() override { return false; }
  bool RecordNext() override { return false; }
  bool RecordBottom() override { return false; }
  bool Check() override { return false; }
  bool UnCheck() override { return false; }
  bool PrintPreview() override { return false; }
  bool DoPrint() override { return false; }
  bool PrintSetup() override { return false; }
  bool Help() override { return false; }
  bool DoSetStatus(std::string_view status, bool approved) override {
    last_status = std::string(status);
    approved_view = approved;
    return true;
  }
  std::int32_t GetID() override { return 42; }
  bool CheckStatus(std::string_view) override { return approved_view; }
  std::string ReturnPrintName() override { return print_name; }
  bool IsDirty() override { return false; }
  bool DoGetFormStatus() override { return true; }
  bool DoSaveFormStatus() override { return true; }
  void Attributes() override {}

  // IDesignUI.
  const std::vector<std::unique_ptr<controls::Control>>& Controls() override {
    return form_.Controls();
  }
  std::shared_ptr<ParameterSet> GetParameters() override { return nullptr; }
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override {
    if (parameters && parameters->Exists("backcolor")) {
      form_.set_back_color(static_cast<std::uint32_t>(parameters->Item("backcolor")->ToInt64()));
    }
  }

  controls::MouseWheel& Wheel() override { return wheel_; }

  controls::Form& form() { return form_; }
  controls::Grid& grid() { return *grid_; }

  // What the host handed over.
  std::int32_t init_progid = 0;
  std::int32_t init_document_id = -1;
  ConditionArray last_conditions;
  std::string last_status;
  bool approved_view = false;
  int last_shift = -1;
  bool cleared = false;
  // What ReturnPrintName answers.
  std::string print_name = "p.txt";

 private:
  HostContext& Host() {
    if (!context_) throw std::logic_error("the fake module was not initialised");
    return *context_;
  }
  void Say(const std::string& text) {
    Raise([&text](DocumentEvents& e) { e.Message(text); });
  }

  controls::Form form_;
  controls::Form dialog_;
  controls::Grid* grid_ = nullptr;
  controls::MouseWheel wheel_;
  double rate_ = 2;
  ProportionalLayout layout_;
  std::shared_ptr<HostContext> context_;
};

}  // namespace korvane::test

#endif  // KORVANE_HOSTAPP_SCRIPT_TEST_MODULE_H_
