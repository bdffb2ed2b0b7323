// Write and read failures at every part of a job's output and input: the
// job must say so, keep nothing half-written and leave an older file of the
// output's name alone.
#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstring>
#include <set>

#include "carrier/file_io.h"
#include "tests/stress/stress_support.h"

namespace pt::stress {
namespace {

const std::string kWriteError = "Error while writing target file";
const std::string kCrcError = "CRC 32 checksum error ...";
const std::string kNoCarrier = "Sourcefile is no pixelTuck file ... ";
const char* const kHexKey = "00112233445566778899AABBCCDDEEFF";

// Source size: a prime, so no row and no gzip buffer ends on it.
constexpr std::size_t kSourceSize = 20011;

// Fault offsets across [0, end + 1]: 0 and 1, every multiple of a prime step
// (coprime with the 1824-byte row, so the hits walk through every part of a
// row), both sides of every row boundary, and the last bytes.
std::vector<std::int64_t> SweepOffsets(std::int64_t end, std::int64_t step) {
  std::set<std::int64_t> s{0, 1, end - 1, end, end + 1};
  for (std::int64_t n = step; n < end; n += step) s.insert(n);
  for (std::int64_t b : {std::int64_t{kHeaderReadSize}, std::int64_t{kLeadingBytes}}) {
    for (std::int64_t row = b; row <= end; row += kRowBytes) {
      for (std::int64_t d : {-1, 0, 1}) s.insert(row + d);
    }
  }
  std::vector<std::int64_t> out;
  for (std::int64_t n : s) {
    if (n >= 0 && n <= end + 1) out.push_back(n);
  }
  return out;
}

// What a fault at byte N leads to: the first phase whose last failing
// offset is at least N; beyond every phase the job completes.
struct Phase {
  std::int64_t lastFailing;
  std::string message;
  bool warning = false;  // the header check: warning box, log cleared
};

const Phase* PhaseFor(const std::vector<Phase>& phases, std::int64_t n) {
  for (const Phase& p : phases) {
    if (n <= p.lastFailing) return &p;
  }
  return nullptr;
}

enum class Fault { Write, Read };

struct JobCase {
  const char* name;
  CompressionMode compressionMode;
  int cipherIndex;
};

void PrintTo(const JobCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<JobCase>& info) {
  std::string s = info.param.name;
  std::replace_if(s.begin(), s.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return s;
}

class FaultSweep : public StressTest, public ::testing::WithParamInterface<JobCase> {
 protected:
  void SetUp() override {
    settings.compressionMode = GetParam().compressionMode;
  }

  JobOutcome RunWithFault(Fault fault, std::int64_t n, const std::string& path) {
    state.commandLineKey = KeyText(GetParam().cipherIndex != 0 ? kHexKey : "");
    if (fault == Fault::Write) {
      files.FailWritesAfter(n);
    } else {
      files.FailReadsAfter(n);
    }
    const JobOutcome out = Run(path, GetParam().cipherIndex);
    files.Reset();
    return out;
  }

  // One failed run: its message, no success, and the folder tree exactly as
  // expected (nothing partial, an older output untouched).
  void ExpectCleanFailure(const JobOutcome& out, const Phase& phase, const Snapshot& expected) {
    EXPECT_NE(out.end, JobEnd::Completed);
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(LastMessage(), phase.message) << Messages();
    ASSERT_FALSE(ui().messages.empty());
    EXPECT_EQ(ui().messages.back().kind, phase.warning ? MsgKind::Warning : MsgKind::Error);
    EXPECT_FALSE(ReadyLineLogged()) << Log();
    if (phase.warning) {
      EXPECT_TRUE(ui().log.empty()) << Log();
    }
    EXPECT_FALSE(ui().busy);
    const Snapshot now = TakeSnapshot(root());
    EXPECT_FALSE(AnyPartialFile(now));
    EXPECT_TRUE(now == expected) << SnapshotDiff(expected, now);
  }
};

// ------------------------------------------------------------- packing

class PackingFaults : public FaultSweep {
 protected:
  void SetUp() override {
    FaultSweep::SetUp();
    data = MixedData(kSourceSize, 11);
    // A reference carrier made without faults gives the sizes to sweep.
    reference = ReadBytes(Pack("data.bin", data, GetParam().cipherIndex,
                               GetParam().cipherIndex != 0 ? kHexKey : ""));
    ASSERT_GT(reference.size(), kLeadingBytes);
    gzipSize = reference[54 + header_offset::Compressed] == 'Z'
                   ? Le32(reference, 54 + header_offset::CompressedSize)
                   : 0;
    ASSERT_EQ(gzipSize != 0, GetParam().compressionMode == CompressionMode::Always);
    WriteBytes(Box("data.bmp"), older);  // an older carrier of the same name
    before = TakeSnapshot(root());
  }

  void Sweep(Fault fault, const std::vector<Phase>& phases, std::int64_t step) {
    const std::int64_t end = phases.back().lastFailing;
    int failures = 0;
    for (std::int64_t n : SweepOffsets(end, step)) {
      SCOPED_TRACE(testing::Message() << GetParam().name << ", fault after " << n << " bytes");
      const JobOutcome out = RunWithFault(fault, n, Box("data.bin"));
      if (const Phase* phase = PhaseFor(phases, n)) {
        ExpectCleanFailure(out, *phase, before);
        ++failures;
      } else {
        EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
        EXPECT_TRUE(ui().messages.empty()) << Messages();
        EXPECT_EQ(ReadBytes(Box("data.bmp")), reference);
        WriteBytes(Box("data.bmp"), older);
      }
      if (HasFatalFailure() || (HasFailure() && failures > 20)) return;
    }
    EXPECT_GT(failures, 100);
  }

  Bytes data;
  Bytes reference;
  std::int64_t gzipSize = 0;
  const Bytes older{'o', 'l', 'd', 9, 9, 9};
  Snapshot before;
};

TEST_P(PackingFaults, WriteFailureAtAnyByteOfTheCarrier) {
  // Writes in order: the gzip form (when compressing), then the carrier.
  // In one pass the header row is written last, over room kept for it.
  const auto carrier = static_cast<std::int64_t>(reference.size());
  std::vector<Phase> phases;
  if (gzipSize > 0) {
    phases.push_back({gzipSize - 1, "Compression Test failed !\nfile <" +
                                        Box("data.bin.pixeltuck") + "> could not be written ..."});
    phases.push_back({gzipSize + carrier - 1, kWriteError});
  } else {
    phases.push_back({carrier + static_cast<std::int64_t>(kLeadingBytes) - 1, kWriteError});
  }
  Sweep(Fault::Write, phases, 113);
}

TEST_P(PackingFaults, ReadFailureAtAnyByteOfEveryPass) {
  // With a gzip stage two passes: the gzip stage (which takes both
  // checksums as it goes), then the copy of the gzip form; without, one
  // pass that is checksum and copy at once. A budget that ends exactly at
  // the end of a pass fails it too: the next read finds it used up.
  const auto s = static_cast<std::int64_t>(kSourceSize);
  std::vector<Phase> phases;
  if (gzipSize > 0) {
    phases.push_back({s, kCrcError});  // the gzip stage's read is the checksum pass
    phases.push_back({s + gzipSize, kWriteError});
  } else {
    phases.push_back({s, kCrcError});
  }
  Sweep(Fault::Read, phases, 211);
}

INSTANTIATE_TEST_SUITE_P(Stress, PackingFaults,
                         ::testing::Values(JobCase{"plain", CompressionMode::Never, 0}, JobCase{"gzip", CompressionMode::Always, 0},
                                           JobCase{"Twofish", CompressionMode::Never, 2},
                                           JobCase{"Blowfish over gzip", CompressionMode::Always, 1}),
                         CaseName);

// ----------------------------------------------------------- unpacking

class UnpackingFaults : public FaultSweep {
 protected:
  void SetUp() override {
    FaultSweep::SetUp();
    data = MixedData(kSourceSize, 12);
    carrier = Pack("x.bin", data, GetParam().cipherIndex,
                   GetParam().cipherIndex != 0 ? kHexKey : "");
    ASSERT_FALSE(carrier.empty());
    const Bytes c = ReadBytes(carrier);
    carrierSize = static_cast<std::int64_t>(c.size());
    if (c[54 + header_offset::Compressed] == 'Z') {
      gzipSize = Le32(c, 54 + header_offset::CompressedSize);
    }
    ASSERT_EQ(gzipSize != 0, GetParam().compressionMode == CompressionMode::Always);
    WriteBytes(Box("x.bin"), older);  // an older file of the stored name
    before = TakeSnapshot(root());
  }

  void Sweep(Fault fault, const std::vector<Phase>& phases, std::int64_t step) {
    const std::int64_t end = phases.back().lastFailing;
    int failures = 0;
    for (std::int64_t n : SweepOffsets(end, step)) {
      SCOPED_TRACE(testing::Message() << GetParam().name << ", fault after " << n << " bytes");
      const JobOutcome out = RunWithFault(fault, n, carrier);
      if (const Phase* phase = PhaseFor(phases, n)) {
        ExpectCleanFailure(out, *phase, before);
        ++failures;
      } else {
        EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
        EXPECT_FALSE(out.checksumError) << Log();
        EXPECT_EQ(ReadBytes(Box("x.bin")), data);
        WriteBytes(Box("x.bin"), older);
      }
      if (HasFatalFailure() || (HasFailure() && failures > 20)) return;
    }
    EXPECT_GT(failures, 100);
  }

  Bytes data;
  std::string carrier;
  std::int64_t carrierSize = 0;
  std::int64_t gzipSize = 0;
  const Bytes older{'o', 'l', 'd', 1, 2, 3};
  Snapshot before;
};

TEST_P(UnpackingFaults, WriteFailureAtAnyByteOfTheOutput) {
  // The gzip form and the file inflated from it are written side by side;
  // a failure in either is a write error and removes both.
  const auto f = static_cast<std::int64_t>(kSourceSize);
  Sweep(Fault::Write, {{gzipSize + f - 1, kWriteError}}, 113);
}

TEST_P(UnpackingFaults, ReadFailureAtAnyByteOfTheCarrier) {
  // Up to the first payload row the header check fails; after it the copy,
  // which reads no further than the payload's last row.
  Sweep(Fault::Read,
        {{1877, kNoCarrier, /*warning=*/true}, {carrierSize - 1, kWriteError}}, 113);
}

INSTANTIATE_TEST_SUITE_P(Stress, UnpackingFaults,
                         ::testing::Values(JobCase{"plain", CompressionMode::Never, 0}, JobCase{"gzip", CompressionMode::Always, 0},
                                           JobCase{"Rijndael over gzip", CompressionMode::Always, 3}),
                         CaseName);

// ------------------------------------------- real write errors (file size)

// Real write errors from the system, through every layer (stdio buffers,
// zlib's own writes, flush and close): files may not grow beyond a limit.
#ifdef _WIN32
// Windows has no limit on the size of the files a process writes; the same
// failures are reached there through the write budget of the failing files above.
using rlim_t = std::uint64_t;
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t) {}
  bool ok() const { return false; }
};
constexpr const char* kNoFileSizeLimit = "Windows has no per-process file-size limit";
#else
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of a signal
    rlimit lower = old_;
    lower.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lower) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};
