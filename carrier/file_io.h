// Binary file streams of the conversion jobs. Reads and writes go through
// large stdio buffers, so the jobs can move one pixel row at a time without
// one system call per row. Output files are written under a temporary name
// beside their final name and renamed into place only when complete, so a
// failed job never leaves a half-written file or spoils an existing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace pt {

// fopen with a UTF-8 path (wide-character open on Windows).
std::FILE* OpenFile(const std::string& path, const char* mode);
// Creates a file that must not exist yet, for writing; never follows a link
// under that name.
std::FILE* CreateNewFile(const std::string& path);
// Deletes a file; false when it could not be deleted (or did not exist).
bool DeleteFile(const std::string& path);
// True when both paths name the same existing file (links included).
bool SameFile(const std::string& a, const std::string& b);
bool IsDirectory(const std::string& path);
// True when something other than a regular file (a device, a pipe, a
// folder) stands under the name; false for regular and missing files.
bool IsSpecialFile(const std::string& path);

// Files a job has begun and not yet finished (partial outputs, gzip temp
// files) are removed when the process is ended by SIGINT, SIGTERM or SIGHUP;
// the signal then ends the process as it would have. SIGXFSZ is ignored, so
// that writing past a file-size limit fails as an ordinary write error. Both
// programs call this once at start. (After SIGKILL nothing can clean up: the
// leftovers are the hidden ".pixeltuck-<hex>.partial" files and
// "<name>.pixeltuck" temp files.)
void InstallSignalCleanup();

// The list the signal handler works from; at most a few files at a time.
// Register returns a slot (or -1 when the list is full or the path too
// long); Unregister(-1) does nothing.
namespace cleanup {
int Register(const std::string& path);
void Unregister(int slot);
}  // namespace cleanup

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // unbuffered: for callers that read in large blocks themselves, so the
  // bytes are not copied through a stream buffer first.
  bool Open(const std::string& path, bool unbuffered = false);
  // Reads up to n bytes; returns the count. A short count means end of file
  // or an error (see Failed).
  std::size_t Read(void* buf, std::size_t n);
  bool Failed() const { return failed_; }
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // discards the file unless it was committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new file under a unique name beside finalPath (never an
  // existing file or link) and opens it for writing.
  bool Create(const std::string& finalPath);
  bool Write(const void* buf, std::size_t n);
  bool WriteZeros(std::size_t n);
  // Flushes, closes and renames the file into place; false (and the partial
  // file removed) when any of that fails or a write failed before.
  bool Commit();
  // Closes and removes the partial file.
  void Discard();
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& finalPath() const { return finalPath_; }

 private:
  std::FILE* file_ = nullptr;
  std::string finalPath_;
  std::string partialPath_;
  int cleanupSlot_ = -1;
  bool failed_ = false;
};

// Test seam: every OutputFile write and every InputFile read counts bytes
// against these budgets; once a budget is used up further calls fail.
// Negative means unlimited (the default).
namespace io_faults {
void FailWritesAfter(std::int64_t bytes);
void FailReadsAfter(std::int64_t bytes);
void FailCommits(bool fail);  // Commit fails as a full disk would at close
void Reset();
bool TakeWrite(std::size_t n);  // false when this write must fail
std::size_t ReadAllowance(std::size_t n);  // bytes a read of n may deliver
void ConsumeRead(std::size_t n);
bool CommitFails();
}  // namespace io_faults

}  // namespace pt
