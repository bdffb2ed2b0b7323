#include "carrier/file_io.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <cwchar>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pt {

namespace {

constexpr std::size_t kStreamBuffer = 1 << 20;

std::filesystem::path FsPath(const std::string& p) {
  // Paths are UTF-8 text throughout the program.
  return std::filesystem::path(std::u8string(p.begin(), p.end()));
}

std::int64_t g_writeBudget = -1;
std::int64_t g_readBudget = -1;
bool g_failCommits = false;

bool Take(std::int64_t& budget, std::size_t n) {
  if (budget < 0) return true;
  if (static_cast<std::uint64_t>(budget) < n) {
    budget = 0;
    return false;
  }
  budget -= static_cast<std::int64_t>(n);
  return true;
}

}  // namespace

namespace io_faults {
void FailWritesAfter(std::int64_t bytes) { g_writeBudget = bytes; }
void FailReadsAfter(std::int64_t bytes) { g_readBudget = bytes; }
void FailCommits(bool fail) { g_failCommits = fail; }
void Reset() {
  g_writeBudget = g_readBudget = -1;
  g_failCommits = false;
}
bool CommitFails() { return g_failCommits; }
bool TakeWrite(std::size_t n) { return Take(g_writeBudget, n); }
std::size_t ReadAllowance(std::size_t n) {
  if (g_readBudget < 0 || static_cast<std::uint64_t>(g_readBudget) >= n) return n;
  return static_cast<std::size_t>(g_readBudget);
}
void ConsumeRead(std::size_t n) {
  if (g_readBudget >= 0) g_readBudget -= static_cast<std::int64_t>(n);
}
}  // namespace io_faults

// ------------------------------------------------------------ signal clean-up

