// The packing half of the EnCode/DeCode command: source checksum, optional
// gzip stage, carrier naming, header row and the payload rows.
#include <cstring>
#include <vector>

#include "carrier/carrier_format.h"
#include "carrier/compression.h"
#include "carrier/file_io.h"
#include "carrier/job_internal.h"
#include "carrier/target_name.h"
#include "util/csv_parser.h"

namespace pt {

namespace {

const char* const kSourceChanged =
    "Sourcefile has changed while it was encoded !!!\nNo target file was written ...";
const char* const kTooLarge =
    "Sourcefile is too large: files of 2 GiB (2.147.483.648 bytes) or more cannot be stored ...";
const char* const kWriteError = "Error while writing target file";
const char* const kCrcError = "CRC 32 checksum error ...";
const char* const kCreateError = "Error while creating target file ...";

class Packing {
 public:
  Packing(JobContext& job, InputFile& source, const KeyText& key)
      : job_(job), ui_(job.ui), source_(source), key_(key), cursor_(job.ui) {}

  void Run(std::int64_t startTime) {
    cursor_.Set(true);
    if (job_.sourceSize > kMaxPayload) {
      job_.Fail(kTooLarge);
      return;
    }
    // Whether the carrier's name can be used (and may replace a file) is
    // settled before any work is spent on it.
    if (!ChooseTarget()) return;
    job_.Log("-> Calculating CRC 32 checksum ...");
    const bool packed = CompressionWanted() ? PackInPasses() : PackInOnePass();
    if (!packed || !PlaceTarget()) return;
    if (ui_.ShowCarrierWanted()) ui_.ShowPreview(targetPath_);
    cursor_.Set(false);
    FinishJob(job_, startTime, targetPath_);
  }

 private:
  // With a gzip stage the header row needs the gzip form's size and
  // checksum before the first payload row: the gzip stage (which takes the
  // source's checksum as it reads), then the rows.
  bool PackInPasses() {
    if (!Compress()) return false;
    cursor_.Set(false);
    if (!OpenPayload()) return false;
    LogChecksums();
    LogOpenTarget();
    if (targetIsFolder_ || !target_.Create(targetPath_, job_.Files())) {
      return job_.Fail(kCreateError);
    }
    return PrepareHeader() && WriteLeadingBytes() && WritePayload();
  }

  // Without one, the source is read once: its checksum is taken while the
  // rows are written, the header row is written last, and the log lines
  // that follow the checksum in the log wait until it is known.
  bool PackInOnePass() {
    cursor_.Set(false);
    if (targetIsFolder_ || !target_.Create(targetPath_, job_.Files())) {
      // The log still tells the checksum before the target that failed.
      const PipelineEnd checked = ChecksumPass();
      if (checked == PipelineEnd::Halted) return job_.Interrupted();
      if (checked != PipelineEnd::Done) return job_.Fail(kCrcError);
      LogChecksums();
      LogOpenTarget();
      return job_.Fail(kCreateError);
    }
    onePass_ = true;
    job_.holdLog = true;
    LogOpenTarget();
    if (!PrepareHeader() || !WriteLeadingBytes() || !WritePayload()) return false;
    job_.holdLog = false;
    LogChecksums();
    job_.ReleaseLog();
    header_.SourceCrc = sourceCrc_;
    if (!WriteCarrierHeaders(target_, header_, payloadLength_, /*overwrite=*/true)) {
      return job_.Fail(kWriteError);
    }
    return true;
  }

  // ----------------------------------------------------------------- steps

  bool CompressionWanted() {
    const JobSettings& s = job_.settings;
    switch (s.compressionMode) {
      case CompressionMode::IfSmaller:
      case CompressionMode::Always:
        return true;
      case CompressionMode::UnlessListed:
        return !ExtensionInList(s.compressedExtensions, job_.parts.ext,
                                [this](const std::string& msg) {
                                  ui_.ShowMessage(MsgKind::Plain, msg, MsgButtons::Ok);
                                });
      case CompressionMode::Never:
        break;
    }
    return false;
  }

