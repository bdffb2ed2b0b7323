// The unpacking half of the EnCode/DeCode command: header check, version
// check, key, payload rows back into the stored file (or its gzip form),
// gunzip and checksums.
#include <cstring>

#include "carrier/carrier_format.h"
#include "carrier/compression.h"
#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "carrier/job_internal.h"
#include "carrier/target_name.h"

namespace pt {

namespace {

const char* const kNoCarrier = "Sourcefile is no pixelTuck file ... ";
const char* const kWriteError = "Error while writing target file";

std::string VersionWarning(double fileVersion) {
  return std::string(
             "Warning !!!\nThe version of the file you've try to decode is newer\n"
             "than the version of the pixelTuck you're currently using\n\n"
             "You may not be able to decode the file correctly\n") +
         "A newer version of pixelTuck can be found on its homepage:\n"
         "https://pixeltuck.example.org/download\n" +
         "\nCurrent version of file\t\t\t = " + FormatFixed(fileVersion, 1) +
         "\nCurrent file version of pixelTuck\t = " +
         FormatFixed(ParseVersionNumber(kFormatVersion), 1) + "\n";
}

// Ends the run the way the checks before the copy do: source closed, log
// cleared.
void Abandon(JobContext& job, InputFile& source, JobEnd end) {
  source.Close();
  job.ui.ClearLog();
  job.outcome.end = end;
}

void Fail(JobContext& job, const std::string& message) {
  job.Error(message);
  job.outcome.end = JobEnd::Failed;
}

// Key bytes for an enciphered carrier: the -K: key (used once, unchecked) or
// the dialog's, checked against the stored key check value. False when the
// user gave up.
bool ObtainDecodeKey(JobContext& job, const CarrierHeader& header, std::string& key) {
  job.Log("-> Password is required...");
  if (!job.state.commandLineKey.empty()) {
    key = HexToBytes(job.state.commandLineKey);
    job.state.commandLineKey.clear();
    return true;
  }
  bool first = true;
  for (;;) {
    const KeyReply reply = job.ui.RequestKey(KeyRequest{job.settings.hidePassword, first});
    first = false;
    if (!reply.ok) {
      job.ui.ShowMessage(MsgKind::Confirmation, "User Abort !", MsgButtons::Ok);
      return false;
    }
    key = reply.hexMode ? HexToBytes(reply.text) : reply.text;
    if (key.empty()) {
      // Only keys of 8 to 32 bytes pass the key rules; an empty key cannot
      // open an enciphered carrier.
      job.Error("Key must have 8 to 32 bytes (0) !!!");
      continue;
    }
    if (header.KeyCrc != 0 && KeyCrc16(key) != header.KeyCrc) {
      const MsgAnswer again =
          job.ui.ShowMessage(MsgKind::Confirmation, "Password verification error !\n\nTry again ???",
                             MsgButtons::YesNoCancel);
      if (again == MsgAnswer::Yes) continue;
      return false;
    }
    return true;
  }
}

// Damage a reader can see in the header itself; "" when none.
std::string HeaderDamage(const CarrierHeader& h, bool compressed) {
  if (h.FileSize < 0 || (compressed && h.CompressedSize < 0)) {
    return "Sourcefile is damaged: the stored file size is negative ...";
  }
  return {};
}

}  // namespace

void DecodeJob(JobContext& job, InputFile& source) {
  JobUi& ui = job.ui;
  BusyCursor cursor(ui);
  cursor.Set(true);

  // 1. Header
  job.Log("-> Searching for pixelTuck header");
  const auto info = ReadCarrierHeader(source);
  if (!info) {
    source.Close();
    ui.ShowMessage(MsgKind::Warning, kNoCarrier, MsgButtons::Ok);
    ui.ClearLog();
    job.outcome.end = JobEnd::Failed;
    return;
  }
  const CarrierHeader& header = info->header;
  const std::size_t rowLength = info->rowLength;

  // 2. Version
  const double version = ParseVersionNumber(FieldText(header.Version, sizeof header.Version));
  if (version > ParseVersionNumber(kFormatVersion)) {
    cursor.Set(false);
    if (ui.ShowMessage(MsgKind::Warning, VersionWarning(version), MsgButtons::OkAbort) !=
        MsgAnswer::Ok) {
      Abandon(job, source, JobEnd::Cancelled);
      return;
    }
  }

  const bool enciphered = header.Encrypted != 0;
  const bool compressed = IsCompressedPayload(header);
  const std::string storedName = FieldText(header.FileName, sizeof header.FileName);
  const std::string damage = HeaderDamage(header, compressed);
  if (!damage.empty()) {
    source.Close();
    Fail(job, damage);
    return;
  }
  if (std::memchr(header.FileName, 0, sizeof header.FileName) == nullptr) {
    source.Close();
    Fail(job, "Sourcefile is damaged: the stored file name has no end ...");
    return;
  }
  const auto outputName = SafeOutputName(storedName);
  if (!outputName) {
    source.Close();
    Fail(job, "The stored file name <" + storedName + "> cannot be used ...\nNothing was written.");
    return;
  }

  job.Log("");
  job.Log("Decoding process starts");

  // 4. Key
  std::string key;
  KeyWiper wipeKey(key);
  if (enciphered) {
    cursor.Set(false);
    if (!ObtainDecodeKey(job, header, key)) {
      Abandon(job, source, JobEnd::Cancelled);
      return;
    }
  }

  // 5./6. Sizes
  const std::int64_t startTime = NowSeconds();
  const std::int64_t payloadLength = compressed ? header.CompressedSize : header.FileSize;
  job.Log("");
  job.Log("Writing target file :");
  job.Log("-> \"" + storedName + "\"");
  if (*outputName != storedName) job.Log("-> Stored path reduced to \"" + *outputName + "\"");
  if (compressed) {
    job.Log("-> Original   file size : " + GroupThousands(header.FileSize) + " bytes ");
    job.Log("-> Compressed file size : " + GroupThousands(header.CompressedSize) + " bytes ");
  } else {
    job.Log("-> File size : " + GroupThousands(header.FileSize) + " bytes");
  }

  // 7. Output
  const std::string targetPath = JoinPath(job.parts.dir, *outputName);
  const std::string tempPath = targetPath + ".pixeltuck";
  const std::string outputPath = compressed ? tempPath : targetPath;
  if (SameFile(targetPath, job.sourcePath) || SameFile(tempPath, job.sourcePath)) {
    source.Close();
    Fail(job, "Error while creating target file :\n<" + storedName +
                  ">...\nThe stored name is the name of the picture itself.");
    return;
  }
  OutputFile output;
  if (!output.Create(outputPath)) {
    source.Close();
    Fail(job, "Error while creating target file :\n<" + storedName + ">...");
    return;
  }

  // 8. Busy
  cursor.Set(true);

  // 9. Cipher
  if (enciphered) {
    job.Log("");
    job.Log("Enabling password decryption");
    job.Log("-> CRC Key : 0x" + ValueToHex(header.KeyCrc, 2));
    for (const std::string& line : job.cipher.KeyForDecode(header.CipherId, key, header.KeyMix)) {
      job.Log(line);
    }
  }

  // 10. Copy the payload rows; bytes past the payload length (cipher
  // padding, zero filler, extra rows) are dropped.
  ui.ScrollLogToEnd();
  ui.RepaintLog();
  ProgressBar& progress = ui.Progress();
  progress.SetPosition(0);
  progress.SetVisible(true);
  std::uint8_t row[kRowBytes] = {};
  std::int64_t written = 0;
  std::uint32_t writtenCrc = 0;  // of the bytes written, so no second read pass
  std::int64_t readTotal = 0;
  bool ioFailed = false;
  for (;;) {
    const std::size_t got = source.Read(row, rowLength);
    if (got == 0) break;
    readTotal += static_cast<std::int64_t>(got);
    if (payloadLength != 0) {
      const std::int64_t percent = readTotal * 100 / payloadLength;
      if (percent >= 0 && percent <= 100 && percent != progress.Position()) {
        progress.SetPosition(static_cast<int>(percent));
        progress.Repaint();
      }
    }
    const std::int64_t missing = payloadLength - written;
    const std::size_t n =
        static_cast<std::int64_t>(got) > missing ? static_cast<std::size_t>(missing) : got;
    if (enciphered && n > 0 && !job.cipher.DecryptChunk(row, got, n)) {
      ui.ShowMessage(MsgKind::Plain, "Error while decrypting !!!", MsgButtons::Ok);
    }
    if (!output.Write(row, n)) {
      ioFailed = true;
      break;
    }
    writtenCrc = Crc32(writtenCrc, row, n);
    written += static_cast<std::int64_t>(n);
    std::memset(row, 0, sizeof row);
  }
  ioFailed = ioFailed || source.Failed();

  // 11. Close
  progress.SetVisible(false);
  source.Close();
  if (ioFailed || !output.Commit()) {
    // Nothing half-written is left behind; a file of the same name stays.
    output.Discard();
    Fail(job, kWriteError);
    return;
  }

  // 12. Compressed payload: check the gzip form, then gunzip it. Both
  // checksums are taken from the bytes as they are written.
  StreamSummary restored{written, writtenCrc};
  if (compressed) {
    job.Log("");
    job.Log("-> Calculation CRC 32 checksum ...");
    ui.RepaintLog();
    ui.ScrollLogToEnd();
    const std::uint32_t crc = writtenCrc;
    job.Log("");
    job.Log("Checking compressed file consistency...");
    job.Log("-> Stored CRC32 checksum     : 0x" + ValueToHex(header.CompressedCrc, 4));
    job.Log("-> Calculated CRC32 checksum : 0x" + ValueToHex(crc, 4));
    if (crc != header.CompressedCrc) {
      job.Log("-> Checksum ERROR !!!");
      ui.ScrollLogToEnd();
      job.outcome.checksumError = true;
      job.outcome.end = JobEnd::Failed;
      return;
    }
    job.Log("-> Compressed File should be OK :-)");
    job.Log("");
    job.Log("Decompressing file ...");
    ui.RepaintLog();
    ui.ScrollLogToEnd();
    if (!DecompressFile(tempPath, targetPath, progress, header.FileSize, &restored)) {
      Fail(job, "Error while decompressing file ...");
      return;
    }
    if (job.state.deleteTempFile) DeleteFile(tempPath);
  }

  // 600-pixel carriers have no final checksum; a carrier that ends before
  // its payload must not pass as complete all the same.
  if (rowLength != kRowBytes && !compressed && written < payloadLength) {
    job.Log("");
    job.Log("-> Carrier ends early: " + GroupThousands(written) + " of " +
            GroupThousands(payloadLength) + " bytes restored !!!");
    job.outcome.checksumError = true;
  }

  // 13. Final check (600-pixel carriers skip it)
  if (rowLength == kRowBytes) {
    job.Log("");
    job.Log("-> Calculating CRC 32 checksum ...");
    ui.RepaintLog();
    ui.ScrollLogToEnd();
    const std::uint32_t crc = restored.crc;
    job.Log("");
    job.Log("Checking file consistency...");
    job.Log("-> Stored CRC32 checksum     : 0x" + ValueToHex(header.SourceCrc, 4));
    job.Log("-> Calculated CRC32 checksum : 0x" + ValueToHex(crc, 4));
    if (crc == header.SourceCrc) {
      job.Log("-> File should be OK :-)");
    } else {
      job.Log("-> Checksum ERROR !!!");
      job.outcome.checksumError = true;
    }
  }

  // 14. Ready
  cursor.Set(false);
  FinishJob(job, startTime, targetPath);
}

}  // namespace pt
