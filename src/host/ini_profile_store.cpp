// The per-user settings file as INI text: tolerant reading, line-preserving atomic writing.
#include "host/ini_profile_store.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "host/atomic_file.h"
#include "values/variant.h"

namespace korvane {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class LineKind { kBlank, kComment, kSection, kBadSection, kKey, kOther };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string name;  // section or key name
  std::string value;
};

// What a line means. A line that is not UTF-8 or holds NUL bytes carries nothing readable; when
// it looks like a section line it still ends the section before it, so that the keys after a
// damaged header are not taken for keys of the previous section.
ParsedLine ParseLine(std::string_view raw) {
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  const std::string trimmed = Trim(raw);
  const std::string_view t = trimmed;
  ParsedLine out;
  if (t.empty()) {
    out.kind = LineKind::kBlank;
    return out;
  }
  const bool readable = IsValidUtf8(t) && t.find('\0') == std::string_view::npos;
  if (t.front() == '[') {
    const std::size_t close = t.find(']');
    if (!readable || close == std::string_view::npos) {
      out.kind = LineKind::kBadSection;
      return out;
    }
    out.kind = LineKind::kSection;
    out.name = Trim(t.substr(1, close - 1));
    return out;
  }
  if (!readable) return out;
  if (t.front() == ';' || t.front() == '#') {
    out.kind = LineKind::kComment;
    return out;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return out;
  out.kind = LineKind::kKey;
  out.name = Trim(t.substr(0, eq));
  out.value = Trim(t.substr(eq + 1));
  if (out.name.empty()) out.kind = LineKind::kOther;
  return out;
}

// Where a key lives in the lines: its section header, the key line, and the last line of the
// section that is not blank (new keys go after it, keeping the blank lines that separate it
// from the next section).
struct Location {
  std::optional<std::size_t> section;
  std::optional<std::size_t> key;
  std::size_t last_filled = 0;
};

Location Locate(const std::vector<std::string>& lines, std::string_view section,
                std::string_view key) {
  Location loc;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine line = ParseLine(lines[i]);
    if (line.kind == LineKind::kSection || line.kind == LineKind::kBadSection) {
      if (inside) break;  // the first section of that name is the one that counts
      if (line.kind == LineKind::kSection && EqualsIgnoreCase(line.name, section)) {
        inside = true;
        loc.section = i;
        loc.last_filled = i;
      }
      continue;
    }
    if (!inside) continue;
    if (line.kind != LineKind::kBlank) loc.last_filled = i;
    if (line.kind == LineKind::kKey && !loc.key && EqualsIgnoreCase(line.name, key)) loc.key = i;
  }
  return loc;
}

