// The ways a job ends early besides its messages: a close request, memory
// running out, a key outside the rules, a signal, a file-size limit.
// Whatever ends it, exactly the files the user had are left.
#include <csignal>
#include <new>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "tests/carrier/job_fixture.h"
#include "util/parallel.h"

namespace pt::test {
namespace {

using Files = std::vector<std::string>;

struct EndCase {
  const char* name;
  CompressionMode compressionMode;
  int cipherIndex;
  bool unpack;
  JobPhase phase;  // where the job is hit
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

const EndCase kEndCases[] = {
    {"PackingInOnePass", CompressionMode::Never, 0, false, JobPhase::Writing},
    {"PackingGzipStage", CompressionMode::Always, 0, false, JobPhase::Compressing},
    {"PackingTwofishRows", CompressionMode::Never, 2, false, JobPhase::Writing},
    {"PackingGzipRows", CompressionMode::Always, 1, false, JobPhase::Writing},
    {"UnpackingRows", CompressionMode::Never, 3, true, JobPhase::Writing},
    {"UnpackingGzipRows", CompressionMode::Always, 0, true, JobPhase::Writing},
};

class JobEnds : public JobTest, public ::testing::WithParamInterface<EndCase> {
 protected:
  // Sets up the case's input beside an older output of the same name and
  // returns the path to run on.
  std::string Prepare() {
    const EndCase& c = GetParam();
    settings.compressionMode = c.compressionMode;
    key = c.cipherIndex != 0 ? "000102030405060708090A0B0C0D0E0F" : "";
    const std::string carrier = Pack("f.dat", MixedData(3 << 20, 71), c.cipherIndex, key);
    if (c.unpack) {
      WriteBytes(dir.Path("f.dat"), older);
      state.commandLineKey = KeyText(key);
      return carrier;
    }
    WriteBytes(carrier, older);
    state.commandLineKey = KeyText(key);
    return dir.Path("f.dat");
  }

  // The folder as it was before the run: the input and the older output.
  void ExpectOnlyTheUsersFiles() {
    EXPECT_EQ(dir.Files(), (Files{"f.bmp", "f.dat"}));
    const std::string outputName = GetParam().unpack ? "f.dat" : "f.bmp";
    EXPECT_EQ(ReadBytes(dir.Path(outputName)), older);
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(ui.progress.visible);
  }

  std::string key;
  const Bytes older{'o', 'l', 'd'};
};

TEST_P(JobEnds, ACloseRequestStopsTheJobAndRemovesWhatItBegan) {
  const std::string path = Prepare();
  ui.onWorking = [&](JobPhase p) {
    if (p == GetParam().phase) ui.stopAfterBlocks = 0;
  };
  EXPECT_EQ(Run(path, GetParam().unpack ? 0 : GetParam().cipherIndex).end, JobEnd::Cancelled);
  EXPECT_TRUE(ui.LogContains("Job interrupted: the files it had begun were removed.")) << Log();
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  ExpectOnlyTheUsersFiles();
}

TEST_P(JobEnds, RunningOutOfMemoryIsReportedAndReleasesEverything) {
  const std::string path = Prepare();
  ui.onWorking = [&](JobPhase p) {
    if (p == GetParam().phase) throw std::bad_alloc();
  };
  EXPECT_EQ(Run(path, GetParam().unpack ? 0 : GetParam().cipherIndex).end, JobEnd::Failed);
  EXPECT_EQ(ui.MessageTexts(),
            Files{"Not enough memory to finish the job ...\nNothing was written."});
  ExpectOnlyTheUsersFiles();
}

INSTANTIATE_TEST_SUITE_P(Where, JobEnds, ::testing::ValuesIn(kEndCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(JobTest, KeysOutsideEightToThirtyTwoBytesNeverPackOnAnyCipher) {
  // The dialog's rules stop such keys; the job must not rely on them:
  // Blowfish itself would take them.
  WriteBytes(dir.Path("a.txt"), MixedData(100));
  for (int cipher : {1, 2, 3}) {
    for (std::size_t len : {7u, 33u, 56u}) {
      SCOPED_TRACE(testing::Message() << cipher << " " << len);
      ui.messages.clear();
      ui.keys.push_back(AsciiKey(std::string(len, 'k')));
      EXPECT_EQ(Run(dir.Path("a.txt"), cipher).end, JobEnd::Failed);
      EXPECT_EQ(ui.MessageTexts(),
                Files{"Key must have 8 to 32 bytes (" + std::to_string(len) + ") !!!"});
      EXPECT_EQ(dir.Files(), Files{"a.txt"});
    }
  }
}

TEST_F(JobTest, UnpackingReadsNoFurtherThanThePayloadsLastRow) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(10000, 72);
  const std::string carrier = Pack("r.dat", data);
  std::filesystem::remove(dir.Path("r.dat"));
  Bytes c = ReadBytes(carrier);
  const auto size = static_cast<std::int64_t>(c.size());
  c.resize(c.size() + kRowBytes * 500, 0xEE);  // rows after the payload
  WriteBytes(carrier, c);
  files.FailReadsAfter(size);
  EXPECT_EQ(Run(carrier).end, JobEnd::Completed) << Messages();
  EXPECT_EQ(ReadBytes(dir.Path("r.dat")), data);
}

// A real signal in a fresh process: the handler removes the files the job
// had begun and the process still ends by that signal (on Windows, where no
// process ends by a signal, with status 128 + its number: 130 for Ctrl+C,
// not the C runtime's 3).
#ifdef _WIN32
::testing::ExitedWithCode EndedBy(int sig) { return ::testing::ExitedWithCode(128 + sig); }
const auto kEndingSignals = ::testing::Values(SIGINT, SIGTERM);
#else
::testing::KilledBySignal EndedBy(int sig) { return ::testing::KilledBySignal(sig); }
const auto kEndingSignals = ::testing::Values(SIGINT, SIGTERM, SIGHUP);
#endif

class SignalEnds : public JobTest, public ::testing::WithParamInterface<int> {};

TEST_P(SignalEnds, RemoveTheFilesTheJobBeganAndEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const int sig = GetParam();
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(3 << 20, 73);
  WriteBytes(dir.Path("s.dat"), data);
  EXPECT_EXIT(
      {
        InstallSignalCleanup();
        ui.onWorking = [sig](JobPhase p) {
          if (p == JobPhase::Writing) raise(sig);
        };
        Run(dir.Path("s.dat"));
        std::_Exit(0);
      },
      EndedBy(sig), "");
  EXPECT_EQ(dir.Files(), Files{"s.dat"});
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalEnds, kEndingSignals,
                         [](const auto& p) {
                           return std::string(p.param == SIGINT    ? "INT"
                                              : p.param == SIGTERM ? "TERM"
                                                                   : "HUP");
                         });

#ifndef _WIN32

TEST_F(JobTest, AFileSizeLimitIsAWriteErrorNotTheEndOfTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  settings.compressionMode = CompressionMode::Never;
  WriteBytes(dir.Path("l.dat"), MixedData(1 << 20, 74));
  EXPECT_EXIT(
      {
        InstallSignalCleanup();
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100000;
        setrlimit(RLIMIT_FSIZE, &limit);
        const JobOutcome out = Run(dir.Path("l.dat"));
        const bool reported = out.end == JobEnd::Failed &&
                              ui.MessageTexts() == Files{"Error while writing target file"};
        std::_Exit(reported ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir.Files(), Files{"l.dat"});
}
#endif

}  // namespace
}  // namespace pt::test
