// Carriers built by hand to attack the unpacking job: hostile stored names,
// sizes, widths, lengths, truncations, damaged and oversized gzip payloads,
// a wrong key that passes the key check. Whatever the carrier, the job ends
// with a clear message or a checksum error, writes nothing outside the
// carrier's folder and finishes quickly.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "crypto/cipher.h"
#include "tests/stress/stress_support.h"
#include "tests/support/portable.h"

namespace pt::stress {
namespace {

namespace fs = std::filesystem;

const std::string kNoCarrier = "Sourcefile is no pixelTuck file ... ";
const std::string kNegative = "Sourcefile is damaged: the stored file size is negative ...";
const std::string kNoNameEnd = "Sourcefile is damaged: the stored file name has no end ...";
const std::string kDecompressError = "Error while decompressing file ...";
const std::string kDecryptError = "Error while decrypting !!!";
const std::string kChecksumLine = "-> Checksum ERROR !!!";

std::string Unusable(const std::string& stored) {
  return "The stored file name <" + stored + "> cannot be used ...\nNothing was written.";
}
std::string IsThePicture(const std::string& stored) {
  return "Error while creating target file :\n<" + stored +
         ">...\nThe stored name is the name of the picture itself.";
}
std::string CannotCreate(const std::string& stored) {
  return "Error while creating target file :\n<" + stored + ">...";
}

// How a row must end.
enum class End {
  NoCarrier,  // warning box, log cleared, Failed
  Failed,     // error box with the row's message, Failed
  Cancelled,  // the user stopped at a question
  Checksum,   // "-> Checksum ERROR !!!" logged, checksumError set
  Short,      // a carrier without final check ends early: said in the log
  Clean,      // Completed without error: names reduced into the folder,
              // and what the reader rightly accepts
};

struct HostileRow {
  HostileRow(std::string n, Bytes c, End e, std::string m, std::vector<std::string> files,
             std::string r, std::string line, std::int64_t size = -1)
      : name(std::move(n)), carrier(std::move(c)), end(e), message(std::move(m)),
        newFiles(std::move(files)), restored(std::move(r)), logLine(std::move(line)),
        restoredSize(size) {}

  std::string name;
  Bytes carrier;
  End end;
  std::string message;  // the last message box ("" when none may show)
  // Files that may appear in the carrier's folder; with Clean, `restored`
  // must hold the original data.
  std::vector<std::string> newFiles;
  std::string restored;
  std::string logLine;           // a line the log must hold
  std::function<void()> setup;   // extra files in the tree before the run
  std::vector<std::string> changes;  // existing entries the run may replace
  bool messagePrefixOnly = false;
  std::int64_t restoredSize = -1;  // size the restored file must have
};

class HostileCarriers : public StressTest {
 protected:
  void SetUp() override { settings.compressionMode = CompressionMode::Never; }

  void ResetTree() {
    for (const auto& e : fs::directory_iterator(root())) {
      if (e.path() != box()) fs::remove_all(e.path());
    }
    fs::remove_all(box());
    fs::create_directories(box());
  }