bool HasLineBreak(std::string_view text) {
  return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

std::string OneLine(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

}  // namespace

void IniProfileStore::SetFile(std::string path) {
  path_ = std::move(path);
  cache_valid_ = false;
}

bool IniProfileStore::FileExists() const {
  if (path_.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(path_, ec);
}

std::optional<IniProfileStore::Stamp> IniProfileStore::StampOf(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  Stamp stamp;
  stamp.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  stamp.time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

IniProfileStore::Content IniProfileStore::Parse(std::string bytes) {
  Content content;
  std::string_view view = bytes;
  if (view.substr(0, kBom.size()) == kBom) {
    content.bom = true;
    view.remove_prefix(kBom.size());
  }
  std::size_t start = 0;
  while (start < view.size()) {
    const std::size_t end = view.find('\n', start);
    if (end == std::string_view::npos) {
      content.lines.emplace_back(view.substr(start));
      break;
    }
    content.lines.emplace_back(view.substr(start, end - start));
    if (content.lines.size() == 1) content.crlf = end > start && view[end - 1] == '\r';
    start = end + 1;
    if (start == view.size()) content.final_newline = true;
  }
  return content;
}

std::string IniProfileStore::Serialize(const Content& content) {
  std::string out;
  if (content.bom) out += kBom;
  for (std::size_t i = 0; i < content.lines.size(); ++i) {
    out += content.lines[i];
    if (i + 1 < content.lines.size() || content.final_newline) out += '\n';
  }
  return out;
}

const IniProfileStore::Content& IniProfileStore::Load() {
  const std::optional<Stamp> stamp = StampOf(path_);
  if (cache_valid_ && stamp == cache_stamp_) return cache_;
  cache_ = Content{};
  cache_stamp_ = stamp;
  cache_valid_ = true;
  if (!stamp) return cache_;
  if (stamp->size > kMaxFileSize) {
    cache_.too_large = true;
    return cache_;
  }
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    cache_valid_ = false;  // unreadable now; look again next time
    return cache_;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    cache_valid_ = false;
    return cache_;
  }
  cache_ = Parse(std::move(bytes));
  return cache_;
}

std::string IniProfileStore::Read(std::string_view section, std::string_view key,
                                  std::string_view default_value) {
  try {
    if (path_.empty() || section.empty() || key.empty()) return std::string(default_value);
    const Content& content = Load();
    const Location loc = Locate(content.lines, section, key);
    if (!loc.key) return std::string(default_value);
    return ParseLine(content.lines[*loc.key]).value;
  } catch (...) {
    return std::string(default_value);
  }
}

std::vector<IniProfileStore::Section> IniProfileStore::Sections() {
  std::vector<Section> out;
  try {
    if (path_.empty()) return out;
    const Content& content = Load();
    // Read stops at the first section of a name, so a later one of the same name is unseen.
    Section* current = nullptr;
    for (const std::string& raw : content.lines) {
      const ParsedLine line = ParseLine(raw);
      if (line.kind == LineKind::kBadSection) {
        current = nullptr;
      } else if (line.kind == LineKind::kSection) {
        current = nullptr;
        bool seen = false;
        for (const Section& s : out) seen = seen || EqualsIgnoreCase(s.name, line.name);
        if (!seen) current = &out.emplace_back(Section{line.name, {}});
      } else if (line.kind == LineKind::kKey && current != nullptr) {
        bool seen = false;
        for (const auto& [key, value] : current->entries) {
          seen = seen || EqualsIgnoreCase(key, line.name);
        }
        if (!seen) current->entries.emplace_back(line.name, line.value);
      }
    }
  } catch (...) {
    out.clear();
  }
  return out;
}

bool IniProfileStore::Write(std::string_view section, std::string_view key,
                            std::string_view value) {
  try {
    if (path_.empty()) return false;
    const std::string section_name = Trim(section);
    const std::string key_name = Trim(key);
    if (section_name.empty() || key_name.empty() || HasLineBreak(section_name) ||
        HasLineBreak(key_name) || section_name.find(']') != std::string::npos ||
        key_name.find('=') != std::string::npos || key_name.front() == '[' ||
        key_name.front() == ';' || key_name.front() == '#') {
      return false;
    }
    Content content = Load();
    if (content.too_large) return false;
    if (!cache_valid_) return false;  // the file exists but could not be read: keep it intact

    const std::string eol = content.crlf ? "\r" : "";
    std::string line = key_name + "=" + OneLine(Trim(value));
    const Location loc = Locate(content.lines, section_name, key_name);
    if (loc.key) {
      const std::string& old = content.lines[*loc.key];
      if (!old.empty() && old.back() == '\r') line += '\r';
      content.lines[*loc.key] = std::move(line);
    } else if (loc.section) {
      content.lines.insert(content.lines.begin() + static_cast<std::ptrdiff_t>(loc.last_filled) + 1,
                           line + eol);
    } else {
      content.lines.push_back("[" + section_name + "]" + eol);
      content.lines.push_back(line + eol);
    }
    content.final_newline = true;

    if (!WriteFileAtomically(path_, Serialize(content))) return false;
    cache_ = std::move(content);
    cache_stamp_ = StampOf(path_);
    cache_valid_ = cache_stamp_.has_value();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace korvane
