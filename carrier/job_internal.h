// State and steps shared by the two halves of the EnCode/DeCode command.
#pragma once

#include <cstdint>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "carrier/carrier_format.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "util/pipeline.h"
#include "util/text.h"

namespace pt {

class FileSystem;
class InputFile;

// How a run that ends before its "Ready in" line tells the user, in this
// order: the box (when it has a text), the log lines, then the log emptied
// (the checks before any output is begun).
struct EarlyEnd {
  JobEnd end = JobEnd::Failed;
  std::string message{};  // "" shows no box
  MsgKind box = MsgKind::Error;
  std::vector<std::string> log{};
  bool clearLog = false;
  bool checksumError = false;  // a check failed on the way (JobOutcome::checksumError)
};

struct JobContext {
  JobContext(JobUi& u, const JobRequest& r)
      : ui(u), settings(r.settings), request(r), debugDump(r.debugDump) {}

  JobUi& ui;
  const JobSettings& settings;
  const JobRequest& request;
  bool debugDump;  // switched off when the dump cannot be written
  InputFile* source = nullptr;  // the chosen file while a half holds it open
  bool holdLog = false;
  std::vector<std::string> heldLog;
  std::uint8_t cipherId = kCipherNone;
  std::string methodName;
  std::string sourcePath;
  PathParts parts;
  std::int64_t sourceSize = -1;
  ChunkCipher cipher;  // the three engines of this job
  JobOutcome outcome;

  // While the log is held, lines wait in heldLog (one-pass packing: the
  // lines after the checksum wait until it is known).
  void Log(const std::string& line) {
    if (holdLog) {
      heldLog.push_back(line);
    } else {
      ui.AddLogLine(line);
    }
  }
  // Stops holding; the held lines follow whatever was logged meanwhile.
  void ReleaseLog() {
    holdLog = false;
    for (const std::string& line : heldLog) ui.AddLogLine(line);
    heldLog.clear();
  }
  void Error(const std::string& text) { ui.ShowMessage(MsgKind::Error, text, MsgButtons::Ok); }

  // The one way a run ends early: the held log lines are logged, the chosen
  // file is let go (so that the user may act on it while the box shows),
  // then the box, the lines and the outcome as `how` says. Whatever else
  // the run had begun is removed as its owners go out of scope. False, for
  // the steps that end the run with it.
  bool EndEarly(const EarlyEnd& how);
  // An error box and JobEnd::Failed, the most common end.
  bool Fail(const std::string& text) { return EndEarly({.message = text}); }
  // The dump failed: no more of it in this job, and the front end is told.
  void StopDebugDump() {
    debugDump = false;
    outcome.debugDumpFailed = true;
  }
  bool HasCommandLineKey() const {
    return request.commandLineKey != nullptr && !request.commandLineKey->empty();
  }
  // The command line's key as bytes, once: empty when there is none or it
  // was taken.
  KeyText TakeCommandLineKey();
  // The run was stopped by a close request: what it had begun is removed.
  // False, like Fail.
  bool Interrupted() {
    return EndEarly({.end = JobEnd::Cancelled,
                     .log = {"", "Job interrupted: the files it had begun were removed."}});
  }
  // Asks whether an existing file may be replaced; false ends the run
  // (nothing written). True without a question when nothing has the name.
  bool MayReplace(const std::string& path, bool& replace);
  // The file system of the request (the real one by default).
  FileSystem& Files() const;
  // Where the outputs go: the request's folder, else the chosen file's.
  const std::string& OutputDir() const {
    return request.outputDir.empty() ? parts.dir : request.outputDir;
  }
};

// Keeps the busy cursor for a scope and always gives the normal one back.
class BusyCursor {
 public:
  explicit BusyCursor(JobUi& ui) : ui_(ui) {}
  ~BusyCursor() { ui_.SetBusyCursor(false); }
  void Set(bool busy) { ui_.SetBusyCursor(busy); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  JobUi& ui_;
};

// Shows the progress bar from 0 for a scope and hides it again on every way
// out, exceptions included.
class ShownProgress {
 public:
  explicit ShownProgress(ProgressBar& bar) : bar_(bar) {
    bar_.SetPosition(0);
    bar_.SetVisible(true);
  }
  ~ShownProgress() { Hide(); }
  void Hide() {
    if (shown_) bar_.SetVisible(false);
    shown_ = false;
  }
  ShownProgress(const ShownProgress&) = delete;
  ShownProgress& operator=(const ShownProgress&) = delete;

 private:
  ProgressBar& bar_;
  bool shown_ = true;
};

// Sizes the 32-bit fields of a carrier can describe.
inline constexpr std::int64_t kMaxPayload = 0x7FFFFFFF;

// The one loop that moves bulk bytes in both directions: reads `in` from
// its position in blocks of whole rows until `limit` bytes are read or the
// file ends. Blocks are about 1 MiB, smaller for small files so that the
// progress bar still moves by single percents. Each block goes through
// three stages: `read` right after it was read, `transform` on parts of
// whole rows spread over the worker threads, `sink` in order. While the
// rows of one block are transformed (and checksummed), the previous block
// is sunk and the next one read (RunPipeline; with two or more threads the
// sink and the read run side by side too), so the cipher's time and the
// file system's overlap. After every block it moves the progress bar,
// reports to JobUi::Working and asks JobUi::StopRequested, on the caller's
// thread.
struct PumpPlan {
  JobPhase phase = JobPhase::Writing;
  std::size_t rowBytes = kRowBytes;
  std::int64_t limit = 0;        // bytes to read at most
  std::int64_t progressOf = 0;   // what 100 % stands for
  bool showBar = true;           // move the progress bar (else only Working)
  // A CRC-32 the pump takes on the worker threads, of the bytes as read or
  // as transformed, over the first crcBytes bytes of the stream.
  enum class Crc { None, AsRead, AsTransformed } crc = Crc::None;
  std::int64_t crcBytes = INT64_MAX;
};
struct PumpStages {
  // After a block is read / to take it away. Each runs in block order and
  // on any one thread, never two reads or two sinks at once; a read may run
  // beside a sink (see util/pipeline.h), so the two must not share state.
  // offset: of the block's first byte in the stream. False from sink ends
  // the pump with WriteFailed.
  std::function<void(std::uint8_t* block, std::size_t bytes)> read;
  std::function<bool(std::uint8_t* block, std::size_t bytes, std::int64_t offset)> sink;
  // Parts of a block, each whole rows (the block's last row may be short
  // and has room up to its row end); any thread, several at once. Must not
  // touch the window.
  std::function<void(std::uint8_t* rows, std::size_t bytes, std::int64_t offset)> transform;
};
// crc: receives the CRC-32 the plan asks for. Halted: the user asked to
// stop.
PipelineEnd PumpRows(JobContext& job, InputFile& in, const PumpPlan& plan,
                     const PumpStages& stages, std::uint32_t* crc = nullptr);

// Packing half, from the source checksum on, with the source open.
// key: the key bytes, empty without encryption. startTime: taken before
// the opening log lines.
void EncodeJob(JobContext& job, InputFile& source, const KeyText& key,
               std::int64_t startTime);

// Unpacking half, from the header check on, with the source open.
void DecodeJob(JobContext& job, InputFile& source);

// "-> Block cipher mode = 128 bit (low)" and the like.
std::string BlockModeLine(const Keying& keying);

// Shared end of a run that got through: the "Ready in" line (time since
// startTime), then preview, clipboard and closing as the settings say.
void FinishJob(JobContext& job, std::int64_t startTime, const std::string& outputPath);

}  // namespace pt
