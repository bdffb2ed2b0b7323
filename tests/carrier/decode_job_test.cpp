#include <gtest/gtest.h>

#include <cstring>

#include "carrier/carrier_format.h"
#include "carrier/crc32.h"
#include "crypto/xor_method.h"
#include "tests/carrier/job_fixture.h"

namespace pt::test {
namespace {

// A Blowfish carrier whose header has a key-mixing area set: its payload is
// enciphered with the key mixed into that area.
Bytes MixedKeyBlowfishCarrier(const std::string& name, const Bytes& data, const std::string& key,
                              std::uint16_t keyCrc, std::uint8_t cipherId,
                              std::int32_t width = kCarrierWidth) {
  std::uint8_t area[56];
  for (std::size_t i = 0; i < 56; ++i) area[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const auto mixed = MixBlowfishKey(key, area);
  CBlowFish bf;
  bf.SetKey(mixed.data(), mixed.size());
  Bytes payload = data;
  payload.resize(CBlowFish::PaddedLength(data.size()), 0);
  bf.EncryptBuffer(payload.data(), payload.data(), data.size());
  CarrierHeader h = PlainHeader(name, data);
  h.Encrypted = 1;
  h.CipherId = cipherId;
  h.KeyCrc = keyCrc;
  std::memcpy(h.KeyMix, area, 56);
  return HandMadeCarrier(h, payload, width);
}

class DecodeJobTest : public JobTest {
 protected:
  void SetUp() override { settings.compressionMode = CompressionMode::Never; }
  std::string Lines() const { return Log(); }
  bool NoReadyLine() const {
    for (const auto& l : ui.log) {
      if (l.rfind("Ready in", 0) == 0) return false;
    }
    return true;
  }
};

// ------------------------------------------------------------ round trips

TEST_F(DecodeJobTest, RoundTripsOfBoundarySizesInEveryCompressionMode) {
  using enum CompressionMode;
  for (CompressionMode mode : {Never, IfSmaller, UnlessListed, Always}) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, kRowBytes - 1, kRowBytes, kRowBytes + 1,
                              std::size_t{10000}}) {
      // empty sources cannot be gzipped
      if (size == 0 && mode != Never && mode != UnlessListed) continue;
      SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << " size " << size);
      settings.compressionMode = mode;
      settings.compressedExtensions = "bin";  // UnlessListed stores .bin as it is
      const Bytes data = MixedData(size, static_cast<std::uint32_t>(size + 1));
      const std::string carrier = Pack("f.bin", data);
      ASSERT_FALSE(carrier.empty()) << Messages();
      const Bytes c = ReadBytes(carrier);
      const bool gz = c[54 + 352] == 'Z';
      const std::size_t payload = gz ? Le32(c, 54 + 344) : size;
      EXPECT_EQ(c.size(), kBmpHeadersSize + kRowBytes * (1 + (payload + kRowBytes - 1) / kRowBytes));
      EXPECT_EQ(Unpack(carrier, "f.bin"), data);
    }
  }
}

TEST_F(DecodeJobTest, RoundTripAtEveryCompressionLevel) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(50000);
  for (int level : {-9, -1, 0, 1, 5, 9}) {
    SCOPED_TRACE(level);
    settings.compressionLevel = level;
    const std::string carrier = Pack("lv.dat", data);
    EXPECT_EQ(Unpack(carrier, "lv.dat"), data);
  }
}

TEST_F(DecodeJobTest, LargeMixedFileRoundTrip) {
  settings.compressionMode = CompressionMode::IfSmaller;
  const Bytes data = MixedData(64u << 20, 99);
  const std::string carrier = Pack("big.dat", data, 2, "000102030405060708090A0B0C0D0E0F");
  EXPECT_EQ(Unpack(carrier, "big.dat", "000102030405060708090A0B0C0D0E0F"), data);
}

