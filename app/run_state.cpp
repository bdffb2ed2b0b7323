#include "app/run_state.h"

namespace pt {

JobOutcome RunJob(JobRequest request, RunState& state, JobUi& ui) {
  request.commandLineKey = &state.commandLineKey;
  request.deleteTempFile = state.deleteTempFile;
  request.debugDump = state.debugDump;
  const JobOutcome outcome = RunJob(request, ui);
  if (outcome.commandLineKeyUsed) state.commandLineKey.Clear();
  if (outcome.debugDumpFailed) state.debugDump = false;
  return outcome;
}

}  // namespace pt
