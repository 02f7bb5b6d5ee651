// GridServices: what the host does with a report's grid when the person asks for it: finding a
// text in the grid, filtering its rows by a column, and printing it under a heading. A report
// hands its grid over; the host asks the person through its own dialogs.
//
// DialogGridServices is the library's implementation over the host's Dialogs (input boxes for
// what to find and what to keep), used by the reference host and by the test hosts.
//
// Print file layout (UTF-8 JSON, the print data file every module writes):
//   {"values": {"heading": "<title>\r\n\t<condition line>...", "subtotal_rows": "3,7"},
//    "tables": {"<grid name>": [["<header>", ...], ["<cell>", ...], ...]}}
// The table holds the rows and columns a person sees: hidden columns (keys) and rows hidden by
// the filter or a collapsed outline are left out; row 0 is the header. "subtotal_rows" names
// the table rows that are subtotal or total rows, so a renderer can set them off.
#ifndef KORVANE_HOST_GRID_SERVICES_H_
#define KORVANE_HOST_GRID_SERVICES_H_

#include <string>
#include <string_view>

#include "controls/grid.h"
#include "host/dialogs.h"
#include "host/print_data.h"

namespace korvane {

enum class GridPrintMode : int { kPreview = 0, kPrint = 1, kSetup = 2 };

class GridServices {
 public:
  virtual ~GridServices() = default;
  // Asks what to find and selects the first visible cell containing it (ASCII case ignored),
  // searching the visible data rows in reading order from the cell after the current one in
  // `start_col`, wrapping around once. False when the person cancelled or nothing matched (the
  // person is told).
  virtual bool FindInGrid(controls::Grid& grid, int start_col) = 0;
  // Finds the last text again from the cell after the current one; asks as FindInGrid when
  // nothing was looked for yet.
  virtual bool FindNextInGrid(controls::Grid& grid) = 0;
  // Asks what the column `col` must contain and hides every data row (subtotal rows stay) whose
  // cell does not; an empty answer shows every data row again. False when cancelled.
  virtual bool FilterGrid(controls::Grid& grid, int col) = 0;
  // Writes the grid under `heading` to the print file `path` (layout above) and hands it to
  // the printer or the preview. REQUIRES: the folder of `path` exists. False when the file
  // could not be written.
  virtual bool PrintGrid(const controls::Grid& grid, std::string_view heading,
                         const std::string& path, GridPrintMode mode) = 0;
};

// The print data of a grid under a heading, as PrintGrid writes it.
void CollectGridPrint(const controls::Grid& grid, std::string_view heading,
                      PrintDataWriter& writer);

class DialogGridServices : public GridServices {
 public:
  // REQUIRES: `dialogs` outlives this object.
  explicit DialogGridServices(Dialogs& dialogs) : dialogs_(dialogs) {}

  bool FindInGrid(controls::Grid& grid, int start_col) override;
  bool FindNextInGrid(controls::Grid& grid) override;
  bool FilterGrid(controls::Grid& grid, int col) override;
  bool PrintGrid(const controls::Grid& grid, std::string_view heading, const std::string& path,
                 GridPrintMode mode) override;

  // The last file printed and how; empty before the first print.
  const std::string& last_print_path() const { return last_print_path_; }
  GridPrintMode last_print_mode() const { return last_print_mode_; }

 private:
  bool FindFrom(controls::Grid& grid, int start_row, int start_col);

  Dialogs& dialogs_;
  std::string find_text_;
  std::string last_print_path_;
  GridPrintMode last_print_mode_ = GridPrintMode::kPreview;
};

}  // namespace korvane

#endif  // KORVANE_HOST_GRID_SERVICES_H_