  void Check(const HostileRow& row) {
    SCOPED_TRACE(row.name);
    ResetTree();
    if (row.setup) row.setup();
    WriteBytes(Box("c.bmp"), row.carrier);
    const Snapshot before = TakeSnapshot(root());
    const JobOutcome out = Run(Box("c.bmp"));
    const Snapshot after = TakeSnapshot(root());

    EXPECT_LT(lastSeconds(), 10.0) << "the job took too long";
    EXPECT_FALSE(AnyPartialFile(after, &before));
    EXPECT_FALSE(ui().busy);
    EXPECT_EQ(ReadBytes(Box("c.bmp")), row.carrier) << "the carrier itself was changed";
    // Nothing outside the folder, nothing inside but the allowed files.
    for (const auto& [path, entry] : before) {
      const bool mayChange =
          std::find(row.changes.begin(), row.changes.end(), path) != row.changes.end();
      const auto it = after.find(path);
      if (!mayChange) {
        EXPECT_TRUE(it != after.end() && it->second == entry) << path << " changed or gone";
      }
    }
    for (const auto& [path, entry] : after) {
      if (before.count(path) != 0) continue;
      const bool allowed = std::any_of(row.newFiles.begin(), row.newFiles.end(),
                                       [&](const std::string& n) { return path == "box/" + n; });
      EXPECT_TRUE(allowed) << "unexpected new entry " << path;
    }

    if (row.message.empty()) {
      EXPECT_TRUE(ui().messages.empty()) << Messages();
    } else if (row.messagePrefixOnly) {
      EXPECT_EQ(LastMessage().rfind(row.message, 0), 0u) << Messages();
    } else {
      EXPECT_EQ(LastMessage(), row.message) << Messages();
    }
    if (!row.logLine.empty()) {
      EXPECT_TRUE(ui().LogContains(row.logLine)) << Log();
    }
    if (row.end != End::Clean) {
      EXPECT_FALSE(out.end == JobEnd::Completed && !out.checksumError) << Log();
      EXPECT_FALSE(ReadyLineLogged() && !out.checksumError) << Log();
    }
    switch (row.end) {
      case End::NoCarrier:
        EXPECT_EQ(out.end, JobEnd::Failed);
        EXPECT_TRUE(ui().log.empty()) << Log();
        ASSERT_FALSE(ui().messages.empty());
        EXPECT_EQ(ui().messages.back().kind, MsgKind::Warning);
        break;
      case End::Failed:
        EXPECT_EQ(out.end, JobEnd::Failed);
        EXPECT_FALSE(out.checksumError);
        EXPECT_FALSE(ReadyLineLogged()) << Log();
        break;
      case End::Cancelled:
        EXPECT_EQ(out.end, JobEnd::Cancelled);
        EXPECT_TRUE(ui().log.empty()) << Log();
        break;
      case End::Checksum:
        EXPECT_TRUE(out.checksumError) << Log();
        EXPECT_TRUE(ui().LogContains(kChecksumLine)) << Log();
        break;
      case End::Short:
        EXPECT_TRUE(out.checksumError) << Log();
        EXPECT_TRUE(std::any_of(ui().log.begin(), ui().log.end(), [](const std::string& l) {
          return l.rfind("-> Carrier ends early: ", 0) == 0;
        })) << Log();
        break;
      case End::Clean:
        EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
        EXPECT_FALSE(out.checksumError) << Log();
        break;
    }
    if (!row.restored.empty()) {
      ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(Box(row.restored)))) << row.restored;
      const Bytes restored = ReadBytes(Box(row.restored));
      if (row.restoredSize >= 0) {
        // A cut payload restores the bytes that are there, nothing else.
        EXPECT_EQ(static_cast<std::int64_t>(restored.size()), row.restoredSize);
        const std::size_t common = std::min(restored.size(), data.size());
        EXPECT_TRUE(std::equal(restored.begin(), restored.begin() + static_cast<std::ptrdiff_t>(common),
                               data.begin()));
      } else if (row.end == End::Clean) {
        EXPECT_EQ(restored, data);
      }
      EXPECT_EQ(out.outputPath, Box(row.restored));
    }
  }

  // A plain carrier of data stored under `stored`.
  Bytes Named(const std::string& stored) const {
    return HandMadeCarrier(PlainHeader(stored, data), data);
  }
  // A gzip carrier whose header sizes and checksums fit gz, so it passes
  // the checksum of the gzip form; FileSize says fileSize.
  Bytes WithGzip(const Bytes& gz, std::int32_t fileSize) const {
    CarrierHeader h = GzipHeader("x.txt", data, gz);
    h.FileSize = fileSize;
    return HandMadeCarrier(h, gz);
  }

  const Bytes data = MixedData(5000, 41);
};