TEST_F(DecodeJobTest, EveryCipherAndKeyLengthRoundTrips) {
  const Bytes data = MixedData(7777);
  for (int cipher : {1, 2, 3}) {
    for (std::size_t keyLen : {8u, 16u, 17u, 24u, 25u, 32u}) {
      SCOPED_TRACE(testing::Message() << "cipher " << cipher << " key " << keyLen);
      std::string hex;
      for (std::size_t i = 0; i < keyLen; ++i) hex += ByteToHex(static_cast<std::uint8_t>(i * 37 + 5));
      const std::string carrier = Pack("k.txt", data, cipher, hex);
      const Bytes c = ReadBytes(carrier);
      EXPECT_EQ(c[54 + 282], std::string("BTR")[static_cast<std::size_t>(cipher - 1)]);
      EXPECT_EQ(Le32(c, 54 + 276), 1u);
      // Typed into the dialog instead: checked against the stored key CRC.
      ui.keys.push_back(HexKey(hex));
      EXPECT_EQ(Unpack(carrier, "k.txt"), data);
      EXPECT_TRUE(ui.messages.empty()) << Messages();
    }
  }
}

TEST_F(DecodeJobTest, DecodeLogOfATwofishCarrier) {
  const Bytes data = MixedData(3000);
  const std::string carrier = Pack("t.txt", data, 2, "00112233445566778899AABBCCDDEEFF0011");
  ui.keys.push_back(HexKey("00112233445566778899AABBCCDDEEFF0011"));
  Unpack(carrier, "t.txt");
  std::vector<std::string> log = ui.log;
  ASSERT_GE(log.size(), 2u);
  log.back() = log.back().substr(0, 22);
  const std::string crcKey = ValueToHex(KeyCrc16(HexToBytes("00112233445566778899AABBCCDDEEFF0011")), 2);
  const std::string crc = CrcText(data);
  const std::vector<std::string> expected = {
      "Try to decode file:", "-> \"t.bmp\"", "", "Open source file",
      "-> File size        : " + GroupThousands(static_cast<long long>(ReadBytes(carrier).size())) + " bytes",
      "-> Searching for pixelTuck header", "", "Decoding process starts",
      "-> Password is required...", "", "Writing target file :", "-> \"t.txt\"",
      "-> File size : 3.000 bytes", "", "Enabling password decryption", "-> CRC Key : 0x" + crcKey,
      "-> TwoFish decryption method", "-> Block cipher mode = 192 bit (medium)", "",
      "-> Calculating CRC 32 checksum ...", "", "Checking file consistency...",
      "-> Stored CRC32 checksum     : " + crc, "-> Calculated CRC32 checksum : " + crc,
      "-> File should be OK :-)", "", "Ready in (hh:mm:ss) = "};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(ui.keyRequests.empty());
  EXPECT_TRUE(ui.keyRequests.back().applyKeyMode);
}

TEST_F(DecodeJobTest, CompressedDecodeLogAndTempFile) {
  settings.compressionMode = CompressionMode::Always;
  const Bytes data = MixedData(30000);
  const std::string carrier = Pack("z.txt", data);
  Unpack(carrier, "z.txt");
  EXPECT_TRUE(ui.LogContains("-> Original   file size : 30.000 bytes "));
  EXPECT_TRUE(ui.LogContains("-> Calculation CRC 32 checksum ..."));
  EXPECT_TRUE(ui.LogContains("Checking compressed file consistency..."));
  EXPECT_TRUE(ui.LogContains("-> Compressed File should be OK :-)"));
  EXPECT_TRUE(ui.LogContains("Decompressing file ..."));
  EXPECT_FALSE(Exists(dir.Path("z.txt.pixeltuck")));
  // With -D the temp file stays after a successful decode.
  state.deleteTempFile = false;
  Unpack(carrier, "z.txt");
  EXPECT_TRUE(Exists(dir.Path("z.txt.pixeltuck")));
}

TEST_F(DecodeJobTest, ShowBitmapAddsItsLinesAtTheEnd) {
  const std::string carrier = Pack("s.txt", MixedData(10));
  ui.showCarrier = true;
  ui.previews.clear();
  Unpack(carrier, "s.txt");
  ASSERT_GE(ui.log.size(), 2u);
  EXPECT_EQ(ui.log[ui.log.size() - 2], "");
  EXPECT_EQ(ui.log.back(), "Showing Bitmapfile ...");
  EXPECT_EQ(ui.previews, std::vector<std::string>{carrier});
}

