// One job: packs a file into a carrier or unpacks a carrier, reporting
// every step through the JobUi.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "carrier/job_ui.h"
#include "carrier/settings.h"
#include "crypto/cipher.h"

namespace pt {

class FileSystem;
struct DeflateFault;

// Everything one job needs, built by the front end.
struct JobRequest {
  // The file to pack (any name) or unpack (".bmp"); "" ends the job at
  // once (JobEnd::NoFile).
  std::string file;
  CipherId cipher = CipherId::None;  // packing; unpacking takes the carrier's
  // The key given with the command line (-K:), upper-case hex digits, kept
  // by the caller; nullptr or an empty key lets the job ask through
  // JobUi::RequestKey. A job that used it says so in
  // JobOutcome::commandLineKeyUsed: the key serves one job only.
  const KeyText* commandLineKey = nullptr;
  bool startedByCommandLine = false;
  JobSettings settings;
  bool deleteTempFile = true;  // unpacking removes its gzip temp file (-D keeps it)
  bool debugDump = false;      // packing also writes the payload to "<carrier>.debug" (-D)
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
  // Makes zlib fail in tests; nullptr otherwise.
  DeflateFault* deflateFault = nullptr;
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
  bool commandLineKeyUsed = false;  // the request's commandLineKey was taken
  bool debugDumpFailed = false;     // the debug dump could not be written: switch it off
};

// Packs or unpacks request.file (by its extension), reporting every step
// through ui.
JobOutcome RunJob(const JobRequest& request, JobUi& ui);

}  // namespace pt
