#include "carrier/job.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <vector>
#include <zlib.h>

#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "carrier/job_internal.h"
#include "crypto/key_rules.h"
#include "util/block_buffer.h"
#include "util/parallel.h"
#include "util/pipeline.h"

namespace pt {

namespace {

constexpr std::size_t kPumpBlock = std::size_t{1} << 20;

// The key bytes of a packing run: the -K: key (used once) or the dialog's.
// False when the user did not confirm the dialog.
bool ObtainEncodeKey(JobContext& job, KeyText& key) {
  key = job.TakeCommandLineKey();
  if (!key.empty()) return true;
  const KeyReply reply = job.ui.RequestKey(
      KeyRequest{job.settings.hidePassword, /*applyKeyMode=*/true, /*newCarrier=*/true});
  if (!reply.ok) return false;
  key = KeyBytesFromDialog(reply.hexMode, reply.text.View());
  return true;
}

// Lends the open source to the context for a scope, so that an early end
// lets go of it; never longer than the file lives.
class LentSource {
 public:
  LentSource(JobContext& job, InputFile& source) : job_(job) { job_.source = &source; }
  ~LentSource() { job_.source = nullptr; }
  LentSource(const LentSource&) = delete;
  LentSource& operator=(const LentSource&) = delete;

 private:
  JobContext& job_;
};

// The reason line of an input that cannot be read: "<path>: not a regular
// file" and the like.
std::string OpenFailure(const InputFile& in, const std::string& path) {
  return "Error while reading sourcefile ...\n" + path + ": " + OpenErrorText(in.LastOpenError());
}

}  // namespace

FileSystem& JobContext::Files() const {
  return request.files != nullptr ? *request.files : FileSystem::Real();
}

KeyText JobContext::TakeCommandLineKey() {
  if (outcome.commandLineKeyUsed || !HasCommandLineKey()) return {};
  outcome.commandLineKeyUsed = true;
  return KeyBytesFromDialog(/*hexMode=*/true, request.commandLineKey->View());
}

bool JobContext::EndEarly(const EarlyEnd& how) {
  ReleaseLog();
  if (source != nullptr) source->Close();
  if (!how.message.empty()) ui.ShowMessage(how.box, how.message, MsgButtons::Ok);
  for (const std::string& line : how.log) Log(line);
  if (how.clearLog) ui.ClearLog();
  if (how.checksumError) outcome.checksumError = true;
  outcome.end = how.end;
  return false;
}

bool JobContext::MayReplace(const std::string& path, bool& replace) {
  replace = false;
  if (!NameTaken(path)) return true;
  for (const std::string& kept : request.keepOutputs) {
    if (SameFile(path, kept)) {
      outcome.keptOutput = kept;
      return Fail("Error while creating target file ...\n<" + path +
                  "> was written by an earlier job of this run and is not replaced.");
    }
  }
  const MsgAnswer answer =
      ui.AskReplace("The file <" + path + "> already exists.\n\nReplace it ?");
  if (answer != MsgAnswer::Yes) {
    return EndEarly(
        {.end = JobEnd::Cancelled, .log = {"-> Existing file kept, nothing written"}});
  }
  replace = true;
  return true;
}

PipelineEnd PumpRows(JobContext& job, InputFile& in, const PumpPlan& plan,
                     const PumpStages& stages, std::uint32_t* crc) {
  // About 1 MiB of whole rows; for small files a hundredth of the file, so
  // that no whole percent of the bar is skipped; never more than the file
  // can deliver.
  const std::int64_t hundredth = std::max<std::int64_t>(plan.progressOf / 100, 0);
  const std::int64_t available = in.Size() >= 0 ? std::min(in.Size(), plan.limit) : plan.limit;
  const auto rowsAvailable = static_cast<std::size_t>(
      std::max<std::int64_t>(available, 0) / static_cast<std::int64_t>(plan.rowBytes) + 1);
  const std::size_t maxRows =
      std::min(std::max<std::size_t>(1, kPumpBlock / plan.rowBytes), rowsAvailable);
  const std::size_t rows =
      std::clamp<std::size_t>(static_cast<std::size_t>(hundredth) / plan.rowBytes, 1, maxRows);
  const std::size_t blockSize = rows * plan.rowBytes;
  const unsigned threads = WorkerThreads();
  // With a second thread the reads and the writes run side by side, each
  // with its own buffer. The buffers have the full size even when the
  // blocks are smaller, so that memory use does not change with the file's
  // size.
  PipelineSteps steps;
  steps.slots = threads >= 2 ? 3 : 2;
  BlockBuffer buffers[3];
  for (int s = 0; s < steps.slots; ++s) buffers[s] = BlockBuffer(maxRows * plan.rowBytes);

  const bool takeCrc = plan.crc != PumpPlan::Crc::None && crc != nullptr;
  // Without a transform the checksum is the only work: on one thread it is
  // taken as the bytes are read, while they are still in this processor's
  // cache; with more it is worked in parts like a transform, beside the
  // reads and writes.
  const bool inlineCrc = takeCrc && !stages.transform && threads < 2;
  // Small parts even out the threads' shares of a block: whichever thread
  // is done with its read or write first takes more of them.
  const std::size_t maxParts =
      stages.transform || (takeCrc && !inlineCrc) ? 8 * std::size_t{threads} : 0;
  if (crc != nullptr) *crc = 0;
  std::int64_t done = 0;
  std::vector<std::uint32_t> partCrc(maxParts);
  std::vector<std::size_t> partCrcBytes(maxParts);
  const auto partsOf = [&](const PipelineBatch& batch) {
    return std::min((batch.bytes + plan.rowBytes - 1) / plan.rowBytes, maxParts);
  };

  steps.read = [&](int slot) {
    PipelineRead got;
    if (done >= plan.limit) return got;
    std::uint8_t* buf = buffers[slot].data();
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(plan.limit - done, static_cast<std::int64_t>(blockSize)));
    got.bytes = in.Read(buf, want);
    if (in.Failed()) {
      got.bytes = 0;
      got.failed = true;
      return got;
    }
    got.last = got.bytes < want;
    if (inlineCrc) {
      const auto bytes = static_cast<std::size_t>(
          std::clamp<std::int64_t>(plan.crcBytes - done, 0, static_cast<std::int64_t>(got.bytes)));
      *crc = Crc32(*crc, buf, bytes);
    }
    done += static_cast<std::int64_t>(got.bytes);
    if (got.bytes > 0 && stages.read) stages.read(buf, got.bytes);
    return got;
  };
  steps.parts = partsOf;
  steps.work = [&](const PipelineBatch& batch, std::size_t part, std::size_t parts) {
    const std::size_t rowsHere = (batch.bytes + plan.rowBytes - 1) / plan.rowBytes;
    const std::size_t first = part * rowsHere / parts * plan.rowBytes;
    const std::size_t end = std::min((part + 1) * rowsHere / parts * plan.rowBytes, batch.bytes);
    std::uint8_t* at = buffers[batch.slot].data() + first;
    const std::size_t bytes = end > first ? end - first : 0;
    const std::int64_t offset = batch.offset + static_cast<std::int64_t>(first);
    partCrcBytes[part] = static_cast<std::size_t>(
        std::clamp<std::int64_t>(plan.crcBytes - offset, 0, static_cast<std::int64_t>(bytes)));
    if (takeCrc && plan.crc == PumpPlan::Crc::AsRead) {
      partCrc[part] = Crc32(0, at, partCrcBytes[part]);
    }
    if (bytes > 0 && stages.transform) stages.transform(at, bytes, offset);
    if (takeCrc && plan.crc == PumpPlan::Crc::AsTransformed) {
      partCrc[part] = Crc32(0, at, partCrcBytes[part]);
    }
  };
  if (stages.sink) {
    steps.write = [&](const PipelineBatch& batch) {
      return stages.sink(buffers[batch.slot].data(), batch.bytes, batch.offset);
    };
  }
  ProgressBar& bar = job.ui.Progress();
  steps.settle = [&](const PipelineBatch& batch, bool) {
    const std::size_t parts = batch.bytes > 0 ? partsOf(batch) : 0;
    for (std::size_t part = 0; takeCrc && part < parts; ++part) {
      *crc = static_cast<std::uint32_t>(
          crc32_combine(*crc, partCrc[part], static_cast<z_off_t>(partCrcBytes[part])));
    }
    if (plan.showBar && plan.progressOf > 0) {
      const std::int64_t percent = done * 100 / plan.progressOf;
      if (percent >= 0 && percent <= 100 && percent != bar.Position()) {
        bar.SetPosition(static_cast<int>(percent));
      }
    }
    job.ui.Working(plan.phase, done, plan.progressOf);
    return !job.ui.StopRequested();
  };
  return RunPipeline(steps);
}