// ------------------------------------------------------------ not carriers

TEST_F(DecodeJobTest, FilesThatAreNoCarriers) {
  const CarrierHeader good = PlainHeader("x.txt", MixedData(10));
  Bytes ordinary = HandMadeCarrier(good, MixedData(10));
  std::memcpy(&ordinary[54], "otherpict", 9);
  Bytes width607 = HandMadeCarrier(good, MixedData(10), 607);
  const Bytes shortFile(1853, 0);
  const struct { const char* name; Bytes bytes; } cases[] = {
      {"ordinary.bmp", ordinary}, {"w607.bmp", width607}, {"short.bmp", shortFile},
      {"empty.bmp", {}}, {"tiny.bmp", Bytes(54, 0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.Path(c.name), c.bytes);
    const JobOutcome out = Run(dir.Path(c.name));
    EXPECT_EQ(out.end, JobEnd::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Sourcefile is no pixelTuck file ... ");
    EXPECT_EQ(ui.messages[0].kind, MsgKind::Warning);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_FALSE(Exists(dir.Path("x.txt")));
    ui.messages.clear();
  }
}

TEST_F(DecodeJobTest, ExtensionTestIgnoresCase) {
  const Bytes data = MixedData(100);
  WriteBytes(dir.Path("picture.BMP"), HandMadeCarrier(PlainHeader("in.txt", data), data));
  Run(dir.Path("picture.BMP"));
  EXPECT_EQ(ui.log[0], "Try to decode file:");
  EXPECT_EQ(ReadBytes(dir.Path("in.txt")), data);
}

TEST_F(DecodeJobTest, Width600CarrierReadsShortRowsAndSkipsTheFinalCheck) {
  const Bytes data = MixedData(4000);
  WriteBytes(dir.Path("old.bmp"), HandMadeCarrier(PlainHeader("old.txt", data), data, kOldCarrierWidth));
  const JobOutcome out = Run(dir.Path("old.bmp"));
  EXPECT_EQ(out.end, JobEnd::Completed);
  EXPECT_EQ(ReadBytes(dir.Path("old.txt")), data);
  ASSERT_GE(ui.log.size(), 3u);
  EXPECT_EQ(ui.log[ui.log.size() - 3], "-> File size : 4.000 bytes");
  EXPECT_EQ(ui.log[ui.log.size() - 1].rfind("Ready in (hh:mm:ss) = ", 0), 0u);
}

TEST_F(DecodeJobTest, Width600WithTwofishWarnsOnceCountsTheRowsAndLeavesTheRowTail) {
  const Bytes plain = MixedData(2 * kOldRowBytes);  // two rows of 1800 bytes
  twofish tf;
  const std::string key = "0123456789abcdef";
  tf.key_setup(reinterpret_cast<const std::uint8_t*>(key.data()), 128, 3);
  Bytes payload = plain;
  for (std::size_t row = 0; row < 2; ++row) {
    for (std::size_t b = 0; b < kOldRowBytes / 16; ++b) {
      std::uint8_t* p = payload.data() + row * kOldRowBytes + b * 16;
      std::uint8_t out[16];
      tf.encrypt_block(p, out);
      std::memcpy(p, out, 16);
    }
  }
  CarrierHeader h = PlainHeader("tf.txt", plain);
  h.Encrypted = 1;
  h.CipherId = 'T';
  h.KeyCrc = KeyCrc16(key);
  WriteBytes(dir.Path("tf.bmp"), HandMadeCarrier(h, payload, kOldCarrierWidth));
  ui.keys.push_back(AsciiKey(key));
  const JobOutcome out = Run(dir.Path("tf.bmp"));
  EXPECT_EQ(out.end, JobEnd::Completed);
  EXPECT_TRUE(out.checksumError);  // the console program ends with status 1
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Error while decrypting !!!"});
  EXPECT_EQ(ui.messages[0].kind, MsgKind::Plain);
  EXPECT_TRUE(ui.LogContains("-> Error while decrypting 2 row(s) !!!"));
  const Bytes back = ReadBytes(dir.Path("tf.txt"));
  ASSERT_EQ(back.size(), plain.size());
  for (std::size_t row = 0; row < 2; ++row) {
    const auto* b = back.data() + row * kOldRowBytes;
    const std::size_t whole = kOldRowBytes / 16 * 16;
    EXPECT_EQ(std::memcmp(b, plain.data() + row * kOldRowBytes, whole), 0);
    EXPECT_EQ(std::memcmp(b + whole, plain.data() + row * kOldRowBytes + whole, 8), 0);  // passed as read
  }
}

// ------------------------------------------------------------ version

TEST_F(DecodeJobTest, NewerVersionWarnsAndAbortEndsWithAnEmptyLog) {
  const Bytes data = MixedData(100);
  CarrierHeader h = PlainHeader("v.txt", data);
  SetFieldText(h.Version, sizeof h.Version, " 0.5");
  WriteBytes(dir.Path("v.bmp"), HandMadeCarrier(h, data));
  ui.answers.push_back(MsgAnswer::Abort);
  EXPECT_EQ(Run(dir.Path("v.bmp")).end, JobEnd::Cancelled);
  ASSERT_EQ(ui.messages.size(), 1u);
  const ShownMessage& m = ui.messages[0];
  EXPECT_EQ(m.kind, MsgKind::Warning);
  EXPECT_EQ(m.buttons, MsgButtons::OkAbort);
  EXPECT_EQ(m.text.rfind("Warning !!!\nThe version of the file you've try to decode is newer\n"
                         "than the version of the pixelTuck you're currently using\n\n"
                         "You may not be able to decode the file correctly\n", 0), 0u);
  const std::string tail = "\nCurrent version of file\t\t\t = 0.5\nCurrent file version of pixelTuck\t = 0.4\n";
  EXPECT_EQ(m.text.substr(m.text.size() - tail.size()), tail);
  EXPECT_TRUE(ui.log.empty());
  EXPECT_FALSE(Exists(dir.Path("v.txt")));

  ui.messages.clear();
  ui.answers.push_back(MsgAnswer::Ok);
  EXPECT_EQ(Run(dir.Path("v.bmp")).end, JobEnd::Completed);
  EXPECT_EQ(ReadBytes(dir.Path("v.txt")), data);
}

TEST_F(DecodeJobTest, OlderOrUnreadableVersionsGiveNoWarning) {
  const Bytes data = MixedData(100);
  for (const char* v : {" 0.4", "0.3", "abc", ""}) {
    SCOPED_TRACE(v);
    CarrierHeader h = PlainHeader("v.txt", data);
    SetFieldText(h.Version, sizeof h.Version, v);
    WriteBytes(dir.Path("v.bmp"), HandMadeCarrier(h, data));
    EXPECT_EQ(Run(dir.Path("v.bmp")).end, JobEnd::Completed);
    EXPECT_TRUE(ui.messages.empty());
  }
}

// ------------------------------------------------------------ keys

TEST_F(DecodeJobTest, WrongKeyThenRightKey) {
  const Bytes data = MixedData(5000);
  const std::string carrier = Pack("w.txt", data, 3, "0123456789ABCDEF0123456789ABCDEF");
  std::filesystem::remove(dir.Path("w.txt"));
  settings.hidePassword = true;
  ui.keys.push_back(HexKey("FFFFFFFFFFFFFFFF"));
  ui.keys.push_back(HexKey("0123456789ABCDEF0123456789ABCDEF"));
  ui.answers.push_back(MsgAnswer::Yes);
  EXPECT_EQ(Run(carrier).end, JobEnd::Completed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Password verification error !\n\nTry again ???");
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNoCancel);
  ASSERT_EQ(ui.keyRequests.size(), 2u);
  EXPECT_TRUE(ui.keyRequests[0].applyKeyMode);
  EXPECT_FALSE(ui.keyRequests[1].applyKeyMode);  // shown again as it was left
  EXPECT_TRUE(ui.keyRequests[0].maskInput);
  EXPECT_EQ(ReadBytes(dir.Path("w.txt")), data);
}

TEST_F(DecodeJobTest, WrongKeyAndNoOrCancelEndsTheJob) {
  const std::string carrier = Pack("w.txt", MixedData(500), 2, "0123456789ABCDEF");
  std::filesystem::remove(dir.Path("w.txt"));
  for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Cancel}) {
    ui.keys.push_back(HexKey("FFFFFFFFFFFFFFFF"));
    ui.answers.push_back(answer);
    EXPECT_EQ(Run(carrier).end, JobEnd::Cancelled);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_FALSE(Exists(dir.Path("w.txt")));
  }
}

