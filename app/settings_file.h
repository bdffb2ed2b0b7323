// The configuration file: one line of eleven space-separated values beside
// the executable. Plain functions; the window shows the messages.
#pragma once

#include <string>
#include <string_view>

#include "carrier/settings.h"

namespace pt {

// The executable's path with a three-character extension replaced by "cfg"
// (pixeltuck.exe -> pixeltuck.cfg); without such an extension, as on Linux,
// ".cfg" is appended (pixeltuck -> pixeltuck.cfg).
std::string ConfigurationFileFor(const std::string& exePath);

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();

// The eleven fields in file order, separated by single blanks, no line end.
std::string SettingsToText(const Settings& s);

// Reads the values over s with the load rules: out-of-range values of the
// first three fields are skipped, the first unreadable value stops the load,
// keyMode and targetNameRule are corrected to 1 when outside 1..3.
void LoadSettingsFromText(Settings& s, std::string_view text);

// False (s unchanged) when the file is missing, a directory or empty.
// Reads at most kMaxSettingsFileBytes of the file.
bool LoadSettings(Settings& s, const std::string& path);
inline constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

// Replaces the file; false when it could not be opened, written or closed.
bool SaveSettings(const Settings& s, const std::string& path);

// "Configuration file : <path>\ncould not be written !!!"
std::string SaveSettingsFailedMessage(const std::string& path);

}  // namespace pt
