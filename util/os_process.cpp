#include "util/os_process.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "util/os_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sched.h>

#include <fstream>
#endif

namespace pt {

namespace {

#ifdef __linux__
// Whole CPUs a quota of `quota` microseconds per `period` allows; 0 for no
// limit.
unsigned CpusOfQuota(long long quota, long long period) {
  if (quota <= 0 || period <= 0) return 0;
  return static_cast<unsigned>(std::max<long long>(1, (quota + period - 1) / period));
}

// The CPU quota of this process's control group, in CPUs; 0 for none. The
// group's own folder is tried first, then the root of the mounted tree,
// which is the group itself inside a container.
unsigned CgroupCpuLimit() {
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  unsigned limit = 0;
  const auto tighten = [&limit](unsigned cpus) {
    if (cpus != 0 && (limit == 0 || cpus < limit)) limit = cpus;
  };
  while (std::getline(groups, line)) {
    // "0::/path" (v2) or "3:cpu,cpuacct:/path" (v1).
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    if (controllers.empty()) {
      for (const std::string& dir : {"/sys/fs/cgroup" + path, std::string("/sys/fs/cgroup")}) {
        std::ifstream max(dir + "/cpu.max");
        std::string quota;
        long long period = 0;
        if (max >> quota >> period) {
          if (quota != "max") tighten(CpusOfQuota(std::atoll(quota.c_str()), period));
          break;
        }
      }
    } else if (("," + controllers + ",").find(",cpu,") != std::string::npos) {
      for (const std::string& dir : {"/sys/fs/cgroup/" + controllers + path,
                                     "/sys/fs/cgroup/cpu" + path, std::string("/sys/fs/cgroup/cpu")}) {
        std::ifstream quotaFile(dir + "/cpu.cfs_quota_us");
        std::ifstream periodFile(dir + "/cpu.cfs_period_us");
        long long quota = 0;
        long long period = 0;
        if (quotaFile >> quota && periodFile >> period) {
          tighten(CpusOfQuota(quota, period));
          break;
        }
      }
    }
  }
  return limit;
}
#endif

}  // namespace

std::string ExecutablePath() {
#ifdef _WIN32
  // Wide, so that a folder outside the ANSI code page keeps its name.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return Utf8Text(std::wstring_view(buf.data(), n));
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
#elif defined(__linux__)
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) {
      return std::string(buf.data(), static_cast<std::size_t>(n));
    }
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
#else
  return {};
#endif
}

std::string UserConfigFolder() {
#ifdef _WIN32
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData != nullptr && appData[0] != L'\0') return Utf8Text(appData);
  return {};
#else
  // The XDG rule: only an absolute XDG_CONFIG_HOME counts.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  if (home != nullptr && home[0] == '/') return (std::filesystem::path(home) / ".config").native();
  if (const struct passwd* pw = ::getpwuid(::getuid());
      pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') {
    return (std::filesystem::path(pw->pw_dir) / ".config").native();
  }
  return {};
#endif
}

std::string SystemConfigFolder() {
#ifdef _WIN32
  return {};
#elif defined(PT_SYSCONFDIR)
  return PT_SYSCONFDIR;
#else
  return "/etc";
#endif
}

unsigned UsableCpus() {
  unsigned cpus = std::thread::hardware_concurrency();
#ifdef _WIN32
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    cpus = 0;
    for (; process != 0; process &= process - 1) ++cpus;
  }
#elif defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cpus = static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned quota = CgroupCpuLimit();
  if (quota != 0) cpus = std::min(cpus, quota);
#endif
  return std::max(cpus, 1u);
}

}  // namespace pt