TEST_F(DecodeJobTest, CancelledKeyDialogSaysUserAbort) {
  const std::string carrier = Pack("c.txt", MixedData(500), 1, "0123456789ABCDEF");
  std::filesystem::remove(dir.Path("c.txt"));
  EXPECT_EQ(Run(carrier).end, JobEnd::Cancelled);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "User Abort !");
  EXPECT_EQ(ui.messages[0].kind, MsgKind::Confirmation);
  EXPECT_TRUE(ui.log.empty());
}

// A -K: key meets the same key check as the dialog's: a wrong one ends the
// run before anything is written, even where no final checksum would catch
// it (600 pixels) and the user agreed to replace the file. Carriers whose
// check value is 0, and XOR carriers, have no check to meet.
TEST_F(DecodeJobTest, CommandLineKeyIsCheckedAndUsedOnce) {
  const Bytes data = MixedData(5000);
  const std::string key = "right key 0123";
  const std::string wrongHex = "FEDCBA9876543210";
  auto blowfishCarrier = [&](std::uint16_t keyCrc, std::uint8_t cipherId, std::int32_t width) {
    return MixedKeyBlowfishCarrier("c.txt", data, key, keyCrc, cipherId, width);
  };
  const struct {
    const char* name;
    Bytes carrier;
    bool refused;  // else decoded with the wrong key, caught by the checksum
  } cases[] = {
      {"Blowfish, 600 pixels", blowfishCarrier(KeyCrc16(key), 'B', kOldCarrierWidth), true},
      {"Blowfish, 608 pixels", blowfishCarrier(KeyCrc16(key), 'B', kCarrierWidth), true},
      {"check value 0", blowfishCarrier(0, 'B', kCarrierWidth), false},
      {"XOR method", blowfishCarrier(KeyCrc16(key), 'Q', kCarrierWidth), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui = ScriptedUi{};
    ui.replaceAnswer = MsgAnswer::Yes;
    WriteBytes(dir.Path("c.bmp"), c.carrier);
    WriteBytes(dir.Path("c.txt"), data);  // the user's good copy
    state.commandLineKey = KeyText(wrongHex);
    const JobOutcome out = Run(dir.Path("c.bmp"));
    EXPECT_TRUE(state.commandLineKey.empty());
    EXPECT_TRUE(ui.keyRequests.empty());
    if (c.refused) {
      EXPECT_EQ(out.end, JobEnd::Failed);
      EXPECT_EQ(ui.MessageTexts(),
                std::vector<std::string>{"Password verification error: wrong key !\n"
                                         "The key does not fit this file; nothing was written."});
      EXPECT_TRUE(ui.replaceQuestions.empty());
      EXPECT_EQ(ReadBytes(dir.Path("c.txt")), data);
      EXPECT_EQ(dir.Files(), (std::vector<std::string>{"c.bmp", "c.txt"}));
    } else {
      EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
      EXPECT_TRUE(out.checksumError);
      EXPECT_TRUE(ui.LogContains("-> Checksum ERROR !!!"));
    }
  }
  Run(dir.Path("c.bmp"));
  EXPECT_EQ(ui.keyRequests.size(), 1u);  // the next job asks
}

TEST_F(DecodeJobTest, KeyCrcZeroAcceptsAnyKey) {
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(5000);
  const std::string carrier = Pack("z.txt", data, 2, "0123456789ABCDEF");
  Bytes c = ReadBytes(carrier);
  c[54 + 280] = c[54 + 281] = 0;
  WriteBytes(carrier, c);
  ui.keys.push_back(AsciiKey("wrong key 123"));
  const JobOutcome out = Run(carrier);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(out.checksumError);
  EXPECT_TRUE(ui.LogContains("-> Checksum ERROR !!!"));
  ui.keys.push_back(HexKey("0123456789ABCDEF"));
  EXPECT_EQ(Unpack(carrier, "z.txt"), data);
}

TEST_F(DecodeJobTest, XorCarrierBuiltByHand) {
  // Large enough for many blocks of rows deciphered side by side, and a key
  // length that is no divisor of the row: the key position must follow
  // the payload offset, not the order the rows are taken in.
  const Bytes data = MixedData(3000000);
  const std::string key = "xor key 10";
  Bytes payload = data;
  std::size_t pos = 0;
  XorTransform(payload.data(), payload.size(), key, &pos);
  CarrierHeader h = PlainHeader("x.txt", data);
  h.Encrypted = 1;
  h.CipherId = 0;
  h.KeyCrc = KeyCrc16(key);
  WriteBytes(dir.Path("x.bmp"), HandMadeCarrier(h, payload));
  ui.keys.push_back(AsciiKey(key));
  EXPECT_EQ(Run(dir.Path("x.bmp")).end, JobEnd::Completed);
  EXPECT_TRUE(ui.LogContains("-> XOR decryption method"));
  EXPECT_EQ(ReadBytes(dir.Path("x.txt")), data);
  // Any unknown cipher id selects it as well.
  h.CipherId = 'Q';
  WriteBytes(dir.Path("x.bmp"), HandMadeCarrier(h, payload));
  ui.keys.push_back(AsciiKey(key));
  EXPECT_EQ(Unpack(dir.Path("x.bmp"), "x.txt"), data);
}

TEST_F(DecodeJobTest, MixedBlowfishKeyIsUsedWhenTheMixingAreaIsSet) {
  const Bytes data = MixedData(2000);
  const std::string key = "mixed-key-0123";
  WriteBytes(dir.Path("m.bmp"), MixedKeyBlowfishCarrier("m.txt", data, key, KeyCrc16(key), 'B'));
  ui.keys.push_back(AsciiKey(key));
  EXPECT_EQ(Unpack(dir.Path("m.bmp"), "m.txt"), data);
}

// ------------------------------------------------------------ damage

TEST_F(DecodeJobTest, AlteredGzipBytesEndWithTheChecksumError) {
  settings.compressionMode = CompressionMode::Always;
  const std::string carrier = Pack("g.txt", MixedData(40000));
  std::filesystem::remove(dir.Path("g.txt"));
  Bytes c = ReadBytes(carrier);
  c[kLeadingBytes + 500] ^= 0xFF;
  WriteBytes(carrier, c);
  const JobOutcome out = Run(carrier);
  EXPECT_TRUE(out.checksumError);
  EXPECT_EQ(ui.log.back(), "-> Checksum ERROR !!!");
  EXPECT_TRUE(Exists(dir.Path("g.txt.pixeltuck")));
  EXPECT_FALSE(Exists(dir.Path("g.txt")));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DecodeJobTest, TruncatedCarrierGivesAShorterFileAndTheChecksumError) {
  const Bytes data = MixedData(10000);
  const std::string carrier = Pack("t.txt", data);
  Bytes c = ReadBytes(carrier);
  c.resize(kLeadingBytes + kRowBytes * 2 + 100);
  WriteBytes(carrier, c);
  std::filesystem::remove(dir.Path("t.txt"));
  const JobOutcome out = Run(carrier);
  EXPECT_TRUE(out.checksumError);
  EXPECT_EQ(ReadBytes(dir.Path("t.txt")).size(), kRowBytes * 2 + 100);
  EXPECT_EQ(out.end, JobEnd::Completed);
}

TEST_F(DecodeJobTest, BytesThatFailTheCheckNeverReplaceAnExistingFile) {
  // A damaged payload shows only in the final checksum, and the user's file
  // must survive it. Where "<name>.damaged" would be too long, the bytes
  // keep a name of their own.
  settings.compressionMode = CompressionMode::Never;
  const Bytes data = MixedData(10000);
  for (const std::string& name : {std::string("w.txt"), std::string(251, 'w') + ".txt"}) {
    SCOPED_TRACE(name.size());
    const std::string carrier = Pack(name, data);
    Bytes c = ReadBytes(carrier);
    c[kLeadingBytes + 4321] ^= 0x5A;
    WriteBytes(carrier, c);
    files.SetNextHiddenNames({".pixeltuck-0000000000aa.partial"});
    const JobOutcome out = Run(carrier);
    EXPECT_TRUE(out.checksumError);
    EXPECT_EQ(ReadBytes(dir.Path(name)), data);
    const std::string aside =
        name.size() < 250 ? name + ".damaged" : ".pixeltuck-0000000000aa.damaged";
    EXPECT_EQ(ReadBytes(dir.Path(aside)).size(), data.size());
    EXPECT_EQ(ui.log.back().rfind("Ready in", 0), 0u);
    EXPECT_TRUE(ui.LogContains("-> Existing file kept; the restored bytes are in \"" +
                               dir.Path(aside) + "\""))
        << Log();
  }
}

TEST_F(DecodeJobTest, ReplacingAFileAsksFirstAndKeepsItsPermissions) {
  const Bytes data = MixedData(3000);
  settings.compressionMode = CompressionMode::Never;
  const std::string carrier = Pack("p.txt", data);
  WriteBytes(dir.Path("p.txt"), {1, 2, 3});
  std::filesystem::permissions(dir.Path("p.txt"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::owner_write);
  ui.replaceAnswer = MsgAnswer::No;
  EXPECT_EQ(Run(carrier).end, JobEnd::Cancelled);
  EXPECT_EQ(ui.replaceQuestions,
            std::vector<std::string>{"The file <" + dir.Path("p.txt") +
                                     "> already exists.\n\nReplace it ?"});
  EXPECT_EQ(ReadBytes(dir.Path("p.txt")), (Bytes{1, 2, 3}));
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"p.bmp", "p.txt"}));

  ui.replaceAnswer = MsgAnswer::Yes;
  EXPECT_EQ(Run(carrier).end, JobEnd::Completed);
  EXPECT_EQ(ReadBytes(dir.Path("p.txt")), data);
