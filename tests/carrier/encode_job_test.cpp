#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <fstream>
#include <zlib.h>

#include "carrier/carrier_format.h"
#include "carrier/compression.h"
#include "carrier/crc32.h"
#include "carrier/target_name.h"
#include "tests/carrier/job_fixture.h"
#include "tests/support/portable.h"

namespace pt::test {

std::string JobTest::CrcText(const Bytes& data) {
  return "0x" + ValueToHex(Crc32(0, data.data(), data.size()), 4);
}

namespace {

using Lines = std::vector<std::string>;

// The log without the elapsed time, which depends on the clock.
Lines WithoutTime(Lines log) {
  for (auto& line : log) {
    if (line.rfind("Ready in (hh:mm:ss) = ", 0) == 0) line = "Ready in (hh:mm:ss) = ";
  }
  return log;
}

class EncodeJobTest : public JobTest {};

TEST_F(EncodeJobTest, LogOfAPlainPackingRun) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(10000);
  const std::string carrier = Pack("data.txt", data);
  const Lines expected = {
      "Try to encode file:", "-> \"data.txt\"", "", "Open source file",
      "-> File size        : 10.000 bytes", "-> Calculating CRC 32 checksum ...", "",
      "Checksum(s)", "-> Source file CRC32  : " + CrcText(data), "", "Open target file",
      "-> \"data.bmp\"", "", "Encoding process starts", "-> Writing BMP file with",
      "-> 608 x 7 Pixel", "", "Ready in (hh:mm:ss) = "};
  EXPECT_EQ(WithoutTime(ui.log), expected);
  EXPECT_EQ(carrier, dir.Path("data.bmp"));
  EXPECT_EQ(ReadBytes(carrier).size(), 12822u);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  EXPECT_FALSE(ui.busy);
  EXPECT_FALSE(ui.progress.visible);
}

TEST_F(EncodeJobTest, LogOfACompressedTwofishRun) {
  settings.compressionMode = CompressionMode::IfSmaller;
  const Bytes data = MixedData(200000);
  const std::string carrier = Pack("report.doc", data, 2, std::string(40, 'A'));
  ASSERT_FALSE(carrier.empty());
  const Lines log = WithoutTime(ui.log);
  ASSERT_EQ(log.size(), 29u) << Log();
  const Lines head = {"Try to encode file:", "-> \"report.doc\"", "", "Open source file",
                      "-> File size        : 200.000 bytes",
                      "-> Calculating CRC 32 checksum ...", "", "Try to compress sourcefile",
                      "-> Calculating CRC 32 checksum ..."};
  EXPECT_EQ(Lines(log.begin(), log.begin() + 9), head);
  EXPECT_EQ(log[9].rfind("-> Compr. file size : ", 0), 0u);
  EXPECT_EQ(log[10].rfind("-> Savings          : ", 0), 0u);
  EXPECT_EQ(log[10].substr(log[10].size() - 2), " %");
  EXPECT_EQ(log[12], "Checksum(s)");
  EXPECT_EQ(log[13], "-> Source file CRC32  : " + CrcText(data));
  const Bytes c = ReadBytes(carrier);
  EXPECT_EQ(log[14], "-> Compr. file CRC32  : 0x" + ValueToHex(Le32(c, 54 + 348), 4));
  const Lines tail = {"", "Open target file", "-> \"report.bmp\"", "", "Encoding process starts",
                      "-> Writing BMP file with"};
  EXPECT_EQ(Lines(log.begin() + 15, log.begin() + 21), tail);
  EXPECT_EQ(log[21].rfind("-> 608 x ", 0), 0u);
  const Lines key = {"", "Enabling password encryption",
                     "-> CRC Key : 0x" + ValueToHex(KeyCrc16(HexToBytes(std::string(40, 'A'))), 2),
                     "-> TwoFish encryption method", "-> Block cipher mode = 192 bit (medium)", "",
                     "Ready in (hh:mm:ss) = "};
  EXPECT_EQ(Lines(log.begin() + 22, log.end()), key);
  EXPECT_FALSE(Exists(dir.Path("report.doc.pixeltuck")));  // temp file removed
}

TEST_F(EncodeJobTest, NotSensiblyKeepsThePlainPayload) {
  settings.compressionMode = CompressionMode::IfSmaller;
  const Bytes data = NoiseData(5000);
  const std::string carrier = Pack("noise.bin", data);
  EXPECT_TRUE(ui.LogContains("-> Not sensibly"));
  for (const auto& l : ui.log) EXPECT_EQ(l.rfind("-> Compr.", 0), std::string::npos) << l;
  const Bytes c = ReadBytes(carrier);
  EXPECT_EQ(c[54 + 352], 0);  // not marked as gzip
  EXPECT_EQ(c.size(), kBmpHeadersSize + kRowBytes * (1 + 3));
  EXPECT_FALSE(Exists(dir.Path("noise.bin.pixeltuck")));
}

TEST_F(EncodeJobTest, IfSensiblyKeepsAGzipFormOneByteSmaller) {
  // zlib's gzip file of this data is 2075 bytes.
  settings.compressionMode = CompressionMode::IfSmaller;
  Bytes data = NoiseData(2076);
  std::fill(data.end() - 74, data.end(), 0);
  const Bytes c = ReadBytes(Pack("barely.bin", data));
  EXPECT_TRUE(ui.LogContains("-> Compr. file size : 2.075 bytes")) << Log();
  EXPECT_EQ(c[54 + 352], 'Z');
}

TEST_F(EncodeJobTest, AlwaysStoresTheGzipFormEvenWhenLarger) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = NoiseData(5000);
  const std::string carrier = Pack("noise.bin", data);
  const Bytes c = ReadBytes(carrier);
  EXPECT_EQ(c[54 + 352], 'Z');
  EXPECT_GT(Le32(c, 54 + 344), 5000u);
  bool negative = false;
  for (const auto& l : ui.log) negative = negative || l.rfind("-> Savings          : -", 0) == 0;
  EXPECT_TRUE(negative) << Log();
}

