// The pieces the demo walk shares: the clerk's answers to the modules' dialogs, the module
// events printed as they come, and the walk itself, whose steps live in demo_walk_*.cpp.
#ifndef KORVANE_APPS_KORVANE_DEMO_WALK_H_
#define KORVANE_APPS_KORVANE_DEMO_WALK_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "controls/form.h"
#include "controls/grid.h"
#include "host/dialogs.h"
#include "host/interfaces.h"
#include "hostapp/reference_host.h"
#include "registration/registry.h"

namespace korvane::cli {

// A step that did not do what the clerk expected.
struct DemoFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline void Expect(bool done, const std::string& what) {
  if (!done) throw DemoFailure(what);
}

// The clerk's side of the dialogs: message boxes are printed and answered Yes or OK, dialog
// forms are remembered while they are shown.
class ClerkDialogs : public Dialogs {
 public:
  explicit ClerkDialogs(std::ostream& out) : out_(out) {}

  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon,
                       std::string_view title) override;
  std::optional<std::string> InputBox(std::string_view prompt, std::string_view,
                                      std::string_view default_text) override;
  void FormShown(controls::Form& form) override { shown.push_back(&form); }
  void FormClosed(controls::Form& form) override { std::erase(shown, &form); }

  // The dialog form shown last; a failure when none is.
  controls::Form& Top(const std::string& what);

  std::vector<controls::Form*> shown;
  // Every message box text since the walk began, in order.
  std::vector<std::string> boxes;

 private:
  std::ostream& out_;
};

// Prints what a document or a report tells its host and counts the errors.
class PrintedEvents : public PlanEvents, public ReportEvents {
 public:
  explicit PrintedEvents(std::ostream& out) : out_(out) {}
  void Message(const std::string& text) override;
  void ErrMessage(const std::string& text, LogLevel, const std::string& title) override;
  void FormRefreshed() override {}
  void Property(const std::string&, const Variant&, bool) override {}
  void Detaile(std::int32_t, std::int32_t) override {}
  void VsMouseDown(std::int16_t&, std::int16_t&, float&, float&) override {}
  int errors = 0;

 private:
  std::ostream& out_;
};

// The first data row whose cell in `col` reads `text`; -1 when none does.
int RowHolding(const controls::Grid& grid, int col, const std::string& text);

// A module created by its programmatic identifier, listened to while it is open and cleared
// when the step is done with it.
template <typename Module, typename Sink>
class Opened {
 public:
  Opened(std::string_view progid, Sink* sink) : sink_(sink) {
    module_ = std::dynamic_pointer_cast<Module>(ClassRegistry::Instance().Create(progid));
    Expect(module_ != nullptr, std::string(progid) + " is not registered");
    module_->Advise(sink_);
  }
  ~Opened() {
    module_->Unadvise(sink_);
    module_->Clear();
  }
  Opened(const Opened&) = delete;
  Opened& operator=(const Opened&) = delete;
  Module& operator*() const { return *module_; }
  Module* operator->() const { return module_.get(); }

 private:
  std::shared_ptr<Module> module_;
  Sink* sink_;
};

// The factory walked on the demo database: structure, route, plan, work report, payroll
// intake, one employee's wage detail and the work report query, each step printing its screens.
class Walk {
 public:
  Walk(std::ostream& out, std::shared_ptr<hostapp::ReferenceHost> host, ClerkDialogs& dialogs)
      : out_(out), host_(std::move(host)), dialogs_(dialogs), events_(out) {}

  void Run() {
    Structure();
    Route();
    Plan();
    WorkReport();
    Payroll();
    WageDetail();
    Query();
  }

 private:
  // demo_walk_masters.cpp
  void Structure();
  void Route();
  void Plan();
  // demo_walk_wages.cpp
  void WorkReport();
  void Payroll();
  void WageDetail();
  void Query();

  void Step(const std::string& title) { out_ << "\n" << title << "\n"; }
  void Show(const controls::Form& form);
  // The rows a statement selects, printed as a table; a failure naming `what` when the
  // statement fails.
  std::unique_ptr<Recordset> Table(const std::string& sql, const std::string& what);

  std::ostream& out_;
  std::shared_ptr<hostapp::ReferenceHost> host_;
  ClerkDialogs& dialogs_;
  PrintedEvents events_;

  // What the later steps take from the earlier ones.
  std::string plan_number_;
  std::int32_t report_id_ = 0;
};

// The finished product, the component whose route is entered, and the process its rate is for.
inline constexpr std::string_view kDemoProduct = "CP-GDB-40";
inline constexpr std::string_view kDemoPart = "JJ-BG-01";
inline constexpr std::string_view kDemoRate = "3.6";

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_DEMO_WALK_H_
