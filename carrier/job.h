// The EnCode/DeCode command: picks a file, packs it into a carrier or
// unpacks a carrier, reporting every step through the JobUi.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt {

class FileSystem;

struct JobRequest {
  JobRequest() = default;
  JobRequest(int index, std::string text, bool byCommandLine)
      : cipherIndex(index), cipherText(std::move(text)), startedByCommandLine(byCommandLine) {}

  int cipherIndex = 0;             // position selected in the cipher list
  std::string cipherText;          // its text, e.g. "Rijndael (AES)"
  bool startedByCommandLine = false;  // no sender: take commandLineFile
  // Folder for carriers, restored files and temp files; "" for the
  // chosen file's own folder.
  std::string outputDir;
  // Unpacking: the restored bytes go here, in order, instead of into a
  // file, and nothing is written (false stops the job as a write error).
  // Every check runs as usual.
  std::function<bool(const std::uint8_t* data, std::size_t n)> restoreTo;
  // The name the chosen file stands for (a copy of standard input, say):
  // the carrier is named by it and it is the name stored; "" for the
  // file's own name. Only for packing.
  std::string sourceName;
  // Outputs of the caller's earlier jobs: never replaced, not even when the
  // user would agree.
  std::vector<std::string> keepOutputs;
  // Every file the job reads or writes goes through this one; nullptr for
  // the real file system (tests hand in one that fails).
  FileSystem* files = nullptr;
};

enum class JobEnd {
  NoFile,         // dialog cancelled or no usable path
  Cancelled,      // the user stopped the job (key dialog, abort, ...)
  Failed,         // ended early with an error
  Completed,      // reached its "Ready in" line
};

struct JobOutcome {
  JobEnd end = JobEnd::NoFile;
  bool packed = false;          // true for packing, false for unpacking
  bool checksumError = false;   // a check logged "-> Checksum ERROR !!!"
  std::string outputPath;       // the carrier or restored file when completed
  std::string keptOutput;       // the one of keepOutputs this job would have replaced
};

// The whole command (shared beginning, packing or unpacking half, shared end).
JobOutcome mOpenClick(JobUi& ui, Settings& settings, RunState& state,
                      const JobRequest& request);

}  // namespace pt
