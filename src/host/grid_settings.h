// A grid's per-user display settings in a settings file: column widths, hidden columns, sort,
// merging, data types, number formats with their decimal places, alignment, subtotal and total
// rows, row heights and frozen columns, one section per attribute and one key per column.
//
// Contract:
//  - `file_name` names a settings file as SettingsPath does (no folder, no ".txt"); the store
//    comes from HostContext::CreateProfileStore().
//  - Section names carry the grid's suffix (GridSettingsSuffix): a column attribute lives in
//    section attribute + suffix with key "VsCol" + column number; the grid's own values live in
//    section "Vs" + suffix.
//  - A value that is missing or cannot be read keeps the grid's current setting; a store that
//    cannot be had leaves the grid as it was. Nothing throws.
//  - REQUIRES: the grid outlives the call; no other code changes it during the call.
#ifndef KORVANE_HOST_GRID_SETTINGS_H_
#define KORVANE_HOST_GRID_SETTINGS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/grid.h"
#include "host/host_context.h"

namespace korvane {

// Captions and colours of the rows the settings add.
inline constexpr std::string_view kSubtotalCaption = "小计";
inline constexpr std::string_view kGrandTotalCaption = "合计";
inline constexpr std::uint32_t kSubtotalForeColor = 128;
inline constexpr std::uint32_t kGrandTotalBackColor = 0xFFFF80;

// "" for a grid named "Vs" (any case), else "_" + name; then "_" + index for a member of a
// control array.
std::string GridSettingsSuffix(const controls::Grid& grid);

// Applies the stored settings to the grid. With `widths_only` only the widths, hidden columns,
// formats and alignments are applied; otherwise also sort, merging, data types, subtotal and
// grand-total rows, row heights and frozen columns. When the file did not exist and
// `widths_only` is false, the grid's settings are saved into a new file afterwards, so that a
// user has a file to adjust. Returns false only when the grid refused a setting part-way; the
// settings applied before stay.
bool ApplyGridSettings(std::string_view file_name, controls::Grid& grid, bool widths_only,
                       HostContext& host);

// Saves the grid's settings: for every column whether it is hidden and its width; without
// `widths_only` also its merging, data type, format and alignment, and the heights of the data
// and fixed rows and the number of frozen columns. Returns false when a value could not be
// written (the values written before stay written).
bool SaveGridSettings(std::string_view file_name, const controls::Grid& grid, bool widths_only,
                      HostContext& host);

}  // namespace korvane

#endif  // KORVANE_HOST_GRID_SETTINGS_H_
