// The unpacking half of the EnCode/DeCode command: header check, version
// check, key, payload rows back into the stored file (inflated on the fly
// when the payload is gzip data) and the checksums.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "carrier/carrier_format.h"
#include "carrier/compression.h"
#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "carrier/job_internal.h"
#include "carrier/target_name.h"
#include "crypto/key_rules.h"

namespace pt {

namespace {

const char* const kNoCarrier = "Sourcefile is no pixelTuck file ... ";
const char* const kWriteError = "Error while writing target file";
const char* const kWrongKey =
    "Password verification error: wrong key !\nThe key does not fit this file; nothing was written.";

std::string VersionWarning(double fileVersion) {
  return std::string(
             "Warning !!!\nThe version of the file you've try to decode is newer\n"
             "than the version of the pixelTuck you're currently using\n\n"
             "You may not be able to decode the file correctly\n") +
         "A newer version of pixelTuck is needed for this file:\n"
         "ask whoever gave it to you which version made it.\n" +
         "\nCurrent version of file\t\t\t = " + FormatFixed(fileVersion, 1) +
         "\nCurrent file version of pixelTuck\t = " +
         FormatFixed(ParseVersionNumber(kFormatVersion), 1) + "\n";
}

class Unpacking {
 public:
  Unpacking(JobContext& job, InputFile& source)
      : job_(job), ui_(job.ui), source_(source), cursor_(job.ui) {}

  void Run() {
    cursor_.Set(true);
    if (!ReadHeader() || !CheckVersion() || !CheckStoredName()) return;
    job_.Log("");
    job_.Log("Decoding process starts");
    if (enciphered_ && !ObtainKey()) return;
    startTime_ = NowSeconds();
    LogSizes();
    if (!CreateOutput()) return;
    cursor_.Set(true);
    PrepareCipher();
    if (!CopyRows()) return;
    if (compressed_ && !CheckCompressed()) return;
    FinalCheck();
    if (!PlaceOutput()) return;
    cursor_.Set(false);
    FinishJob(job_, startTime_, job_.request.restoreTo ? std::string() : targetPath_);
  }

 private:
  // ----------------------------------------------------------------- steps

  // The user stopped the run at a check before the copy: the log is
  // emptied.
  bool Abandon(std::string message = {}) {
    return job_.EndEarly({.end = JobEnd::Cancelled,
                          .message = std::move(message),
                          .box = MsgKind::Confirmation,
                          .clearLog = true});
  }

  bool ReadHeader() {
    job_.Log("-> Searching for pixelTuck header");
    const auto info = ReadCarrierHeader(source_);
    if (!info) {
      return job_.EndEarly({.message = kNoCarrier, .box = MsgKind::Warning, .clearLog = true});
    }
    header_ = info->header;
    rowLength_ = info->rowLength;
    enciphered_ = header_.Encrypted != 0;
    compressed_ = IsCompressedPayload(header_);
    payloadLength_ = compressed_ ? header_.CompressedSize : header_.FileSize;
    return true;
  }

  bool CheckVersion() {
    const double version = ParseVersionNumber(FieldText(header_.Version, sizeof header_.Version));
    if (version <= ParseVersionNumber(kFormatVersion)) return true;
    cursor_.Set(false);
    if (ui_.ShowMessage(MsgKind::Warning, VersionWarning(version), MsgButtons::OkAbort) ==
        MsgAnswer::Ok) {
      return true;
    }
    return Abandon();
  }

  // The stored name decides where the output goes: only a usable last
  // component of it, inside the carrier's folder.
  bool CheckStoredName() {
    storedName_ = StoredNameText(FieldText(header_.FileName, sizeof header_.FileName));
    if (header_.FileSize < 0 || (compressed_ && header_.CompressedSize < 0)) {
      return job_.Fail("Sourcefile is damaged: the stored file size is negative ...");
    }
    if (std::memchr(header_.FileName, 0, sizeof header_.FileName) == nullptr) {
      return job_.Fail("Sourcefile is damaged: the stored file name has no end ...");
    }
    const auto name = SafeOutputName(storedName_);
    if (!name) {
      return job_.Fail("The stored file name <" + storedName_ +
                       "> cannot be used ...\nNothing was written.");
    }
    outputName_ = *name;
    if (!job_.request.restoreTo && !NameFitsFolder(job_.OutputDir(), outputName_)) {
      // A name the file system cannot take would cost the whole run at its
      // very end; a shorter one with the same extension is found now.
      const auto fitting = ShortenedName(outputName_, [this](const std::string& n) {
        return NameFitsFolder(job_.OutputDir(), n);
      });
      if (!fitting) {
        return job_.Fail("The stored file name <" + storedName_ +
                         "> is too long for this folder ...\nNothing was written.");
      }
      outputName_ = *fitting;
      shortened_ = true;
    }
    targetPath_ = JoinPath(job_.OutputDir(), outputName_);
    return true;
  }

