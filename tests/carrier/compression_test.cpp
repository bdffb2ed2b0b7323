#include "carrier/compression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "carrier/file_io.h"
#include "tests/support/failing_files.h"
#include "tests/support/test_files.h"
#include "util/parallel.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

using test::Bytes;

// What zlib's own reader makes of a file: its bytes and whether gzclose
// reported the stream complete.
struct ZlibRead {
  Bytes data;
  bool ok = false;
};
ZlibRead ReadWithGzread(const std::string& path) {
  ZlibRead r;
  gzFile gz = gzopen(path.c_str(), "rb");
  if (gz == nullptr) return r;
  std::uint8_t buf[4096];
  int got = 0;
  bool readOk = true;
  while ((got = gzread(gz, buf, sizeof buf)) > 0) r.data.insert(r.data.end(), buf, buf + got);
  if (got < 0) readOk = false;
  r.ok = gzclose(gz) == Z_OK && readOk;
  return r;
}

// GunzipStream fed in pieces of `piece` bytes.
ZlibRead ReadWithGunzipStream(const Bytes& gz, std::size_t piece, std::int64_t max = 1 << 30) {
  ZlibRead r;
  GunzipStream stream(max, [&](const std::uint8_t* p, std::size_t n) {
    r.data.insert(r.data.end(), p, p + n);
    return true;
  });
  for (std::size_t at = 0; at < gz.size(); at += piece) {
    stream.Feed(gz.data() + at, std::min(piece, gz.size() - at));
  }
  r.ok = stream.Finish();
  return r;
}

// Repeats of the same 100 KiB of noise: most of the file is matches reaching
// back across block and batch boundaries, which only decode when every
// block's dictionary is exactly the history before it.
Bytes ReachingBackData(std::size_t n) {
  const Bytes unit = test::NoiseData(100 * 1024);
  Bytes data;
  while (data.size() < n) data.insert(data.end(), unit.begin(), unit.end());
  data.resize(n);
  return data;
}

class CompressStreamTest : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { SetWorkerThreads(GetParam()); }
  void TearDown() override { SetWorkerThreads(0); }

  GzipEnd Compress(const Bytes& data, int level, GzipResult& result) {
    test::WriteBytes(dir.Path("src"), data);
    InputFile in;
    EXPECT_TRUE(in.Open(dir.Path("src"), files));
    OutputFile out;
    EXPECT_TRUE(out.Create(dir.Path("src.gz"), files));
    const GzipEnd end = CompressStream(in, out, level, [](std::int64_t) { return true; }, result);
    if (end == GzipEnd::Done) {
      EXPECT_TRUE(out.Commit(/*replace=*/true));
    }
    return end;
  }

  test::TempDir dir;
  test::FailingFiles files;
};

