// Published known-answer vectors, run against every engine: encryption,
// decryption of the result, in place and out of place, one block at a time
// and as a buffer of several blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "crypto/blowfish.h"
#include "crypto/rijndael.h"
#include "crypto/twofish.h"
#include "tests/engines/test_support.h"

namespace pt::test {
namespace {

enum class Mode { kSingle, kSeparate, kInPlace };

// Uniform view of an engine for the runner. Input and output are given in
// the byte order of the published vectors.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual std::size_t BlockSize() const = 0;
  virtual void SetKey(const Bytes& key) = 0;
  virtual Bytes Encrypt(const Bytes& in, Mode mode) = 0;
  virtual Bytes Decrypt(const Bytes& in, Mode mode) = 0;
};

// The published Blowfish vectors write each 32-bit half big-endian; the
// engine's buffers hold the halves little-endian (stored carriers depend on
// it). The buffer paths therefore reverse every 4-byte group before and
// after; the word interface needs no reversal.
class BlowfishEngine final : public Engine {
 public:
  std::size_t BlockSize() const override { return 8; }
  void SetKey(const Bytes& key) override { bf_.SetKey(key.data(), key.size()); }
  Bytes Encrypt(const Bytes& in, Mode mode) override { return Run(in, mode, true); }
  Bytes Decrypt(const Bytes& in, Mode mode) override { return Run(in, mode, false); }

 private:
  static std::uint32_t LoadBE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) |
           (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
  }
  static void StoreBE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  }

  Bytes Run(const Bytes& in, Mode mode, bool encrypt) {
    if (mode == Mode::kSingle) {
      Bytes out(in.size());
      for (std::size_t i = 0; i + 8 <= in.size(); i += 8) {
        std::uint32_t l = LoadBE(&in[i]);
        std::uint32_t r = LoadBE(&in[i + 4]);
        if (encrypt) {
          bf_.EncipherBlock(l, r);
        } else {
          bf_.DecipherBlock(l, r);
        }
        StoreBE(&out[i], l);
        StoreBE(&out[i + 4], r);
      }
      return out;
    }
    Bytes src = SwapHalves(in);
    Bytes dst(in.size(), 0xEE);
    Bytes& target = mode == Mode::kInPlace ? src : dst;
    const std::size_t n = encrypt ? bf_.EncryptBuffer(src.data(), target.data(), src.size())
                                  : bf_.DecryptBuffer(src.data(), target.data(), src.size());
    EXPECT_EQ(n, in.size());
    return SwapHalves(target);
  }

  CBlowFish bf_;
};

template <typename T>
class Block128Engine final : public Engine {
 public:
  std::size_t BlockSize() const override { return 16; }
  void SetKey(const Bytes& key) override {
    e_.key_setup(key.data(), static_cast<unsigned>(8 * key.size()), 3);
  }
  Bytes Encrypt(const Bytes& in, Mode mode) override { return Run(in, mode, true); }
  Bytes Decrypt(const Bytes& in, Mode mode) override { return Run(in, mode, false); }

 private:
  Bytes Run(const Bytes& in, Mode mode, bool encrypt) {
    const std::size_t blocks = in.size() / 16;
    if (mode == Mode::kSingle) {
      Bytes out(in.size(), 0xEE);
      for (std::size_t i = 0; i < blocks; ++i) {
        if (encrypt) {
          e_.encrypt_block(&in[16 * i], &out[16 * i]);
        } else {
          e_.decrypt_block(&in[16 * i], &out[16 * i]);
        }
      }
      return out;
    }
    Bytes src = in;
    Bytes dst(in.size(), 0xEE);
    Bytes& target = mode == Mode::kInPlace ? src : dst;
    if (encrypt) {
      e_.encrypt_blocks(src.data(), target.data(), blocks);
    } else {
      e_.decrypt_blocks(src.data(), target.data(), blocks);
    }
    return target;
  }

  T e_;
};

struct VectorSet {
  const char* file;
  std::size_t expected;  // number of vectors the file must hold
  std::function<std::unique_ptr<Engine>()> make;
  RijndaelPath path = RijndaelPath::kTable;  // the Rijndael rounds used
};

std::ostream& operator<<(std::ostream& os, const VectorSet& s) {
  return os << s.file << " on " << RijndaelPathName(s.path);
}

class KnownAnswer : public ::testing::TestWithParam<VectorSet> {};

Bytes Repeat(const Bytes& b, std::size_t times) {
  Bytes out;
  for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), b.begin(), b.end());
  return out;
}