TEST_F(EncodeJobTest, ExtensionListDecidesInModeTwo) {
  settings.compressionMode = CompressionMode::UnlessListed;
  const Bytes data = MixedData(20000);
  Pack("archive.ZIP", data);
  EXPECT_FALSE(ui.LogContains("Try to compress sourcefile"));
  Pack("notes.txt", data);
  EXPECT_TRUE(ui.LogContains("Try to compress sourcefile"));
}

TEST_F(EncodeJobTest, EmptyExtensionListShowsTheParserMessageAndCompresses) {
  settings.compressionMode = CompressionMode::UnlessListed;
  settings.compressedExtensions = "";
  Pack("archive.zip", MixedData(20000));
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages[0].text, "CSV_Parser::parseString => Illegal Item Access");
  EXPECT_EQ(ui.messages[0].kind, MsgKind::Plain);
  EXPECT_TRUE(ui.LogContains("Try to compress sourcefile"));
}

TEST_F(EncodeJobTest, EmptySourceFailsWhenCompressionIsTried) {
  settings.compressionMode = CompressionMode::IfSmaller;
  WriteBytes(dir.Path("empty.txt"), {});
  const JobOutcome out = Run(dir.Path("empty.txt"));
  EXPECT_EQ(out.end, JobEnd::Failed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Compression Test failed !\nfile <" + dir.Path("empty.txt") +
                                     ".pixeltuck> could not be written ...");
  EXPECT_EQ(ui.messages[0].kind, MsgKind::Error);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"empty.txt"});
}

TEST_F(EncodeJobTest, EmptySourceWithoutCompressionGivesTheSmallestCarrier) {
  settings.compressionMode = CompressionMode::Never;
  const std::string carrier = Pack("empty.txt", {});
  EXPECT_EQ(ReadBytes(carrier).size(), kLeadingBytes);
  EXPECT_EQ(Unpack(carrier, "empty.txt"), Bytes{});
}