  // The -K: key (used once) or the dialog's, checked against the stored key
  // check value. False when the run ends here: the user gave up, or a -K:
  // key does not fit (nothing has been written yet, and a wrong key would
  // only make garbage under the stored name).
  bool ObtainKey() {
    job_.Log("-> Password is required...");
    if (job_.HasCommandLineKey()) {
      key_ = job_.TakeCommandLineKey();
      // The XOR method's carriers keep no check value that keys are made
      // to match; a zero one accepts any key.
      const bool checkable = header_.CipherId == kCipherBlowfish ||
                             header_.CipherId == kCipherTwofish ||
                             header_.CipherId == kCipherRijndael;
      if (!checkable || header_.KeyCrc == 0 || KeyCrc16(key_.View()) == header_.KeyCrc) return true;
      return job_.Fail(kWrongKey);
    }
    cursor_.Set(false);
    bool first = true;
    for (;;) {
      const KeyReply reply = ui_.RequestKey(KeyRequest{job_.settings.hidePassword, first});
      first = false;
      if (!reply.ok) return Abandon("User Abort !");
      key_ = KeyBytesFromDialog(reply.hexMode, reply.text.View());
      if (key_.empty()) {
        // Only keys of 8 to 32 bytes pass the key rules; an empty key
        // cannot open an enciphered carrier.
        job_.Error("Key must have 8 to 32 bytes (0) !!!");
        continue;
      }
      if (header_.KeyCrc == 0 || KeyCrc16(key_.View()) == header_.KeyCrc) return true;
      const MsgAnswer again = ui_.ShowMessage(
          MsgKind::Confirmation, "Password verification error !\n\nTry again ???",
          MsgButtons::YesNoCancel);
      if (again != MsgAnswer::Yes) return Abandon();
    }
  }

  void LogSizes() {
    job_.Log("");
    job_.Log("Writing target file :");
    job_.Log("-> \"" + storedName_ + "\"");
    if (shortened_) {
      job_.Log("-> Name too long for this folder, restored as \"" + outputName_ + "\"");
    } else if (outputName_ != storedName_) {
      job_.Log("-> Stored path reduced to \"" + outputName_ + "\"");
    }
    if (compressed_) {
      job_.Log("-> Original   file size : " + GroupThousands(header_.FileSize) + " bytes ");
      job_.Log("-> Compressed file size : " + GroupThousands(header_.CompressedSize) + " bytes ");
    } else {
      job_.Log("-> File size : " + GroupThousands(header_.FileSize) + " bytes");
    }
  }

  // The restored file is written under a hidden name and gets its stored
  // name at the end; an existing file of that name is replaced only when
  // the user agrees, and only by bytes that passed the checks. The gzip
  // form is kept beside it for as long as it may have to remain.
  bool CreateOutput() {
    if (job_.request.restoreTo) return true;  // no file: the caller takes the bytes
    const std::string createError = "Error while creating target file :\n<" + storedName_ + ">...";
    if (SameFile(targetPath_, job_.sourcePath)) {
      return job_.Fail(createError + "\nThe stored name is the name of the picture itself.");
    }
    if (IsDirectory(targetPath_)) return job_.Fail(createError);
    existed_ = NameTaken(targetPath_);
    if (!job_.MayReplace(targetPath_, replace_)) return false;
    if (!output_.Create(targetPath_, job_.Files())) return job_.Fail(createError);
    tempName_ = targetPath_ + ".pixeltuck";
    if (compressed_ && !temp_.CreateTemp(tempName_, job_.Files())) return job_.Fail(createError);
    return true;
  }

  void PrepareCipher() {
    if (!enciphered_) return;
    job_.Log("");
    job_.Log("Enabling password decryption");
    job_.Log("-> CRC Key : 0x" + ValueToHex(header_.KeyCrc, 2));
    const Keying keying = job_.cipher.KeyForDecode(header_.CipherId, key_.View(), header_.KeyMix);
    if (keying.xorMethod) {
      job_.Log("-> XOR decryption method");
      return;
    }
    job_.Log("-> " + MethodLogName(static_cast<CipherId>(header_.CipherId)) +
             " decryption method");
    job_.Log(BlockModeLine(keying));
  }

