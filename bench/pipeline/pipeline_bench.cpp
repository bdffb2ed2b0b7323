// Whole pack and unpack jobs through the jobs' own entry point, on 1 and 2
// worker threads, each figure against a baseline measured outside
// pixelTuck's code in the same run: a plain copy of the same file in 1 MiB
// blocks with read/write (the I/O limit), and zlib's own gzwrite/gzread on
// one thread at the same level. Ends with the peak memory of a small and a
// large job. Prints Markdown (bench/update-readme.sh copies it).
//
//   pipeline_bench [size MiB = 256] [memory size MiB = 1024] [folder = temp]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/machine.h"
#include "carrier/carrier_format.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "util/parallel.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

class QuietProgress : public pt::ProgressBar {
 public:
  void SetVisible(bool) override {}
  void SetPosition(int p) override { pos_ = p; }
  int Position() const override { return pos_; }

 private:
  int pos_ = 0;
};

class QuietUi : public pt::JobUi {
 public:
  void ClearLog() override {}
  void AddLogLine(const std::string&) override {}
  pt::ProgressBar& Progress() override { return progress_; }
  void SetBusyCursor(bool) override {}
  pt::MsgAnswer ShowMessage(pt::MsgKind, const std::string& text, pt::MsgButtons) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    failed = true;
    return pt::MsgAnswer::Abort;
  }
  pt::KeyReply RequestKey(const pt::KeyRequest&) override { return {}; }
  void HidePreview() override {}
  void ShowPreview(const std::string&) override {}
  void CopyLogToClipboard() override {}
  bool failed = false;

 private:
  QuietProgress progress_;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Text, zero runs and noise, as real files mix them.
void WriteMixed(const std::string& path, std::size_t bytes) {
  std::mt19937 rng(42);
  std::vector<std::uint8_t> block(kMiB);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  static const char text[] = "Packing files into pictures, one row at a time. ";
  for (std::size_t done = 0; done < bytes; done += block.size()) {
    for (std::size_t i = 0; i < block.size();) {
      const std::size_t run = 1 + rng() % 400;
      const unsigned kind = rng() % 3;
      for (std::size_t j = 0; j < run && i < block.size(); ++j, ++i) {
        block[i] = kind == 0 ? static_cast<std::uint8_t>(text[i % (sizeof text - 1)])
                   : kind == 1 ? 0
                               : static_cast<std::uint8_t>(rng());
      }
    }
    std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), out);
  }
  std::fclose(out);
}

// The I/O limit: read and write in 1 MiB blocks, nothing else, into a new
// file as the jobs write theirs.
double CopySeconds(const std::string& from, const std::string& to) {
  ::unlink(to.c_str());
  const auto t0 = Clock::now();
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char> buf(kMiB);
  for (;;) {
    const ssize_t got = ::read(in, buf.data(), buf.size());
    if (got <= 0) break;
    if (::write(out, buf.data(), static_cast<std::size_t>(got)) != got) break;
  }
  ::close(out);
  ::close(in);
  return Since(t0);
}

// zlib on its own, one thread, the level the jobs use by default.
double GzSeconds(const std::string& plain, const std::string& gzPath, bool write) {
  std::vector<unsigned char> buf(kMiB);
  const auto t0 = Clock::now();
  std::FILE* f = std::fopen(plain.c_str(), write ? "rb" : "wb");
  gzFile gz = gzopen(gzPath.c_str(), write ? "wb" : "rb");
  for (;;) {
    if (write) {
      const std::size_t got = std::fread(buf.data(), 1, buf.size(), f);
      if (got == 0) break;
      gzwrite(gz, buf.data(), static_cast<unsigned>(got));
    } else {
      const int got = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
      if (got <= 0) break;
      std::fwrite(buf.data(), 1, static_cast<std::size_t>(got), f);
    }
  }
  gzclose(gz);
  std::fclose(f);
  return Since(t0);
}

struct JobTimes {
  double pack = 0;
  double unpack = 0;
  std::uintmax_t carrierBytes = 0;
};

JobTimes RunJobs(const fs::path& dir, const std::string& name, int cipher,
                 const std::string& hexKey, int compressionMode) {
  QuietUi ui;
  pt::JobRequest request;
  request.settings.compressionMode = static_cast<pt::CompressionMode>(compressionMode);
  request.cipher = pt::CipherAtListPosition(cipher);
  request.startedByCommandLine = true;
  JobTimes t;
  request.file = (dir / name).string();
  const pt::KeyText key(hexKey);
  request.commandLineKey = &key;
  auto t0 = Clock::now();
  const pt::JobOutcome packed = pt::RunJob(request, ui);
  t.pack = Since(t0);
  std::error_code ec;
  t.carrierBytes = fs::file_size(packed.outputPath, ec);
  const fs::path moved = dir / (name + ".orig");
  fs::rename(dir / name, moved);
  request.file = packed.outputPath;
  t0 = Clock::now();
  const pt::JobOutcome unpacked = pt::RunJob(request, ui);
  t.unpack = Since(t0);
  if (ui.failed || packed.end != pt::JobEnd::Completed || unpacked.end != pt::JobEnd::Completed ||
      unpacked.checksumError) {
    std::fprintf(stderr, "job failed (cipher %d)\n", cipher);
  }
  fs::remove(packed.outputPath);
  fs::remove(dir / name);
  fs::rename(moved, dir / name);
  return t;
}

