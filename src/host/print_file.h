// The print data file of a document: the JSON writer the library hands out as the host's
// PrintDataWriter, and the routine that collects a document's print data (its total labels,
// its fields and its grid) and writes it to the user's print folder.
//
// File layout (UTF-8 JSON):
//   {"values": {"金额大写": "...", "<field caption>": "<field text>", ...},
//    "tables": {"qxGrid": [["<row 0 col 0>", "<row 0 col 1>", ...], ...]}}
// Values and tables keep the order they were added in; a name added twice keeps its first
// place and its last value. Text that is not UTF-8 is written with replacement characters.
#ifndef KORVANE_HOST_PRINT_FILE_H_
#define KORVANE_HOST_PRINT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/form.h"
#include "controls/grid.h"
#include "host/host_context.h"
#include "host/print_data.h"

namespace korvane {

class JsonPrintDataWriter : public PrintDataWriter {
 public:
  void AddValue(std::string_view name, std::string_view value) override;
  void AddTable(std::string_view name, Table cells) override;
  // Replaces the file atomically. REQUIRES: the folder of `path` exists. Does not throw.
  bool WriteFile(const std::string& path) override;

  // The JSON text WriteFile writes.
  std::string ToJson() const;

 private:
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::pair<std::string, Table>> tables_;
};

// The captions of a document's three total labels, printed as "金额大写", "金额小写" and
// "数量合计".
struct PrintTotals {
  std::string amount_in_words;
  std::string amount_in_figures;
  std::string quantity_total;
};

// Collects the document's print data and writes it to PrintPath(progid) through the host's
// PrintDataWriter, creating the "selfPrint" folder when it is missing: the three totals, one
// value per lookup field of the form (its trimmed caption as the name, its text as the value,
// in the form's order), and the table "qxGrid" with the text of every cell of `grid`
// (rows 0 to rows-1, columns 0 to cols-1). Returns the path written, or nullopt when the host
// has no writer or the file could not be written. Does not throw.
std::optional<std::string> WriteDocumentPrintData(HostContext& host, std::int32_t progid,
                                                  const controls::Form& form,
                                                  const PrintTotals& totals,
                                                  const controls::Grid& grid);
// The same print data written to `path` (a document whose print file is named otherwise).
std::optional<std::string> WriteDocumentPrintDataTo(HostContext& host, const std::string& path,
                                                    const controls::Form& form,
                                                    const PrintTotals& totals,
                                                    const controls::Grid& grid);

}  // namespace korvane

#endif  // KORVANE_HOST_PRINT_FILE_H_
