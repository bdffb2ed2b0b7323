// The configuration file: one line of eleven space-separated values, beside
// the executable, or in the user's configuration folder over a system-wide
// preset. Plain functions; the
// window shows the messages.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "carrier/file_io.h"
#include "carrier/settings.h"
#include "util/os_process.h"  // ExecutablePath

namespace pt {

// The executable's path with a three-character extension replaced by "cfg"
// (pixeltuck.exe -> pixeltuck.cfg); without such an extension, as on Linux,
// ".cfg" is appended (pixeltuck -> pixeltuck.cfg).
std::string ConfigurationFileFor(const std::string& exePath);

// Which files the settings are read from and written to.
struct SettingsLocation {
  SettingsLocation() = default;
  // One file, read and written (a portable copy; tests).
  // Implicit, so a plain path stands for such a location.
  SettingsLocation(std::string path)
      : readPaths{path}, writePath(std::move(path)) {}

  std::vector<std::string> readPaths;  // loaded in this order, each over the last
  std::string writePath;
  bool createFolders = false;  // the user's folder is made on the first save
};

// $XDG_CONFIG_HOME/pixeltuck/pixeltuck.cfg when that variable holds an
// absolute path, else ~/.config/pixeltuck/pixeltuck.cfg (on Windows
// %APPDATA%\pixeltuck\pixeltuck.cfg); "" when no home folder is known.
std::string UserConfigurationFile();

// The preset an administrator gives every user of an installed program:
// /etc/pixeltuck.cfg (the sysconf folder of the install prefix). On Windows
// it is the file beside the installed program, where only an administrator
// may write.
std::string SystemConfigurationFile(const std::string& besideFile);

// The file beside the executable stays the rule where its folder may be
// written (a portable copy, the Windows layout). Otherwise (an installed
// program) the system-wide file is read first and the user's file over it;
// only the user's file is written.
SettingsLocation ChooseSettingsLocation(const std::string& besideFile, bool besideUsable,
                                        const std::string& userFile,
                                        const std::string& systemFile);

// False for a folder this process cannot write to, and for the folders that
// installed programs live in (/usr/bin and the like, also for root), where a
// settings file would belong to no package.
bool SettingsFolderUsable(const std::string& folder);

// The location for the configuration file beside an executable:
// ChooseSettingsLocation with the folder, user file and system file of this
// machine.
SettingsLocation SettingsLocationFor(const std::string& besideFile);

// The eleven fields in file order, separated by single blanks, no line end.
std::string SettingsToText(const Settings& s);

// Reads the values over s with the load rules: out-of-range values of the
// first three fields are skipped, the first unreadable value stops the load,
// keyMode and targetNameRule are corrected to 1 when outside 1..3.
void LoadSettingsFromText(Settings& s, std::string_view text);

// False (s unchanged) when the file is missing, empty or not a regular file
// (a pipe or device is never read, so it cannot hang the program).
// Reads at most kMaxSettingsFileBytes of the file.
bool LoadSettings(Settings& s, const std::string& path);
inline constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

// Replaces the file; false when it could not be written, and then the old
// file is kept as it was. The text goes to a new file beside it that is
// renamed over it, so an interrupted save never leaves half a file. A link
// keeps pointing where it did: the file it names is replaced. Anything but a
// regular file (a folder, a pipe, a device) is refused without being opened,
// and so is a file that may not be written; a replaced file keeps its
// permission bits. fs: tests hand in one that fails.
bool SaveSettings(const Settings& s, const std::string& path, FileSystem& fs = FileSystem::Real());

// Every read path in order (true when at least one was loaded), and the
// write path (its missing folders created first where the location says so).
bool LoadSettings(Settings& s, const SettingsLocation& location);
bool SaveSettings(const Settings& s, const SettingsLocation& location);

// "Configuration file : <path>\ncould not be written !!!"
std::string SaveSettingsFailedMessage(const std::string& path);
inline std::string SaveSettingsFailedMessage(const SettingsLocation& location) {
  return SaveSettingsFailedMessage(location.writePath);
}

}  // namespace pt
