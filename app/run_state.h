// What the command line set for a front end's jobs, kept between them and
// never stored, and the job entry that applies it.
#pragma once

#include <string>

#include "carrier/job.h"
#include "carrier/job_ui.h"
#include "util/key_text.h"

namespace pt {

struct RunState {
  std::string commandLineFile;
  KeyText commandLineKey;      // upper-case hex, used by one job then emptied
  bool deleteTempFile = true;  // cleared by -D
  bool debugDump = false;      // set by -D
};

// RunJob with the command line's key and -D flags: they are filled into
// request, the key is dropped (wiped) once a job used it, and the dump is
// switched off once it failed.
JobOutcome RunJob(JobRequest request, RunState& state, JobUi& ui);

}  // namespace pt
