// The values the reference host answers for system settings that the database does not hold,
// so that a fresh database behaves like a plainly configured factory.
#ifndef KORVANE_HOSTAPP_SETTINGS_DEFAULTS_H_
#define KORVANE_HOSTAPP_SETTINGS_DEFAULTS_H_

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::hostapp {

// The default of a named setting (the name matched ignoring ASCII case); nullopt for a name the
// host has no default for, which then reads as the empty text. "period" is not listed: its
// default is the current accounting period, which only the host can tell.
std::optional<std::string_view> DefaultNamedSetting(std::string_view key);
// The default of a numbered setting; nullopt when there is none. Number 1 (the accounting
// period) is not listed for the same reason as "period".
std::optional<std::string_view> DefaultNumberedSetting(int number);

// Every named default, for listing them (the command line's "settings" view, docs).
const std::vector<std::pair<std::string_view, std::string_view>>& NamedSettingDefaults();
const std::vector<std::pair<int, std::string_view>>& NumberedSettingDefaults();

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_SETTINGS_DEFAULTS_H_