#ifndef _WIN32  // Windows has no mode bits to keep
  EXPECT_EQ(std::filesystem::status(dir.Path("p.txt")).permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
}

TEST_F(DecodeJobTest, PayloadEndingInsideARowWritesExactlyItsLength) {
  const Bytes data = MixedData(2000);
  Bytes payload = data;
  payload.resize(kRowBytes * 3, 0xAB);  // extra bytes and a whole extra row
  WriteBytes(dir.Path("e.bmp"), HandMadeCarrier(PlainHeader("e.txt", data), payload));
  EXPECT_EQ(Run(dir.Path("e.bmp")).end, JobEnd::Completed);
  EXPECT_EQ(ReadBytes(dir.Path("e.txt")), data);
}

TEST_F(DecodeJobTest, HostileStoredNamesStayInTheCarriersFolder) {
  const Bytes data = MixedData(300);
  for (const char* name : {"../escaped.txt", "/tmp/absolute.txt", "sub\\dir\\back.txt"}) {
    SCOPED_TRACE(name);
    WriteBytes(dir.Path("h.bmp"), HandMadeCarrier(PlainHeader(name, data), data));
    EXPECT_EQ(Run(dir.Path("h.bmp")).end, JobEnd::Completed) << Messages();
    const std::string base = SplitPath(name).name + ".txt";
    const std::string last = std::string(name).substr(std::string(name).find_last_of("/\\") + 1);
    EXPECT_EQ(ReadBytes(dir.Path(last)), data);
    (void)base;
  }
  EXPECT_FALSE(Exists((dir.root().parent_path() / "escaped.txt").string()));
}

