#include "tests/stress/stress_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <stdexcept>

#include "carrier/crc32.h"
#include "crypto/cipher.h"

namespace pt::stress {

namespace fs = std::filesystem;

namespace {

// Deflates in gzip framing; feed(buffer) returns the next input piece
// (empty at the end).
template <typename Feed>
Bytes GzipStream(int level, Feed feed) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  Bytes out;
  std::uint8_t buf[1 << 16];
  for (;;) {
    const Bytes piece = feed();
    zs.next_in = const_cast<Bytef*>(piece.data());
    zs.avail_in = static_cast<uInt>(piece.size());
    const int flush = piece.empty() ? Z_FINISH : Z_NO_FLUSH;
    int rc = Z_OK;
    do {
      zs.next_out = buf;
      zs.avail_out = sizeof buf;
      rc = deflate(&zs, flush);
      out.insert(out.end(), buf, buf + (sizeof buf - zs.avail_out));
    } while (zs.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    if (flush == Z_FINISH) break;
  }
  deflateEnd(&zs);
  return out;
}

}  // namespace

Bytes Gzip(const Bytes& data, int level) {
  bool given = false;
  return GzipStream(level, [&]() {
    if (given) return Bytes{};
    given = true;
    return data;
  });
}

Bytes GzipOfZeros(std::size_t n) {
  const std::size_t piece = 1 << 20;
  return GzipStream(9, [&]() {
    const std::size_t step = std::min(n, piece);
    n -= step;
    return Bytes(step, 0);
  });
}

CarrierHeader GzipHeader(const std::string& name, const Bytes& data, const Bytes& gz) {
  CarrierHeader h = PlainHeader(name, data);
  h.Compressed = kCompressedMark;
  h.CompressedSize = static_cast<std::int32_t>(gz.size());
  h.CompressedCrc = CrcOf(gz);
  return h;
}

std::uint64_t TestSeed() {
  std::uint64_t seed = 0;
  if (const char* env = std::getenv("PT_TEST_SEED"); env != nullptr && *env != '\0') {
    seed = std::strtoull(env, nullptr, 0);
  } else {
    std::random_device rd;
    seed = (static_cast<std::uint64_t>(rd()) << 32) | rd();
  }
  std::cout << "[ seed     ] PT_TEST_SEED=" << seed << std::endl;
  ::testing::Test::RecordProperty("PT_TEST_SEED", std::to_string(seed));
  return seed;
}

// ------------------------------------------------------------- snapshots

std::string FileEntry(const Bytes& data) { return "file:" + std::string(data.begin(), data.end()); }

Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot s;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    const fs::path& p = it->path();
    // Lexically: relative() would resolve links to their targets.
    const std::string rel = p.lexically_relative(root).generic_string();
    if (it->is_symlink()) {
      s[rel] = "link:" + fs::read_symlink(p).string();
      it.disable_recursion_pending();
    } else if (it->is_directory()) {
      s[rel] = "dir";
    } else if (!it->is_regular_file()) {
      s[rel] = "special";  // a pipe or device: never read
    } else {
      s[rel] = FileEntry(ReadBytes(p.string()));
    }
  }
  return s;
}

namespace {
std::string Short(const std::string& entry) {
  if (entry.rfind("file:", 0) == 0) return "file of " + std::to_string(entry.size() - 5) + " bytes";
  return entry;
}
}  // namespace

std::string SnapshotDiff(const Snapshot& before, const Snapshot& after) {
  std::string out;
  for (const auto& [path, entry] : before) {
    const auto it = after.find(path);
    if (it == after.end()) {
      out += "  gone:    " + path + "\n";
    } else if (it->second != entry) {
      out += "  changed: " + path + " (" + Short(entry) + " -> " + Short(it->second) + ")\n";
    }
  }
  for (const auto& [path, entry] : after) {
    if (before.find(path) == before.end()) out += "  new:     " + path + " (" + Short(entry) + ")\n";
  }
  return out;
}

bool AnyPartialFile(const Snapshot& s, const Snapshot* before) {
  return std::any_of(s.begin(), s.end(), [before](const auto& e) {
    const std::string& p = e.first;
    if (before != nullptr && before->count(p) != 0) return false;  // the user's own
    return p.size() >= 8 && p.compare(p.size() - 8, 8, ".partial") == 0;
  });
}

// ------------------------------------------------------------ fixture

StressTest::StressTest() {
  std::random_device rd;
  root_ = fs::temp_directory_path() /
          ("pixeltuck-stress-" + std::to_string(rd()) + "-" + std::to_string(rd()));
  box_ = root_ / "box";
  fs::create_directories(box_);
}

StressTest::~StressTest() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

JobOutcome StressTest::Run(const std::string& path, int cipherIndex) {
  ui_ = std::make_unique<ScriptedUi>();
  // The stress runs replace older outputs of the same names on purpose.
  ui_->replaceAnswer = MsgAnswer::Yes;
  if (prepareUi) prepareUi(*ui_);
  const JobRequest request = test::CommandLineRequest(path, cipherIndex, settings, files);
  const auto start = std::chrono::steady_clock::now();
  const JobOutcome out = RunJob(request, state, *ui_);
  lastSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

std::string StressTest::Pack(const std::string& name, const Bytes& data, int cipherIndex,
                             const std::string& hexKey) {
  WriteBytes(Box(name), data);
  state.commandLineKey = KeyText(hexKey);
  const JobOutcome out = Run(Box(name), cipherIndex);
  EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
  return out.outputPath;
}

std::string StressTest::Messages() const {
  std::string all;
  for (const auto& m : ui_->messages) all += "[" + m.text + "] ";
  return all;
}

std::string StressTest::Log() const {
  std::string all;
  for (const auto& l : ui_->log) all += l + "\n";
  return all;
}

std::string StressTest::LastMessage() const {
  return ui_->messages.empty() ? std::string() : ui_->messages.back().text;
}

bool StressTest::ReadyLineLogged() const {
  return std::any_of(ui_->log.begin(), ui_->log.end(),
                     [](const std::string& l) { return l.rfind("Ready in", 0) == 0; });
}

}  // namespace pt::stress