TEST_F(EncodeJobTest, TargetNameRules) {
  settings.compressionMode = CompressionMode::Never;
  using enum TargetNameRule;
  const struct { TargetNameRule rule; const char* source; const char* carrier; } rows[] = {
      {ReplaceLast, "report.final.doc", "report.final.bmp"},
      {ReplaceAll, "report.final.doc", "report.bmp"},
      {Append, "report.final.doc", "report.final.doc.bmp"},
      {Unset, "README", "README.bmp"},
      {ReplaceAll, "README", "README.bmp"},
      {Append, "README", "README..bmp"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.source);
    settings.targetNameRule = r.rule;
    const Bytes data = MixedData(3000, static_cast<std::uint32_t>(r.rule));
    const std::string carrier = Pack(r.source, data);
    EXPECT_EQ(carrier, dir.Path(r.carrier));
    const std::string stored = std::string(r.source) + (std::string(r.source) == "README" ? "." : "");
    EXPECT_EQ(Unpack(carrier, stored), data);
    std::filesystem::remove(carrier);
  }
}

TEST_F(EncodeJobTest, KeyDialogCancelledWritesNothingAndLeavesTheLogEmpty) {
  WriteBytes(dir.Path("a.txt"), MixedData(100));
  const JobOutcome out = Run(dir.Path("a.txt"), 2);
  EXPECT_EQ(out.end, JobEnd::Cancelled);
  ASSERT_EQ(ui.keyRequests.size(), 1u);
  EXPECT_TRUE(ui.keyRequests[0].applyKeyMode);
  EXPECT_TRUE(ui.log.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.txt"});
}

TEST_F(EncodeJobTest, CommandLineKeyServesOneJobOnly) {
  settings.compressionMode = CompressionMode::Never;
  settings.hidePassword = true;
  Pack("a.txt", MixedData(100), 3, "00112233445566778899AABBCCDDEEFF");
  EXPECT_TRUE(state.commandLineKey.empty());
  EXPECT_TRUE(ui.keyRequests.empty());
  ui.keys.push_back(AsciiKey("a typed key!"));
  Pack("b.txt", MixedData(100), 3);
  ASSERT_EQ(ui.keyRequests.size(), 1u);
  EXPECT_TRUE(ui.keyRequests[0].maskInput);
}

TEST_F(EncodeJobTest, SharedEndCopiesTheLogAndShowsTheCarrierOnlyWhenAsked) {
  settings.compressionMode = CompressionMode::Never;
  settings.copyLog = true;
  Pack("a.txt", MixedData(10));
  EXPECT_EQ(ui.clipboardCopies, 1);
  EXPECT_TRUE(ui.previews.empty());
  ui.showCarrier = true;
  Pack("a.txt", MixedData(10));
  EXPECT_EQ(ui.clipboardCopies, 2);
  EXPECT_EQ(ui.previews, std::vector<std::string>{dir.Path("a.bmp")});
}

TEST_F(EncodeJobTest, NoFileEndsTheJobAtOnce) {
  JobRequest request;
  request.settings = settings;
  EXPECT_EQ(RunJob(request, ui).end, JobEnd::NoFile);
  EXPECT_TRUE(ui.log.empty());
}

TEST_F(EncodeJobTest, DebugCopyHoldsThePayloadBytes) {
  settings.compressionMode = CompressionMode::Never;
  state.debugDump = true;
  const Bytes data = MixedData(5000);
  const std::string carrier = Pack("d.txt", data);
  EXPECT_EQ(ReadBytes(carrier + ".debug"), data);
  EXPECT_TRUE(state.debugDump);
}

TEST_F(EncodeJobTest, DebugCopyThatCannotBeMadeIsSwitchedOff) {
  settings.compressionMode = CompressionMode::Never;
  state.debugDump = true;
  WriteBytes(dir.Path("d.bmp.debug"), Bytes{1, 2, 3});  // never replaced
  Pack("d.txt", MixedData(500));
  EXPECT_EQ(ReadBytes(dir.Path("d.bmp.debug")), (Bytes{1, 2, 3}));
  EXPECT_FALSE(state.debugDump);
}

TEST_F(EncodeJobTest, ProgressReachesTheEndAndIsHidden) {
  settings.compressionMode = CompressionMode::Never;
  Pack("p.bin", MixedData(kRowBytes * 300));
  ASSERT_FALSE(ui.progress.positions.empty());
  EXPECT_EQ(*std::max_element(ui.progress.positions.begin(), ui.progress.positions.end()), 100);
  EXPECT_FALSE(ui.progress.visible);
  EXPECT_GT(ui.progress.positions.size(), 50u);
}

// ------------------------------------------------------------- failures

TEST_F(EncodeJobTest, WriteFailureDeletesThePartialCarrierAndReportsNoSuccess) {
  settings.compressionMode = CompressionMode::Never;
  WriteBytes(dir.Path("data.bin"), MixedData(3 << 20));
  WriteBytes(dir.Path("data.bmp"), {9, 9, 9});  // an older carrier of that name
  for (std::int64_t failAt : {std::int64_t{0}, std::int64_t{100}, std::int64_t{kLeadingBytes},
                              std::int64_t{5000}, std::int64_t{2 << 20}}) {
    SCOPED_TRACE(failAt);
    files.FailWritesAfter(failAt);
    const JobOutcome out = Run(dir.Path("data.bin"));
    files.Reset();
    EXPECT_EQ(out.end, JobEnd::Failed);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Error while writing target file");
    EXPECT_EQ(ui.messages.back().kind, MsgKind::Error);
    for (const auto& l : ui.log) EXPECT_EQ(l.rfind("Ready in", 0), std::string::npos);
    EXPECT_EQ(ReadBytes(dir.Path("data.bmp")), (Bytes{9, 9, 9}));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"data.bin", "data.bmp"}));
    EXPECT_FALSE(ui.busy);
    ui.messages.clear();
  }
}