namespace {

// Fixed storage, so that the signal handler reads nothing that is being
// allocated or freed. A slot is 0 free, 1 taken while its path is written
// or erased, 2 armed.
constexpr int kCleanupSlots = 16;
constexpr std::size_t kCleanupPathMax = 4096;
struct CleanupSlot {
  std::atomic<int> state{0};
  char path[kCleanupPathMax];
};
CleanupSlot g_cleanup[kCleanupSlots];

void RemoveBegunFiles() {
  for (CleanupSlot& slot : g_cleanup) {
    if (slot.state.load() != 2) continue;
#ifdef _WIN32
    wchar_t wide[kCleanupPathMax];
    if (MultiByteToWideChar(CP_UTF8, 0, slot.path, -1, wide, kCleanupPathMax) > 0) {
      _wunlink(wide);
    }
#else
    ::unlink(slot.path);
#endif
  }
}

extern "C" void OnTerminatingSignal(int sig) {
  RemoveBegunFiles();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

namespace cleanup {

int Register(const std::string& path) {
  if (path.empty() || path.size() >= kCleanupPathMax) return -1;
  for (int i = 0; i < kCleanupSlots; ++i) {
    int expected = 0;
    if (!g_cleanup[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(g_cleanup[i].path, path.c_str(), path.size() + 1);
    g_cleanup[i].state.store(2);
    return i;
  }
  return -1;
}

void Unregister(int slot) {
  if (slot < 0 || slot >= kCleanupSlots) return;
  g_cleanup[slot].state.store(1);
  g_cleanup[slot].path[0] = '\0';
  g_cleanup[slot].state.store(0);
}

}  // namespace cleanup

void InstallSignalCleanup() {
  std::signal(SIGINT, OnTerminatingSignal);
  std::signal(SIGTERM, OnTerminatingSignal);
#ifndef _WIN32
  std::signal(SIGHUP, OnTerminatingSignal);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  if (path.empty()) return nullptr;
#ifdef _WIN32
  std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(FsPath(path).c_str(), wmode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool DeleteFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::remove(FsPath(path), ec) && !ec;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = std::filesystem::equivalent(FsPath(a), FsPath(b), ec);
  return !ec && same;
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(FsPath(path), ec);
}

bool IsSpecialFile(const std::string& path) {
  std::error_code ec;
  const auto st = std::filesystem::status(FsPath(path), ec);
  return !ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st);
}

// ---------------------------------------------------------------- InputFile

InputFile::~InputFile() { Close(); }

bool InputFile::Open(const std::string& path, bool unbuffered) {
  Close();
  failed_ = false;
  if (IsDirectory(path)) return false;
  file_ = OpenFile(path, "rb");
  if (file_ != nullptr) {
    std::setvbuf(file_, nullptr, unbuffered ? _IONBF : _IOFBF, unbuffered ? 0 : kStreamBuffer);
  }
  return file_ != nullptr;
}

std::size_t InputFile::Read(void* buf, std::size_t n) {
  if (file_ == nullptr || failed_) return 0;
  // Under a test read budget, reading stops with an error where it runs out.
  const std::size_t allowed = io_faults::ReadAllowance(n);
  const std::size_t got = allowed == 0 ? 0 : std::fread(buf, 1, allowed, file_);
  io_faults::ConsumeRead(got);
  if ((got < allowed && std::ferror(file_)) || (allowed < n && got == allowed)) failed_ = true;
  return got;
}

void InputFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

// --------------------------------------------------------------- OutputFile

OutputFile::~OutputFile() { Discard(); }

std::FILE* CreateNewFile(const std::string& path) {
#ifdef _WIN32
  // "x": fails when the name exists, so nothing already there is reused.
  return _wfopen(FsPath(path).c_str(), L"wbx");
#else
  // Exclusive and without following links: a file or link planted under the
  // name makes this fail instead of redirecting the output.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (f == nullptr) ::close(fd);
  return f;
#endif
}

bool OutputFile::Create(const std::string& finalPath) {
  Discard();
  failed_ = false;
  finalPath_ = finalPath;
  if (finalPath.empty() || IsDirectory(finalPath)) return false;
  // The partial file gets a short name of its own in the same folder, so the
  // final name may be as long as the file system allows and no file of the
  // user's is touched until the rename.
  const std::filesystem::path dir = FsPath(finalPath).parent_path();
  static std::mt19937_64 rng{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, ".pixeltuck-%012llx.partial",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    const std::filesystem::path candidate = dir.empty() ? std::filesystem::path(name) : dir / name;
    const std::u8string u8 = candidate.u8string();
    partialPath_.assign(u8.begin(), u8.end());
    file_ = CreateNewFile(partialPath_);
    if (file_ == nullptr && errno != EEXIST) break;
  }
  if (file_ == nullptr) {
    partialPath_.clear();
    return false;
  }
  cleanupSlot_ = cleanup::Register(partialPath_);
  std::setvbuf(file_, nullptr, _IOFBF, kStreamBuffer);
  return true;
}

bool OutputFile::Write(const void* buf, std::size_t n) {
  if (file_ == nullptr || failed_) return false;
  if (n == 0) return true;
  if (!io_faults::TakeWrite(n) || std::fwrite(buf, 1, n, file_) != n) {
    failed_ = true;
  }
  return !failed_;
}

bool OutputFile::WriteZeros(std::size_t n) {
  static const unsigned char zeros[4096] = {};
  while (n > 0) {
    const std::size_t step = n < sizeof zeros ? n : sizeof zeros;
    if (!Write(zeros, step)) return false;
    n -= step;
  }
  return true;
}

bool OutputFile::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_) &&
            !io_faults::CommitFails();
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (ok) {
    std::error_code ec;
    std::filesystem::rename(FsPath(partialPath_), FsPath(finalPath_), ec);
    ok = !ec;
  }
  if (!ok) DeleteFile(partialPath_);
  cleanup::Unregister(cleanupSlot_);
  cleanupSlot_ = -1;
  partialPath_.clear();
  return ok;
}

void OutputFile::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
    DeleteFile(partialPath_);
  }
  cleanup::Unregister(cleanupSlot_);
  cleanupSlot_ = -1;
  partialPath_.clear();
}

}  // namespace pt
