// Where the per-user files live and single-value access to the settings files: the settings
// folder "selfbb" and the print folder "selfPrint" below the user's local folder, and the
// read/write of one key that pickers and dialogs use for their few own values.
//
// Contract:
//  - A settings file is named by a file name without folder or extension (for example the
//    program id followed by the module's fixed name, "1203FrmSelect"); its path is
//    user folder + "/selfbb/" + name + ".txt". The folder is created, when missing, every time
//    a settings path is formed. An empty user folder stands for the working directory.
//  - A print data file is user folder + "/selfPrint/" + progid + ".txt"; EnsureFolderOf creates
//    its folder before it is written.
//  - Failing to create a folder is not reported here: the path is returned all the same and
//    reading yields defaults, writing returns false.
//  - The settings store comes from HostContext::CreateProfileStore(). Nothing throws.
#ifndef KORVANE_HOST_SETTINGS_FILES_H_
#define KORVANE_HOST_SETTINGS_FILES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_context.h"
#include "host/profile_store.h"

namespace korvane {

// The settings folder "selfbb" below the user's folder, without a trailing "/"; creates it
// when it is missing.
std::string SettingsFolder(HostContext& host);

// Full path of a settings file; creates the "selfbb" folder when it is missing.
std::string SettingsPath(std::string_view file_name, HostContext& host);

// Full path of a document type's print data file. Does not create anything.
std::string PrintPath(std::int32_t progid, HostContext& host);

// Full path of a report's print file: user folder + "/selfPrn/Rpt" + progid + ".prn". Does not
// create anything.
std::string ReportPrintPath(std::int32_t progid, HostContext& host);

// Creates the folder a file is to be written into. False when it is missing afterwards.
bool EnsureFolderOf(const std::string& path);

// A profile store from the host already set to the settings file `file_name`; nullptr when the
// host hands out none.
std::unique_ptr<ProfileStore> OpenSettings(std::string_view file_name, HostContext& host);

// One value of a settings file; `default_value` when the file, section or key is missing or
// unreadable.
std::string ReadSetting(std::string_view file_name, std::string_view section, std::string_view key,
                        std::string_view default_value, HostContext& host);

// Writes one value into a settings file, keeping every other line. False when it could not be
// written.
bool WriteSetting(std::string_view file_name, std::string_view section, std::string_view key,
                  std::string_view value, HostContext& host);

// A stored value read as a number: blanks around it are allowed, nothing else is; nullopt for
// an empty or malformed text (such a value keeps its default).
std::optional<double> ParseStoredNumber(std::string_view text);
// As ParseStoredNumber, for whole numbers within the 32-bit range.
std::optional<int> ParseStoredInt(std::string_view text);

}  // namespace korvane

#endif  // KORVANE_HOST_SETTINGS_FILES_H_
