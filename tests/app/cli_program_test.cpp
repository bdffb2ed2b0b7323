// End-to-end runs of the real console program. Each test copies the program
// into its own folder, so that a configuration file beside it belongs to that
// test alone; standard input is /dev/null (no terminal).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/temp_dir.h"

namespace pt {
namespace {

namespace fs = std::filesystem;

class CliProgramTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    program_ = PathOf("pixeltuck-cli");
    fs::copy_file(PT_CLI_BINARY, program_);
    fs::create_directory(dir_ / "work");
  }

  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };

  static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }

  Result Run(const std::vector<std::string>& args) const {
    std::string cmd = Quote(program_);
    for (const auto& a : args) cmd += " " + Quote(a);
    const std::string outFile = PathOf("stdout.txt");
    const std::string errFile = PathOf("stderr.txt");
    cmd += " </dev/null >" + Quote(outFile) + " 2>" + Quote(errFile);
    Result r;
    const int raw = std::system(cmd.c_str());
    if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    r.out = Read(outFile);
    r.err = Read(errFile);
    return r;
  }

  std::string Work(const std::string& name) const { return PathOf("work/" + name); }

  std::string program_;
};

std::string SampleBytes(std::size_t n) {
  std::string s;
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245U + 12345U;
    s.push_back(static_cast<char>(x >> 24));
  }
  return s;
}

TEST_F(CliProgramTest, HelpExitsZero) {
  for (const char* arg : {"-h", "--help"}) {
    const Result r = Run({arg});
    EXPECT_EQ(r.status, 0) << arg;
    EXPECT_EQ(r.out.rfind("Usage: pixeltuck-cli", 0), 0U) << r.out;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(CliProgramTest, UnusableArgumentsExitTwo) {
  const std::string file = Write("work/a.txt", "abc");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"--bogus", file}, {"-K:0123", file}, {Work("missing.txt")}, {"-N", "-S"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliProgramTest, PackAndUnpackWithoutCipher) {
  const std::string content = SampleBytes(10000);
  const std::string file = Write("work/data.bin", content);
  Result r = Run({"-N", "-S", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Try to encode file:"), std::string::npos);
  const std::string carrier = Work("data.bmp");
  ASSERT_TRUE(fs::exists(carrier));
  EXPECT_EQ(Read(carrier).substr(0, 2), "BM");

  fs::remove(file);
  r = Run({carrier});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Try to decode file:"), std::string::npos);
  EXPECT_EQ(Read(file), content);
}

TEST_F(CliProgramTest, MissingKeyWithoutTerminalExitsOne) {
  const std::string file = Write("work/data.bin", "abc");
  const Result r = Run({"-T", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("A key is needed"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Work("data.bmp")));
}

struct CipherCase {
  const char* name;
  const char* flag;
};

class CliCipherTest : public CliProgramTest,
                      public ::testing::WithParamInterface<CipherCase> {};

// Compression is switched off by the settings beside the program, so that an
// unenciphered carrier would hold the plain text.
TEST_P(CliCipherTest, KeyedRoundTrip) {
  Write("pixeltuck.cfg", "2 0 -1 0 0 0 1 0 1 zip 1");
  std::string content;
  for (int i = 0; i < 200; ++i) content += "plain text marker line " + std::to_string(i) + "\n";
  const std::string file = Write("work/plain.txt", content);
  const std::string key = "-K:00112233445566778899aabbccddeeff";

  Result r = Run({GetParam().flag, key, file});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string carrier = Read(Work("plain.bmp"));
  EXPECT_EQ(carrier.find("plain text marker"), std::string::npos);

  fs::remove(file);
  r = Run({key, Work("plain.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), content);

  // A different -K: key is not checked up front, so the restored bytes fail
  // their checksum.
  fs::remove(file);
  r = Run({"-K:ffeeddccbbaa99887766554433221100", Work("plain.bmp")});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(Read(file), content);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CliCipherTest,
                         ::testing::Values(CipherCase{"TwoFish", "-T"},
                                           CipherCase{"Rijndael", "-r"},
                                           CipherCase{"BlowFish", "-B"}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(CliProgramTest, NoneCarrierHoldsPlainText) {
  // The counterpart of the keyed test: without a cipher the marker is there.
  Write("pixeltuck.cfg", "2 0 -1 0 0 0 1 0 1 zip 1");
  const std::string file = Write("work/plain.txt", "plain text marker");
  ASSERT_EQ(Run({"-N", file}).status, 0);
  EXPECT_NE(Read(Work("plain.bmp")).find("plain text marker"), std::string::npos);
}

TEST_F(CliProgramTest, SettingsBesideProgramAreUsedAndKept) {
  // Start-up cipher None and rule 3 (append .bmp).
  const std::string cfg = Write("pixeltuck.cfg", "0 1 -1 0 0 0 1 0 1 zip 3");
  const std::string file = Write("work/report.doc", "report");
  const Result r = Run({file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Work("report.doc.bmp")));
  EXPECT_EQ(Read(cfg), "0 1 -1 0 0 0 1 0 1 zip 3");
}

TEST_F(CliProgramTest, NoSettingsFileIsCreated) {
  const std::string file = Write("work/a.txt", "abc");
  ASSERT_EQ(Run({"-N", file}).status, 0);
  EXPECT_FALSE(fs::exists(PathOf("pixeltuck.cfg")));
  EXPECT_FALSE(fs::exists(PathOf("pixeltuck-cli.cfg")));
}

TEST_F(CliProgramTest, NonCarrierBmpExitsOne) {
  const std::string bmp = Write("work/picture.bmp", SampleBytes(3000));
  const Result r = Run({bmp});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());
}

}  // namespace
}  // namespace pt
