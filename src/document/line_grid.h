// What the line grids of documents share: the list of stored lines removed since the last
// load, the read-only colours and number formats the host's settings give, the empty row a
// person types a new line into, and the shown form of a stored date.
#ifndef KORVANE_DOCUMENT_LINE_GRID_H_
#define KORVANE_DOCUMENT_LINE_GRID_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "controls/grid.h"
#include "host/host_context.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::document {

// The stored lines removed from a document's grid since it was shown: each id followed by ","
// ("12,15,"), the way the save deletes them.
class DeletedLines {
 public:
  // Keeps the id of a removed line; a line never stored (id 0 or below) leaves no trace.
  // Returns whether it was kept.
  bool Add(double line_id);
  // "12,15,"; empty when nothing was removed.
  const std::string& text() const { return text_; }
  std::vector<std::int32_t> Ids() const;
  bool empty() const { return text_.empty(); }
  void Clear() { text_.clear(); }

 private:
  std::string text_;
};

struct CellColours {
  std::uint32_t fore = 0;
  std::uint32_t back = 0;
};

// The colours of cells a person cannot change, from the settings "readonlyforecolor" and
// "readonlybackcolor"; nullopt when neither is set.
std::optional<CellColours> ReadOnlyColours(HostContext& host);
// Paints the cells of `cols` in rows first_row to end_row - 1 (data rows only).
void PaintCells(controls::Grid& grid, int first_row, int end_row, std::span<const int> cols,
                const CellColours& colours);

// "###" or "###." followed by one "#" per decimal place of the numbered setting (7 for
// quantities).
std::string DecimalFormat(HostContext& host, int setting);

// A stored date as a grid or field shows it, "yyyy-mm-dd"; NULL and what is no date are empty.
std::string ShownDate(const Variant& value);

// Keeps one empty row at the bottom of an editable grid for the next line: appends one when
// the grid has no data row or `in_use` says its last row holds a line. Returns the row
// appended, or -1 when the last row was free already.
int KeepEntryRow(controls::Grid& grid, const std::function<bool(int row)>& in_use);

// The sequence number of the n-th line (from 1): "0010", "0020", ...
std::string SequenceOf(int position);

// The trimmed pieces of a comma list, as a multiple choice hands back its ids and texts.
std::vector<std::string> CommaList(std::string_view text);

// Gives the grid one data row per record of `lines` and calls `fill(row)` for each while the
// recordset stands on that record; drawing is off meanwhile and on afterwards.
void FillRows(controls::Grid& grid, Recordset& lines, const std::function<void(int row)>& fill);

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_LINE_GRID_H_
