// Engine throughput against references outside pixelTuck, in one run on one
// machine: OpenSSL's EVP AES-ECB and libgcrypt's ECB Twofish, Blowfish and
// AES, each enciphering a 1 MiB block of 1824-byte rows (the carrier row and
// the jobs' block size) in place, row by row. OpenSSL and libgcrypt are
// references for this program only; pixelTuck never links them.
//
// Prints Markdown (bench/update-readme.sh copies it into docs/benchmarks.md):
//   1. one thread: each engine, and each Rijndael path, against its reference;
//   2. the cipher layer's whole-row call on 1 and 2 worker threads.
#include <gcrypt.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/machine.h"
#include "crypto/cipher.h"
#include "util/carrier_rows.h"
#include "util/parallel.h"

namespace {

constexpr std::size_t kRow = pt::kRowBytes;
constexpr std::size_t kBlockRows = 575;  // 1,048,800 bytes: about 1 MiB
constexpr std::size_t kBlock = kRow * kBlockRows;
constexpr double kPassSeconds = 0.25;  // at least, per timed pass
constexpr int kRepeats = 3;

using BlockFn = std::function<void(std::uint8_t* block)>;

// Seconds of the process's processor time, or of the wall clock. One
// thread's work is timed in processor time, so that other programs on a
// shared machine do not count; work spread over threads by the wall clock.
double Now(bool cpuTime) {
  if (cpuTime) return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One pass: the block enciphered in place again and again for at least
// kPassSeconds. MB/s with MB = 10^6 bytes.
double Pass(std::vector<std::uint8_t>& buf, const BlockFn& fn, bool cpuTime = true) {
  const double start = Now(cpuTime);
  std::size_t blocks = 0;
  double secs = 0;
  do {
    for (int i = 0; i < 4; ++i) fn(buf.data());
    blocks += 4;
    secs = Now(cpuTime) - start;
  } while (secs < kPassSeconds);
  return static_cast<double>(blocks * kBlock) / secs / 1e6;
}

// Best of kRepeats passes of each side; the sides alternate so that load
// from other processes hits both alike.
std::pair<double, double> Compare(std::vector<std::uint8_t>& buf, const BlockFn& ours,
                                  const BlockFn& ref) {
  double a = 0, b = 0;
  for (int rep = 0; rep < kRepeats; ++rep) {
    a = std::max(a, Pass(buf, ours));
    b = std::max(b, Pass(buf, ref));
  }
  return {a, b};
}

BlockFn ByRow(const std::function<void(std::uint8_t* row)>& row) {
  return [row](std::uint8_t* block) {
    for (std::size_t r = 0; r < kBlockRows; ++r) row(block + r * kRow);
  };
}

// ------------------------------------------------------------ references

class OpenSslEcb {
 public:
  OpenSslEcb(const EVP_CIPHER* cipher, const std::uint8_t* key, bool encrypt)
      : ctx_(EVP_CIPHER_CTX_new()) {
    EVP_CipherInit_ex(ctx_, cipher, nullptr, key, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx_, 0);
  }
  ~OpenSslEcb() { EVP_CIPHER_CTX_free(ctx_); }
  OpenSslEcb(const OpenSslEcb&) = delete;
  OpenSslEcb& operator=(const OpenSslEcb&) = delete;
  void Row(std::uint8_t* p) {
    int outLen = 0;
    EVP_CipherUpdate(ctx_, p, &outLen, p, static_cast<int>(kRow));
  }

 private:
  EVP_CIPHER_CTX* ctx_;
};

class GcryEcb {
 public:
  GcryEcb(int algo, const std::uint8_t* key, std::size_t keyLen) {
    gcry_cipher_open(&h_, algo, GCRY_CIPHER_MODE_ECB, 0);
    gcry_cipher_setkey(h_, key, keyLen);
  }
  ~GcryEcb() { gcry_cipher_close(h_); }
  GcryEcb(const GcryEcb&) = delete;
  GcryEcb& operator=(const GcryEcb&) = delete;
  void Row(std::uint8_t* p, bool encrypt) {
    if (encrypt) {
      gcry_cipher_encrypt(h_, p, kRow, nullptr, 0);
    } else {
      gcry_cipher_decrypt(h_, p, kRow, nullptr, 0);
    }
  }

 private:
  gcry_cipher_hd_t h_ = nullptr;
};

const EVP_CIPHER* OpenSslAes(unsigned bits) {
  return bits == 128 ? EVP_aes_128_ecb() : bits == 192 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

int GcryAes(unsigned bits) {
  return bits == 128 ? GCRY_CIPHER_AES128 : bits == 192 ? GCRY_CIPHER_AES192 : GCRY_CIPHER_AES256;
}

void Line(const std::string& engine, const char* dir, double ours, const std::string& refName,
          double ref, const char* goal) {
  std::printf("| %s | %s | %.0f | %s | %.0f | %.2fx | %s |\n", engine.c_str(), dir, ours,
              refName.c_str(), ref, ours / ref, goal);
  std::fflush(stdout);
}

}  // namespace

int main() {
  gcry_check_version(nullptr);
  gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

  std::vector<std::uint8_t> buf(kBlock);
  for (std::size_t i = 0; i < buf.size(); ++i) {
    buf[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  }
  std::uint8_t key[32];
  for (std::size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<std::uint8_t>(i * 73 + 5);

  std::string paths;
  for (pt::RijndaelPath p : pt::kRijndaelPaths) {
    if (pt::RijndaelPathAvailable(p)) paths += std::string(paths.empty() ? "" : ", ") +
                                               pt::RijndaelPathName(p);
  }
  std::printf("Processor: %s, %u threads; load average %s at the start. Rijndael paths: %s "
              "(default %s). In place, 1824-byte rows in a 1 MiB block, best of %d passes; one "
              "thread in MB per processor-second, threads in MB per second of the wall clock "
              "(MB = 10^6 bytes); %s.\n\n",
              pt::bench::CpuModel().c_str(), std::thread::hardware_concurrency(), pt::bench::LoadAverage().c_str(),
              paths.c_str(), pt::RijndaelPathName(pt::RijndaelActivePath()), kRepeats,
              OPENSSL_VERSION_TEXT);

  // ------------------------------------------------------------ one thread
  std::printf("| engine, one thread | dir | pixelTuck MB/s | reference | MB/s | ratio | goal |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  const std::string gcryName = std::string("libgcrypt ") + gcry_check_version(nullptr);
  for (bool enc : {true, false}) {
    pt::CBlowFish ours;
    ours.SetKey(key, 16);
    GcryEcb ref(GCRY_CIPHER_BLOWFISH, key, 16);
    const auto [a, b] = Compare(
        buf, ByRow([&](std::uint8_t* p) {
          if (enc) {
            ours.EncryptBuffer(p, p, kRow);
          } else {
            ours.DecryptBuffer(p, p, kRow);
          }
        }),
        ByRow([&](std::uint8_t* p) { ref.Row(p, enc); }));
    Line("Blowfish, 128-bit key", enc ? "encrypt" : "decrypt", a, gcryName, b, ">= 1.0");
  }
  for (unsigned bits : {128u, 256u}) {
    for (bool enc : {true, false}) {
      pt::twofish ours;
      ours.key_setup(key, bits, 3);
      GcryEcb ref(bits == 128 ? GCRY_CIPHER_TWOFISH128 : GCRY_CIPHER_TWOFISH, key, bits / 8);
      const auto [a, b] = Compare(
          buf, ByRow([&](std::uint8_t* p) {
            if (enc) {
              ours.encrypt_blocks(p, p, kRow / 16);
            } else {
              ours.decrypt_blocks(p, p, kRow / 16);
            }
          }),
          ByRow([&](std::uint8_t* p) { ref.Row(p, enc); }));
      Line("Twofish " + std::to_string(bits), enc ? "encrypt" : "decrypt", a, gcryName, b,
           ">= 1.0");
    }
  }
  for (unsigned bits : {128u, 192u, 256u}) {
    for (bool enc : {true, false}) {
      pt::rijndael ours;
      ours.key_setup(key, bits, 3);
      OpenSslEcb ssl(OpenSslAes(bits), key, enc);
      GcryEcb gcry(GcryAes(bits), key, bits / 8);
      const BlockFn oursFn = ByRow([&](std::uint8_t* p) {
        if (enc) {
          ours.encrypt_blocks(p, p, kRow / 16);
        } else {
          ours.decrypt_blocks(p, p, kRow / 16);
        }
      });
      for (pt::RijndaelPath path : pt::kRijndaelPaths) {
        if (!pt::ForceRijndaelPath(path)) continue;
        const auto [a, b] = Compare(buf, oursFn, ByRow([&](std::uint8_t* p) { ssl.Row(p); }));
        Line("Rijndael " + std::to_string(bits) + ", " + pt::RijndaelPathName(path),
             enc ? "encrypt" : "decrypt", a, "OpenSSL EVP", b,
             bits == 192 || path == pt::RijndaelPath::kTable ? "" : ">= 0.8");
      }
      pt::ResetRijndaelPath();
      const auto [a, b] = Compare(buf, oursFn, ByRow([&](std::uint8_t* p) { gcry.Row(p, enc); }));
      Line("Rijndael " + std::to_string(bits) + ", default path", enc ? "encrypt" : "decrypt", a,
           gcryName, b, "");
    }
  }

  // ------------------------------------------------ whole rows on threads
  std::printf("\n| cipher layer, whole rows | dir | 1 thread MB/s | 2 threads MB/s | 2 / 1 "
              "| goal |\n");
  std::printf("|---|---|---|---|---|---|\n");
  struct Layer {
    const char* name;
    std::uint8_t id;
    std::string key;
  };
  const Layer layers[] = {
      {"Blowfish, 16-byte key", pt::kCipherBlowfish, std::string(16, 'k')},
      {"Twofish 128", pt::kCipherTwofish, std::string(16, 'k')},
      {"Twofish 256", pt::kCipherTwofish, std::string(32, 'k')},
      {"Rijndael 128", pt::kCipherRijndael, std::string(16, 'k')},
      {"Rijndael 256", pt::kCipherRijndael, std::string(32, 'k')},
  };
  const std::uint8_t noMix[pt::kKeyMixSize] = {};
  for (const Layer& l : layers) {
    for (bool enc : {true, false}) {
      pt::ChunkCipher c;
      if (enc) {
        c.KeyForEncode(l.id, l.key);
      } else {
        c.KeyForDecode(l.id, l.key, noMix);
      }
      const BlockFn rows = [&](std::uint8_t* p) {
        if (enc) {
          c.EncryptRows(p, kBlock);
        } else {
          c.DecryptRows(p, kBlock);
        }
      };
      double one = 0, two = 0;
      for (int rep = 0; rep < kRepeats; ++rep) {
        pt::SetWorkerThreads(1);
        one = std::max(one, Pass(buf, rows, false));
        pt::SetWorkerThreads(2);
        two = std::max(two, Pass(buf, rows, false));
      }
      pt::SetWorkerThreads(0);
      std::printf("| %s | %s | %.0f | %.0f | %.2fx | %s |\n", l.name, enc ? "encrypt" : "decrypt",
                  one, two, two / one, l.id == pt::kCipherRijndael ? "one thread on AES instructions" : ">= 1.8");
      std::fflush(stdout);
    }
  }

  // Keeps the work observable.
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < buf.size(); i += 4096) sum = sum * 31 + buf[i];
  std::printf("\nLoad average %s at the end. (checksum %08x)\n", pt::bench::LoadAverage().c_str(),
              static_cast<unsigned>(sum));
  return 0;
}