  // The gzip form goes into a temp file beside the source, created anew:
  // "<source>.pixeltuck" when that name is free, else a hidden name of its
  // own. It is removed on every way out.
  bool Compress() {
    job_.Log("");
    job_.Log("Try to compress sourcefile");
    const std::string wanted =
        job_.request.outputDir.empty()
            ? job_.sourcePath + ".pixeltuck"
            : JoinPath(job_.OutputDir(), job_.parts.name +
                                             (job_.parts.ext.empty() ? "" : "." + job_.parts.ext) +
                                             ".pixeltuck");
    const std::string failed = "Compression Test failed !\nfile <";
    if (job_.sourceSize <= 0 || !temp_.CreateTemp(wanted, job_.Files())) {
      return job_.Fail(failed + wanted + "> could not be written ...");
    }
    ProgressBar& bar = ui_.Progress();
    ShownProgress shown(bar);
    GzipResult result;
    const GzipEnd end = CompressStream(
        source_, temp_, job_.settings.compressionLevel, [&](std::int64_t done) {
          const std::int64_t percent = std::min<std::int64_t>(done * 100 / job_.sourceSize, 100);
          if (percent != bar.Position()) {
            bar.SetPosition(static_cast<int>(percent));
          }
          ui_.Working(JobPhase::Compressing, done, job_.sourceSize);
          return !ui_.StopRequested();
        },
        result, job_.request.deflateFault);
    shown.Hide();
    if (end == GzipEnd::Stopped) return job_.Interrupted();
    // The gzip stage's read of the source is its checksum pass.
    if (end == GzipEnd::ReadFailed) return job_.Fail(kCrcError);
    if (end != GzipEnd::Done || !temp_.Flush()) {
      // zlib's own failures are named; the temp file's are the message's.
      const std::string why = end == GzipEnd::DeflateFailed ? "\n" + result.failure : "";
      return job_.Fail(failed + temp_.Path() + "> could not be written ..." + why);
    }
    if (result.plain.bytes != job_.sourceSize) return job_.Fail(kSourceChanged);
    sourceCrc_ = result.plain.crc;
    compressedSize_ = result.packed.bytes;
    compressedCrc_ = result.packed.crc;
    useCompressed_ = job_.settings.compressionMode == CompressionMode::IfSmaller ? compressedSize_ < job_.sourceSize : true;
    if (!useCompressed_) {
      job_.Log("-> Not sensibly");
      return true;
    }
    if (compressedSize_ > kMaxPayload) return job_.Fail(kTooLarge);
    // The gzip file's CRC-32 was taken while it was written.
    job_.Log("-> Calculating CRC 32 checksum ...");
    const long double savings = 100.0L - (static_cast<long double>(compressedSize_) * 100.0L /
                                          static_cast<long double>(job_.sourceSize));
    job_.Log("-> Compr. file size : " + GroupThousands(compressedSize_) + " bytes");
    job_.Log("-> Savings          : " + FormatFixed(static_cast<double>(savings), 1) + " %");
    return true;
  }

  bool OpenPayload() {
    if (useCompressed_) {
      if (!temp_.OpenForReading(compressedPayload_)) {
        return job_.Fail("Error while reading sourcefile ...");
      }
      payload_ = &compressedPayload_;
    } else if (!source_.Rewind()) {
      return job_.Fail("Error while reading sourcefile ...");
    }
    return true;
  }

  void LogChecksums() {
    job_.Log("");
    job_.Log("Checksum(s)");
    job_.Log("-> Source file CRC32  : 0x" + ValueToHex(sourceCrc_, 4));
    if (useCompressed_) job_.Log("-> Compr. file CRC32  : 0x" + ValueToHex(compressedCrc_, 4));
  }

  // The carrier's name and path: refused when it is the source itself or
  // too long for the folder; an existing file is replaced only when the
  // user agrees. A folder of that name fails where the carrier is created.
  bool ChooseTarget() {
    targetName_ = TargetName(job_.parts.name, job_.parts.ext, job_.settings.targetNameRule);
    targetPath_ = JoinPath(job_.OutputDir(), targetName_);
    if (SameFile(targetPath_, job_.sourcePath)) {
      return job_.Fail(std::string(kCreateError) + "\nThe target file <" + targetPath_ +
                  "> is the source file itself.");
    }
    if (!NameFitsFolder(job_.OutputDir(), targetName_)) {
      return job_.Fail(std::string(kCreateError) + "\nThe name <" + targetName_ +
                  "> is too long for this folder.");
    }
    targetIsFolder_ = IsDirectory(targetPath_);
    return targetIsFolder_ || job_.MayReplace(targetPath_, replace_);
  }

