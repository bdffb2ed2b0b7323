#include "carrier/compression.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>
#include <zlib.h>

#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "util/byte_order.h"
#include "util/parallel.h"

namespace pt {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;  // deflated on its own
constexpr std::size_t kWindow = 32 * 1024;            // deflate's history

// One deflate stream per thread, reset for every block: its few hundred
// KiB of state are not allocated and freed a thousand times a GiB.
class Deflater {
 public:
  ~Deflater() {
    if (ready_) deflateEnd(&zs_);
  }
  z_stream* Begin(int level) {
    if (ready_ && level == level_) return deflateReset(&zs_) == Z_OK ? &zs_ : nullptr;
    if (ready_) deflateEnd(&zs_);
    zs_ = z_stream{};
    // memLevel 8 and the default strategy, as zlib's gzopen uses them.
    ready_ = deflateInit2(&zs_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    level_ = level;
    return ready_ ? &zs_ : nullptr;
  }

 private:
  z_stream zs_{};
  bool ready_ = false;
  int level_ = 0;
};

// Raw deflate of one block, primed with the bytes before it, ended with a
// sync flush so that the next block starts on a byte boundary.
bool DeflateBlock(const std::uint8_t* data, std::size_t len, const std::uint8_t* dict,
                  std::size_t dictLen, int level, std::vector<std::uint8_t>& out) {
  thread_local Deflater deflater;
  z_stream* zs = deflater.Begin(level);
  if (zs == nullptr) return false;
  bool ok = dictLen == 0 ||
            deflateSetDictionary(zs, dict, static_cast<uInt>(dictLen)) == Z_OK;
  out.resize(deflateBound(zs, static_cast<uLong>(len)) + 64);
  zs->next_in = const_cast<Bytef*>(data);
  zs->avail_in = static_cast<uInt>(len);
  std::size_t used = 0;
  while (ok) {
    zs->next_out = out.data() + used;
    zs->avail_out = static_cast<uInt>(out.size() - used);
    const int ret = deflate(zs, Z_SYNC_FLUSH);
    used = out.size() - zs->avail_out;
    if (ret != Z_OK && ret != Z_BUF_ERROR) ok = false;
    if (zs->avail_in == 0 && zs->avail_out > 0) break;
    out.resize(out.size() * 2);
  }
  out.resize(used);
  return ok;
}

// The last 32 KiB of everything compressed so far: the next block's
// dictionary must be exactly the history an inflater will have.
void KeepHistory(std::vector<std::uint8_t>& history, const std::uint8_t* data, std::size_t n) {
  if (n >= kWindow) {
    history.assign(data + n - kWindow, data + n);
    return;
  }
  history.insert(history.end(), data, data + n);
  if (history.size() > kWindow) {
    history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(kWindow));
  }
}

}  // namespace

GzipEnd CompressStream(InputFile& in, OutputFile& out, int level, const GzipReport& report,
                       GzipResult& result) {
  result = {};
  if (level < 0 || level > 9) level = Z_DEFAULT_COMPRESSION;
  auto write = [&](const std::uint8_t* p, std::size_t n) {
    result.packed.crc = Crc32(result.packed.crc, p, n);
    result.packed.bytes += static_cast<std::int64_t>(n);
    return out.Write(p, n);
  };

  // Member header as zlib writes it: no name, no time, extra flags for the
  // fastest and best levels, Unix as the system.
  const std::uint8_t xfl = level == 9 ? 2 : (level == 1 ? 4 : 0);
  const std::uint8_t header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, xfl, 3};
  if (!write(header, sizeof header)) return GzipEnd::WriteFailed;

  // Two blocks per thread are read at a time, into one of two batches:
  // while the threads deflate one batch, the previous one's output is
  // written and the next one read. Memory stays a few MiB whatever the
  // file size.
  const std::size_t batchBlocks = 2 * std::max(1u, WorkerThreads());
  std::vector<std::uint8_t> input[2] = {std::vector<std::uint8_t>(batchBlocks * kBlock),
                                        std::vector<std::uint8_t>(batchBlocks * kBlock)};
  std::vector<std::vector<std::uint8_t>> packed[2] = {
      std::vector<std::vector<std::uint8_t>>(batchBlocks),
      std::vector<std::vector<std::uint8_t>>(batchBlocks)};
  std::vector<std::uint8_t> history;  // the 32 KiB before the current batch
  history.reserve(kWindow * 2);

  bool readFailed = false;
  auto readBatch = [&](std::vector<std::uint8_t>& buf) -> std::size_t {
    const std::size_t got = in.Read(buf.data(), buf.size());
    if (in.Failed()) {
      readFailed = true;
      return 0;
    }
    result.plain.crc = Crc32(result.plain.crc, buf.data(), got);
    result.plain.bytes += static_cast<std::int64_t>(got);
    return got;
  };

  std::size_t cur = 0;
  std::size_t got = readBatch(input[0]);
  std::size_t prevBlocks = 0;  // deflated blocks of the other batch, not yet written
  while (!readFailed && (got > 0 || prevBlocks > 0)) {
    const std::size_t blocks = (got + kBlock - 1) / kBlock;
    std::size_t nextGot = 0;
    bool writeFailed = false;
    std::atomic<bool> deflateFailed{false};
    ParallelFor(blocks + 1, [&](std::size_t task) {
      if (task == 0) {
        for (std::size_t i = 0; i < prevBlocks && !writeFailed; ++i) {
          writeFailed = !write(packed[cur ^ 1][i].data(), packed[cur ^ 1][i].size());
        }
        if (!writeFailed && got == input[cur].size()) nextGot = readBatch(input[cur ^ 1]);
        return;
      }
      const std::size_t i = task - 1;
      const std::uint8_t* p = input[cur].data() + i * kBlock;
      const std::size_t len = std::min(kBlock, got - i * kBlock);
      const bool ok = i == 0
                          ? DeflateBlock(p, len, history.data(), history.size(), level, packed[cur][i])
                          : DeflateBlock(p, len, p - kWindow, kWindow, level, packed[cur][i]);
      if (!ok) deflateFailed = true;
    });
    if (writeFailed) return GzipEnd::WriteFailed;
    if (deflateFailed) return GzipEnd::NoMemory;
    KeepHistory(history, input[cur].data(), got);
    if (got > 0 && !report(result.plain.bytes)) return GzipEnd::Stopped;
    prevBlocks = blocks;
    got = nextGot;
    cur ^= 1;
  }
  if (readFailed) return GzipEnd::ReadFailed;

  // A final empty block (fixed codes, end of block), then the trailer:
  // CRC-32 and length (modulo 2^32) of the plain bytes.
  std::uint8_t trailer[10] = {0x03, 0x00};
  StoreLE32(trailer + 2, result.plain.crc);
  StoreLE32(trailer + 6, static_cast<std::uint32_t>(result.plain.bytes));
  if (!write(trailer, sizeof trailer)) return GzipEnd::WriteFailed;
  return GzipEnd::Done;
}