TEST_F(DecodeJobTest, UnusableStoredNamesAreRefused) {
  const Bytes data = MixedData(300);
  for (const char* name : {"", "..", ".", "dir/", "bad\x01.txt"}) {
    SCOPED_TRACE(name);
    WriteBytes(dir.Path("h.bmp"), HandMadeCarrier(PlainHeader(name, data), data));
    EXPECT_EQ(Run(dir.Path("h.bmp")).end, JobEnd::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MsgKind::Error);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"h.bmp"});
    ui.messages.clear();
  }
  // 256 name bytes without a terminator.
  CarrierHeader h = PlainHeader("x", data);
  std::memset(h.FileName, 'n', sizeof h.FileName);
  WriteBytes(dir.Path("h.bmp"), HandMadeCarrier(h, data));
  EXPECT_EQ(Run(dir.Path("h.bmp")).end, JobEnd::Failed);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"h.bmp"});
}

TEST_F(DecodeJobTest, StoredNameOfTheCarrierItselfIsRefused) {
  const Bytes data = MixedData(300);
  const Bytes carrier = HandMadeCarrier(PlainHeader("self.bmp", data), data);
  WriteBytes(dir.Path("self.bmp"), carrier);
  EXPECT_EQ(Run(dir.Path("self.bmp")).end, JobEnd::Failed);
  EXPECT_EQ(ReadBytes(dir.Path("self.bmp")), carrier);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("Error while creating target file :\n<self.bmp>...", 0), 0u);
}

