// Packs and unpacks a generated file of mixed data with every cipher and
// prints MB/s, each as a ratio to a plain copy through the same I/O layer,
// plus the peak memory of a pack and an unpack for two file sizes.
//
//   pipeline_bench [size MiB = 256] [folder = system temp]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#include "carrier/file_io.h"
#include "carrier/job.h"
#include "crypto/cipher.h"

namespace fs = std::filesystem;

namespace {

class QuietProgress : public pt::ProgressBar {
 public:
  void SetVisible(bool) override {}
  void SetPosition(int p) override { pos_ = p; }
  int Position() const override { return pos_; }
  void Repaint() override {}

 private:
  int pos_ = 0;
};

class QuietUi : public pt::JobUi {
 public:
  void ClearLog() override {}
  void AddLogLine(const std::string&) override {}
  void RepaintLog() override {}
  void ScrollLogToEnd() override {}
  pt::ProgressBar& Progress() override { return progress_; }
  void SetBusyCursor(bool) override {}
  pt::MsgAnswer ShowMessage(pt::MsgKind, const std::string& text, pt::MsgButtons) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    failed = true;
    return pt::MsgAnswer::Abort;
  }
  pt::KeyReply RequestKey(const pt::KeyRequest&) override { return {}; }
  void HidePreview() override {}
  bool ShowBitmapChecked() const override { return false; }
  void ShowPreview(const std::string&) override {}
  void CopyLogToClipboard() override {}
  void CloseWindow() override {}
  std::optional<std::string> ChooseFile() override { return std::nullopt; }
  bool failed = false;

 private:
  QuietProgress progress_;
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void WriteMixed(const std::string& path, std::size_t bytes) {
  std::mt19937 rng(42);
  std::vector<std::uint8_t> block(1 << 20);
  pt::OutputFile out;
  out.Create(path);
  static const char text[] = "Packing files into pictures, one row at a time. ";
  for (std::size_t done = 0; done < bytes; done += block.size()) {
    for (std::size_t i = 0; i < block.size();) {
      const std::size_t run = 1 + rng() % 400;
      const unsigned kind = rng() % 3;
      for (std::size_t j = 0; j < run && i < block.size(); ++j, ++i) {
        block[i] = kind == 0 ? static_cast<std::uint8_t>(text[(i) % (sizeof text - 1)])
                   : kind == 1 ? 0
                               : static_cast<std::uint8_t>(rng());
      }
    }
    out.Write(block.data(), std::min(block.size(), bytes - done));
  }
  out.Commit();
}

// Plain copy through the program's stream classes: the I/O limit.
double CopySeconds(const std::string& from, const std::string& to) {
  const auto t0 = std::chrono::steady_clock::now();
  pt::InputFile in;
  pt::OutputFile out;
  in.Open(from);
  out.Create(to);
  std::vector<std::uint8_t> buf(1824);
  for (;;) {
    const std::size_t got = in.Read(buf.data(), buf.size());
    if (got == 0) break;
    out.Write(buf.data(), got);
  }
  out.Commit();
  return Seconds(std::chrono::steady_clock::now() - t0);
}

struct JobTimes {
  double pack = 0, unpack = 0;
};

JobTimes RunJobs(const fs::path& dir, const std::string& name, int cipher,
                 const std::string& hexKey, int compressionMode) {
  QuietUi ui;
  pt::Settings settings;
  settings.compressionMode = compressionMode;
  pt::RunState state;
  JobTimes t;
  state.commandLineFile = (dir / name).string();
  state.commandLineKey = hexKey;
  pt::JobRequest request{cipher, pt::kCipherListItems[static_cast<std::size_t>(cipher)], true};
  auto t0 = std::chrono::steady_clock::now();
  const pt::JobOutcome packed = pt::mOpenClick(ui, settings, state, request);
  t.pack = Seconds(std::chrono::steady_clock::now() - t0);
  const fs::path moved = dir / (name + ".orig");
  fs::rename(dir / name, moved);
  state.commandLineFile = packed.outputPath;
  state.commandLineKey = hexKey;
  t0 = std::chrono::steady_clock::now();
  const pt::JobOutcome unpacked = pt::mOpenClick(ui, settings, state, request);
  t.unpack = Seconds(std::chrono::steady_clock::now() - t0);
  if (ui.failed || packed.end != pt::JobEnd::Completed || unpacked.end != pt::JobEnd::Completed ||
      unpacked.checksumError) {
    std::fprintf(stderr, "job failed (cipher %d)\n", cipher);
  }
  fs::remove(packed.outputPath);
  fs::rename(moved, dir / name);
  return t;
}

// Engine speed over one buffer, for the expected cost of enciphering.
double EngineMBps(int cipher, const std::string& key) {
  std::vector<std::uint8_t> buf(64u << 20, 0x5A);
  pt::ChunkCipher c;
  c.KeyForEncode(pt::CipherIdForIndex(cipher), key);
  const auto t0 = std::chrono::steady_clock::now();
  for (std::size_t off = 0; off < buf.size(); off += 1824) {
    c.EncryptChunk(buf.data() + off, std::min<std::size_t>(1824, buf.size() - off) / 16 * 16);
  }
  return 64.0 / Seconds(std::chrono::steady_clock::now() - t0);
}

double GzSeconds(const std::string& from, const std::string& gzPath, bool write) {
  std::vector<unsigned char> buf(64 * 1024);
  const auto t0 = std::chrono::steady_clock::now();
  if (write) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    gzFile gz = gzopen(gzPath.c_str(), "wb");
    gzbuffer(gz, 256 * 1024);
    for (;;) {
      const std::size_t got = std::fread(buf.data(), 1, buf.size(), in);
      if (got == 0) break;
      gzwrite(gz, buf.data(), static_cast<unsigned>(got));
    }
    gzclose(gz);
    std::fclose(in);
  } else {
    gzFile gz = gzopen(gzPath.c_str(), "rb");
    gzbuffer(gz, 256 * 1024);
    std::FILE* out = std::fopen(from.c_str(), "wb");
    for (;;) {
      const int got = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
      if (got <= 0) break;
      std::fwrite(buf.data(), 1, static_cast<std::size_t>(got), out);
    }
    std::fclose(out);
    gzclose(gz);
  }
  return Seconds(std::chrono::steady_clock::now() - t0);
}

