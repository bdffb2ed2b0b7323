// What the program learns about its own process from the system: the path
// of its executable, the configuration folders its environment names, and
// the CPUs it may run on.
#pragma once

#include <string>

namespace pt {

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();

// The base folder of the user's configuration: $XDG_CONFIG_HOME when that
// variable holds an absolute path, else ~/.config (the home folder from
// $HOME when absolute, else from the user database); on Windows
// %APPDATA%. "" when none is known.
std::string UserConfigFolder();

// The system-wide configuration folder (the sysconf folder of the install
// prefix, /etc); "" on Windows, which has none for programs.
std::string SystemConfigFolder();

// The CPUs this process may run on, at least 1: those of its affinity
// mask, and on Linux no more than its control group's CPU quota allows
// (containers, systemd's CPUQuota).
unsigned UsableCpus();

}  // namespace pt
