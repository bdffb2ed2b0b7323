// A source that changes between the checksum pass and the copy must never
// end up in a carrier whose stored checksums describe other bytes.
#include <filesystem>
#include <fstream>

#include "tests/stress/stress_support.h"

namespace pt::stress {
namespace {

namespace fs = std::filesystem;

const std::string kChanged =
    "Sourcefile has changed while it was encoded !!!\nNo target file was written ...";

// How the file is changed.
enum class Change { AppendByte, AppendRows, TruncateHalf, TruncateToZero, FlipFirst, FlipMiddle,
                    FlipLast, RewriteSame };

void Apply(Change change, const std::string& path) {
  const auto size = fs::file_size(path);
  auto flip = [&](std::uintmax_t at) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekg(static_cast<std::streamoff>(at));
    const int c = f.get();
    f.seekp(static_cast<std::streamoff>(at));
    f.put(static_cast<char>(c ^ 0x01));
  };
  switch (change) {
    case Change::AppendByte:
      std::ofstream(path, std::ios::binary | std::ios::app).put('!');
      break;
    case Change::AppendRows: {
      const std::string more(5000, 'm');
      std::ofstream(path, std::ios::binary | std::ios::app) << more;
      break;
    }
    case Change::TruncateHalf: fs::resize_file(path, size / 2); break;
    case Change::TruncateToZero: fs::resize_file(path, 0); break;
    case Change::FlipFirst: flip(0); break;
    case Change::FlipMiddle: flip(size / 2); break;
    case Change::FlipLast: flip(size - 1); break;
    case Change::RewriteSame: WriteBytes(path, ReadBytes(path)); break;
  }
}

struct ChangeCase {
  const char* name;
  CompressionMode compressionMode;
  int cipherIndex;
  bool noise;        // incompressible source: mode 1 keeps the plain payload
  int atShowing;     // which showing of the progress bar: 1 first, 2 second
  const char* file;  // "source" or "temp" (the packing gzip file)
  Change change;
  bool completes;    // else the job must report kChanged
};

constexpr CompressionMode kNoGzip = CompressionMode::Never;
constexpr CompressionMode kGzip = CompressionMode::Always;
constexpr CompressionMode kGzipIfSmaller = CompressionMode::IfSmaller;

const ChangeCase kCases[] = {
    // No gzip stage: the bar shows once, before the one pass reads. A size
    // that no longer matches is caught; changed bytes are simply the bytes
    // read, and the checksum is theirs.
    {"plain append one byte", kNoGzip, 0, false, 1, "source", Change::AppendByte, false},
    {"plain append rows", kNoGzip, 0, false, 1, "source", Change::AppendRows, false},
    {"plain truncate to half", kNoGzip, 0, false, 1, "source", Change::TruncateHalf, false},
    {"plain truncate to zero", kNoGzip, 0, false, 1, "source", Change::TruncateToZero, false},
    {"plain flip first byte", kNoGzip, 0, false, 1, "source", Change::FlipFirst, true},
    {"plain flip last byte", kNoGzip, 0, false, 1, "source", Change::FlipLast, true},
    {"Twofish flip middle byte", kNoGzip, 2, false, 1, "source", Change::FlipMiddle, true},
    {"Blowfish append one byte", kNoGzip, 1, false, 1, "source", Change::AppendByte, false},
    {"plain same bytes rewritten", kNoGzip, 0, false, 1, "source", Change::RewriteSame, true},
    // Gzip stage: the first showing comes before it reads the source, the
    // only pass that takes its checksum.
    {"gzip stage append one byte", kGzip, 0, false, 1, "source", Change::AppendByte, false},
    {"gzip stage append rows", kGzip, 0, false, 1, "source", Change::AppendRows, false},
    {"gzip stage truncate to half", kGzip, 0, false, 1, "source", Change::TruncateHalf, false},
    {"gzip stage truncate to zero", kGzip, 0, false, 1, "source", Change::TruncateToZero, false},
    {"gzip stage flip middle byte", kGzip, 2, false, 1, "source", Change::FlipMiddle, true},
    {"gzip stage flip last byte", kGzipIfSmaller, 0, false, 1, "source", Change::FlipLast, true},
    // Copy of the gzip form: the payload is the gzip file, the source no
    // longer matters; a changed gzip file must be caught.
    {"gzip form copied, source flipped", kGzip, 0, false, 2, "source", Change::FlipMiddle, true},
    {"gzip form copied, gzip file flipped", kGzip, 0, false, 2, "temp", Change::FlipMiddle, false},
    {"gzip form copied, gzip file truncated", kGzip, 3, false, 2, "temp", Change::TruncateHalf, false},
    {"gzip form copied, gzip file appended", kGzip, 0, false, 2, "temp", Change::AppendByte, false},
    // "If sensibly" on noise: gzip tried, plain payload copied afterwards.
    {"not sensibly, source flipped in the copy", kGzipIfSmaller, 0, true, 2, "source", Change::FlipFirst, false},
    {"not sensibly, source appended in the copy", kGzipIfSmaller, 1, true, 2, "source", Change::AppendRows, false},
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class ChangingSource : public StressTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangingSource, IsCaughtAndLeavesNoCarrier) {
  const ChangeCase& c = GetParam();
  settings.compressionMode = c.compressionMode;
  const Bytes data = c.noise ? NoiseData(9000, 31) : MixedData(9000, 32);
  WriteBytes(Box("src.dat"), data);
  const Bytes older{'o', 'l', 'd'};
  WriteBytes(Box("src.bmp"), older);

  int showings = 0;
  const std::string changed = std::string(c.file) == "temp" ? Box("src.dat.pixeltuck") : Box("src.dat");
  bool applied = false;
  prepareUi = [&](ScriptedUi& ui) {
    ui.progress.onShown = [&]() {
      if (++showings == c.atShowing) {
        ASSERT_TRUE(fs::exists(changed));
        Apply(c.change, changed);
        applied = true;
      }
    };
  };
  state.commandLineKey = KeyText(c.cipherIndex != 0 ? "000102030405060708090A0B0C0D0E0F" : "");
  const JobOutcome out = Run(Box("src.dat"), c.cipherIndex);
  ASSERT_TRUE(applied) << "the bar was shown " << showings << " times";
  const Bytes sourceNow = ReadBytes(Box("src.dat"));

  if (!c.completes) {
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(ui().MessageTexts(), std::vector<std::string>{kChanged});
    EXPECT_FALSE(ReadyLineLogged()) << Log();
    EXPECT_FALSE(ui().busy);
    EXPECT_FALSE(ui().progress.visible);
    // Only the (changed) source and the older carrier, untouched.
    Snapshot expected{{"box", "dir"},
                      {"box/src.dat", FileEntry(sourceNow)},
                      {"box/src.bmp", FileEntry(older)}};
    const Snapshot now = TakeSnapshot(root());
    EXPECT_TRUE(now == expected) << SnapshotDiff(expected, now);
    return;
  }
  // The carrier holds exactly the bytes its checksums were taken from.
  ASSERT_EQ(out.end, JobEnd::Completed) << Messages();
  EXPECT_TRUE(ui().messages.empty()) << Messages();
  fs::rename(Box("src.dat"), Box("changed.dat"));
  showings = 100;  // no more changes
  state.commandLineKey = KeyText(c.cipherIndex != 0 ? "000102030405060708090A0B0C0D0E0F" : "");
  const JobOutcome back = Run(Box("src.bmp"));
  EXPECT_EQ(back.end, JobEnd::Completed) << Messages();
  EXPECT_FALSE(back.checksumError) << Log();
  // The first pass over the source decides what is stored: a change before
  // it is simply stored, one after it never reaches the carrier.
  EXPECT_EQ(ReadBytes(Box("src.dat")), c.atShowing == 1 ? sourceNow : data);
}

std::string ChangeName(const ::testing::TestParamInfo<ChangeCase>& info) {
  std::string s = info.param.name;
  for (char& ch : s) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return s;
}

INSTANTIATE_TEST_SUITE_P(Stress, ChangingSource, ::testing::ValuesIn(kCases), ChangeName);

}  // namespace
}  // namespace pt::stress