// ------------------------------------------------------------- GunzipStream

struct GunzipStream::Zlib {
  z_stream zs{};
  bool ready = false;
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(256 * 1024);
};

GunzipStream::GunzipStream(std::int64_t maxOutput, Sink sink)
    : z_(std::make_unique<Zlib>()), sink_(std::move(sink)), maxOutput_(maxOutput) {}

GunzipStream::~GunzipStream() {
  if (z_->ready) inflateEnd(&z_->zs);
}

bool GunzipStream::Emit(const std::uint8_t* data, std::size_t n) {
  if (n == 0) return true;
  output_.bytes += static_cast<std::int64_t>(n);
  if (output_.bytes > maxOutput_) {
    failed_ = true;  // more than the carrier says it holds
    return false;
  }
  output_.crc = Crc32(output_.crc, data, n);
  if (!sink_(data, n)) {
    sinkFailed_ = true;
    failed_ = true;
  }
  return !failed_;
}

// Inflates from data until the member ends or the input is used up; returns
// the bytes consumed. Sets failed_ on bad data.
std::size_t GunzipStream::InflateSome(const std::uint8_t* data, std::size_t n) {
  z_stream& zs = z_->zs;
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(n);
  for (;;) {
    zs.next_out = z_->out.data();
    zs.avail_out = static_cast<uInt>(z_->out.size());
    const int ret = inflate(&zs, Z_NO_FLUSH);
    if (!Emit(z_->out.data(), z_->out.size() - zs.avail_out)) break;
    if (ret == Z_STREAM_END) {
      seenMember_ = true;
      state_ = State::Look;
      break;
    }
    if (ret != Z_OK && ret != Z_BUF_ERROR) {
      failed_ = true;
      break;
    }
    if (zs.avail_out > 0) {
      // Z_BUF_ERROR with input left would mean no progress is possible.
      if (zs.avail_in > 0 && ret == Z_BUF_ERROR) failed_ = true;
      if (zs.avail_in == 0 || failed_) break;
    }
  }
  return n - zs.avail_in;
}

bool GunzipStream::Feed(const std::uint8_t* data, std::size_t n) {
  while (!failed_ && n > 0) {
    switch (state_) {
      case State::Look: {
        // Two bytes decide: the gzip magic starts a member.
        while (pendingCount_ < 2 && n > 0) {
          pending_[pendingCount_++] = *data++;
          --n;
        }
        if (pendingCount_ < 2) return true;
        pendingCount_ = 0;
        if (pending_[0] == 0x1F && pending_[1] == 0x8B) {
          if (!z_->ready) {
            if (inflateInit2(&z_->zs, 15 + 16) != Z_OK) throw std::bad_alloc();
            z_->ready = true;
          } else {
            inflateReset(&z_->zs);
          }
          state_ = State::Inflate;
          InflateSome(pending_, 2);
        } else if (!seenMember_) {
          state_ = State::Copy;  // not gzip at all: passed through
          Emit(pending_, 2);
        } else {
          state_ = State::Ignore;  // trailing bytes after the last member
        }
        break;
      }
      case State::Inflate: {
        const std::size_t used = InflateSome(data, n);
        data += used;
        n -= used;
        break;
      }
      case State::Copy:
        Emit(data, n);
        n = 0;
        break;
      case State::Ignore:
        n = 0;
        break;
    }
  }
  return !failed_;
}

bool GunzipStream::Finish() {
  if (failed_) return false;
  if (state_ == State::Look && pendingCount_ == 1 && !seenMember_) Emit(pending_, 1);
  if (state_ == State::Inflate) failed_ = true;  // the member was cut short
  return !failed_;
}

}  // namespace pt