  // Deciphers the payload bytes of a part of a block in place; `offset` is
  // the part's place in the payload, where the XOR method's key position
  // stands (parts are taken in any order, on several threads). Whole rows
  // of a 608-pixel carrier go through in one piece; a 600-pixel carrier's
  // rows and the payload's last row as the row rules say.
  void Decipher(std::uint8_t* part, std::size_t got, std::size_t payloadBytes,
                std::uint64_t offset) {
    std::size_t at = 0;
    if (rowLength_ == kRowBytes) {
      at = payloadBytes - payloadBytes % kRowBytes;
      job_.cipher.DecryptRowsAt(part, at, offset);
    }
    for (; at < payloadBytes; at += rowLength_) {
      const std::size_t m = std::min(rowLength_, got - at);
      const std::size_t n = std::min(m, payloadBytes - at);
      if (!job_.cipher.DecryptChunkAt(part + at, m, n, offset + at)) ++decryptErrors_;
    }
  }

  // Reads the rows that hold the payload (nothing after its last row can
  // change the output), deciphers them and writes the payload bytes: into
  // the output, or through the gzip form into the output.
  bool CopyRows() {
    ShownProgress shown(ui_.Progress());

    const auto& restoreTo = job_.request.restoreTo;
    auto restore = [this, &restoreTo](const std::uint8_t* data, std::size_t n) {
      return restoreTo ? restoreTo(data, n) : output_.Write(data, n);
    };
    GunzipStream gunzip(header_.FileSize, restore);
    std::uint32_t writtenCrc = 0;
    bool writeFailed = false;
    PumpPlan plan;
    plan.rowBytes = rowLength_;
    const std::int64_t rows = (payloadLength_ + static_cast<std::int64_t>(rowLength_) - 1) /
                              static_cast<std::int64_t>(rowLength_);
    plan.limit = rows * static_cast<std::int64_t>(rowLength_);
    plan.progressOf = payloadLength_;
    plan.crc = PumpPlan::Crc::AsTransformed;  // of the payload bytes as written
    plan.crcBytes = payloadLength_;
    // The payload bytes among `bytes` read from stream offset `offset`.
    auto payloadIn = [this](std::size_t bytes, std::int64_t offset) {
      return static_cast<std::size_t>(std::clamp<std::int64_t>(
          payloadLength_ - offset, 0, static_cast<std::int64_t>(bytes)));
    };
    PumpStages stages;
    if (enciphered_) {
      stages.transform = [&](std::uint8_t* part, std::size_t bytes, std::int64_t offset) {
        Decipher(part, bytes, payloadIn(bytes, offset), static_cast<std::uint64_t>(offset));
      };
    }
    stages.sink = [&](std::uint8_t* block, std::size_t bytes, std::int64_t offset) {
      const std::size_t n = payloadIn(bytes, offset);
      written_ += static_cast<std::int64_t>(n);
      if (!compressed_) {
        writeFailed = !restore(block, n);
      } else {
        // Damaged gzip data stops the inflating, not the copy: the checks
        // below decide which error the user sees.
        writeFailed = temp_.IsOpen() && !temp_.Write(block, n);
        if (!writeFailed) gunzip.Feed(block, n);
        writeFailed = writeFailed || gunzip.SinkFailed();
      }
      return !writeFailed;
    };
    const PipelineEnd end = PumpRows(job_, source_, plan, stages, &writtenCrc);
    shown.Hide();
    source_.Close();
    if (end == PipelineEnd::Halted) return job_.Interrupted();
    if (end != PipelineEnd::Done || writeFailed) {
      // Nothing half-written is left behind; a file of the same name stays.
      return job_.Fail(kWriteError);
    }
    if (compressed_) {
      gunzipOk_ = gunzip.Finish();
      restored_ = gunzip.Output();
    } else {
      restored_ = StreamSummary{written_, writtenCrc};
    }
    packedCrc_ = writtenCrc;
    if (decryptErrors_ > 0) {
      // Shown once per run; the log says how many rows it hit.
      ui_.ShowMessage(MsgKind::Plain, "Error while decrypting !!!", MsgButtons::Ok);
      job_.Log("");
      job_.Log("-> Error while decrypting " + GroupThousands(decryptErrors_.load()) + " row(s) !!!");
      job_.outcome.checksumError = true;
    }
    return true;
  }

  // Where the gzip form must remain, it keeps "<target>.pixeltuck" when it
  // could take that name, else its own, which the log then gives.
  void KeepGzipForm() {
    if (!temp_.IsOpen()) return;
    temp_.Keep(".gz");
    if (temp_.Path() != tempName_) {
      job_.Log("-> Compressed file kept as \"" + temp_.Path() + "\"");
    }
  }