TEST_P(KnownAnswer, EveryVectorEncryptsAndDecrypts) {
  const VectorSet& set = GetParam();
  PT_USE_RIJNDAEL_PATH(set.path);
  const auto records = ReadVectorFile(set.file);
  ASSERT_EQ(records.size(), set.expected);
  auto engine = set.make();
  std::size_t n = 0;
  for (const auto& rec : records) {
    ++n;
    ASSERT_EQ(rec.count("Key") + rec.count("In") + rec.count("Out"), 3u) << "vector " << n;
    const Bytes key = FromHex(rec.at("Key"));
    const Bytes in = FromHex(rec.at("In"));
    const Bytes out = FromHex(rec.at("Out"));
    ASSERT_EQ(in.size(), engine->BlockSize()) << "vector " << n;
    ASSERT_EQ(out.size(), engine->BlockSize()) << "vector " << n;
    SCOPED_TRACE("vector " + std::to_string(n) + ", key " + rec.at("Key"));
    engine->SetKey(key);
    for (Mode mode : {Mode::kSingle, Mode::kSeparate, Mode::kInPlace}) {
      SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)));
      EXPECT_EQ(ToHex(engine->Encrypt(in, mode)), ToHex(out));
      EXPECT_EQ(ToHex(engine->Decrypt(out, mode)), ToHex(in));
      // Several copies in one call take the multi-block paths: the
      // interleaved pairs, and the widest vector groups with their tails.
      for (std::size_t copies : {7u, 37u}) {
        EXPECT_EQ(ToHex(engine->Encrypt(Repeat(in, copies), mode)), ToHex(Repeat(out, copies)));
        EXPECT_EQ(ToHex(engine->Decrypt(Repeat(out, copies), mode)), ToHex(Repeat(in, copies)));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engines, KnownAnswer,
    ::testing::Values(
        VectorSet{"blowfish.vec", 34, [] { return std::make_unique<BlowfishEngine>(); }},
        VectorSet{"blowfish_keylength.vec", 24,
                  [] { return std::make_unique<BlowfishEngine>(); }},
        VectorSet{"twofish.vec", 17,
                  [] { return std::make_unique<Block128Engine<twofish>>(); }},
        VectorSet{"aes.vec", 4, [] { return std::make_unique<Block128Engine<rijndael>>(); },
                  RijndaelPath::kTable},
        VectorSet{"aes.vec", 4, [] { return std::make_unique<Block128Engine<rijndael>>(); },
                  RijndaelPath::kAesNi},
        VectorSet{"aes.vec", 4, [] { return std::make_unique<Block128Engine<rijndael>>(); },
                  RijndaelPath::kVaes256},
        VectorSet{"aes.vec", 4, [] { return std::make_unique<Block128Engine<rijndael>>(); },
                  RijndaelPath::kVaes512}),
    [](const ::testing::TestParamInfo<VectorSet>& p) {
      std::string name = p.param.file;
      name = name.substr(0, name.find('.'));
      name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
      if (name == "aes") name += "_" + PathTestName(p.param.path);
      return name;
    });

// The authors' iterated Twofish tests: 49 steps in which each key and
// plaintext come from earlier ciphertexts; the published ciphertexts of
// several steps (first steps, 48 and 49) are checked.
TEST(TwofishChain, PublishedIntermediateAndFinalValues) {
  const auto records = ReadVectorFile("twofish_chain.vec");
  ASSERT_EQ(records.size(), 18u);
  for (unsigned bits : {128u, 192u, 256u}) {
    SCOPED_TRACE("key bits " + std::to_string(bits));
    const std::size_t keyLen = bits / 8;
    std::vector<Bytes> ct(50);  // ct[i]: ciphertext of step i, ct[0] = 0
    ct[0] = Bytes(16, 0);
    twofish tf;
    for (std::size_t i = 1; i <= 49; ++i) {
      Bytes key = i >= 2 ? ct[i - 2] : Bytes(16, 0);
      const Bytes older = i >= 3 ? ct[i - 3] : Bytes(16, 0);
      key.insert(key.end(), older.begin(), older.end());
      key.resize(keyLen);
      tf.key_setup(key.data(), bits, 3);
      ct[i].resize(16);
      tf.encrypt_block(ct[i - 1].data(), ct[i].data());
      Bytes back(16);
      tf.decrypt_block(ct[i].data(), back.data());
      ASSERT_EQ(back, ct[i - 1]) << "step " << i;
    }
    std::size_t checked = 0;
    for (const auto& rec : records) {
      if (std::stoul(rec.at("Bits")) != bits) continue;
      const std::size_t step = std::stoul(rec.at("I"));
      ASSERT_TRUE(step >= 1 && step <= 49);
      EXPECT_EQ(ToHex(ct[step]), rec.at("Out")) << "step " << step;
      ++checked;
    }
    EXPECT_EQ(checked, 6u);
  }
}

}  // namespace
}  // namespace pt::test
