// Writes seed inputs for the fuzz targets into <out>/<target>/.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "carrier/job.h"
#include "crypto/cipher.h"
#include "tests/support/scripted_ui.h"

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

// Packs a small file with the real job and returns the carrier's bytes.
Bytes MakeCarrier(const fs::path& work, int cipher, int compression, std::size_t size) {
  const fs::path src = work / "seed.txt";
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>("seed text "[i % 10] + (i / 97) % 3);
  Write(src, data);
  pt::test::ScriptedUi ui;
  pt::Settings settings;
  settings.compressionMode = compression;
  pt::RunState state;
  state.commandLineFile = src.string();
  state.commandLineKey = "00112233445566778899AABBCCDDEEFF";
  pt::JobRequest request{cipher, pt::kCipherListItems[static_cast<std::size_t>(cipher)], true};
  const pt::JobOutcome out = pt::mOpenClick(ui, settings, state, request);
  return out.end == pt::JobEnd::Completed ? Read(out.outputPath) : Bytes{};
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
  fs::create_directories(work);

  int n = 0;
  for (int cipher = 0; cipher < 4; ++cipher) {
    for (int compression : {0, 3}) {
      Bytes c = MakeCarrier(work, cipher, compression, 3000);
      if (c.empty()) continue;
      const std::string base = "c" + std::to_string(cipher) + "_z" + std::to_string(compression);
      Seed(out / "fuzz_decode_job", base + "_cmdkey", 2, c);
      Seed(out / "fuzz_decode_job", base + "_dialog", 0, c);
      Write(out / "fuzz_carrier_header" / base, Bytes(c.begin(), c.begin() + 1854));
      // 600 pixels wide: same bytes, width field changed.
      Bytes narrow = c;
      narrow[18] = 600 & 0xFF;
      narrow[19] = 600 >> 8;
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
  std::cout << "seeded " << n << " carrier variants into " << out << "\n";
  return n > 0 ? 0 : 1;
}
