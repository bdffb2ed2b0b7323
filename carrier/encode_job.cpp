// The packing half of the EnCode/DeCode command: source checksum, optional
// gzip stage, carrier naming, header row and the payload rows.
#include <cstring>

#include "carrier/carrier_format.h"
#include "carrier/compression.h"
#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "carrier/job_internal.h"
#include "carrier/target_name.h"
#include "util/csv_parser.h"

namespace pt {

namespace {

// Removes the packing temp file on every way out of the run.
class TempFile {
 public:
  ~TempFile() {
    if (!path.empty()) DeleteFile(path);
  }
  std::string path;
};

bool CompressionWanted(const JobContext& job) {
  const Settings& s = job.settings;
  switch (s.compressionMode) {
    case 1:
    case 3:
      return true;
    case 2:
      return !ExtensionInList(s.compressedExtensions, job.parts.ext,
                              [&job](const std::string& msg) {
                                job.ui.ShowMessage(MsgKind::Plain, msg, MsgButtons::Ok);
                              });
    default:
      return false;
  }
}

const char* const kSourceChanged =
    "Sourcefile has changed while it was encoded !!!\nNo target file was written ...";

void Fail(JobContext& job, const std::string& message) {
  job.Error(message);
  job.outcome.end = JobEnd::Failed;
}

}  // namespace

void EncodeJob(JobContext& job, const std::string& key, std::int64_t startTime) {
  JobUi& ui = job.ui;
  BusyCursor cursor(ui);
  cursor.Set(true);

  if (job.sourceSize > kMaxPayload) {
    Fail(job, "Sourcefile is too large: files of 2 GB or more cannot be stored ...");
    return;
  }

  // Source checksum
  job.Log("-> Calculating CRC 32 checksum ...");
  ui.RepaintLog();
  ui.ScrollLogToEnd();
  std::uint32_t sourceCrc = 0;
  if (!FileCrc32(job.sourcePath, sourceCrc)) {
    Fail(job, "CRC 32 checksum error ...");
    return;
  }
  cursor.Set(false);
  bool useCompressed = false;
  cursor.Set(true);

  // Optional gzip stage
  TempFile temp;
  std::int64_t compressedSize = 0;
  std::uint32_t compressedCrc = 0;
  if (CompressionWanted(job)) {
    job.Log("");
    job.Log("Try to compress sourcefile");
    ui.RepaintLog();
    temp.path = job.sourcePath + ".pixeltuck";
    if (SameFile(temp.path, job.sourcePath)) {
      temp.path.clear();  // never delete the source through a link
      Fail(job, "Compression Test failed !\nfile <" + job.sourcePath + ".pixeltuck" +
                    "> could not be written ...");
      return;
    }
    const int level = job.settings.compressionLevel >= 0 ? job.settings.compressionLevel : -1;
    StreamSummary read;
    if (!CompressFile(job.sourcePath, temp.path, ui.Progress(), level, &read)) {
      Fail(job, "Compression Test failed !\nfile <" + temp.path + "> could not be written ...");
      return;
    }
    if (read.bytes != job.sourceSize || read.crc != sourceCrc) {
      Fail(job, kSourceChanged);
      return;
    }
    std::string tempPath = temp.path;
    compressedSize = FileSizeOf(tempPath, false);
    useCompressed = job.settings.compressionMode == 1 ? compressedSize < job.sourceSize : true;
    if (useCompressed) {
      if (compressedSize > kMaxPayload) {
        Fail(job, "Sourcefile is too large: files of 2 GB or more cannot be stored ...");
        return;
      }
      job.Log("-> Calculating CRC 32 checksum ...");
      ui.RepaintLog();
      ui.ScrollLogToEnd();
      if (!FileCrc32(temp.path, compressedCrc)) {
        Fail(job, "Compressed file CRC 32 checksum error ...");
        return;
      }
      const long double savings =
          100.0L - (static_cast<long double>(compressedSize) * 100.0L /
                    static_cast<long double>(job.sourceSize));
      job.Log("-> Compr. file size : " + GroupThousands(compressedSize) + " bytes");
      job.Log("-> Savings          : " + FormatFixed(static_cast<double>(savings), 1) + " %");
    } else {
      job.Log("-> Not sensibly");
    }
  }
  cursor.Set(false);

  // Payload source
  const std::string payloadPath = useCompressed ? temp.path : job.sourcePath;
  InputFile payload;
  if (!payload.Open(payloadPath)) {
    Fail(job, "Error while reading sourcefile ...");
    return;
  }
  job.Log("");
  job.Log("Checksum(s)");
  job.Log("-> Source file CRC32  : 0x" + ValueToHex(sourceCrc, 4));
  if (useCompressed) job.Log("-> Compr. file CRC32  : 0x" + ValueToHex(compressedCrc, 4));

  // Target
  job.Log("");
  job.Log("Open target file");
  ui.ScrollLogToEnd();
  const std::string targetName =
      TargetName(job.parts.name, job.parts.ext, job.settings.targetNameRule);
  const std::string targetPath = JoinPath(job.parts.dir, targetName);
  job.Log("-> \"" + targetName + "\"");
  if (SameFile(targetPath, job.sourcePath) || SameFile(targetPath, payloadPath)) {
    Fail(job, "Error while creating target file ...\nThe target file <" + targetPath +
                  "> is the source file itself.");
    return;
  }
  OutputFile target;
  if (!target.Create(targetPath)) {
    Fail(job, "Error while creating target file ...");
    return;
  }

  job.Log("");
  job.Log("Encoding process starts");
  ui.ScrollLogToEnd();
  const std::int64_t payloadLength = useCompressed ? compressedSize : job.sourceSize;
  const std::int64_t height = CarrierHeight(payloadLength < 0 ? 0 : payloadLength);
  job.Log("-> Writing BMP file with");
  job.Log("-> " + std::to_string(kCarrierWidth) + " x " + std::to_string(height) + " Pixel");

  CarrierHeader header;
  SetFieldText(header.Magic, sizeof header.Magic, kMagic);
  SetFieldText(header.Version, sizeof header.Version, kFormatVersion);
  SetFieldText(header.FileName, sizeof header.FileName,
               StoredFileName(job.parts.name, job.parts.ext));
  header.FileSize = static_cast<std::int32_t>(job.sourceSize);
  header.SourceCrc = sourceCrc;
  header.Encrypted = key.empty() ? 0 : 1;
  header.KeyCrc = KeyCrc16(key);
  header.CipherId = job.cipherId;

  const bool encrypt = !key.empty();
  if (encrypt) {
    job.Log("");
    job.Log("Enabling password encryption");
    job.Log("-> CRC Key : 0x" + ValueToHex(header.KeyCrc, 2));
    job.Log("-> " + job.methodName + " encryption method");
    const std::string strength = job.cipher.KeyForEncode(job.cipherId, key);
    if (strength.empty()) {
      // Never write a carrier marked as enciphered without enciphering it.
      target.Discard();
      Fail(job, "Encryption method is not available ...");
      return;
    }
    job.Log(strength);
    ui.ScrollLogToEnd();
  }

  if (useCompressed) {
    header.Compressed = kCompressedMark;
    header.CompressedSize = static_cast<std::int32_t>(compressedSize);
    header.CompressedCrc = compressedCrc;
  }

  if (!WriteCarrierHeaders(target, header, payloadLength)) {
    target.Discard();
    Fail(job, "Error while writing target file");
    return;
  }

  OutputFile debug;
  if (job.state.debugDump && !debug.Create(targetPath + ".debug")) {
    job.state.debugDump = false;
  }

  // Payload rows: read, encipher in place, write; the last row is filled up
  // with zero bytes. The size and CRC-32 of what is read are checked against
  // the values already stored, so a source that changes meanwhile is caught.
  cursor.Set(true);
  ProgressBar& progress = ui.Progress();
  progress.SetPosition(0);
  progress.SetVisible(true);
  ui.RepaintLog();
  ui.ScrollLogToEnd();
  std::uint8_t row[kRowBytes] = {};
  std::int64_t total = 0;
  std::uint32_t readCrc = 0;
  bool ioFailed = false;
  for (;;) {
    const std::size_t got = payload.Read(row, kRowBytes);
    if (got == 0) break;
    total += static_cast<std::int64_t>(got);
    if (total > payloadLength) break;  // grew since it was measured
    readCrc = Crc32(readCrc, row, got);
    if (payloadLength > 0) {
      const std::int64_t percent = total * 100 / payloadLength;
      if (percent >= 0 && percent <= 100 && percent != progress.Position()) {
        progress.SetPosition(static_cast<int>(percent));
        progress.Repaint();
      }
    }
    const std::size_t out = encrypt ? job.cipher.EncryptChunk(row, got) : got;
    if (!target.Write(row, out) || (job.state.debugDump && !debug.Write(row, out))) {
      ioFailed = true;
      break;
    }
    const bool last = out < kRowBytes;
    std::memset(row, 0, sizeof row);
    if (last) {
      if (!target.WriteZeros(kRowBytes - out)) ioFailed = true;
      break;
    }
  }
  ioFailed = ioFailed || payload.Failed();
  progress.SetVisible(false);
  progress.SetPosition(0);
  payload.Close();

  const std::uint32_t expectedCrc = useCompressed ? compressedCrc : sourceCrc;
  if (!ioFailed && (total != payloadLength || readCrc != expectedCrc)) {
    target.Discard();
    debug.Discard();
    Fail(job, kSourceChanged);
    return;
  }
  if (ioFailed || !target.Commit()) {
    target.Discard();
    debug.Discard();
    Fail(job, "Error while writing target file");
    return;
  }
  if (job.state.debugDump && !debug.Commit()) job.state.debugDump = false;
  if (!temp.path.empty()) {
    DeleteFile(temp.path);
    temp.path.clear();
  }
  ui.ShowPreview(targetPath);

  cursor.Set(false);
  FinishJob(job, startTime, targetPath);
}

}  // namespace pt