TEST_F(DecodeJobTest, NegativeSizesAreRejectedAsDamaged) {
  const Bytes data = MixedData(300);
  CarrierHeader h = PlainHeader("n.txt", data);
  h.FileSize = -1;
  WriteBytes(dir.Path("n.bmp"), HandMadeCarrier(h, data));
  EXPECT_EQ(Run(dir.Path("n.bmp")).end, JobEnd::Failed);
  h = PlainHeader("n.txt", data);
  h.Compressed = 'Z';
  h.CompressedSize = -100;
  h.CompressedCrc = 1;
  WriteBytes(dir.Path("n.bmp"), HandMadeCarrier(h, data));
  EXPECT_EQ(Run(dir.Path("n.bmp")).end, JobEnd::Failed);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"n.bmp"});
}

TEST_F(DecodeJobTest, ExistingFileIsReplacedOnSuccessAndKeptOnWriteFailure) {
  const Bytes data = MixedData(100000);
  const std::string carrier = Pack("r.txt", data);
  WriteBytes(dir.Path("r.txt"), {1, 2, 3});
  files.FailWritesAfter(40000);
  const JobOutcome out = Run(carrier);
  files.Reset();
  EXPECT_EQ(out.end, JobEnd::Failed);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Error while writing target file"});
  EXPECT_TRUE(NoReadyLine());
  EXPECT_EQ(ReadBytes(dir.Path("r.txt")), (Bytes{1, 2, 3}));
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"r.bmp", "r.txt"}));
  ui.messages.clear();
  EXPECT_EQ(Run(carrier).end, JobEnd::Completed);
  EXPECT_EQ(ReadBytes(dir.Path("r.txt")), data);
}

}  // namespace
}  // namespace pt::test

namespace pt::test {
namespace {

class DecodeFailures : public JobTest {
 protected:
  void SetUp() override { settings.compressionMode = CompressionMode::Never; }
};

TEST_F(DecodeFailures, FailureWhileClosingTheOutputIsAWriteFailure) {
  for (CompressionMode mode : {CompressionMode::Never, CompressionMode::Always}) {
    SCOPED_TRACE(static_cast<int>(mode));
    settings.compressionMode = mode;
    const Bytes data = MixedData(20000);
    const std::string carrier = Pack("c.txt", data);
    std::filesystem::remove(dir.Path("c.txt"));
    ui.messages.clear();
    files.FailCommits(true);
    const JobOutcome out = Run(carrier);
    files.Reset();
    EXPECT_EQ(out.end, JobEnd::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    // Without compression the restored file itself fails to close; with
    // compression its gzip form does first.
    EXPECT_EQ(ui.messages[0].text, "Error while writing target file");
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"c.bmp"}));
  }
}

}  // namespace
}  // namespace pt::test
