#include "carrier/file_io.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <filesystem>
#include <random>
#include <system_error>

#include "util/held_signals.h"
#include "util/os_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#undef DeleteFile  // ours, not the -A/-W macro of <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pt {

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;
constexpr std::size_t kDirectWrite = std::size_t{64} << 10;  // larger writes skip the buffer
// One system call moves at most this much (Windows' _read/_write take an
// unsigned int; Linux stops below 2 GiB anyway).
constexpr std::size_t kMaxSystemCall = std::size_t{1} << 30;


// ------------------------------------------------------ system call layer

#ifdef _WIN32
// UTF-8 paths as the wide API takes them (long paths included).
std::wstring Wide(const std::string& p) { return WidePath(p); }

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    default: return EIO;
  }
}

// Files are opened through CreateFileW so that, as on POSIX, a file the job
// still holds open can be removed or renamed (FILE_SHARE_DELETE); the C
// runtime's _wopen does not share deletion. Handles are not inherited.
int SysOpen(const std::string& path, DWORD access, DWORD disposition, int crtFlags) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), crtFlags | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return fd;
}
int SysOpenRead(const std::string& path) {
  return SysOpen(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY);
}
// CREATE_NEW: the name must be new (nothing at all stands under it), so no
// file, link or device already there is written through or reused.
int SysCreateNew(const std::string& path) {
  return SysOpen(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 0);
}
long long SysRead(int fd, void* buf, std::size_t n) {
  return _read(fd, buf, static_cast<unsigned>(n));
}
long long SysWrite(int fd, const void* buf, std::size_t n) {
  return _write(fd, buf, static_cast<unsigned>(n));
}
int SysClose(int fd) { return _close(fd); }
int SysDup(int fd) { return _dup(fd); }
bool SysRewind(int fd) { return _lseeki64(fd, 0, SEEK_SET) == 0; }
bool SysSync(int fd) { return _commit(fd) == 0; }
// Size of a regular file, -1 for anything else (folders, devices, pipes).
std::int64_t RegularFileSize(int fd) {
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return st.st_size;
}
bool SysIsFolder(int fd) {
  struct _stat64 st {};
  return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFDIR) != 0;
}
// Streams are opened by the C runtime, whose descriptor standard input is
// too. (Windows opens no folder this way.)
int SysOpenStream(const std::string& path) {
  return _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY);
}
int SysStandardInput() { return _fileno(stdin); }
#else
int SysOpenRead(const std::string& path) {
  // O_NONBLOCK: opening a pipe or device never waits; the descriptor is
  // checked before anything is read from it.
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
int SysCreateNew(const std::string& path) {
  // Exclusive and without following links: a file, link, pipe or device
  // already under the name makes this fail instead of redirecting output.
  // Owner only while it is being written (it may hold plaintext of a
  // private file); Place gives it its final mode.
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                0600);
}
long long SysRead(int fd, void* buf, std::size_t n) { return ::read(fd, buf, n); }
long long SysWrite(int fd, const void* buf, std::size_t n) { return ::write(fd, buf, n); }
int SysClose(int fd) { return ::close(fd); }
int SysDup(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }
bool SysRewind(int fd) { return ::lseek(fd, 0, SEEK_SET) == 0; }
bool SysSync(int fd) { return ::fsync(fd) == 0; }
std::int64_t RegularFileSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}
bool SysIsFolder(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}
// Blocking: a pipe is opened once it has a writer, and then read.
int SysOpenStream(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
}
int SysStandardInput() { return STDIN_FILENO; }
#endif

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const std::size_t step = n < kMaxSystemCall ? n : kMaxSystemCall;
    const long long w = SysWrite(fd, p, step);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;  // disk full, file-size limit, I/O error
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Gives a replacing file the permission bits of the file it replaces.
void TakeModeOf(int fd, const std::string& existing) {
#ifdef _WIN32
  (void)fd;
  (void)existing;
#else
  struct stat st {};
  if (::stat(existing.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    ::fchmod(fd, st.st_mode & 07777);
  }
#endif
}

// Gives a file that takes a new name the mode a newly created file gets
// under the process's umask.
void TakeNewFileMode(int fd) {
#ifdef _WIN32
  (void)fd;
#else
  static const mode_t mask = [] {
    // Linux states the umask; elsewhere it is read by setting it, once.
    mode_t m = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
      char line[256];
      bool found = false;
      while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        unsigned value = 0;
        found = std::sscanf(line, "Umask: %o", &value) == 1;
        if (found) m = static_cast<mode_t>(value);
      }
      std::fclose(f);
      if (found) return m;
    }
    m = ::umask(022);
    ::umask(m);
    return m;
  }();
  ::fchmod(fd, 0666 & ~mask);