JobOutcome RunJob(const JobRequest& request, JobUi& ui) {
  JobContext job{ui, request};
  job.cipherId = static_cast<std::uint8_t>(request.cipher);
  job.methodName = MethodLogName(request.cipher);

  ui.ClearLog();
  ui.HidePreview();

  job.sourcePath = request.file;
  if (job.sourcePath.empty()) return job.outcome;

  job.parts = SplitPath(job.sourcePath);
  const bool unpack = ToLowerAscii(job.parts.ext) == "bmp";
  job.outcome.packed = !unpack;
  if (!unpack && !request.sourceName.empty()) {
    const PathParts named = SplitPath(request.sourceName);
    job.parts.name = named.name;
    job.parts.ext = named.ext;
  }

  KeyText key;
  try {
    if (!unpack && job.cipherId != kCipherNone) {
      if (!ObtainEncodeKey(job, key)) {
        job.EndEarly({.end = JobEnd::Cancelled});
        return job.outcome;
      }
      if (key.size() < 8 || key.size() > 32) {
        // The key rules let only 8 to 32 key bytes through; anything else
        // would leave the payload unprotected.
        job.Fail("Key must have 8 to 32 bytes (" + std::to_string(key.size()) + ") !!!");
        return job.outcome;
      }
    }

    const std::int64_t start = NowSeconds();
    job.Log(unpack ? "Try to decode file:" : "Try to encode file:");
    job.Log("-> \"" + job.parts.name + "." + job.parts.ext + "\"");
    if (!unpack && job.cipherId == kCipherNone && job.HasCommandLineKey()) {
      job.Log("-> Key not used: no encryption method selected");
    }
    job.Log("");
    job.Log("Open source file");
    const auto found = FindFirstFileMatch(job.sourcePath);
    job.sourceSize = found ? found->size : -1;
    job.Log("-> File size        : " + GroupThousands(job.sourceSize) + " bytes");

    // The source is opened once, without blocking, and every pass reads
    // that same open file: a name swapped meanwhile changes nothing.
    InputFile source;
    if (!source.Open(job.sourcePath, job.Files())) {
      job.Fail(OpenFailure(source, job.sourcePath));
      return job.outcome;
    }
    job.sourceSize = source.Size();
    const LentSource lent(job, source);
    if (unpack) {
      DecodeJob(job, source);
    } else {
      EncodeJob(job, source, key, start);
    }
  } catch (const std::bad_alloc&) {
    // Everything the run held has been released on the way out.
    job.Fail("Not enough memory to finish the job ...\nNothing was written.");
  } catch (const std::system_error&) {
    job.Fail("The system refused a resource the job needs ...\nNothing was written.");
  }
  return job.outcome;
}

std::string BlockModeLine(const Keying& keying) {
  const char* word = "";
  switch (keying.strength) {
    case KeyStrength::Low: word = "(low)"; break;
    case KeyStrength::Medium: word = "(medium)"; break;
    case KeyStrength::High: word = "(high)"; break;
    case KeyStrength::Unnamed: break;
  }
  return "-> Block cipher mode = " + std::to_string(keying.modeBits) + " bit " + word;
}

void FinishJob(JobContext& job, std::int64_t startTime, const std::string& outputPath) {
  job.Log("");
  job.Log("Ready in (hh:mm:ss) = " + ElapsedText(startTime, NowSeconds()));
  job.outcome.end = JobEnd::Completed;
  job.outcome.outputPath = outputPath;
  if (!job.outcome.packed && job.ui.ShowCarrierWanted()) {
    job.Log("");
    job.Log("Showing Bitmapfile ...");
    job.ui.ShowPreview(job.sourcePath);
  }
  if (job.settings.copyLog) job.ui.CopyLogToClipboard();
}

}  // namespace pt