constexpr const char* kNoFileSizeLimit = "the file-size limit could not be set";
#endif

class FileSizeLimitTest : public StressTest {};

TEST_F(FileSizeLimitTest, PackingWithGzipFailsCleanlyInTheGzipStageAndAtTheCarrier) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(200000, 21);
  const Bytes carrier = ReadBytes(Pack("big.bin", data));
  const std::size_t gz = carrier.size() - kLeadingBytes;  // at least the gzip size
  ASSERT_LT(gz, data.size());
  const Bytes older{1, 1, 1};
  WriteBytes(Box("big.bmp"), older);
  const Snapshot before = TakeSnapshot(root());
  const struct {
    rlim_t limit;
    std::string message;
  } rows[] = {
      {1000, "Compression Test failed !\nfile <" + Box("big.bin.pixeltuck") +
                 "> could not be written ..."},
      {static_cast<rlim_t>(gz / 2), "Compression Test failed !\nfile <" +
                                        Box("big.bin.pixeltuck") + "> could not be written ..."},
      {static_cast<rlim_t>(carrier.size() - 1), kWriteError},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "files limited to " << row.limit << " bytes");
    JobOutcome out;
    {
      FileSizeLimit limit(row.limit);
      if (!limit.ok()) GTEST_SKIP() << kNoFileSizeLimit;
      out = Run(Box("big.bin"));
    }
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(LastMessage(), row.message) << Messages();
    EXPECT_FALSE(ReadyLineLogged());
    const Snapshot now = TakeSnapshot(root());
    EXPECT_TRUE(now == before) << SnapshotDiff(before, now);
  }
}