  void LogOpenTarget() {
    job_.Log("");
    job_.Log("Open target file");
    job_.Log("-> \"" + targetName_ + "\"");
  }

  // The source's checksum on its own, for a run that ends before its rows.
  PipelineEnd ChecksumPass() {
    if (!source_.Rewind()) return PipelineEnd::ReadFailed;
    cursor_.Set(true);
    ShownProgress shown(ui_.Progress());
    PumpPlan plan;
    plan.phase = JobPhase::Reading;
    plan.limit = INT64_MAX;  // to the file's end
    plan.progressOf = job_.sourceSize;
    plan.crc = PumpPlan::Crc::AsRead;
    const PipelineEnd end = PumpRows(job_, source_, plan, PumpStages{}, &sourceCrc_);
    shown.Hide();
    cursor_.Set(false);
    return end;
  }

  // The header row's fields and the cipher's key; the log lines of the
  // encoding's start.
  bool PrepareHeader() {
    job_.Log("");
    job_.Log("Encoding process starts");
    payloadLength_ = useCompressed_ ? compressedSize_ : job_.sourceSize;
    job_.Log("-> Writing BMP file with");
    job_.Log("-> " + std::to_string(kCarrierWidth) + " x " +
        std::to_string(CarrierHeight(payloadLength_)) + " Pixel");

    SetFieldText(header_.Magic, sizeof header_.Magic, kMagic);
    SetFieldText(header_.Version, sizeof header_.Version, kFormatVersion);
    SetFieldText(header_.FileName, sizeof header_.FileName,
                 StoredFileName(job_.parts.name, job_.parts.ext));
    header_.FileSize = static_cast<std::int32_t>(job_.sourceSize);
    header_.SourceCrc = sourceCrc_;
    header_.Encrypted = key_.empty() ? 0 : 1;
    header_.KeyCrc = KeyCrc16(key_.View());
    header_.CipherId = job_.cipherId;
    if (!key_.empty()) {
      job_.Log("");
      job_.Log("Enabling password encryption");
      job_.Log("-> CRC Key : 0x" + ValueToHex(header_.KeyCrc, 2));
      job_.Log("-> " + job_.methodName + " encryption method");
      const Keying keying = job_.cipher.KeyForEncode(job_.cipherId, key_.View());
      // Never write a carrier marked as enciphered without enciphering it.
      if (!keying.keyed) return job_.Fail("Encryption method is not available ...");
      job_.Log(BlockModeLine(keying));
    }
    if (useCompressed_) {
      header_.Compressed = kCompressedMark;
      header_.CompressedSize = static_cast<std::int32_t>(compressedSize_);
      header_.CompressedCrc = compressedCrc_;
    }
    return true;
  }

  // The 1878 leading bytes (in one pass only their room: they are written
  // over when the checksum is known), then the debug copy, which never
  // replaces a file: when its name is taken (or it cannot be made) the run
  // goes on without it.
  bool WriteLeadingBytes() {
    const bool ok = onePass_ ? target_.WriteZeros(kLeadingBytes)
                              : WriteCarrierHeaders(target_, header_, payloadLength_);
    if (!ok) return job_.Fail(kWriteError);
    if (job_.debugDump && !debug_.Create(targetPath_ + ".debug", job_.Files())) {
      job_.StopDebugDump();
    }
    return true;
  }

