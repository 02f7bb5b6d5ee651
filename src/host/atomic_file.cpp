// Whole-file replacement through a temporary file and a rename.
#include "host/atomic_file.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace korvane {

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  try {
    static std::atomic<unsigned> counter{0};
    long pid = 0;
#if defined(__unix__) || defined(__APPLE__)
    pid = static_cast<long>(::getpid());
#endif
    const std::string temp = path + ".tmp" + std::to_string(pid) + "_" + std::to_string(++counter);
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
#if defined(__unix__) || defined(__APPLE__)
    // The data must be on disk before the rename makes it the file, or a power loss could
    // leave the name pointing at an empty file.
    ok = ::fsync(::fileno(file)) == 0 && ok;
#endif
    ok = std::fclose(file) == 0 && ok;
    std::error_code ec;
    if (ok) {
      std::filesystem::rename(temp, path, ec);
      ok = !ec;
    }
    if (!ok) std::filesystem::remove(temp, ec);
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace korvane
