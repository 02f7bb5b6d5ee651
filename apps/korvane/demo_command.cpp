// `korvane demo`: the demo database created and the factory walked on it (demo_walk_*.cpp).
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
#include "data/pg_data_service.h"
#include "demo_walk.h"
#include "host/interfaces.h"
#include "hostapp/reference_host.h"
#include "registration/registry.h"
#include "screen_text.h"
#include "table_text.h"

namespace korvane::cli {

MsgAnswer ClerkDialogs::MessageBox(std::string_view text, MsgButtons buttons, MsgIcon,
                                   std::string_view title) {
  const bool question = buttons == MsgButtons::kYesNo || buttons == MsgButtons::kYesNoCancel;
  out_ << "  [" << title << "] " << text << (question ? "  -> 是" : "") << "\n";
  boxes.emplace_back(text);
  return question ? MsgAnswer::kYes : MsgAnswer::kOk;
}

std::optional<std::string> ClerkDialogs::InputBox(std::string_view prompt, std::string_view,
                                                  std::string_view default_text) {
  out_ << "  [输入] " << prompt << " -> " << default_text << "\n";
  return std::string(default_text);
}

controls::Form& ClerkDialogs::Top(const std::string& what) {
  Expect(!shown.empty(), what + " did not open");
  return *shown.back();
}

void PrintedEvents::Message(const std::string& text) {
  if (!text.empty()) out_ << "  (状态栏) " << text << "\n";
}

void PrintedEvents::ErrMessage(const std::string& text, LogLevel, const std::string& title) {
  out_ << "  [" << title << "] " << text << "\n";
  ++errors;
}

int RowHolding(const controls::Grid& grid, int col, const std::string& text) {
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (grid.TextMatrix(r, col) == text) return r;
  }
  return -1;
}

void Walk::Show(const controls::Form& form) { out_ << ScreenText(form); }

std::unique_ptr<Recordset> Walk::Table(const std::string& sql, const std::string& what) {
  std::unique_ptr<Recordset> rows = host_->Data()->OpenSql(sql);
  Expect(rows != nullptr, "reading " + what + ": " + host_->Data()->LastError());
  out_ << FormatTable(*rows);
  return rows;
}

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
  if (data::IsPostgresUri(path)) {
    err << "korvane demo: the demo walk runs on a database file only for now; load the demo "
           "factory into a server database with korvane init --demo\n";
    return 1;
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
    Walk(out, host, *dialogs).Run();
  } catch (const std::exception& e) {
    err << "korvane demo: the step failed: " << e.what() << "\n";
    return 1;
  }
  out << "\n演示完成。查看数据: korvane sql --db " << path << " \"select * from PATempDataMx\"\n";
  return 0;
}

}  // namespace korvane::cli
