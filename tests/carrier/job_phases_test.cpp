// The phases a run names to its front end while it works, each stretch of
// work once, in order.
#include <filesystem>

#include "tests/carrier/job_fixture.h"

namespace pt::test {
namespace {

using Phases = std::vector<JobPhase>;

struct PhaseCase {
  const char* name;
  CompressionMode compressionMode;
  bool unpack;
  // Packing cannot create its carrier: the source is read for its checksum
  // alone before the run fails.
  bool folderUnderTheCarriersName;
  Phases phases;
};

void PrintTo(const PhaseCase& c, std::ostream* os) { *os << c.name; }

class ReportedPhases : public JobTest, public ::testing::WithParamInterface<PhaseCase> {
 protected:
  // The run of the case, with the phases it reported so far forgotten.
  std::string Prepare() {
    const PhaseCase& c = GetParam();
    settings.compressionMode = c.compressionMode;
    std::string path = dir.Path("data.bin");
    WriteBytes(path, MixedData(300000, 5));
    if (c.unpack) {
      path = Pack("data.bin", MixedData(300000, 5));
      std::filesystem::remove(dir.Path("data.bin"));
    }
    if (c.folderUnderTheCarriersName) std::filesystem::create_directory(dir.Path("data.bmp"));
    ui.workPhases.clear();
    return path;
  }

  Phases Stretches() const {
    Phases seen;
    for (JobPhase p : ui.workPhases) {
      if (seen.empty() || seen.back() != p) seen.push_back(p);
    }
    return seen;
  }
};

TEST_P(ReportedPhases, NameEachStretchOfWorkInOrder) {
  const std::string path = Prepare();
  Run(path);
  EXPECT_EQ(Stretches(), GetParam().phases) << Log();
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReportedPhases,
    ::testing::Values(
        PhaseCase{"PackingInOnePass", CompressionMode::Never, false, false, {JobPhase::Writing}},
        PhaseCase{"PackingWithAGzipStage", CompressionMode::Always, false, false,
                  {JobPhase::Compressing, JobPhase::Writing}},
        PhaseCase{"PackingBesideAFolderOfTheCarriersName", CompressionMode::Never, false, true,
                  {JobPhase::Reading}},
        PhaseCase{"Unpacking", CompressionMode::Never, true, false,
                  {JobPhase::Writing, JobPhase::Checking}},
        PhaseCase{"UnpackingAGzipForm", CompressionMode::Always, true, false,
                  {JobPhase::Writing, JobPhase::Checking}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(JobTest, AStopRequestEndsTheChecksumPassAndTheRun) {
  settings.compressionMode = CompressionMode::Never;
  WriteBytes(dir.Path("data.bin"), MixedData(300000, 5));
  std::filesystem::create_directory(dir.Path("data.bmp"));
  ui.stopAfterBlocks = 1;
  EXPECT_EQ(Run(dir.Path("data.bin")).end, JobEnd::Cancelled);
  EXPECT_EQ(ui.workPhases, Phases{JobPhase::Reading});
  EXPECT_TRUE(ui.LogContains("Job interrupted: the files it had begun were removed.")) << Log();
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  EXPECT_FALSE(ui.progress.visible);
}

}  // namespace
}  // namespace pt::test