// Peak resident memory (KiB) of one pack + unpack, measured in a child.
long PeakKiB(const fs::path& dir, const std::string& name) {
  const pid_t pid = fork();
  if (pid == 0) {
    RunJobs(dir, name, 2, "00112233445566778899AABBCCDDEEFF", 1);
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::stoul(argv[1]) : 256;
  const fs::path dir = (argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path()) /
                       ("pixeltuck-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string name = "mixed.dat";
  const std::string src = (dir / name).string();
  WriteMixed(src, mib << 20);
  const double mb = static_cast<double>(mib) * 1048576.0 / 1e6;

  CopySeconds(src, (dir / "warm").string());  // page cache
  const double copy = CopySeconds(src, (dir / "copy").string());
  fs::remove(dir / "copy");
  fs::remove(dir / "warm");
  std::printf("pixelTuck pipeline, %zu MiB of mixed data, MB = 10^6 bytes\n\n", mib);
  std::printf("%-28s %9s %8s %9s %8s\n", "", "pack MB/s", "x copy", "unpk MB/s", "x copy");
  std::printf("%-28s %9.0f %8s\n", "plain copy (same I/O layer)", mb / copy, "1.00");

  struct Row { const char* label; int cipher; const char* key; int compression; };
  const Row rows[] = {
      {"none", 0, "", 0},
      {"Blowfish (16-byte key)", 1, "00112233445566778899AABBCCDDEEFF", 0},
      {"Twofish 128", 2, "00112233445566778899AABBCCDDEEFF", 0},
      {"Rijndael 128", 3, "00112233445566778899AABBCCDDEEFF", 0},
      {"Rijndael 256", 3, "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF", 0},
      {"none, If sensibly", 0, "", 1},
      {"Twofish 128, If sensibly", 2, "00112233445566778899AABBCCDDEEFF", 1},
  };
  double gzWrite = 0, gzRead = 0;
  JobTimes none{};
  for (const Row& r : rows) {
    const JobTimes t = RunJobs(dir, name, r.cipher, r.key, r.compression);
    if (r.cipher == 0 && r.compression == 0) none = t;
    std::printf("%-28s %9.0f %8.2f %9.0f %8.2f\n", r.label, mb / t.pack, t.pack / copy,
                mb / t.unpack, t.unpack / copy);
    if (r.cipher != 0 && r.compression == 0) {
      std::string keyBytes;
      for (std::size_t i = 0; i + 1 < std::strlen(r.key); i += 2) {
        keyBytes.push_back(static_cast<char>(std::stoi(std::string(r.key + i, 2), nullptr, 16)));
      }
      const double engine = EngineMBps(r.cipher, keyBytes);
      const double packBound = mb / engine + none.pack;
      const double unpackBound = mb / engine + none.unpack;
      std::printf("%-28s engine %.0f MB/s; pack %.2fx, unpack %.2fx of (size/engine + no-cipher) "
                  "(goal <= 1.15)\n", "", engine, t.pack / packBound, t.unpack / unpackBound);
    }
    if (r.compression == 1) {
      if (gzWrite == 0) {
        const std::string gz = (dir / "raw.gz").string();
        gzWrite = GzSeconds(src, gz, true);
        gzRead = GzSeconds((dir / "raw.out").string(), gz, false);
        fs::remove(gz);
        fs::remove(dir / "raw.out");
      }
      std::printf("%-28s gzwrite %.0f MB/s, gzread %.0f MB/s; pack %.2fx, unpack %.2fx of zlib "
                  "(goal >= 0.9, >= 0.8)\n", "", mb / gzWrite, mb / gzRead, gzWrite / t.pack,
                  gzRead / t.unpack);
    }
  }
  std::printf("\nno cipher, no compression: pack %.2fx of the copy's time (goal <= 1.5)\n",
              none.pack / copy);

  const long peakBig = PeakKiB(dir, name);
  fs::remove(src);
  WriteMixed(src, 16u << 20);
  const long peakSmall = PeakKiB(dir, name);
  std::printf("peak memory, Twofish pack + unpack (If sensibly): 16 MiB file %ld KiB, "
              "%zu MiB file %ld KiB\n", peakSmall, mib, peakBig);
  fs::remove_all(dir);
  return 0;
}