TEST_F(EncodeJobTest, ReadFailureWhilePackingIsReported) {
  // With a gzip stage the copy reads the gzip form (a failing source read is
  // a checksum error, see PackingFailureLog).
  WriteBytes(dir.Path("data.bin"), MixedData(100000));
  const struct {
    CompressionMode mode;
    std::int64_t failAt;
    const char* message;
  } cases[] = {{CompressionMode::IfSmaller, 100000 + 1000, "Error while writing target file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    settings.compressionMode = c.mode;
    ui.messages.clear();
    files.FailReadsAfter(c.failAt);
    const JobOutcome out = Run(dir.Path("data.bin"));
    files.Reset();
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{c.message});
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"data.bin"});
  }
}

// A run that fails tells in its log how far it got: the checksum lines and
// the target come before a target that cannot be created; a source that
// cannot be read fails its checksum, with nothing logged after it.
struct FailureLogCase {
  const char* name;
  CompressionMode compressionMode;
  bool folderUnderTheCarriersName;
  std::int64_t failReadsAfter;  // -1: reads do not fail
  std::vector<std::string> logEnd;  // a line ending in '*' matches by its start
  const char* message;
};

void PrintTo(const FailureLogCase& c, std::ostream* os) { *os << c.name; }

class PackingFailureLog : public JobTest, public ::testing::WithParamInterface<FailureLogCase> {};