TEST_P(CompressStreamTest, ZlibAndTheStreamReaderGetTheBytesBackAtEveryLevel) {
  const Bytes data = ReachingBackData(9 * 1024 * 1024 + 12345);
  for (int level : {-1, 0, 1, 6, 9}) {
    SCOPED_TRACE(level);
    GzipResult result;
    ASSERT_EQ(Compress(data, level, result), GzipEnd::Done);
    const Bytes gz = test::ReadBytes(dir.Path("src.gz"));
    EXPECT_EQ(result.plain.bytes, static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(result.plain.crc, test::CrcOf(data));
    EXPECT_EQ(result.packed.bytes, static_cast<std::int64_t>(gz.size()));
    EXPECT_EQ(result.packed.crc, test::CrcOf(gz));
    const ZlibRead byZlib = ReadWithGzread(dir.Path("src.gz"));
    EXPECT_TRUE(byZlib.ok);
    EXPECT_TRUE(byZlib.data == data);
    const ZlibRead byStream = ReadWithGunzipStream(gz, 1 << 20);
    EXPECT_TRUE(byStream.ok);
    EXPECT_TRUE(byStream.data == data);
  }
}

TEST_P(CompressStreamTest, SizeStaysWithinOnePercentOfZlibAlone) {
  const Bytes data = test::MixedData(6 * 1024 * 1024);
  GzipResult result;
  ASSERT_EQ(Compress(data, 6, result), GzipEnd::Done);
  gzFile gz = gzopen(dir.Path("zlib.gz").c_str(), "wb6");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, data.data(), static_cast<unsigned>(data.size())),
            static_cast<int>(data.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
  const double zlibSize = static_cast<double>(test::ReadBytes(dir.Path("zlib.gz")).size());
  EXPECT_LT(static_cast<double>(result.packed.bytes), zlibSize * 1.01);
}

TEST_P(CompressStreamTest, ReadAndWriteFailuresAreReported) {
  const Bytes data = test::MixedData(3 * 1024 * 1024);
  GzipResult result;
  files.FailWritesAfter(100000);
  EXPECT_EQ(Compress(data, 6, result), GzipEnd::WriteFailed);
  files.Reset();
  files.FailReadsAfter(2 * 1024 * 1024 + 5);
  EXPECT_EQ(Compress(data, 6, result), GzipEnd::ReadFailed);
}

INSTANTIATE_TEST_SUITE_P(Threads, CompressStreamTest, ::testing::Values(1u, 2u, 3u),
                         [](const auto& p) { return std::to_string(p.param) + "Threads"; });

// The gzip file zlib itself writes: gzopen "wb<level>" ("wb" for a negative
// level), gzwrite in pieces of 10000 bytes, gzclose.
Bytes ZlibGzipFile(const std::string& path, const Bytes& data, int level) {
  const std::string mode = level < 0 ? "wb" : "wb" + std::to_string(level);
  gzFile gz = gzopen(path.c_str(), mode.c_str());
  EXPECT_NE(gz, nullptr);
  for (std::size_t at = 0; at < data.size(); at += 10000) {
    gzwrite(gz, data.data() + at, static_cast<unsigned>(std::min<std::size_t>(10000, data.size() - at)));
  }
  EXPECT_EQ(gzclose(gz), Z_OK);
  return test::ReadBytes(path);
}

// Plain bytes carried by the last deflate block of a gzip member (0 when
// the stream ends with an empty block), or -1 when it does not inflate.
long LastBlockBytes(const Bytes& gz, std::size_t plainSize) {
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 16) != Z_OK) return -1;
  Bytes out(plainSize + 1);
  zs.next_in = const_cast<Bytef*>(gz.data());
  zs.avail_in = static_cast<uInt>(gz.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  uLong lastBoundary = 0;
  int ret = Z_OK;
  while (ret == Z_OK) {
    ret = inflate(&zs, Z_BLOCK);
    // At a block boundary before the last block is known.
    if ((zs.data_type & 128) != 0 && (zs.data_type & 64) == 0) lastBoundary = zs.total_out;
  }
  const uLong total = zs.total_out;
  inflateEnd(&zs);
  return ret == Z_STREAM_END ? static_cast<long>(total - lastBoundary) : -1;
}

// A file of up to one 1 MiB block is zlib's gzip file byte for byte but for
// the header's system byte, which is the same on every platform; a larger
// one ends its stream with its last data block, not an empty block after it.
struct GzipFormCase {
  const char* name;
  std::size_t size;
};

void PrintTo(const GzipFormCase& c, std::ostream* os) { *os << c.name; }

class GzipFormTest : public ::testing::TestWithParam<std::tuple<GzipFormCase, int>> {
 protected:
  // One thread: a full batch is then two blocks, 2 MiB.
  void SetUp() override { SetWorkerThreads(1); }
  void TearDown() override { SetWorkerThreads(0); }
  test::TempDir dir;
};

TEST_P(GzipFormTest, MatchesZlibWithinOneBlockAndEndsWithData) {
  const auto& [form, level] = GetParam();
  const Bytes data = test::MixedData(form.size, static_cast<std::uint32_t>(form.size));
  test::WriteBytes(dir.Path("src"), data);
  InputFile in;
  ASSERT_TRUE(in.Open(dir.Path("src")));
  OutputFile out;
  ASSERT_TRUE(out.Create(dir.Path("ours.gz")));
  GzipResult result;
  ASSERT_EQ(CompressStream(in, out, level, [](std::int64_t) { return true; }, result),
            GzipEnd::Done);
  ASSERT_TRUE(out.Commit());
  const Bytes ours = test::ReadBytes(dir.Path("ours.gz"));
  Bytes zlib = ZlibGzipFile(dir.Path("zlib.gz"), data, level);
  ASSERT_GT(zlib.size(), 10u);
  EXPECT_EQ(ours[9], 3);  // the system byte zlib writes on Unix
  zlib[9] = 3;
  if (form.size <= (1u << 20)) {
    EXPECT_TRUE(ours == zlib) << ours.size() << " bytes, zlib " << zlib.size();
  }
  EXPECT_GT(LastBlockBytes(ours, data.size()), 0);
  EXPECT_TRUE(ReadWithGzread(dir.Path("ours.gz")).data == data);
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndLevels, GzipFormTest,
    ::testing::Combine(::testing::Values(GzipFormCase{"Bytes2076", 2076},
                                         GzipFormCase{"ElevenGzwritePieces", 100001},
                                         GzipFormCase{"ExactlyOneBlock", 1u << 20},
                                         GzipFormCase{"OneBlockAndOneByte", (1u << 20) + 1},
                                         GzipFormCase{"ExactlyOneBatch", 2u << 20}),
                       ::testing::Values(-1, 0, 1, 6, 9)),
    [](const auto& p) {
      const int level = std::get<1>(p.param);
      return std::string(std::get<0>(p.param).name) + "_" +
             (level < 0 ? std::string("DefaultLevel") : "Level" + std::to_string(level));
    });

