// Unpacking never passes a failure for success and never loses checked
// work: a stored name that another program takes meanwhile, or one too long
// for the file system. And what a job has begun is its owner's alone.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tests/stress/stress_support.h"
#include "util/os_text.h"

namespace pt::stress {
namespace {

namespace fs = std::filesystem;

struct PayloadCase {
  const char* name;
  bool gzip;
};

void PrintTo(const PayloadCase& c, std::ostream* os) { *os << c.name; }

class UnpackOutcome : public StressTest, public ::testing::WithParamInterface<PayloadCase> {
 protected:
  // A carrier in the box that stores data under `stored` (raw bytes).
  std::string Carrier(const std::string& stored) {
    const std::string path = Box("c.bmp");
    if (GetParam().gzip) {
      const Bytes gz = Gzip(data);
      WriteBytes(path, HandMadeCarrier(GzipHeader(stored, data, gz), gz));
    } else {
      WriteBytes(path, HandMadeCarrier(PlainHeader(stored, data), data));
    }
    return path;
  }

  const Bytes data = MixedData(50000, 31);
};

TEST_P(UnpackOutcome, ANameTakenMeanwhileKeepsTheRestoredFileAndFails) {
  const std::string carrier = Carrier("x.txt");
  const Bytes theirs = {'t', 'h', 'e', 'i', 'r', 's'};
  prepareUi = [&](ScriptedUi& ui) {
    ui.onWorking = [&](JobPhase) {
      if (!fs::exists(Box("x.txt"))) WriteBytes(Box("x.txt"), theirs);
    };
  };
  const JobOutcome out = Run(carrier);
  EXPECT_EQ(out.end, JobEnd::Failed) << Log();
  EXPECT_FALSE(out.checksumError);
  EXPECT_EQ(ReadBytes(Box("x.txt")), theirs);
  EXPECT_EQ(ReadBytes(Box("x.txt.restored")), data);
  EXPECT_FALSE(fs::exists(Box("x.txt.damaged")));
  EXPECT_TRUE(ui().LogContains("-> The restored file is in \"" + Box("x.txt.restored") + "\""))
      << Log();
  EXPECT_NE(LastMessage().find("<" + Box("x.txt.restored") + ">"), std::string::npos)
      << LastMessage();
}

TEST_P(UnpackOutcome, ANameTooLongForTheFileSystemIsShortenedBeforeAnyWork) {
  // Windows-1252 "é" grows to two bytes as UTF-8: 204 stored bytes, 404 as
  // a name on a file system that counts bytes (255 at most).
  std::string full;
  for (int i = 0; i < 200; ++i) full += "\xC3\xA9";
  full += ".txt";
  const JobOutcome out = Run(Carrier(std::string(200, '\xE9') + ".txt"));
  EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
  EXPECT_FALSE(out.checksumError) << Log();
  // The one file beside the carrier: as much of the name as the file
  // system takes, with the extension.
  std::string restored;
  for (const auto& e : fs::directory_iterator(box())) {
    const std::string name = Utf8Path(e.path().filename());
    if (name != "c.bmp") restored = name;
  }
  ASSERT_GT(restored.size(), 4u);
  const std::size_t stem = restored.size() - 4;
  EXPECT_EQ(restored.substr(stem), ".txt");
  EXPECT_EQ(full.substr(0, stem), restored.substr(0, stem));
#ifdef __linux__
  EXPECT_EQ(restored.size(), 254u);  // 125 characters
#endif
  std::ifstream in(box() / FsPath(restored), std::ios::binary);  // a wide name on Windows
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), data);
  EXPECT_EQ(ui().LogContains("-> Name too long for this folder, restored as \"" + restored + "\""),
            restored != full)
      << Log();
  EXPECT_EQ(TakeSnapshot(box()).size(), 2u);  // the carrier and the restored file
}

#ifndef _WIN32
// Files a job writes hold plaintext while they are begun (the gzip form, a
// partial restored file): only their owner may read them, whatever the
// umask. The finished file gets the mode of a new file.
TEST_P(UnpackOutcome, BegunFilesAreTheOwnersAlone) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  settings.compressionMode = GetParam().gzip ? CompressionMode::Always : CompressionMode::Never;
  WriteBytes(Box("p.txt"), data);
  fs::permissions(Box("p.txt"), fs::perms::owner_read | fs::perms::owner_write);
  std::set<std::string> seen;
  std::set<std::string> exposed;
  auto watch = [&](ScriptedUi& ui) {
    ui.onWorking = [&](JobPhase) {
      for (const auto& e : fs::directory_iterator(box())) {
        const std::string name = e.path().filename().string();
        struct stat st {};
        if (name == "p.txt" || name == "p.bmp" || ::lstat(e.path().c_str(), &st) != 0) continue;
        seen.insert(name);
        if ((st.st_mode & 077) != 0) exposed.insert(name);
      }
    };
  };
  prepareUi = watch;
  const std::string carrier = Pack("p.txt", data);  // packing: the gzip form and the carrier
  fs::remove(Box("p.txt"));
  ASSERT_EQ(Run(carrier).end, JobEnd::Completed) << Messages();  // unpacking
  EXPECT_GE(seen.size(), GetParam().gzip ? 3u : 2u);
  EXPECT_EQ(exposed, std::set<std::string>{});
  for (const std::string& made : {carrier, Box("p.txt")}) {
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all,
              static_cast<fs::perms>(0666 & ~mask))
        << made;
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(Stress, UnpackOutcome,
                         ::testing::Values(PayloadCase{"Plain", false}, PayloadCase{"Gzip", true}),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace pt::stress