TEST_P(PackingFailureLog, TellsWhatHappened) {
  const FailureLogCase& c = GetParam();
  settings.compressionMode = c.compressionMode;
  const Bytes data = MixedData(100000);
  WriteBytes(dir.Path("data.bin"), data);
  if (c.folderUnderTheCarriersName) std::filesystem::create_directory(dir.Path("data.bmp"));
  files.FailReadsAfter(c.failReadsAfter);
  const JobOutcome out = Run(dir.Path("data.bin"));
  files.Reset();
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{c.message});
  ASSERT_GE(ui.log.size(), c.logEnd.size()) << Log();
  const std::size_t from = ui.log.size() - c.logEnd.size();
  for (std::size_t i = 0; i < c.logEnd.size(); ++i) {
    std::string want = c.logEnd[i];
    if (want == "-> Source file CRC32  : ") want += CrcText(data);
    const bool prefix = !want.empty() && want.back() == '*';
    if (prefix) want.pop_back();
    EXPECT_EQ(prefix ? ui.log[from + i].substr(0, want.size()) : ui.log[from + i], want) << Log();
  }
  const std::vector<std::string> left =
      c.folderUnderTheCarriersName ? std::vector<std::string>{"data.bin", "data.bmp"}
                                   : std::vector<std::string>{"data.bin"};
  EXPECT_EQ(dir.Files(), left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackingFailureLog,
    ::testing::Values(
        FailureLogCase{"FolderInOnePass", CompressionMode::Never, true, -1,
                       {"-> Calculating CRC 32 checksum ...", "", "Checksum(s)",
                        "-> Source file CRC32  : ", "", "Open target file", "-> \"data.bmp\""},
                       "Error while creating target file ..."},
        FailureLogCase{"FolderAfterTheGzipStage", CompressionMode::Always, true, -1,
                       {"-> Savings          : *", "", "Checksum(s)", "-> Source file CRC32  : ",
                        "-> Compr. file CRC32  : 0x*", "", "Open target file", "-> \"data.bmp\""},
                       "Error while creating target file ..."},
        FailureLogCase{"ReadErrorInOnePass", CompressionMode::Never, false, 50000,
                       {"-> File size        : 100.000 bytes", "-> Calculating CRC 32 checksum ..."},
                       "CRC 32 checksum error ..."},
        FailureLogCase{"ReadErrorInTheGzipStage", CompressionMode::Always, false, 50000,
                       {"-> Calculating CRC 32 checksum ...", "", "Try to compress sourcefile"},
                       "CRC 32 checksum error ..."}),
    [](const auto& p) { return std::string(p.param.name); });

// A carrier name that cannot be used, or may not replace a file, ends the
// run before any work: no gzip stage, no rows.
struct RefusedNameCase {
  const char* name;
  std::string source;
  TargetNameRule targetNameRule;
  bool carrierExists;
  const char* messageStart;  // nullptr: no message, the log says why
};

void PrintTo(const RefusedNameCase& c, std::ostream* os) { *os << c.name; }

class RefusedBeforeAnyWork : public JobTest, public ::testing::WithParamInterface<RefusedNameCase> {};

