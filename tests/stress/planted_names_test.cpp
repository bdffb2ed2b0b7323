// Whatever already stands under a name a job would like to use for its own
// files (the gzip form "<name>.pixeltuck", its hidden partial names), the
// job never writes through it, never waits on it and never removes it: it
// takes another name and says where, when the file is one that stays.
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>

#include "tests/stress/stress_support.h"
#include "tests/support/portable.h"

namespace pt::stress {
namespace {

namespace fs = std::filesystem;

const std::string kNextOwnName = ".pixeltuck-00000000c0de.partial";

enum class Plant { OwnFile, LinkOut, HardLinkOut, HardLinkToCarrier, Pipe, Folder, DanglingLink };

struct PlantCase {
  const char* name;
  Plant plant;
};

void PrintTo(const PlantCase& c, std::ostream* os) { *os << c.name; }

const PlantCase kPlants[] = {
    {"OwnFile", Plant::OwnFile},       {"LinkOutOfTheFolder", Plant::LinkOut},
    {"HardLinkOut", Plant::HardLinkOut}, {"HardLinkToTheCarrier", Plant::HardLinkToCarrier},
    {"Pipe", Plant::Pipe},             {"EmptyFolder", Plant::Folder},
    {"DanglingLink", Plant::DanglingLink},
};

class PlantedNames : public StressTest, public ::testing::WithParamInterface<PlantCase> {
 protected:
  void SetUp() override {
    StressTest::SetUp();
    const Plant p = GetParam().plant;
    if (!test::kCanMakeSymlinks && (p == Plant::LinkOut || p == Plant::DanglingLink)) {
      GTEST_SKIP() << test::kNoSymlinks << " (HardLinkOut plants the same trap)";
    }
#ifdef _WIN32
    if (p == Plant::Pipe) GTEST_SKIP() << "Windows has no named pipes in folders";
#endif
  }

  // Puts the planted thing at box/name; `carrier` is what a hard link to
  // the carrier points at.
  void PlantAt(const std::string& name, const std::string& carrier) {
    WriteBytes(Root("victim.txt"), victim);
    const std::string at = Box(name);
    switch (GetParam().plant) {
      case Plant::OwnFile: WriteBytes(at, {'m', 'i', 'n', 'e'}); break;
      case Plant::LinkOut: fs::create_symlink(Root("victim.txt"), at); break;
      case Plant::HardLinkOut: fs::create_hard_link(Root("victim.txt"), at); break;
      case Plant::HardLinkToCarrier: fs::create_hard_link(carrier, at); break;
#ifndef _WIN32
      case Plant::Pipe: ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); break;
#else
      case Plant::Pipe: break;  // skipped in SetUp
#endif
      case Plant::Folder: fs::create_directory(at); break;
      case Plant::DanglingLink: fs::create_symlink(Root("nothing-here"), at); break;
    }
  }

  // Everything that was there is still there, byte for byte; only the
  // listed files are new.
  void ExpectUntouched(const Snapshot& before, const std::vector<std::string>& newFiles) {
    const Snapshot now = TakeSnapshot(root());
    Snapshot expected = before;
    for (const std::string& f : newFiles) expected["box/" + f] = now.count("box/" + f) ? now.at("box/" + f) : "missing";
    EXPECT_TRUE(now == expected) << SnapshotDiff(expected, now);
    EXPECT_EQ(ReadBytes(Root("victim.txt")), victim);
  }

  const Bytes victim{'v', 'i', 'c', 't', 'i', 'm'};
};

TEST_P(PlantedNames, PackingTakesAnotherNameForItsGzipForm) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(9000, 61);
  WriteBytes(Box("data.bin"), data);
  PlantAt("data.bin.pixeltuck", Box("data.bin"));
  const Snapshot before = TakeSnapshot(root());
  const JobOutcome out = Run(Box("data.bin"));
  ASSERT_EQ(out.end, JobEnd::Completed) << Messages();
  ExpectUntouched(before, {"data.bmp"});
}

TEST_P(PlantedNames, PackingAndUnpackingNeverCreateThroughTheirNextOwnName) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(9000, 62);
  const std::string carrier = Pack("data.bin", data);
  fs::remove(Box("data.bin"));
  fs::rename(carrier, Box("c.bmp"));
  WriteBytes(Box("data.bin"), data);
  PlantAt(kNextOwnName, Box("c.bmp"));
  Snapshot before = TakeSnapshot(root());

  files.SetNextHiddenNames({kNextOwnName});
  ASSERT_EQ(Run(Box("data.bin")).end, JobEnd::Completed) << Messages();
  ExpectUntouched(before, {"data.bmp"});

  fs::remove(Box("data.bin"));
  before = TakeSnapshot(root());
  files.SetNextHiddenNames({kNextOwnName});
  ASSERT_EQ(Run(Box("c.bmp")).end, JobEnd::Completed) << Messages();
  ExpectUntouched(before, {"data.bin"});
  EXPECT_EQ(ReadBytes(Box("data.bin")), data);
}

TEST_P(PlantedNames, AGzipFormThatMustStayKeepsItsOwnNameAndTheLogSaysWhere) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(9000, 63);
  Bytes c = ReadBytes(Pack("x.txt", data));
  fs::remove(Box("x.txt"));
  fs::remove(Box("x.bmp"));
  c[kLeadingBytes + 100] ^= 0x5A;  // the gzip form fails its checksum: it stays
  WriteBytes(Box("x.bmp"), c);
  PlantAt("x.txt.pixeltuck", Box("x.bmp"));
  const Snapshot before = TakeSnapshot(root());

  files.SetNextHiddenNames({".pixeltuck-000000000001.partial", kNextOwnName});
  const JobOutcome out = Run(Box("x.bmp"));
  EXPECT_TRUE(out.checksumError);
  EXPECT_EQ(ReadBytes(Box("x.bmp")), c) << "the carrier itself was changed";
  const std::string kept = ".pixeltuck-00000000c0de.gz";
  EXPECT_TRUE(ui().LogContains("-> Compressed file kept as \"" + Box(kept) + "\"")) << Log();
  ExpectUntouched(before, {kept});
}

INSTANTIATE_TEST_SUITE_P(Stress, PlantedNames, ::testing::ValuesIn(kPlants),
                         [](const auto& p) { return std::string(p.param.name); });

class LongNames : public StressTest {};

TEST_F(LongNames, NoNameTheFileSystemTakesFailsBecauseOfASuffix) {
  // 251 characters + ".bmp" is the longest carrier name; "<name>.pixeltuck"
  // would be too long for the gzip form, which then takes a name of its own.
  settings.compressionMode = CompressionMode::Always;
  const std::string base = std::string(251, 's');
  const Bytes data = MixedData(7000, 64);
  const std::string carrier = Pack(base + ".dat", data);
  ASSERT_EQ(carrier, Box(base + ".bmp")) << Messages();
  fs::remove(Box(base + ".dat"));
  // Unpacking writes the stored name (255 characters) and its gzip form.
  ASSERT_EQ(Run(carrier).end, JobEnd::Completed) << Messages();
  EXPECT_EQ(ReadBytes(Box(base + ".dat")), data);
  EXPECT_EQ(TakeSnapshot(root()).size(), 3u);  // box, carrier, restored file
}

}  // namespace
}  // namespace pt::stress
