#include "app/run_state.h"

#include "app/command_line.h"

namespace pt {

JobOutcome RunJob(JobRequest request, RunState& state, JobUi& ui) {
  request.commandLineKey = state.commandLineKey;
  request.deleteTempFile = state.deleteTempFile;
  request.debugDump = state.debugDump;
  const JobOutcome outcome = RunJob(request, ui);
  WipeKeyText(request.commandLineKey);
  if (outcome.commandLineKeyUsed) WipeKeyText(state.commandLineKey);
  if (outcome.debugDumpFailed) state.debugDump = false;
  return outcome;
}

}  // namespace pt