TEST_P(RefusedBeforeAnyWork, NothingIsReadOrWritten) {
  const RefusedNameCase& c = GetParam();
  settings.compressionMode = CompressionMode::Always;
  settings.targetNameRule = c.targetNameRule;
  ui.replaceAnswer = MsgAnswer::No;
  WriteBytes(dir.Path(c.source), MixedData(300000));
  const std::string carrier = dir.Path(TargetName(SplitPath(c.source).name, SplitPath(c.source).ext,
                                                  c.targetNameRule));
  if (c.carrierExists) WriteBytes(carrier, {1, 2, 3});
  const JobOutcome out = Run(dir.Path(c.source));
  EXPECT_NE(out.end, JobEnd::Completed);
  EXPECT_TRUE(ui.workPhases.empty()) << "blocks of work done: " << ui.workPhases.size();
  if (c.messageStart == nullptr) {
    EXPECT_TRUE(ui.messages.empty()) << Messages();
    EXPECT_EQ(ui.log.back(), "-> Existing file kept, nothing written");
    EXPECT_EQ(ReadBytes(carrier), (Bytes{1, 2, 3}));
  } else {
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(c.messageStart, 0), 0u) << Messages();
  }
  EXPECT_EQ(dir.Files().size(), c.carrierExists ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBeforeAnyWork,
    ::testing::Values(RefusedNameCase{"ReplaceDeclined", "data.txt", TargetNameRule::ReplaceLast,
                                      true, nullptr},
                      RefusedNameCase{"NameTooLongForTheFolder", std::string(251, 'n') + ".txt",
                                      TargetNameRule::Append, false,
                                      "Error while creating target file ...\nThe name <"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(EncodeJobTest, CommandLineKeyWithoutCipherIsReportedUnused) {
  settings.compressionMode = CompressionMode::Never;
  const std::string carrier = Pack("plain.txt", MixedData(3000), 0, std::string(32, 'A'));
  EXPECT_EQ(ui.log[2], "-> Key not used: no encryption method selected") << Log();
  EXPECT_EQ(Le32(ReadBytes(carrier), 54 + 276), 0u);  // not marked as enciphered
}

TEST_F(EncodeJobTest, CompressionFailureLeavesNoTempFile) {
  settings.compressionMode = CompressionMode::Always;
  WriteBytes(dir.Path("data.bin"), MixedData(100000));
  files.FailReadsAfter(100000 + 1000);  // fails inside the gzip stage
  const JobOutcome out = Run(dir.Path("data.bin"));
  files.Reset();
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"data.bin"});
}

TEST_F(EncodeJobTest, DeflateFailureNamesWhatFailed) {
  settings.compressionMode = CompressionMode::Always;
  WriteBytes(dir.Path("data.bin"), MixedData(100000));
  const struct {
    int zlibCode;
    const char* reason;
  } cases[] = {{Z_MEM_ERROR, "deflate failed: insufficient memory"},
               {Z_STREAM_ERROR, "deflate failed: stream error"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ui.messages.clear();
    DeflateFault fault;
    fault.next = c.zlibCode;
    JobRequest request = CommandLineRequest(dir.Path("data.bin"), 0, settings, files);
    request.deflateFault = &fault;
    const JobOutcome out = RunJob(request, state, ui);
    EXPECT_EQ(out.end, JobEnd::Failed);
    EXPECT_EQ(ui.MessageTexts(),
              std::vector<std::string>{"Compression Test failed !\nfile <" + dir.Path("data.bin") +
                                       ".pixeltuck> could not be written ...\n" + c.reason});
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"data.bin"});
  }
}

TEST_F(EncodeJobTest, MissingSourceReportsTheReadError) {
  settings.compressionMode = CompressionMode::Never;
  const JobOutcome out = Run(dir.Path("gone.txt"));
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_TRUE(ui.LogContains("-> File size        : -1 bytes"));
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Error while reading sourcefile ...\n" +
                                                        dir.Path("gone.txt") + ": no such file"});
}

TEST_F(EncodeJobTest, TargetThatIsTheSourceItselfIsRefused) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(4000);
  WriteBytes(dir.Path("data.txt"), data);
  SecondName(dir.Path("data.txt"), dir.Path("data.bmp"));
  const JobOutcome out = Run(dir.Path("data.txt"));
  EXPECT_EQ(out.end, JobEnd::Failed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("Error while creating target file ...", 0), 0u);
  EXPECT_EQ(ReadBytes(dir.Path("data.txt")), data);
}

