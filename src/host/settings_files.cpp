// Paths of the per-user settings and print files, and one-value access to settings files.
#include "host/settings_files.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "values/variant.h"

namespace korvane {
namespace {

// The user's folder with exactly one "/" after it (none when the folder is empty).
std::string UserFolderPrefix(HostContext& host) {
  std::string folder = host.User().local_folder;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  if (folder.empty()) return {};
  if (folder != "/") folder += '/';
  return folder;
}

bool EnsureFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return true;
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

}  // namespace

std::string SettingsFolder(HostContext& host) {
  try {
    const std::string folder = UserFolderPrefix(host) + "selfbb";
    EnsureFolder(folder);
    return folder;
  } catch (...) {
    return "selfbb";
  }
}

std::string SettingsPath(std::string_view file_name, HostContext& host) {
  return SettingsFolder(host) + "/" + std::string(file_name) + ".txt";
}

std::string PrintPath(std::int32_t progid, HostContext& host) {
  try {
    return UserFolderPrefix(host) + "selfPrint/" + std::to_string(progid) + ".txt";
  } catch (...) {
    return "selfPrint/" + std::to_string(progid) + ".txt";
  }
}

std::string ReportPrintPath(std::int32_t progid, HostContext& host) {
  const std::string name = "selfPrn/Rpt" + std::to_string(progid) + ".prn";
  try {
    return UserFolderPrefix(host) + name;
  } catch (...) {
    return name;
  }
}

bool EnsureFolderOf(const std::string& path) {
  try {
    return EnsureFolder(std::filesystem::path(path).parent_path());
  } catch (...) {
    return false;
  }
}

std::unique_ptr<ProfileStore> OpenSettings(std::string_view file_name, HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = host.CreateProfileStore();
    if (store) store->SetFile(SettingsPath(file_name, host));
    return store;
  } catch (...) {
    return nullptr;
  }
}

std::string ReadSetting(std::string_view file_name, std::string_view section, std::string_view key,
                        std::string_view default_value, HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    if (!store) return std::string(default_value);
    return store->Read(section, key, default_value);
  } catch (...) {
    return std::string(default_value);
  }
}

bool WriteSetting(std::string_view file_name, std::string_view section, std::string_view key,
                  std::string_view value, HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    return store && store->Write(section, key, value);
  } catch (...) {
    return false;
  }
}

std::optional<double> ParseStoredNumber(std::string_view text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return std::nullopt;
  const char* begin = trimmed.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (end != begin + trimmed.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  // strtod also reads hexadecimal and "inf"/"nan" texts, which no setting is.
  for (char c : trimmed) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  return value;
}

std::optional<int> ParseStoredInt(std::string_view text) {
  const std::optional<double> value = ParseStoredNumber(text);
  if (!value || *value != std::floor(*value) || *value < std::numeric_limits<int>::min() ||
      *value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

}  // namespace korvane