  // Payload rows: read, encipher, write; the last row is filled up with
  // zero bytes. The size and CRC-32 of what is read are checked against the
  // values already stored, so a source that changes meanwhile is caught.
  bool WritePayload() {
    cursor_.Set(true);
    ProgressBar& bar = ui_.Progress();
    ShownProgress shown(bar);
    const bool encrypt = !key_.empty();
    std::int64_t total = 0;
    std::uint32_t readCrc = 0;
    std::size_t lastRowOut = 0;  // enciphered length of a short last row
    PumpPlan plan;
    plan.limit = payloadLength_ + 1;  // one byte more shows a source that grew
    plan.progressOf = payloadLength_;
    plan.crc = PumpPlan::Crc::AsRead;
    plan.crcBytes = payloadLength_;
    PumpStages stages;
    stages.read = [&](std::uint8_t*, std::size_t n) { total += static_cast<std::int64_t>(n); };
    stages.transform = [&](std::uint8_t* rows, std::size_t n, std::int64_t) {
      const std::size_t whole = n - n % kRowBytes;
      if (encrypt) job_.cipher.EncryptRows(rows, whole);
      if (whole == n) return;
      // The last row: enciphered as a chunk (its final block padded), then
      // zero filler up to the row's end.
      std::uint8_t* row = rows + whole;
      const std::size_t rest = n - whole;
      std::memset(row + rest, 0, kRowBytes - rest);
      lastRowOut = encrypt ? job_.cipher.EncryptChunk(row, rest) : rest;
      std::memset(row + lastRowOut, 0, kRowBytes - lastRowOut);
    };
    stages.sink = [&](std::uint8_t* block, std::size_t n, std::int64_t) {
      const std::size_t whole = n - n % kRowBytes;
      const std::size_t rowBytes = whole == n ? n : whole + kRowBytes;
      const std::size_t payloadBytes = whole == n ? n : whole + lastRowOut;
      return target_.Write(block, rowBytes) &&
             (!job_.debugDump || debug_.Write(block, payloadBytes));
    };
    const PipelineEnd end = PumpRows(job_, *payload_, plan, stages, &readCrc);
    const bool grew = total > payloadLength_;
    shown.Hide();
    bar.SetPosition(0);
    if (end == PipelineEnd::Halted) return job_.Interrupted();
    // In one pass this read is the checksum pass itself.
    if (end == PipelineEnd::ReadFailed) {
      if (!onePass_) return job_.Fail(kWriteError);
      // The checksum failed: nothing that was to follow it happened.
      job_.heldLog.clear();
      return job_.Fail(kCrcError);
    }
    if (end != PipelineEnd::Done) return job_.Fail(kWriteError);
    if (grew || total != payloadLength_) return job_.Fail(kSourceChanged);
    if (onePass_) {
      sourceCrc_ = readCrc;
      return true;
    }
    const std::uint32_t expectedCrc = useCompressed_ ? compressedCrc_ : sourceCrc_;
    if (readCrc != expectedCrc) return job_.Fail(kSourceChanged);
    return true;
  }

  bool PlaceTarget() {
    const OutputFile::Placed placed = target_.Place(targetPath_, replace_);
    if (placed == OutputFile::Placed::NameTaken) {
      // A file appeared under the name after the question (or instead of
      // none): it is not replaced without asking.
      return job_.Fail(std::string(kWriteError) + "\n<" + targetPath_ +
                       "> appeared while the job ran and was not replaced.");
    }
    if (placed != OutputFile::Placed::Done) return job_.Fail(kWriteError);
    if (job_.debugDump && !debug_.Commit()) job_.StopDebugDump();
    temp_.Discard();
    return true;
  }

  // ------------------------------------------------------------------ state

  JobContext& job_;
  JobUi& ui_;
  InputFile& source_;
  const KeyText& key_;
  BusyCursor cursor_;

  std::uint32_t sourceCrc_ = 0;
  OutputFile temp_;                // the gzip form, when compression is tried
  InputFile compressedPayload_;    // the gzip form read back
  InputFile* payload_ = &source_;  // what goes into the rows
  bool useCompressed_ = false;
  std::int64_t compressedSize_ = 0;
  std::uint32_t compressedCrc_ = 0;
  std::int64_t payloadLength_ = 0;
  std::string targetName_;
  std::string targetPath_;
  bool replace_ = false;
  bool targetIsFolder_ = false;
  CarrierHeader header_;
  bool onePass_ = false;  // no gzip stage: the rows' read takes the checksum
  OutputFile target_;
  OutputFile debug_;
};

}  // namespace

void EncodeJob(JobContext& job, InputFile& source, const KeyText& key,
               std::int64_t startTime) {
  Packing(job, source, key).Run(startTime);
}

}  // namespace pt