  bool CheckCompressed() {
    job_.Log("");
    job_.Log("-> Calculation CRC 32 checksum ...");
    job_.Log("");
    job_.Log("Checking compressed file consistency...");
    job_.Log("-> Stored CRC32 checksum     : 0x" + ValueToHex(header_.CompressedCrc, 4));
    job_.Log("-> Calculated CRC32 checksum : 0x" + ValueToHex(packedCrc_, 4));
    if (packedCrc_ != header_.CompressedCrc) {
      job_.Log("-> Checksum ERROR !!!");
      KeepGzipForm();
      return job_.EndEarly({.checksumError = true});
    }
    job_.Log("-> Compressed File should be OK :-)");
    job_.Log("");
    job_.Log("Decompressing file ...");
    if (!gunzipOk_) {
      KeepGzipForm();
      return job_.Fail("Error while decompressing file ...");
    }
    if (job_.request.deleteTempFile) {
      temp_.Discard();
    } else {
      KeepGzipForm();
    }
    return true;
  }

  // 600-pixel carriers have no final checksum; one that ends before its
  // payload must not pass as complete all the same.
  void FinalCheck() {
    if (rowLength_ != kRowBytes && !compressed_ && written_ < payloadLength_) {
      job_.Log("");
      job_.Log("-> Carrier ends early: " + GroupThousands(written_) + " of " +
               GroupThousands(payloadLength_) + " bytes restored !!!");
      job_.outcome.checksumError = true;
    }
    if (rowLength_ != kRowBytes) return;
    // The restored bytes' checksum was taken as they were written, beside
    // the writes: what is left of the check is the comparison.
    ui_.Working(JobPhase::Checking, restored_.bytes, restored_.bytes);
    job_.Log("");
    job_.Log("-> Calculating CRC 32 checksum ...");
    job_.Log("");
    job_.Log("Checking file consistency...");
    job_.Log("-> Stored CRC32 checksum     : 0x" + ValueToHex(header_.SourceCrc, 4));
    job_.Log("-> Calculated CRC32 checksum : 0x" + ValueToHex(restored_.crc, 4));
    if (restored_.crc == header_.SourceCrc) {
      job_.Log("-> File should be OK :-)");
    } else {
      job_.Log("-> Checksum ERROR !!!");
      job_.outcome.checksumError = true;
    }
  }

  // Restored bytes that failed a check never replace an existing file: they
  // are kept beside it as "<name>.damaged" (or under their own name when
  // that is taken too). Checked bytes that cannot take their name after all
  // (another program created it meanwhile) are kept as "<name>.restored",
  // and the run fails: the user's file is not where it was asked for.
  bool PlaceOutput() {
    if (job_.request.restoreTo) return true;
    const bool damaged = job_.outcome.checksumError;
    OutputFile::Placed placed = OutputFile::Placed::NameTaken;
    if (!(damaged && existed_)) {
      placed = output_.Place(targetPath_, replace_);
      if (placed == OutputFile::Placed::Done) return true;
      if (placed == OutputFile::Placed::Failed) return job_.Fail(kWriteError);
    }
    const std::string suffix = damaged ? ".damaged" : ".restored";
    if (output_.Place(targetPath_ + suffix, false) != OutputFile::Placed::Done &&
        !output_.Keep(suffix)) {
      return job_.Fail(kWriteError);
    }
    if (damaged) {
      job_.Log("-> Existing file kept; the restored bytes are in \"" + output_.Path() + "\"");
      return true;
    }
    job_.Log("-> The restored file is in \"" + output_.Path() + "\"");
    const char* const why = placed == OutputFile::Placed::NameTaken
                                ? "another program created a file of that name meanwhile"
                                : "the file system refused the name";
    return job_.Fail("Error while writing target file :\n<" + outputName_ + ">: " + why +
                     " ...\nThe restored file is kept as <" + output_.Path() + ">.");
  }

  // ------------------------------------------------------------------ state

  JobContext& job_;
  JobUi& ui_;
  InputFile& source_;
  BusyCursor cursor_;
  KeyText key_;

  CarrierHeader header_;
  std::size_t rowLength_ = kRowBytes;
  bool enciphered_ = false;
  bool compressed_ = false;
  std::int64_t payloadLength_ = 0;
  std::string storedName_;
  std::string outputName_;
  bool shortened_ = false;  // outputName_ was cut to fit the file system
  std::string targetPath_;
  std::string tempName_;
  std::int64_t startTime_ = 0;
  bool existed_ = false;
  bool replace_ = false;
  OutputFile output_;
  OutputFile temp_;  // the gzip form, compressed payloads only
  std::int64_t written_ = 0;
  std::uint32_t packedCrc_ = 0;
  StreamSummary restored_;
  bool gunzipOk_ = true;
  std::atomic<long long> decryptErrors_{0};  // counted by the worker threads
};

}  // namespace

void DecodeJob(JobContext& job, InputFile& source) { Unpacking(job, source).Run(); }

}  // namespace pt
