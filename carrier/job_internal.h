// State shared by the two halves of the EnCode/DeCode command.
#pragma once

#include <cstdint>
#include <string>

#include "carrier/job.h"
#include "crypto/cipher.h"
#include "util/text.h"

namespace pt {

class InputFile;

struct JobContext {
  JobContext(JobUi& u, Settings& s, RunState& st, const JobRequest& r)
      : ui(u), settings(s), state(st), request(r) {}

  JobUi& ui;
  Settings& settings;
  RunState& state;
  const JobRequest& request;
  std::uint8_t cipherId = kCipherNone;
  std::string methodName;
  std::string sourcePath;
  PathParts parts;
  std::int64_t sourceSize = -1;
  ChunkCipher cipher;  // the three engines of this job
  JobOutcome outcome;

  void Log(const std::string& line) { ui.AddLogLine(line); }
  void Error(const std::string& text) { ui.ShowMessage(MsgKind::Error, text, MsgButtons::Ok); }
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

// Sizes the 32-bit fields of a carrier can describe.
inline constexpr std::int64_t kMaxPayload = 0x7FFFFFFF;

// Packing half, from the source checksum on. key: the key bytes, empty
// without encryption. startTime: taken before the opening log lines.
void EncodeJob(JobContext& job, const std::string& key, std::int64_t startTime);

// Unpacking half, from the header check on, with the source open.
void DecodeJob(JobContext& job, InputFile& source);

// Shared end of a run that got through: the "Ready in" line (time since
// startTime), then preview, clipboard and closing as the settings say.
void FinishJob(JobContext& job, std::int64_t startTime, const std::string& outputPath);

}  // namespace pt
