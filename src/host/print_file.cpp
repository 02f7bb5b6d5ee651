// Writing a document's print data file.
#include "host/print_file.h"

#include <algorithm>
#include <memory>

#include <nlohmann/json.hpp>

#include "controls/lookup_field.h"
#include "host/atomic_file.h"
#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {
namespace {

template <typename T>
void Put(std::vector<std::pair<std::string, T>>& entries, std::string_view name, T value) {
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const auto& entry) { return entry.first == name; });
  if (it != entries.end()) {
    it->second = std::move(value);
  } else {
    entries.emplace_back(std::string(name), std::move(value));
  }
}

}  // namespace

void JsonPrintDataWriter::AddValue(std::string_view name, std::string_view value) {
  Put(values_, name, std::string(value));
}

void JsonPrintDataWriter::AddTable(std::string_view name, Table cells) {
  Put(tables_, name, std::move(cells));
}

std::string JsonPrintDataWriter::ToJson() const {
  nlohmann::ordered_json values = nlohmann::ordered_json::object();
  for (const auto& [name, value] : values_) values[name] = value;
  nlohmann::ordered_json tables = nlohmann::ordered_json::object();
  for (const auto& [name, cells] : tables_) tables[name] = cells;
  nlohmann::ordered_json document = nlohmann::ordered_json::object();
  document["values"] = std::move(values);
  document["tables"] = std::move(tables);
  // Cell texts come from users and the database; a stray byte must not stop the print.
  return document.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool JsonPrintDataWriter::WriteFile(const std::string& path) {
  try {
    return WriteFileAtomically(path, ToJson());
  } catch (...) {
    return false;
  }
}

std::optional<std::string> WriteDocumentPrintData(HostContext& host, std::int32_t progid,
                                                  const controls::Form& form,
                                                  const PrintTotals& totals,
                                                  const controls::Grid& grid) {
  try {
    return WriteDocumentPrintDataTo(host, PrintPath(progid, host), form, totals, grid);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> WriteDocumentPrintDataTo(HostContext& host, const std::string& path,
                                                    const controls::Form& form,
                                                    const PrintTotals& totals,
                                                    const controls::Grid& grid) {
  try {
    std::unique_ptr<PrintDataWriter> writer = host.CreatePrintDataWriter();
    if (!writer) return std::nullopt;
    writer->AddValue("金额大写", totals.amount_in_words);
    writer->AddValue("金额小写", totals.amount_in_figures);
    writer->AddValue("数量合计", totals.quantity_total);
    for (const auto& control : form.Controls()) {
      if (const auto* field = dynamic_cast<const controls::LookupField*>(control.get())) {
        writer->AddValue(Trim(field->caption()), field->text());
      }
    }
    PrintDataWriter::Table cells;
    cells.reserve(static_cast<std::size_t>(std::max(grid.rows(), 0)));
    for (int r = 0; r < grid.rows(); ++r) {
      std::vector<std::string> row;
      row.reserve(static_cast<std::size_t>(std::max(grid.cols(), 0)));
      for (int c = 0; c < grid.cols(); ++c) row.push_back(grid.TextMatrix(r, c));
      cells.push_back(std::move(row));
    }
    writer->AddTable("qxGrid", std::move(cells));

    if (!EnsureFolderOf(path) || !writer->WriteFile(path)) return std::nullopt;
    return path;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace korvane
