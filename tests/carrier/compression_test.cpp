#include "carrier/compression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "carrier/file_io.h"
#include "tests/support/test_files.h"
#include "tests/support/scripted_ui.h"

namespace pt {
namespace {

using test::Bytes;

class Compression : public ::testing::Test {
 protected:
  void TearDown() override { io_faults::Reset(); }
  test::TempDir dir;
  test::RecordingProgress progress;
};

TEST_F(Compression, RoundTripAtEveryLevel) {
  const Bytes data = test::MixedData(300000);
  test::WriteBytes(dir.Path("src"), data);
  for (int level = -1; level <= 9; ++level) {
    SCOPED_TRACE(level);
    ASSERT_TRUE(CompressFile(dir.Path("src"), dir.Path("src.gz"), progress, level));
    const Bytes gz = test::ReadBytes(dir.Path("src.gz"));
    ASSERT_GE(gz.size(), 18u);
    EXPECT_EQ(gz[0], 0x1F);  // gzip framing
    EXPECT_EQ(gz[1], 0x8B);
    if (level == 0) {
      EXPECT_GT(gz.size(), data.size());  // stored, not shrunk
    }
    if (level == 9) {
      EXPECT_LT(gz.size(), data.size() / 2);
    }
    ASSERT_TRUE(DecompressFile(dir.Path("src.gz"), dir.Path("back"), progress,
                               static_cast<std::int64_t>(data.size())));
    EXPECT_EQ(test::ReadBytes(dir.Path("back")), data);
  }
  EXPECT_FALSE(progress.visible);
  EXPECT_EQ(progress.positions.back(), 100);
}

TEST_F(Compression, EmptyOrMissingSourceCreatesNothing) {
  test::WriteBytes(dir.Path("empty"), {});
  EXPECT_FALSE(CompressFile(dir.Path("empty"), dir.Path("out.gz"), progress, -1));
  EXPECT_FALSE(CompressFile(dir.Path("missing"), dir.Path("out.gz"), progress, -1));
  EXPECT_FALSE(test::Exists(dir.Path("out.gz")));
  EXPECT_FALSE(DecompressFile(dir.Path("empty"), dir.Path("out"), progress, 100));
  EXPECT_FALSE(test::Exists(dir.Path("out")));
}

TEST_F(Compression, WriteFailureIsReportedAndLeavesNoTarget) {
  test::WriteBytes(dir.Path("src"), test::MixedData(50000));
  ASSERT_TRUE(CompressFile(dir.Path("src"), dir.Path("src.gz"), progress, 6));
  test::WriteBytes(dir.Path("out"), {1, 2, 3});
  io_faults::FailWritesAfter(1000);
  EXPECT_FALSE(DecompressFile(dir.Path("src.gz"), dir.Path("out"), progress, 50000));
  io_faults::Reset();
  EXPECT_EQ(test::ReadBytes(dir.Path("out")), (Bytes{1, 2, 3}));  // untouched
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"out", "src", "src.gz"}));  // nothing half-written
}

class DamagedGzip : public Compression {
 protected:
  Bytes Good(std::size_t n) {
    test::WriteBytes(dir.Path("src"), test::MixedData(n));
    EXPECT_TRUE(CompressFile(dir.Path("src"), dir.Path("good.gz"), progress, -1));
    return test::ReadBytes(dir.Path("good.gz"));
  }
};

TEST_F(DamagedGzip, AlteredTruncatedAndGarbageStreamsFail) {
  const Bytes gz = Good(100000);
  struct Case { const char* name; Bytes bytes; };
  Bytes altered = gz;
  altered[gz.size() / 2] ^= 0x55;
  Bytes truncated(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 2));
  Bytes badTrailer = gz;
  badTrailer[gz.size() - 6] ^= 1;  // stored CRC-32 of the data
  Bytes garbage = test::NoiseData(5000);
  garbage[0] = 0x1F;
  garbage[1] = 0x8B;
  const Case cases[] = {{"altered", altered}, {"truncated", truncated},
                        {"bad trailer", badTrailer}, {"garbage", garbage}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(dir.Path("bad.gz"), c.bytes);
    EXPECT_FALSE(DecompressFile(dir.Path("bad.gz"), dir.Path("out"), progress, 100000));
    EXPECT_FALSE(test::Exists(dir.Path("out")));
  }
}

TEST_F(DamagedGzip, OutputBeyondTheStatedSizeStops) {
  // 64 MiB of zeros in a small gzip file: decompression stops at the bound.
  {
    gzFile gz = gzopen(dir.Path("bomb.gz").c_str(), "wb9");
    ASSERT_NE(gz, nullptr);
    const Bytes zeros(1 << 20, 0);
    for (int i = 0; i < 64; ++i) gzwrite(gz, zeros.data(), static_cast<unsigned>(zeros.size()));
    gzclose(gz);
  }
  EXPECT_LT(test::ReadBytes(dir.Path("bomb.gz")).size(), 200000u);
  EXPECT_FALSE(DecompressFile(dir.Path("bomb.gz"), dir.Path("out"), progress, 1000));
  EXPECT_FALSE(test::Exists(dir.Path("out")));
  EXPECT_TRUE(DecompressFile(dir.Path("bomb.gz"), dir.Path("out"), progress, 64 << 20));
  EXPECT_EQ(test::ReadBytes(dir.Path("out")).size(), 64u << 20);
  // The bar relates output to input size and stays full.
  EXPECT_EQ(progress.position, 100);
}

}  // namespace
}  // namespace pt
