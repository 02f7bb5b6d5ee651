// Plain-text tables for the command line.
#include "table_text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "values/variant.h"

namespace korvane::cli {
namespace {

// Decodes one code point at `i` and advances `i`; malformed bytes count as one narrow char.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (i + static_cast<std::size_t>(extra) >= text.size()) extra = 0;  // cut short: one char
  char32_t cp = extra == 0 ? lead : (lead & (0x3F >> extra));
  for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (byte(i + static_cast<std::size_t>(k)) & 0x3F);
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

bool IsWide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF && cp != 0x303F) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

std::string CellText(const Variant& value) {
  switch (value.type()) {
    case VarType::kNull:
      return "NULL";
    case VarType::kDate: {
      const auto midnight = std::chrono::floor<std::chrono::days>(value.date());
      return value.date() == midnight ? FormatDate(value.date()) : FormatDateTime(value.date());
    }
    case VarType::kBoolean:
      return value.boolean() ? "1" : "0";
    default:
      return value.ToText();
  }
}

void AppendPadded(std::string& out, const std::string& text, int width) {
  out += text;
  out.append(static_cast<std::size_t>(std::max(0, width - DisplayWidth(text))), ' ');
}

}  // namespace

int DisplayWidth(std::string_view text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size();) width += IsWide(NextCodePoint(text, i)) ? 2 : 1;
  return width;
}

std::string FormatTable(const Recordset& rows) {
  const auto columns = static_cast<std::size_t>(rows.FieldCount());
  std::vector<std::vector<std::string>> cells;
  std::vector<int> widths(columns, 0);
  for (std::size_t c = 0; c < columns; ++c) {
    widths[c] = DisplayWidth(rows.Fields()[c].name);
  }
  for (const auto& row : rows.Rows()) {
    auto& line = cells.emplace_back();
    for (std::size_t c = 0; c < columns; ++c) {
      line.push_back(CellText(row[c]));
      widths[c] = std::max(widths[c], DisplayWidth(line.back()));
    }
  }
  std::string out;
  const auto emit_line = [&](const std::vector<std::string>& texts) {
    std::string line;
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) line += " | ";
      AppendPadded(line, texts[c], c + 1 == columns ? 0 : widths[c]);
    }
    out += line + "\n";
  };
  if (columns > 0) {
    std::vector<std::string> header;
    for (const auto& f : rows.Fields()) header.push_back(f.name);
    emit_line(header);
    std::string rule;
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) rule += "-+-";
      rule.append(static_cast<std::size_t>(widths[c]), '-');
    }
    out += rule + "\n";
    for (const auto& line : cells) emit_line(line);
  }
  const auto n = rows.RecordCount();
  out += "(" + std::to_string(n) + (n == 1 ? " row)\n" : " rows)\n");
  return out;
}

}  // namespace korvane::cli