// The unpacking side must read every carrier's gzip form exactly as zlib's
// gzread does: same bytes, same verdict, however the input is cut up.
struct GunzipCase : test::NamedCase {
  Bytes (*make)(const Bytes& member, const Bytes& other);
};

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

class GunzipLikeGzread : public ::testing::TestWithParam<GunzipCase> {
 protected:
  Bytes Member(const Bytes& data) {
    gzFile gz = gzopen(dir.Path("m.gz").c_str(), "wb");
    EXPECT_NE(gz, nullptr);
    gzwrite(gz, data.data(), static_cast<unsigned>(data.size()));
    gzclose(gz);
    return test::ReadBytes(dir.Path("m.gz"));
  }
  test::TempDir dir;
};

TEST_P(GunzipLikeGzread, SameBytesAndVerdictInAnyPieces) {
  const Bytes input = GetParam().make(Member(test::MixedData(200000)), Member(test::MixedData(5000, 3)));
  test::WriteBytes(dir.Path("in.gz"), input);
  const ZlibRead expected = ReadWithGzread(dir.Path("in.gz"));
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, input.size() + 1}) {
    SCOPED_TRACE(piece);
    const ZlibRead got = ReadWithGunzipStream(input, piece);
    EXPECT_EQ(got.ok, expected.ok);
    // What a failed stream gave on the way is thrown away by both.
    if (expected.ok) {
      EXPECT_TRUE(got.data == expected.data) << got.data.size() << " vs " << expected.data.size();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, GunzipLikeGzread,
    ::testing::Values(
        GunzipCase{"OneMember", [](const Bytes& m, const Bytes&) { return m; }},
        GunzipCase{"TwoMembers", [](const Bytes& m, const Bytes& o) { return Concat(m, o); }},
        GunzipCase{"TrailingGarbage",
                   [](const Bytes& m, const Bytes&) { return Concat(m, test::NoiseData(999)); }},
        GunzipCase{"OneTrailingByte", [](const Bytes& m, const Bytes&) { return Concat(m, {0x1F}); }},
        GunzipCase{"NotGzipPassesThrough",
                   [](const Bytes&, const Bytes&) { return test::MixedData(7000); }},
        GunzipCase{"SingleByte", [](const Bytes&, const Bytes&) { return Bytes{0x1F}; }},
        GunzipCase{"Empty", [](const Bytes&, const Bytes&) { return Bytes{}; }},
        GunzipCase{"Truncated",
                   [](const Bytes& m, const Bytes&) { return Bytes(m.begin(), m.begin() + 5000); }},
        GunzipCase{"Altered",
                   [](const Bytes& m, const Bytes&) {
                     Bytes b = m;
                     b[b.size() / 2] ^= 0x55;
                     return b;
                   }},
        GunzipCase{"BadTrailerCrc",
                   [](const Bytes& m, const Bytes&) {
                     Bytes b = m;
                     b[b.size() - 6] ^= 1;
                     return b;
                   }},
        GunzipCase{"MagicThenNoise", [](const Bytes&, const Bytes&) {
                     Bytes b = test::NoiseData(5000);
                     b[0] = 0x1F;
                     b[1] = 0x8B;
                     return b;
                   }}),
    test::CaseName());

TEST(GunzipStream, StopsAtTheStatedSize) {
  // 64 MiB of zeros in a small gzip file: the output stops at the bound.
  const Bytes zeros(64 << 20, 0);
  uLongf len = compressBound(static_cast<uLong>(zeros.size()));
  Bytes gz(len + 32);
  z_stream zs{};
  ASSERT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  zs.next_in = const_cast<Bytef*>(zeros.data());
  zs.avail_in = static_cast<uInt>(zeros.size());
  zs.next_out = gz.data();
  zs.avail_out = static_cast<uInt>(gz.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  gz.resize(zs.total_out);
  deflateEnd(&zs);
  EXPECT_LT(gz.size(), 200000u);
  EXPECT_FALSE(ReadWithGunzipStream(gz, 1 << 16, 1000).ok);
  const ZlibRead full = ReadWithGunzipStream(gz, 1 << 16, 64 << 20);
  EXPECT_TRUE(full.ok);
  EXPECT_EQ(full.data.size(), zeros.size());
}

}  // namespace
}  // namespace pt