TEST_F(EncodeJobTest, InvalidDialogKeyNeverWritesAnUnprotectedCarrier) {
  WriteBytes(dir.Path("a.txt"), MixedData(100));
  ui.keys.push_back(AsciiKey("short"));
  const JobOutcome out = Run(dir.Path("a.txt"), 2);
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace pt::test

namespace pt::test {
namespace {

class EncodeLimits : public JobTest {};

TEST_F(EncodeLimits, SourcesOf2GiBOrMoreAreRefusedBeforeAnythingIsWritten) {
  settings.compressionMode = CompressionMode::Never;
  const std::string big = dir.Path("huge.iso");
  { std::ofstream(big, std::ios::binary).put('x'); }
  std::filesystem::resize_file(big, std::uintmax_t{1} << 31);  // sparse
  const JobOutcome out = Run(big);
  EXPECT_EQ(out.end, JobEnd::Failed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MsgKind::Error);
  EXPECT_NE(ui.messages[0].text.find("2 GiB (2.147.483.648 bytes)"), std::string::npos);
  EXPECT_TRUE(ui.LogContains("-> File size        : 2.147.483.648 bytes"));
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"huge.iso"});
}

TEST_F(EncodeLimits, CommitFailureLeavesNoCarrier) {
  settings.compressionMode = CompressionMode::Never;
  WriteBytes(dir.Path("a.txt"), MixedData(5000));
  files.FailCommits(true);
  const JobOutcome out = Run(dir.Path("a.txt"));
  files.Reset();
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Error while writing target file"});
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.txt"});
}

// Keys typed into the dialog: ASCII keys of every length class, and a hex
// key with lower-case letters, whose bytes follow the program's hex rule
// ("1a" gives 0x3A), not textbook hex.
TEST_F(EncodeLimits, DialogKeysOfEveryLengthRoundTrip) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(4000);
  for (int cipher : {1, 2, 3}) {
    for (std::size_t len : {8u, 16u, 17u, 24u, 25u, 32u}) {
      SCOPED_TRACE(testing::Message() << cipher << " " << len);
      std::string key;
      for (std::size_t i = 0; i < len; ++i) key.push_back(static_cast<char>(' ' + (i * 7) % 94));
      ui.keys.push_back(AsciiKey(key));
      const std::string carrier = Pack("a.txt", data, cipher);
      ui.keys.push_back(AsciiKey(key));
      EXPECT_EQ(Unpack(carrier, "a.txt"), data);
    }
  }
}

TEST_F(EncodeLimits, LowerCaseHexKeyUsesTheProgramsHexRule) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(4000);
  const std::string typed = "1a2b3c4d5e6f7a8b";
  ui.keys.push_back(HexKey(typed));
  const std::string carrier = Pack("h.txt", data, 2);
  const Bytes c = ReadBytes(carrier);
  const std::string bytes = HexToBytes(typed);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x3A);
  EXPECT_EQ(Le16(c, 54 + 280), KeyCrc16(bytes));
  EXPECT_NE(Le16(c, 54 + 280), KeyCrc16(HexToBytes(ToUpperAscii(typed))));
  // The same text typed again opens it.
  ui.keys.push_back(HexKey(typed));
  EXPECT_EQ(Unpack(carrier, "h.txt"), data);
  // On the command line the digits are upper-cased first: other key bytes,
  // which the key check refuses.
  std::filesystem::remove(dir.Path("h.txt"));
  state.commandLineKey = KeyText(ToUpperAscii(typed));
  EXPECT_EQ(Run(carrier).end, JobEnd::Failed);
  EXPECT_FALSE(Exists(dir.Path("h.txt")));
}

}  // namespace
}  // namespace pt::test

namespace pt::test {
namespace {

class SpecialSources : public JobTest {};

#ifndef _WIN32
TEST_F(SpecialSources, DevicesAndPipesAreRefusedWithoutWaiting) {
  // A pipe nobody writes to would block a reader for ever; a device has no
  // end. Both are refused on the opened file, also behind a link.
  settings.compressionMode = CompressionMode::Never;
  ASSERT_EQ(mkfifo(dir.Path("pipe").c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string target;
  } cases[] = {{"zeros.dat", "/dev/zero"}, {"zeros.bmp", "/dev/zero"},
               {"pipe.dat", dir.Path("pipe")}, {"pipe.bmp", dir.Path("pipe")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_symlink(c.target, dir.Path(c.name));
    ui.messages.clear();
    EXPECT_EQ(Run(dir.Path(c.name)).end, JobEnd::Failed);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Error while reading sourcefile ...\n" +
                                                          dir.Path(c.name) +
                                                          ": not a regular file"});
  }
}
#endif

}  // namespace
}  // namespace pt::test