Bytes Cut(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

void SetWidth(Bytes& b, std::int32_t w) {
  const auto u = static_cast<std::uint32_t>(w);
  for (int i = 0; i < 4; ++i) b[18 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
}

TEST_F(HostileCarriers, StoredNames) {
  const std::string reduced = "-> Stored path reduced to \"x.txt\"";
  const std::string absolute = Root("abs.txt");
  std::vector<HostileRow> rows = {
      // Only the last component is kept: the file lands in the folder.
      {"parent folder", Named("../x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
      {"many parents", Named("../../../../../../../../tmp/x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
      {"absolute path", Named(absolute), End::Clean, "", {"abs.txt"}, "abs.txt",
       "-> Stored path reduced to \"abs.txt\""},
      {"backslashes", Named("sub\\dir\\x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
      {"backslash parents", Named("..\\..\\x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
      {"drive and backslash", Named("C:\\x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
#ifdef _WIN32
      {"drive letter", Named("C:x.txt"), End::Clean, "", {"x.txt"}, "x.txt", reduced},
#else
      // ':' is an ordinary character in Linux names: the name stays whole
      // and names a file inside the folder.
      {"drive letter", Named("C:x.txt"), End::Clean, "", {"C:x.txt"}, "C:x.txt", ""},
#endif
      // Names that name no file are refused.
      {"folder only", Named("dir/"), End::Failed, Unusable("dir/"), {}, "", ""},
      {"dot dot", Named(".."), End::Failed, Unusable(".."), {}, "", ""},
      {"dot", Named("."), End::Failed, Unusable("."), {}, "", ""},
      {"empty", Named(""), End::Failed, Unusable(""), {}, "", ""},
      {"parent with slash", Named("../"), End::Failed, Unusable("../"), {}, "", ""},
      {"ends in dot dot", Named("a/.."), End::Failed, Unusable("a/.."), {}, "", ""},
      // Control characters.
      {"control 0x01", Named("bad\x01.txt"), End::Failed, Unusable("bad\x01.txt"), {}, "", ""},
      {"line feed", Named("new\nline.txt"), End::Failed, Unusable("new\nline.txt"), {}, "", ""},
      {"carriage return", Named("x.txt\r"), End::Failed, Unusable("x.txt\r"), {}, "", ""},
      {"tab", Named("tab\t.txt"), End::Failed, Unusable("tab\t.txt"), {}, "", ""},
      {"escape sequence", Named("\x1b[2J.txt"), End::Failed, Unusable("\x1b[2J.txt"), {}, "", ""},
      {"delete", Named("del\x7f.txt"), End::Failed, Unusable("del\x7f.txt"), {}, "", ""},
      // The carrier's own name, directly or through a path or a link.
      {"own name", Named("c.bmp"), End::Failed, IsThePicture("c.bmp"), {}, "", ""},
      {"own name through a path", Named("../box/c.bmp"), End::Failed, IsThePicture("../box/c.bmp"), {}, "", ""},
      {"own name, gzip payload", HandMadeCarrier(GzipHeader("c.bmp", data, Gzip(data)), Gzip(data)),
       End::Failed, IsThePicture("c.bmp"), {}, "", ""},
  };
  // 256 name bytes without a terminator.
  {
    CarrierHeader h = PlainHeader("x", data);
    std::memset(h.FileName, 'n', sizeof h.FileName);
    rows.push_back({"unterminated name", HandMadeCarrier(h, data), End::Failed, kNoNameEnd, {}, "", ""});
  }
  // A link in the folder that points to the carrier.
  HostileRow link{"link to the carrier", Named("link.txt"), End::Failed, IsThePicture("link.txt"), {}, "", ""};
  link.setup = [this, carrier = link.carrier] {
    WriteBytes(Box("c.bmp"), carrier);  // a hard link needs the file first
    test::SecondName(Box("c.bmp"), Box("link.txt"));
  };
  rows.push_back(link);
  // A link named like the stored file, pointing out of the folder: the
  // restored file replaces the link, the file outside stays as it was.
  HostileRow outLink{"link out of the folder", Named("out.txt"), End::Clean, "", {}, "out.txt", ""};
  outLink.setup = [this] {
    WriteBytes(Root("outside.txt"), {'k', 'e', 'e', 'p'});
    test::SecondName(Root("outside.txt"), Box("out.txt"));
  };
  outLink.changes = {"box/out.txt"};
  rows.push_back(outLink);
  // A folder of the stored name, in the folder or behind a link.
  HostileRow dir{"folder of that name", Named("d.txt"), End::Failed, CannotCreate("d.txt"), {}, "", ""};
  dir.setup = [this] { fs::create_directory(Box("d.txt")); };
  rows.push_back(dir);
  HostileRow dirLink{"link to a folder outside", Named("dl.txt"), End::Failed, CannotCreate("dl.txt"), {}, "", ""};
  dirLink.setup = [this] {
    fs::create_directory(Root("outdir"));
    fs::create_symlink(Root("outdir"), Box("dl.txt"));
  };
  if (test::kCanMakeSymlinks) rows.push_back(dirLink);  // no hard links to folders

  for (const HostileRow& row : rows) Check(row);
  // Nothing escaped into the parent folder.
  EXPECT_FALSE(fs::exists(Root("x.txt")));
  EXPECT_FALSE(fs::exists(absolute));
}

TEST_F(HostileCarriers, SizesWidthsAndLengths) {
  const Bytes gz = Gzip(data);
  auto withHeader = [this](auto change) {
    CarrierHeader h = PlainHeader("x.txt", data);
    change(h);
    return HandMadeCarrier(h, data);
  };
  const Bytes good = Named("x.txt");
  std::vector<HostileRow> rows = {
      {"file size -1", withHeader([](CarrierHeader& h) { h.FileSize = -1; }), End::Failed, kNegative, {}, "", ""},
      {"file size INT32_MIN", withHeader([](CarrierHeader& h) { h.FileSize = INT32_MIN; }), End::Failed,
       kNegative, {}, "", ""},
      {"gzip size -1", [&] { CarrierHeader h = GzipHeader("x.txt", data, gz); h.CompressedSize = -1;
                             return HandMadeCarrier(h, gz); }(), End::Failed, kNegative, {}, "", ""},
      {"gzip size INT32_MIN", [&] { CarrierHeader h = GzipHeader("x.txt", data, gz); h.CompressedSize = INT32_MIN;
                                    return HandMadeCarrier(h, gz); }(), End::Failed, kNegative, {}, "", ""},
      // Larger than the payload: the rows present are written, the check fails.
      {"file size INT32_MAX", withHeader([](CarrierHeader& h) { h.FileSize = INT32_MAX; }), End::Checksum, "",
       {"x.txt"}, "x.txt", "", 3 * kRowBytes},
      {"file size 0", withHeader([](CarrierHeader& h) { h.FileSize = 0; }), End::Checksum, "", {"x.txt"},
       "x.txt", "", 0},
      // The copy takes every row into the gzip form, which then fails its
      // checksum; the gzip file stays for the user, nothing is restored.
      {"gzip size INT32_MAX", [&] { CarrierHeader h = GzipHeader("x.txt", data, gz); h.CompressedSize = INT32_MAX;
                                    return HandMadeCarrier(h, gz); }(), End::Checksum, "", {"x.txt.pixeltuck"}, "", ""},
      // Gunzip stops at the stored file size.
      {"file size below the gzip output", WithGzip(gz, 10), End::Failed, kDecompressError,
       {"x.txt.pixeltuck"}, "", ""},
  };
  for (std::int32_t w : {0, 1, 599, 601, 607, 609, 1216, -kOldCarrierWidth, -kCarrierWidth, INT32_MAX, INT32_MIN}) {
    Bytes b = good;
    SetWidth(b, w);
    rows.push_back({"width " + std::to_string(w), b, End::NoCarrier, kNoCarrier, {}, "", ""});
  }
  for (std::size_t n : {0u, 53u, 54u, 1853u}) {
    rows.push_back({"file of " + std::to_string(n) + " bytes", Cut(good, n), End::NoCarrier, kNoCarrier, {}, "", ""});
  }
  // The header block alone passes the carrier test; nothing follows.
  rows.push_back({"header block only", Cut(good, kHeaderReadSize), End::Checksum, "", {"x.txt"}, "x.txt", "", 0});
  rows.push_back({"header row cut in its filler", Cut(good, 1877), End::Checksum, "", {"x.txt"}, "x.txt", "", 0});
  // The reader ignores the rest of the BMP headers.
  {
    Bytes b = good;
    b[0] = 'X';
    b[28] = 8;                                     // bits per pixel
    for (int i = 22; i < 26; ++i) b[static_cast<std::size_t>(i)] = 0xFF;  // height -1
    for (int i = 10; i < 14; ++i) b[static_cast<std::size_t>(i)] = 0x7F;  // pixel offset
    rows.push_back({"other BMP fields nonsense", b, End::Clean, "", {"x.txt"}, "x.txt", ""});
  }
  for (const HostileRow& row : rows) Check(row);
}

TEST_F(HostileCarriers, TruncatedPayloads) {
  const Bytes good = Named("x.txt");  // 5000 bytes: rows of 1824, 1824, 1352
  const Bytes gz = Gzip(data);
  const Bytes gzipCarrier = HandMadeCarrier(GzipHeader("x.txt", data, gz), gz);
  std::vector<HostileRow> rows;
  for (std::size_t payload : {std::size_t{0}, std::size_t{1}, kRowBytes - 1, kRowBytes, kRowBytes + 1,
                              kRowBytes * 2 + 777, std::size_t{4999}}) {
    rows.push_back({"plain cut after " + std::to_string(payload) + " payload bytes", Cut(good, kLeadingBytes + payload),
                    End::Checksum, "", {"x.txt"}, "x.txt", "",
                    static_cast<std::int64_t>(payload)});
  }
  // Only the zero filler of the last row is missing: the file is whole.
  rows.push_back({"plain cut in the filler", Cut(good, kLeadingBytes + 5001), End::Clean, "", {"x.txt"}, "x.txt", ""});
  rows.push_back({"gzip form cut in half", Cut(gzipCarrier, kLeadingBytes + gz.size() / 2), End::Checksum, "",
                  {"x.txt.pixeltuck"}, "", ""});
  rows.push_back({"gzip form cut to nothing", Cut(gzipCarrier, kLeadingBytes), End::Checksum, "", {"x.txt.pixeltuck"}, "", ""});
  // 600-pixel carriers carry no final check (older writers): a cut one
  // gives a shorter file, and the log says the carrier ended early.
  rows.push_back({"600 pixels cut mid-row",
                  Cut(HandMadeCarrier(PlainHeader("x.txt", data), data, kOldCarrierWidth), kBmpHeadersSize + kOldRowBytes + kOldRowBytes + 5), End::Short, "",
                  {"x.txt"}, "x.txt", "", 1805});
  for (const HostileRow& row : rows) Check(row);

  // A Twofish carrier cut inside a cipher block: the short row cannot be
  // deciphered whole, which the job says, and the check fails.
  settings.compressionMode = CompressionMode::Never;
  const std::string carrier = Pack("tf.txt", data, 2, "00112233445566778899AABBCCDDEEFF");
  const Bytes tf = ReadBytes(carrier);
  HostileRow row{"Twofish cut inside a block", Cut(tf, kLeadingBytes + kRowBytes + 100), End::Checksum, kDecryptError,
                 {"tf.txt"}, "tf.txt", ""};
  state.commandLineKey = KeyText("00112233445566778899AABBCCDDEEFF");
  Check(row);
  EXPECT_TRUE(state.commandLineKey.empty());
  // The whole blocks come back; the 4 bytes of the broken block stay as read.
  const Bytes restored = ReadBytes(Box("tf.txt"));
  ASSERT_EQ(restored.size(), kRowBytes + 100u);
  EXPECT_TRUE(std::equal(restored.begin(), restored.begin() + kRowBytes + 96, data.begin()));
  EXPECT_FALSE(std::equal(restored.begin() + kRowBytes + 96, restored.end(), data.begin() + kRowBytes + 96));
}

TEST_F(HostileCarriers, DamagedAndOversizedGzip) {
  const Bytes gz = Gzip(data);
  const auto fileSize = static_cast<std::int32_t>(data.size());
  Bytes flipped = gz;
  for (std::size_t i = 20; i < 40; ++i) flipped[i] ^= 0x5A;
  Bytes badTrailerCrc = gz;
  badTrailerCrc[gz.size() - 8] ^= 0x01;
  Bytes badTrailerSize = gz;
  badTrailerSize[gz.size() - 4] ^= 0x01;
  Bytes notGzip = NoiseData(8000, 5);  // zlib passes non-gzip bytes through as they are
  // Many MiB of zeros in a few KiB: the stored size stops it early.
  const Bytes bomb = GzipOfZeros(std::size_t{64} << 20);
  ASSERT_LT(bomb.size(), 200000u);
  const std::vector<std::string> temp{"x.txt.pixeltuck"};
  const std::vector<HostileRow> rows = {
      {"deflate data altered", WithGzip(flipped, fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"cut in half", WithGzip(Cut(gz, gz.size() / 2), fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"gzip header only", WithGzip(Cut(gz, 10), fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"trailer CRC wrong", WithGzip(badTrailerCrc, fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"trailer size wrong", WithGzip(badTrailerSize, fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"not gzip, longer than the file size", WithGzip(notGzip, fileSize), End::Failed, kDecompressError, temp, "", ""},
      {"bomb, small file size", WithGzip(bomb, 1000), End::Failed, kDecompressError, temp, "", ""},
      {"bomb, file size 0", WithGzip(bomb, 0), End::Failed, kDecompressError, temp, "", ""},
      // Control: the undamaged form restores the file.
      {"undamaged gzip", WithGzip(gz, fileSize), End::Clean, "", {"x.txt"}, "x.txt", ""},
  };
  for (const HostileRow& row : rows) Check(row);
}

TEST_F(HostileCarriers, VersionsAndCiphers) {
  auto withHeader = [this](auto change) {
    CarrierHeader h = PlainHeader("x.txt", data);
    change(h);
    return HandMadeCarrier(h, data);
  };
  HostileRow newer{"newer version, aborted", withHeader([](CarrierHeader& h) { std::memcpy(h.Version, "99.9", 5); }),
                   End::Cancelled, "Warning !!!\n", {}, "", ""};
  newer.messagePrefixOnly = true;
  HostileRow unterminated{"version without terminator",
                          withHeader([](CarrierHeader& h) { std::memset(h.Version, 0xFF, sizeof h.Version); }),
                          End::Clean, "", {"x.txt"}, "x.txt", ""};
  // An unknown cipher id with a key check of 0 takes any key (XOR method);
  // the result fails the final check.
  HostileRow xorRow{"unknown cipher, no key check", withHeader([](CarrierHeader& h) {
                      h.Encrypted = 1;
                      h.CipherId = 'X';
                      h.KeyCrc = 0;
                    }),
                    End::Checksum, "", {"x.txt"}, "x.txt", "-> XOR decryption method"};
  for (const HostileRow& row : {newer, unterminated}) Check(row);
  prepareUi = [](ScriptedUi& ui) { ui.keys.push_back(test::AsciiKey("anything1")); };
  Check(xorRow);
}

// A wrong key whose 16-bit check value equals the stored one gets past the
// key check; the checksums must still catch it.
TEST_F(HostileCarriers, WrongKeyThatPassesTheKeyCheck) {
  const std::uint64_t seed = TestSeed();
  std::mt19937_64 rng(seed);
  const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#%&*+-=?@";
  auto randomKey = [&]() {
    std::string k(8 + rng() % 9, ' ');
    for (char& c : k) c = alphabet[rng() % alphabet.size()];
    return k;
  };
  const struct {
    const char* name;
    int cipherIndex;
    bool gzip;
  } cases[] = {{"Blowfish", 1, false}, {"Twofish", 2, false}, {"Rijndael", 3, false},
               {"Twofish over gzip", 2, true}, {"Blowfish over gzip", 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings.compressionMode = c.gzip ? CompressionMode::Always : CompressionMode::Never;
    const std::string rightKey = randomKey();
    ResetTree();
    prepareUi = [&](ScriptedUi& ui) { ui.keys.push_back(test::AsciiKey(rightKey)); };
    const Bytes carrier = ReadBytes(Pack("x.txt", data, c.cipherIndex));
    ASSERT_FALSE(carrier.empty());
    const std::uint16_t stored = static_cast<std::uint16_t>(carrier[54 + header_offset::KeyCrc] |
                                                            (carrier[54 + header_offset::KeyCrc + 1] << 8));
    ASSERT_EQ(stored, KeyCrc16(rightKey));
    std::string wrong;
    for (int tries = 0; tries < 5000000 && wrong.empty(); ++tries) {
      const std::string k = randomKey();
      if (k != rightKey && KeyCrc16(k) == stored) wrong = k;
    }
    ASSERT_FALSE(wrong.empty()) << "no key with check value " << stored;
    std::cout << "[ key      ] " << c.name << ": right \"" << rightKey << "\", wrong \"" << wrong << "\"\n";

    HostileRow row{std::string("wrong key, ") + c.name, carrier, End::Checksum, "", {"x.txt"}, "x.txt", ""};
    if (c.gzip) {
      // The gzip form fails its checksum; nothing is gunzipped.
      row.newFiles = {"x.txt.pixeltuck"};
      row.restored = "";
    }
    prepareUi = [&](ScriptedUi& ui) { ui.keys.push_back(test::AsciiKey(wrong)); };
    Check(row);
    EXPECT_TRUE(ui().LogContains("-> Password is required...")) << Log();
    EXPECT_EQ(ui().keyRequests.size(), 1u);
    if (!c.gzip) {
      EXPECT_NE(ReadBytes(Box("x.txt")), data);
    }
  }
}

TEST_F(HostileCarriers, LongestStoredNameIsRestored) {
  // 255 characters: the longest name the format stores and the file
  // system takes.
  const std::string name = std::string(251, 'n') + ".txt";
  ASSERT_EQ(name.size(), 255u);
  Check(HostileRow{"255-character name", Named(name), End::Clean, "", {name}, name, ""});
}

}  // namespace
}  // namespace pt::stress