#endif
}

// Renames from to to. Returns 0 when done, 1 when to exists and replace is
// false (nothing changed), -1 on any other failure.
int RenameFile(const std::string& from, const std::string& to, bool replace) {
#ifdef _WIN32
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags)) return 0;
  const DWORD e = GetLastError();
  return (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) ? 1 : -1;
#else
  if (replace) return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno == EEXIST) return 1;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
  // Without an atomic no-replace rename: a hard link fails on an existing
  // name just as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return 1;
  // File systems without hard links: check, then rename.
  if (NameTaken(to)) return 1;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
#endif
}

}  // namespace

FileSystem& FileSystem::Real() {
  static FileSystem real;
  return real;
}

std::string FileSystem::HiddenName() {
  static std::mutex lock;
  static std::mt19937_64 rng{std::random_device{}()};
  const std::lock_guard<std::mutex> held(lock);
  char name[40];
  std::snprintf(name, sizeof name, ".pixeltuck-%012llx.partial",
                static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
  return name;
}

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
    if (MultiByteToWideChar(CP_UTF8, 0, slot.path, -1, wide, static_cast<int>(kCleanupPathMax)) >
        0) {
      _wunlink(wide);
    }
#else
    ::unlink(slot.path);
#endif
  }
}

#ifdef _WIN32
// Windows runs the handler of a console Ctrl+C on a thread of its own: it
// waits on this lock until a file being created is on the list.
std::mutex g_creating;
#endif

extern "C" void OnTerminatingSignal(int sig) {
#ifdef _WIN32
  g_creating.lock();  // held until the process ends
  RemoveBegunFiles();
  // No process ends by a signal there (raised again, SIGINT would end it with
  // status 3): the status is what a POSIX shell shows, 130 for Ctrl+C.
  std::_Exit(128 + sig);
#else
  RemoveBegunFiles();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
#endif
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
  std::signal(SIGQUIT, OnTerminatingSignal);
  // A closed pipe or a file-size limit makes the write fail instead of
  // ending the program where it stands; the job then cleans up.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// ------------------------------------------------------------ file names

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

bool NameTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(FsPath(path), ec));
}

bool NameFitsFolder(const std::string& dir, const std::string& name) {
#ifdef _WIN32
  if (WideText(name).size() > 255) return false;
  bool ascii = true;
  for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return true;
  // The folder's file system may count otherwise (a Linux one under Wine
  // counts UTF-8 bytes): creating the name tells. The probe is gone when
  // its handle closes, however the process ends.
  const std::string path = dir.empty() ? name : Utf8Path(FsPath(dir) / FsPath(name));
  const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  // Wine says "not found" for a name its host refuses.
  const DWORD e = GetLastError();
  return e != ERROR_FILENAME_EXCED_RANGE && e != ERROR_INVALID_NAME && e != ERROR_BAD_PATHNAME &&
         e != ERROR_FILE_NOT_FOUND;
#else
  long limit = ::pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = 255;
  return name.size() <= static_cast<std::size_t>(limit);
#endif
}

const char* OpenErrorText(OpenError e) {
  switch (e) {
    case OpenError::None: return "";
    case OpenError::Missing: return "no such file";
    case OpenError::NotRegular: return "not a regular file";
    case OpenError::Denied: return "permission denied";
    case OpenError::Other: break;
  }
  return "cannot be opened";
}

// ---------------------------------------------------------------- InputFile

InputFile::~InputFile() { Close(); }

void InputFile::Reset(FileSystem& fs) {
  Close();
  fs_ = &fs;
  failed_ = false;
  folder_ = false;
  systemError_ = 0;
  openError_ = OpenError::None;
}

void InputFile::OpenFailed(int error, bool emptyPath) {
  systemError_ = emptyPath ? ENOENT : error;
  openError_ = systemError_ == ENOENT ? OpenError::Missing
               : systemError_ == EACCES ? OpenError::Denied
               : systemError_ == EISDIR ? OpenError::NotRegular
                                        : OpenError::Other;
}

bool InputFile::Open(const std::string& path, FileSystem& fs) {
  Reset(fs);
  const int fd = path.empty() ? -1 : SysOpenRead(path);
  if (fd < 0) {
    OpenFailed(errno, path.empty());
#ifdef _WIN32
    // Windows opens no folder as a file and calls that "access denied".
    if (openError_ == OpenError::Denied && IsDirectory(path)) openError_ = OpenError::NotRegular;
#endif
    return false;
  }
  return Adopt(fd);
}

