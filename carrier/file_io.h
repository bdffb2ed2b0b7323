// Binary file streams of the conversion jobs.
//
// Inputs are opened without blocking and checked on the opened descriptor,
// so a pipe, device or folder (or a link to one, even one swapped in after
// an earlier check) is refused instead of read without end. Reads and writes
// move large blocks with plain system calls.
//
// Outputs are always new files: created exclusively (never an existing
// name, never through a link, never a pipe or device) under a name the job
// owns, and given their final name only when complete. While written they
// are readable by their owner only (POSIX); a file given a new name then
// gets the mode of a new file under the umask, a replacing file keeps the
// permission bits of the file it replaces. Replacing an existing file is an
// explicit choice of the caller. A job deletes only files it created.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pt {

// Deletes a file; false when it could not be deleted (or did not exist).
bool DeleteFile(const std::string& path);
// True when both paths name the same existing file (links included).
bool SameFile(const std::string& a, const std::string& b);
bool IsDirectory(const std::string& path);
// True when anything (a file, a link, even a dangling one) has this name.
bool NameTaken(const std::string& path);
// Whether the file system takes name (one component) in folder dir ("" is
// the current one): not longer than its limit, counted in bytes (UTF-16
// units on Windows).
bool NameFitsFolder(const std::string& dir, const std::string& name);

// Files a job has begun and not yet finished (partial outputs, gzip temp
// files) are removed when the process is ended by SIGINT, SIGTERM, SIGHUP or
// SIGQUIT; the signal then ends the process as it would have (on Windows,
// which ends no process by a signal, with status 128 + the signal number:
// 130 for Ctrl+C, as a POSIX shell reports the signal). SIGPIPE and
// SIGXFSZ are ignored, so that writing into a closed pipe or past a
// file-size limit fails as an ordinary write error. Both programs call this
// once at start. (After SIGKILL nothing can clean up: the
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

// The file system as the files below see it: every read, write and close
// asks it first. The real one never refuses; a test hands in one that fails
// a read or write after so many bytes, or the close of a finished file, to
// see that a job cleans up. Calls may come from any thread of a job, one at
// a time per file.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  static FileSystem& Real();

  // Of a read of n bytes, how many may be delivered; fewer fails the read
  // after them. Consumed: what was read.
  virtual std::size_t ReadAllowance(std::size_t n) { return n; }
  virtual void Consumed(std::size_t) {}
  // False fails this write of n bytes and the file's later ones.
  virtual bool MayWrite(std::size_t) { return true; }
  // False fails placing a finished file, as a full disk would at close.
  virtual bool MayClose() { return true; }
  // A fresh hidden name for a file being written:
  // ".pixeltuck-<12 hex digits>.partial".
  virtual std::string HiddenName();
};

