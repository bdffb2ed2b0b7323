#include "carrier/job.h"

#include "carrier/file_io.h"
#include "carrier/job_internal.h"

namespace pt {

namespace {

// The key bytes of a packing run: the -K: key (used once) or the dialog's.
// False when the user did not confirm the dialog.
bool ObtainEncodeKey(JobContext& job, std::string& key) {
  if (!job.state.commandLineKey.empty()) {
    key = HexToBytes(job.state.commandLineKey);
    job.state.commandLineKey.clear();
    return true;
  }
  const KeyReply reply =
      job.ui.RequestKey(KeyRequest{job.settings.hidePassword, /*applyKeyMode=*/true});
  if (!reply.ok) return false;
  key = reply.hexMode ? HexToBytes(reply.text) : reply.text;
  return true;
}

}  // namespace

JobOutcome mOpenClick(JobUi& ui, Settings& settings, RunState& state,
                      const JobRequest& request) {
  JobContext job{ui, settings, state, request};
  job.cipherId = CipherIdForIndex(request.cipherIndex);
  job.methodName = MethodLogName(request.cipherText);

  ui.ClearLog();
  ui.ScrollLogToEnd();
  ui.HidePreview();

  if (request.startedByCommandLine) {
    job.sourcePath = state.commandLineFile;
  } else {
    auto chosen = ui.ChooseFile();
    if (!chosen) return job.outcome;
    job.sourcePath = *chosen;
  }
  if (job.sourcePath.empty()) return job.outcome;

  job.parts = SplitPath(job.sourcePath);
  const bool unpack = ToLowerAscii(job.parts.ext) == "bmp";
  job.outcome.packed = !unpack;
  job.outcome.end = JobEnd::Cancelled;

  std::string key;
  KeyWiper wipeKey(key);
  if (!unpack && job.cipherId != kCipherNone) {
    if (!ObtainEncodeKey(job, key)) return job.outcome;
    if (key.size() < 8 || key.size() > 32) {
      // The key rules let only 8 to 32 key bytes through; anything else
      // would leave the payload unprotected.
      job.Error("Key must have 8 to 32 bytes (" + std::to_string(key.size()) + ") !!!");
      job.outcome.end = JobEnd::Failed;
      return job.outcome;
    }
  }

  const std::int64_t start = NowSeconds();
  job.Log(unpack ? "Try to decode file:" : "Try to encode file:");
  job.Log("-> \"" + job.parts.name + "." + job.parts.ext + "\"");
  job.Log("");
  job.Log("Open source file");
  std::string sizePath = job.sourcePath;
  job.sourceSize = FileSizeOf(sizePath, false);
  job.Log("-> File size        : " + GroupThousands(job.sourceSize) + " bytes");
  if (IsSpecialFile(job.sourcePath)) {
    // A device or pipe has no end to read up to.
    job.Error("Error while reading sourcefile ...");
    job.outcome.end = JobEnd::Failed;
    return job.outcome;
  }

  if (unpack) {
    InputFile source;
    if (!source.Open(job.sourcePath)) {
      job.Error("Error while reading sourcefile ...");
      job.outcome.end = JobEnd::Failed;
      return job.outcome;
    }
    DecodeJob(job, source);
  } else {
    EncodeJob(job, key, start);
  }
  return job.outcome;
}

void FinishJob(JobContext& job, std::int64_t startTime, const std::string& outputPath) {
  job.Log("");
  job.Log("Ready in (hh:mm:ss) = " + ElapsedText(startTime, NowSeconds()));
  job.ui.ScrollLogToEnd();
  job.outcome.end = JobEnd::Completed;
  job.outcome.outputPath = outputPath;
  if (!job.outcome.packed && job.ui.ShowBitmapChecked()) {
    job.Log("");
    job.Log("Showing Bitmapfile ...");
    job.ui.RepaintLog();
    job.ui.ScrollLogToEnd();
    job.ui.ShowPreview(job.sourcePath);
  }
  if (job.settings.copyLog) job.ui.CopyLogToClipboard();
  if (job.settings.exitAfterConversion && job.request.startedByCommandLine) {
    job.ui.CloseWindow();
  }
}

}  // namespace pt
