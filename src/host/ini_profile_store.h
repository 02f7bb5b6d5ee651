// IniProfileStore: the ProfileStore that keeps a per-user settings file as UTF-8 INI text
// ("[section]" lines followed by "key=value" lines).
//
// Contract:
//  - Section and key names are compared without regard to ASCII case; other characters
//    (Chinese names) must match exactly. When a name occurs twice, the first occurrence counts.
//  - A value is everything after the first "=" of its line; blanks (spaces, tabs) around key
//    and value are dropped. Lines starting with ";" or "#" are comments.
//  - Read never fails: a missing file, section or key, and any part of the file that cannot be
//    read (not UTF-8, binary bytes, a truncated line, a file too large to be a settings file)
//    yield the caller's default. A UTF-8 byte order mark is skipped.
//  - Write changes or adds the one line of its key and keeps every other line byte for byte
//    (comments, order, other sections, lines it cannot read, the file's line endings). The new
//    text is written to a temporary file beside the target and renamed over it, so a crash
//    leaves either the old or the new file, never a part of one. Write returns false (file left
//    as it was) when the folder is missing or not writable, when the section or key is empty or
//    would break the line structure (a newline, a "]" in a section, a "=" in a key), or when the
//    existing file is too large to be a settings file. Line breaks inside a value are written as
//    blanks, since a value is one line.
//  - Nothing throws.
#ifndef KORVANE_HOST_INI_PROFILE_STORE_H_
#define KORVANE_HOST_INI_PROFILE_STORE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/profile_store.h"

namespace korvane {

class IniProfileStore : public ProfileStore {
 public:
  // Files above this size are not settings files: they read as empty and are never rewritten.
  static constexpr std::uintmax_t kMaxFileSize = 8u * 1024u * 1024u;

  IniProfileStore() = default;
  explicit IniProfileStore(std::string path) { SetFile(std::move(path)); }

  void SetFile(std::string path) override;
  const std::string& File() const override { return path_; }
  bool FileExists() const override;
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view default_value) override;
  bool Write(std::string_view section, std::string_view key, std::string_view value) override;

  // Every section with its keys, in file order, as Read sees them: a section or key named
  // twice (ASCII case ignored) comes once, with its first occurrence's place and value, and
  // what Read cannot read is left out. Empty for a missing or unreadable file.
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  std::vector<Section> Sections();

 private:
  // The file as lines without their "\n"; a line keeps its "\r" when it had one.
  struct Content {
    std::vector<std::string> lines;
    bool bom = false;
    bool final_newline = false;
    bool crlf = false;  // the file's first line break is "\r\n"
    bool too_large = false;
  };
  // Identity of the file version the cache holds.
  struct Stamp {
    std::filesystem::file_time_type time{};
    std::uintmax_t size = 0;
    bool operator==(const Stamp&) const = default;
  };

  // The current content of the file, re-read when the file changed since the last look.
  const Content& Load();
  static std::optional<Stamp> StampOf(const std::string& path);
  static Content Parse(std::string bytes);
  static std::string Serialize(const Content& content);

  std::string path_;
  Content cache_;
  std::optional<Stamp> cache_stamp_;
  bool cache_valid_ = false;
};

}  // namespace korvane

#endif  // KORVANE_HOST_INI_PROFILE_STORE_H_