enum class OpenError { None, Missing, NotRegular, Denied, Other };
// What the user is told about a file that could not be opened:
// "not a regular file", "no such file", ...
const char* OpenErrorText(OpenError e);

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens a regular file for reading. Never blocks on a pipe or device:
  // the opened descriptor itself must be a regular file.
  bool Open(const std::string& path, FileSystem& fs = FileSystem::Real());
  // Opens anything that reads as a stream: a regular file, a pipe (waiting
  // for its writer, as reading it will), a device. For small texts read up
  // to a bound (key files), never for a job's data. A folder is refused,
  // and IsFolder then says so.
  bool OpenStream(const std::string& path);
  // Standard input as such a stream; Close leaves it open. False (and
  // IsFolder) when it is a folder.
  bool OpenStandardInput();
  OpenError LastOpenError() const { return openError_; }
  // The errno of the failed open or read; 0 when none failed.
  int SystemError() const { return systemError_; }
  // The last open failed because the path, or standard input, is a folder.
  bool IsFolder() const { return folder_; }
  // Reads up to n bytes, as many as the file has; returns the count. A
  // short count means end of file or an error (see Failed).
  std::size_t Read(void* buf, std::size_t n);
  // One read of at most n bytes: what a pipe or terminal holds now, up to
  // n of a file. 0 at the end or on an error (see Failed).
  std::size_t ReadSome(void* buf, std::size_t n);
  // Back to the first byte, for another pass over the same file.
  bool Rewind();
  // Size of the opened file when it was opened; -1 for a stream that is
  // not a regular file.
  std::int64_t Size() const { return size_; }
  bool Failed() const { return failed_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

 private:
  friend class OutputFile;
  void Reset(FileSystem& fs);
  bool Adopt(int fd);
  bool AdoptStream(int fd, bool owned);
  void OpenFailed(int error, bool emptyPath);
  std::size_t ReadOnce(void* buf, std::size_t n);

  FileSystem* fs_ = &FileSystem::Real();
  int fd_ = -1;
  bool owned_ = true;  // Close closes fd_ (not standard input)
  std::int64_t size_ = -1;
  bool failed_ = false;
  bool folder_ = false;
  int systemError_ = 0;
  OpenError openError_ = OpenError::None;
};

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // removes the file unless it was placed or kept
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new file under a unique hidden name (".pixeltuck-<hex>.partial")
  // in finalPath's folder, for writing; Commit gives it finalPath.
  bool Create(const std::string& finalPath, FileSystem& fs = FileSystem::Real());
  // Creates the file under preferredPath itself when that name is free and
  // allowed, else under a unique hidden name in the same folder. For temp
  // files that keep their name (see Path).
  bool CreateTemp(const std::string& preferredPath, FileSystem& fs = FileSystem::Real());

  bool Write(const void* buf, std::size_t n);
  bool WriteZeros(std::size_t n);

  // Writes n bytes over the start of what was written (after writing out
  // what is buffered); for headers known only at the end.
  bool OverwriteStart(const void* buf, std::size_t n);

  // Writes out what is buffered; the file stays open and unnamed-final.
  bool Flush();

  enum class Placed { Done, NameTaken, NameRefused, Failed };
  // Flushes, closes and renames the file to name. With replace an existing
  // file of that name is replaced (keeping its permission bits); without,
  // an existing name is never touched and NameTaken is returned. A name the
  // file system refuses (too long, say) gives NameRefused. After either the
  // file stays, under its current name, for another try or Keep; on Failed
  // (writing or closing failed) it is removed. durable: a replacing file
  // reaches the disk before the rename, so that a crash right after it
  // cannot cost the old contents (for small files such as the settings;
  // a carrier or restored file can always be made again).
  Placed Place(const std::string& name, bool replace, bool durable = false);
  // Place(finalPath, replace, durable) where only Done counts: false
  // removes it.
  bool Commit(bool replace = false, bool durable = false);
  // Flushes and closes the file and leaves it where it is. A file still
  // under its hidden ".pixeltuck-<hex>.partial" name is renamed to end in
  // `hiddenSuffix` instead (".damaged", ".gz"), so that it is not taken for
  // a half-written leftover. It stays readable by its owner only.
  bool Keep(const std::string& hiddenSuffix = "");
  // Closes and removes the file.
  void Discard();

  // Opens the written bytes for reading (after Flush), through the same
  // file, never by its name.
  bool OpenForReading(InputFile& in);

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& finalPath() const { return finalPath_; }
  // The name the file has (or was given by Place, or kept under).
  const std::string& Path() const { return path_; }

 private:
  bool CreateExclusive(const std::string& path);
  bool CreateHidden(const std::string& nearPath);
  void Release();

  FileSystem* fs_ = &FileSystem::Real();
  int fd_ = -1;
  std::string finalPath_;
  std::string path_;
  int cleanupSlot_ = -1;
  bool owned_ = false;  // path_ is a file this object created and must remove
  bool failed_ = false;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t buffered_ = 0;
};


}  // namespace pt