// Peak resident memory (KiB) of one pack and unpack, measured in a child.
long PeakKiB(const fs::path& dir, const std::string& name) {
  std::fflush(stdout);
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

constexpr const char* kKey128 = "00112233445566778899AABBCCDDEEFF";
constexpr const char* kKey256 = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::stoul(argv[1]) : 256;
  const std::size_t memoryMib = argc > 2 ? std::stoul(argv[2]) : 1024;
  const fs::path dir = (argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path()) /
                       ("pixeltuck-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string name = "mixed.dat";
  const std::string src = (dir / name).string();

  // Memory first: the child processes must start before this one has worker
  // threads (a forked child has none of its parent's).
  WriteMixed(src, 16 * kMiB);
  const long peakSmall = PeakKiB(dir, name);
  WriteMixed(src, memoryMib * kMiB);
  const long peakBig = PeakKiB(dir, name);

  WriteMixed(src, mib * kMiB);
  const double mb = static_cast<double>(mib * kMiB) / 1e6;

  // The copy's best time of three before the jobs and three after them (the
  // first read warms the page cache).
  const auto bestCopy = [&](double best) {
    for (int i = 0; i < 3; ++i) best = std::min(best, CopySeconds(src, (dir / "copy").string()));
    fs::remove(dir / "copy");
    return best;
  };
  CopySeconds(src, (dir / "copy").string());
  double copy = bestCopy(1e30);
  const std::string gz = (dir / "zlib.gz").string();
  const double gzWrite = GzSeconds(src, gz, true);
  const std::uintmax_t gzBytes = fs::file_size(gz);
  const double gzRead = GzSeconds((dir / "zlib.out").string(), gz, false);
  fs::remove(gz);
  fs::remove(dir / "zlib.out");
  const std::string loadBefore = pt::bench::LoadAverage();

  struct Row {
    const char* label;
    int cipher;
    const char* key;
    int compression;
    const char* goal;
    JobTimes t[2];  // 1 and 2 threads
  };
  Row rows[] = {
      {"no cipher", 0, "", 0, "pack <= 1.3, unpack <= 1.15 x copy", {}},
      {"Blowfish, 16-byte key", 1, kKey128, 0, "2 threads >= 1.8x", {}},
      {"Twofish 128", 2, kKey128, 0, "2 threads >= 1.8x", {}},
      {"Rijndael 128", 3, kKey128, 0, "<= 1.5 x copy", {}},
      {"Rijndael 256", 3, kKey256, 0, "<= 1.5 x copy", {}},
      {"no cipher, \"If sensibly\"", 0, "", 1, "2 threads >= 1.8x gzwrite, size within 1 %", {}},
      {"Twofish 128, \"If sensibly\"", 2, kKey128, 1, "", {}},
  };
  // Each job's best time of three, as the copy's is a best time.
  for (Row& r : rows) {
    for (unsigned threads : {1u, 2u}) {
      pt::SetWorkerThreads(threads);
      JobTimes& best = r.t[threads - 1];
      best = RunJobs(dir, name, r.cipher, r.key, r.compression);
      for (int i = 1; i < 3; ++i) {
        const JobTimes t = RunJobs(dir, name, r.cipher, r.key, r.compression);
        best.pack = std::min(best.pack, t.pack);
        best.unpack = std::min(best.unpack, t.unpack);
      }
    }
  }
  pt::SetWorkerThreads(0);
  copy = bestCopy(copy);

  std::printf("Processor: %s, %u threads; load average %s at the start, %s at the end. %zu MiB "
              "of mixed data (text, zero runs, noise), page-cached; MB = 10^6 bytes, wall clock. "
              "Baselines: plain copy in 1 MiB blocks with read/write %.0f MB/s (best of 6); zlib "
              "gzwrite (level 6, one thread) %.0f MB/s, gzread %.0f MB/s. Jobs: best of 3.\n\n",
              pt::bench::CpuModel().c_str(), std::thread::hardware_concurrency(),
              loadBefore.c_str(), pt::bench::LoadAverage().c_str(), mib, mb / copy, mb / gzWrite,
              mb / gzRead);
  std::printf("| job | threads | pack MB/s | pack time / copy | unpack MB/s | unpack time / copy "
              "| 2 threads / 1 | goal |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows) {
    for (unsigned threads : {1u, 2u}) {
      const JobTimes& t = r.t[threads - 1];
      char gain[32] = "";
      if (threads == 2) {
        std::snprintf(gain, sizeof gain, "%.2fx, %.2fx", r.t[0].pack / t.pack,
                      r.t[0].unpack / t.unpack);
      }
      std::printf("| %s | %u | %.0f | %.2f | %.0f | %.2f | %s | %s |\n", r.label, threads,
                  mb / t.pack, t.pack / copy, mb / t.unpack, t.unpack / copy, gain,
                  threads == 1 ? "" : r.goal);
    }
  }
  // The carrier holds the gzip payload plus the BMP headers, the header row
  // and the last row's filler.
  const JobTimes& gz2 = rows[5].t[1];
  const double payload = static_cast<double>(gz2.carrierBytes) - static_cast<double>(pt::kLeadingBytes);
  std::printf("\n- \"If sensibly\" on 2 threads: pack %.2fx zlib gzwrite's speed, unpack %.2fx "
              "gzread's; payload %.2f %% of gzwrite's size (%.0f vs %ju bytes, last row's "
              "filler included).\n",
              gzWrite / gz2.pack, gzRead / gz2.unpack,
              100.0 * payload / static_cast<double>(gzBytes), payload, gzBytes);
  std::printf("- Peak memory of a Twofish pack and unpack with \"If sensibly\": 16 MiB file "
              "%ld KiB, %zu MiB file %ld KiB (difference %ld KiB; goal within 1024).\n",
              peakSmall, memoryMib, peakBig, peakBig - peakSmall);
  fs::remove_all(dir);
  return 0;
}