bool InputFile::OpenStream(const std::string& path) {
  Reset(FileSystem::Real());
  const int fd = path.empty() ? -1 : SysOpenStream(path);
  if (fd < 0) {
    OpenFailed(errno, path.empty());
#ifdef _WIN32
    // Windows opens no folder as a file: a failed open is checked for one.
    folder_ = !path.empty() && IsDirectory(path);
    if (folder_) {
      systemError_ = EISDIR;
      openError_ = OpenError::NotRegular;
    }
#endif
    return false;
  }
  return AdoptStream(fd, /*owned=*/true);
}

bool InputFile::OpenStandardInput() {
  Reset(FileSystem::Real());
  return AdoptStream(SysStandardInput(), /*owned=*/false);
}

bool InputFile::Adopt(int fd) {
  size_ = RegularFileSize(fd);
  if (size_ < 0 || !SysRewind(fd)) {
    SysClose(fd);
    openError_ = OpenError::NotRegular;
    return false;
  }
#ifndef _WIN32
  // A regular file never blocks; plain blocking reads from here on.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
  fd_ = fd;
  return true;
}

bool InputFile::AdoptStream(int fd, bool owned) {
  if (SysIsFolder(fd)) {
    if (owned) SysClose(fd);
    folder_ = true;
    systemError_ = EISDIR;
    openError_ = OpenError::NotRegular;
    return false;
  }
  fd_ = fd;
  owned_ = owned;
  size_ = RegularFileSize(fd);
  return true;
}

std::size_t InputFile::ReadOnce(void* buf, std::size_t n) {
  for (;;) {
    const long long r = SysRead(fd_, buf, n < kMaxSystemCall ? n : kMaxSystemCall);
    if (r >= 0) return static_cast<std::size_t>(r);
    if (errno == EINTR) continue;
    failed_ = true;
    systemError_ = errno;
    return 0;
  }
}

std::size_t InputFile::Read(void* buf, std::size_t n) {
  if (fd_ < 0 || failed_) return 0;
  // Reading stops with an error where the file system says it fails.
  const std::size_t allowed = fs_->ReadAllowance(n);
  auto* p = static_cast<std::uint8_t*>(buf);
  std::size_t got = 0;
  while (got < allowed) {
    const std::size_t r = ReadOnce(p + got, allowed - got);
    if (r == 0) break;
    got += r;
  }
  fs_->Consumed(got);
  if (allowed < n && got == allowed) failed_ = true;
  return got;
}

std::size_t InputFile::ReadSome(void* buf, std::size_t n) {
  if (fd_ < 0 || failed_) return 0;
  const std::size_t allowed = fs_->ReadAllowance(n);
  const std::size_t got = allowed == 0 ? 0 : ReadOnce(buf, allowed);
  fs_->Consumed(got);
  if (allowed < n && got == allowed) failed_ = true;
  return got;
}

bool InputFile::Rewind() {
  if (fd_ < 0 || failed_) return false;
  return SysRewind(fd_);
}

void InputFile::Close() {
  if (fd_ >= 0 && owned_) SysClose(fd_);
  fd_ = -1;
  owned_ = true;
  size_ = -1;
}

// --------------------------------------------------------------- OutputFile

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::CreateExclusive(const std::string& path) {
  // A terminating signal between the creation and the registration would
  // leave the file behind: it waits until the file is on the list.
#ifdef _WIN32
  const std::lock_guard<std::mutex> held(g_creating);
#else
  const HeldSignals held;  // and worker threads never take them
#endif
  const int fd = SysCreateNew(path);
  if (fd < 0) return false;
  fd_ = fd;
  path_ = path;
  owned_ = true;
  cleanupSlot_ = cleanup::Register(path_);
  return true;
}

