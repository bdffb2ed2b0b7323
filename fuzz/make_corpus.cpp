// Writes seed inputs for the fuzz targets into <out>/<target>/.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "carrier/carrier_format.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "tests/support/scripted_ui.h"
#include "util/byte_order.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Seed(const fs::path& dir, const std::string& name, std::uint8_t mode, const Bytes& carrier) {
  Bytes b{mode};
  b.insert(b.end(), carrier.begin(), carrier.end());
  Write(dir / name, b);
}

// Packs a small file under a name of its own with the real job and returns
// the carrier's bytes (empty when the job did not complete).
Bytes MakeCarrier(const fs::path& work, const std::string& base, int cipher, int compression,
                  std::size_t size) {
  const fs::path src = work / (base + ".txt");
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>("seed text "[i % 10] + (i / 97) % 3);
  Write(src, data);
  pt::test::ScriptedUi ui;
  pt::JobRequest request;
  request.settings.compressionMode = static_cast<pt::CompressionMode>(compression);
  request.file = src.string();
  request.cipher = pt::CipherAtListPosition(cipher);
  request.startedByCommandLine = true;
  const pt::KeyText key("00112233445566778899AABBCCDDEEFF");
  if (cipher != 0) request.commandLineKey = &key;
  const pt::JobOutcome out = pt::RunJob(request, ui);
  if (out.end != pt::JobEnd::Completed) {
    for (const auto& m : ui.messages) std::cerr << base << ": " << m.text << "\n";
    return {};
  }
  return Read(out.outputPath);
}

// The carrier is of the kind asked for: gzip form and cipher as chosen.
bool IsKind(const Bytes& c, int cipher, int compression) {
  namespace at = pt::header_offset;
  constexpr std::size_t kBlock = 54;  // the header block follows the BMP headers
  if (c.size() < kBlock + at::Reserved) return false;
  const bool compressed = c[kBlock + at::Compressed] == 'Z';
  const bool enciphered = pt::LoadLE32(c.data() + kBlock + at::Encrypted) != 0;
  return compressed == (compression != 0) && enciphered == (cipher != 0) &&
         c[kBlock + at::CipherId] == (cipher == 0 ? 0 : "BTR"[cipher - 1]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_make_corpus <output folder>\n";
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path work = out / "work";
  for (const char* t : {"fuzz_decode_job", "fuzz_carrier_header", "fuzz_settings",
                        "fuzz_key_rules", "fuzz_list_parser"}) {
    fs::create_directories(out / t);
  }
  fs::remove_all(work);
  fs::create_directories(work);

  // Every cipher, each with and without the gzip stage: eight kinds.
  int n = 0;
  int missing = 0;
  for (int cipher = 0; cipher < 4; ++cipher) {
    for (int compression : {0, 3}) {
      const std::string base = "c" + std::to_string(cipher) + "_z" + std::to_string(compression);
      Bytes c = MakeCarrier(work, base, cipher, compression, 3000);
      if (!IsKind(c, cipher, compression)) {
        std::cerr << "fuzz_make_corpus: no carrier of kind " << base << "\n";
        ++missing;
        continue;
      }
      Seed(out / "fuzz_decode_job", base + "_cmdkey", 2, c);
      Seed(out / "fuzz_decode_job", base + "_dialog", 0, c);
      Write(out / "fuzz_carrier_header" / base, Bytes(c.begin(), c.begin() + pt::kHeaderReadSize));
      // 600 pixels wide: same bytes, width field changed.
      Bytes narrow = c;
      narrow[18] = pt::kOldCarrierWidth & 0xFF;
      narrow[19] = pt::kOldCarrierWidth >> 8;
      Seed(out / "fuzz_decode_job", base + "_w600", 2, narrow);
      // Damaged: truncated, a flipped payload byte.
      Seed(out / "fuzz_decode_job", base + "_trunc", 2, Bytes(c.begin(), c.begin() + static_cast<long>(c.size() / 2)));
      Bytes flipped = c;
      flipped[c.size() - 100] ^= 0x40;
      Seed(out / "fuzz_decode_job", base + "_flip", 2, flipped);
      ++n;
    }
  }
  fs::remove_all(work);

  Write(out / "fuzz_settings" / "defaults", Bytes{'2', ' ', '1', ' ', '-', '1', ' ', '0', ' ', '0', ' ', '0', ' ', '1', ' ', '0', ' ', '1', ' ', 'z', 'i', 'p', ',', 'g', 'z', ' ', '0'});
  Write(out / "fuzz_key_rules" / "hex", Bytes{1, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'});
  Write(out / "fuzz_list_parser" / "list", Bytes{'z', 'i', 'p', ',', '"', 'a', ',', 'b', '"', ';', 'g', 'z', '\n', 'Z', 'I', 'P'});
  std::cout << "seeded " << n << " carrier kinds into " << out << "\n";
  return missing == 0 ? 0 : 1;
}