TEST_F(FileSizeLimitTest, UnpackingWithGzipFailsCleanlyAtTheGzipFormAndTheRestoredFile) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(300000, 22);
  const std::string carrier = Pack("big.bin", data);
  const std::uint32_t gz = Le32(ReadBytes(carrier), 54 + header_offset::CompressedSize);
  ASSERT_GT(gz, 0u);
  ASSERT_LT(gz + 8192, data.size());
  const Bytes older{2, 2, 2};
  WriteBytes(Box("big.bin"), older);
  const Snapshot before = TakeSnapshot(root());
  const struct {
    rlim_t limit;
    std::string message;
  } rows[] = {
      {1000, kWriteError},
      {static_cast<rlim_t>(gz + 4096), kWriteError},
      {static_cast<rlim_t>(data.size() - 1), kWriteError},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "files limited to " << row.limit << " bytes");
    JobOutcome out;
    {
      FileSizeLimit limit(row.limit);
      if (!limit.ok()) GTEST_SKIP() << kNoFileSizeLimit;
      out = Run(carrier);
    }
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(LastMessage(), row.message) << Messages();
    EXPECT_FALSE(ReadyLineLogged());
    const Snapshot now = TakeSnapshot(root());
    EXPECT_TRUE(now == before) << SnapshotDiff(before, now);
  }
  // Without a limit the same carrier restores the file.
  EXPECT_EQ(Run(carrier).end, JobEnd::Completed) << Messages();
  EXPECT_EQ(ReadBytes(Box("big.bin")), data);
}

}  // namespace
}  // namespace pt::stress