bool OutputFile::CreateHidden(const std::string& nearPath) {
  // A short name of its own in the same folder: the final name may be as
  // long as the file system allows, and no file of the user's is touched.
  const std::filesystem::path dir = FsPath(nearPath).parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = fs_->HiddenName();
    if (CreateExclusive(Utf8Path(dir.empty() ? FsPath(name) : dir / FsPath(name)))) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool OutputFile::Create(const std::string& finalPath, FileSystem& fs) {
  Discard();
  fs_ = &fs;
  path_.clear();
  finalPath_ = finalPath;
  if (finalPath.empty() || IsDirectory(finalPath)) return false;
  return CreateHidden(finalPath);
}

bool OutputFile::CreateTemp(const std::string& preferredPath, FileSystem& fs) {
  Discard();
  fs_ = &fs;
  path_.clear();
  finalPath_ = preferredPath;
  if (preferredPath.empty()) return false;
  return CreateExclusive(preferredPath) || CreateHidden(preferredPath);
}

bool OutputFile::Write(const void* buf, std::size_t n) {
  if (fd_ < 0 || failed_) return false;
  if (n == 0) return true;
  if (!fs_->MayWrite(n)) {
    failed_ = true;
    return false;
  }
  const auto* p = static_cast<const std::uint8_t*>(buf);
  if ((buffered_ + n > kWriteBuffer || n >= kDirectWrite) && !Flush()) return false;
  if (n >= kDirectWrite) {
    // Blocks of rows go straight to the file: no copy through the buffer.
    if (!WriteAll(fd_, p, n)) failed_ = true;
    return !failed_;
  }
  if (!buffer_) buffer_.reset(new std::uint8_t[kWriteBuffer]);  // no need to clear it
  std::memcpy(buffer_.get() + buffered_, p, n);
  buffered_ += n;
  return true;
}

bool OutputFile::WriteZeros(std::size_t n) {
  static const std::uint8_t zeros[4096] = {};
  while (n > 0) {
    const std::size_t step = n < sizeof zeros ? n : sizeof zeros;
    if (!Write(zeros, step)) return false;
    n -= step;
  }
  return true;
}

bool OutputFile::OverwriteStart(const void* buf, std::size_t n) {
  if (!Flush()) return false;
  if (!fs_->MayWrite(n) || !SysRewind(fd_) ||
      !WriteAll(fd_, static_cast<const std::uint8_t*>(buf), n)) {
    failed_ = true;
  }
  return !failed_;
}

bool OutputFile::Flush() {
  if (fd_ < 0 || failed_) return false;
  if (buffered_ > 0 && !WriteAll(fd_, buffer_.get(), buffered_)) failed_ = true;
  buffered_ = 0;
  return !failed_;
}

OutputFile::Placed OutputFile::Place(const std::string& name, bool replace, bool durable) {
  if (!owned_) return Placed::Failed;
  if (fd_ >= 0) {
    bool ok = Flush() && fs_->MayClose();
    if (ok && replace && NameTaken(name)) {
      // The file being replaced is the user's: it keeps its bits.
      TakeModeOf(fd_, name);
      if (durable) ok = SysSync(fd_);
    } else if (ok) {
      TakeNewFileMode(fd_);
    }
    ok = SysClose(fd_) == 0 && ok;
    fd_ = -1;
    if (!ok) {
      Discard();
      return Placed::Failed;
    }
  }
  const int renamed = RenameFile(path_, name, replace);
  if (renamed == 1) return Placed::NameTaken;
  if (renamed < 0) return Placed::NameRefused;
  path_ = name;
  Release();
  return Placed::Done;
}

bool OutputFile::Commit(bool replace, bool durable) {
  if (Place(finalPath_, replace, durable) == Placed::Done) return true;
  Discard();
  return false;
}

bool OutputFile::Keep(const std::string& hiddenSuffix) {
  if (!owned_) return false;
  bool ok = true;
  if (fd_ >= 0) {
    ok = Flush();
    ok = SysClose(fd_) == 0 && ok;
    fd_ = -1;
  }
  const std::string partial = ".partial";
  if (ok && !hiddenSuffix.empty() && path_.size() > partial.size() &&
      path_.compare(path_.size() - partial.size(), partial.size(), partial) == 0) {
    const std::string renamed = path_.substr(0, path_.size() - partial.size()) + hiddenSuffix;
    if (RenameFile(path_, renamed, false) == 0) path_ = renamed;
  }
  Release();
  return ok;
}

void OutputFile::Discard() {
  if (fd_ >= 0) SysClose(fd_);
  fd_ = -1;
  if (owned_) DeleteFile(path_);
  Release();
}

void OutputFile::Release() {
  cleanup::Unregister(cleanupSlot_);
  cleanupSlot_ = -1;
  buffered_ = 0;
  buffer_.reset();
  failed_ = false;
  owned_ = false;
}

bool OutputFile::OpenForReading(InputFile& in) {
  in.Close();
  if (!Flush()) return false;
  const int fd = SysDup(fd_);
  in.fs_ = fs_;
  return fd >= 0 && in.Adopt(fd);
}

}  // namespace pt
