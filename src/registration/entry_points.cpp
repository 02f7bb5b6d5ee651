// The exported entry points and the upkeep of the host's registration file.
#include "registration/entry_points.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>

#include "values/object.h"

namespace korvane {
namespace fs = std::filesystem;
namespace {

// Any address inside this library tells dladdr which file it was loaded from.
const char library_anchor = 0;

bool IsBlankText(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Reads the registration file into `out` (an object). A missing or blank file gives an empty
// object; `existed` tells whether the file was there.
int ReadRegistrations(const fs::path& file, nlohmann::json& out, bool& existed) {
  out = nlohmann::json::object();
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  existed = fs::exists(status);
  if (!existed) return ec && ec != std::errc::no_such_file_or_directory ? kSelfRegEClass : kSOk;
  if (!fs::is_regular_file(status)) return kSelfRegEClass;
  std::ifstream in(file, std::ios::binary);
  if (!in) return kSelfRegEClass;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return kSelfRegEClass;
  if (IsBlankText(text)) return kSOk;
  nlohmann::json parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded() || !parsed.is_object()) return kEInvalidData;
  out = std::move(parsed);
  return kSOk;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces the file's content by writing a sibling file and renaming it over the file, so that
// a reader never sees half a file. A new file gets the usual permissions (umask applies); an
// existing one keeps its own.
bool WriteAtomically(const fs::path& file, const std::string& text) {
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = file.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  struct stat existing {};
  bool ok = true;
  if (::stat(file.c_str(), &existing) == 0) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here does not undo the replacement.
  const fs::path parent = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool IsThisLibrary(const nlohmann::json& entry, const std::string& library) {
  if (!entry.is_object()) return false;
  const auto it = entry.find("library");
  if (it == entry.end() || !it->is_string()) return false;
  const std::string& path = it->get_ref<const std::string&>();
  if (path == library) return true;
  // The same file reached through another name (the versioned name or a symbolic link).
  std::error_code ec;
  return fs::equivalent(path, library, ec) && !ec;
}

nlohmann::json EntryFor(const ClassInfo& info, const std::string& library) {
  nlohmann::json interfaces = nlohmann::json::array();
  for (std::string_view name : InterfaceNames(info.interfaces)) interfaces.push_back(name);
  return {{"library", library},
          {"kind", ToString(info.kind)},
          {"interfaces", std::move(interfaces)},
          {"events", ToString(info.events)}};
}

int UpdateRegistrationFile(const char* registration_file, bool add) {
  if (registration_file == nullptr || *registration_file == '\0') return kEInvalidArg;
  try {
    const std::string library = LibraryFile();
    if (library.empty()) return kEFail;
    fs::path file(registration_file);
    // Replace the file a symbolic link points to, not the link.
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
      const fs::path target = fs::weakly_canonical(file, ec);
      if (ec) return kSelfRegEClass;
      file = target;
    }
    nlohmann::json registrations;
    bool existed = false;
    if (const int rc = ReadRegistrations(file, registrations, existed); rc != kSOk) return rc;
    const nlohmann::json before = registrations;
    if (add) {
      for (const ClassInfo& info : ClassRegistry::Instance().Classes()) {
        registrations[info.progid] = EntryFor(info, library);
      }
    } else {
      for (auto it = registrations.begin(); it != registrations.end();) {
        it = IsThisLibrary(*it, library) ? registrations.erase(it) : std::next(it);
      }
    }
    if (existed && registrations == before) return kSOk;
    if (!existed && !add) return kSOk;
    return WriteAtomically(file, registrations.dump(2) + "\n") ? kSOk : kSelfRegEClass;
  } catch (...) {
    return kEFail;
  }
}

}  // namespace

std::string LibraryFile() {
  Dl_info info{};
  if (::dladdr(&library_anchor, &info) == 0 || info.dli_fname == nullptr ||
      *info.dli_fname == '\0') {
    return {};
  }
  std::error_code ec;
  const fs::path path = fs::absolute(info.dli_fname, ec);
  return ec ? std::string() : path.lexically_normal().string();
}

}  // namespace korvane

extern "C" {

int DllGetClassObject(const char* progid, void** factory) {
  if (factory == nullptr) return korvane::kEPointer;
  *factory = nullptr;
  if (progid == nullptr) return korvane::kEPointer;
  try {
    korvane::ClassFactory* found = korvane::ClassRegistry::Instance().Factory(progid);
    if (found == nullptr) return korvane::kClassENotAvailable;
    *factory = found;
    return korvane::kSOk;
  } catch (...) {
    return korvane::kEFail;
  }
}

int DllCanUnloadNow(void) {
  return korvane::Object::LiveCount() == 0 ? korvane::kSOk : korvane::kSFalse;
}

int DllRegisterServer(const char* registration_file) {
  return korvane::UpdateRegistrationFile(registration_file, /*add=*/true);
}

int DllUnregisterServer(const char* registration_file) {
  return korvane::UpdateRegistrationFile(registration_file, /*add=*/false);
}

}  // extern "C"
