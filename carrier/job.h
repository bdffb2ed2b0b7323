// The EnCode/DeCode command: picks a file, packs it into a carrier or
// unpacks a carrier, reporting every step through the JobUi.
#pragma once

#include <string>

#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt {

struct JobRequest {
  int cipherIndex = 0;             // position selected in the cipher list
  std::string cipherText;          // its text, e.g. "Rijndael (AES)"
  bool startedByCommandLine = false;  // no sender: take commandLineFile
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
};

// The whole command (shared beginning, packing or unpacking half, shared end).
JobOutcome mOpenClick(JobUi& ui, Settings& settings, RunState& state,
                      const JobRequest& request);

}  // namespace pt
