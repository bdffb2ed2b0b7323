#include "carrier/compression.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>
#include <zlib.h>

#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "util/byte_order.h"
#include "util/parallel.h"
#include "util/pipeline.h"

namespace pt {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;  // deflated on its own
constexpr std::size_t kWindow = 32 * 1024;            // deflate's history
constexpr std::size_t kHeaderBytes = 10;
// How the classic stage fed zlib: gzwrite with pieces of 10000 bytes, into
// gz buffers of 8192 bytes. Level 0's stored blocks depend on both.
constexpr std::size_t kGzwritePiece = 10000;
constexpr std::size_t kGzBuffer = 8192;
// The system byte of the header: zlib's value on Unix, written on every
// platform so that carriers do not depend on where they were made.
constexpr std::uint8_t kGzipOs = 3;

// What zlib returned, or the code a test asked for.
int Checked(int ret, DeflateFault* fault) {
  const int injected = fault != nullptr ? fault->next.exchange(Z_OK) : Z_OK;
  return injected != Z_OK ? injected : ret;
}

struct DeflateStatus {
  const char* call = nullptr;  // the zlib call that failed; null when all went well
  int code = Z_OK;
  bool ok() const { return call == nullptr; }
};

// One deflate stream per thread, reset for every block: its few hundred
// KiB of state are not allocated and freed a thousand times a GiB.
class Deflater {
 public:
  ~Deflater() {
    if (ready_) deflateEnd(&zs_);
  }
  DeflateStatus Begin(int level) {
    if (ready_ && level == level_) {
      const int ret = deflateReset(&zs_);
      return ret == Z_OK ? DeflateStatus{} : DeflateStatus{"deflateReset", ret};
    }
    if (ready_) deflateEnd(&zs_);
    zs_ = z_stream{};
    // memLevel 8 and the default strategy, as zlib's gzopen uses them.
    const int ret = deflateInit2(&zs_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    ready_ = ret == Z_OK;
    level_ = level;
    return ready_ ? DeflateStatus{} : DeflateStatus{"deflateInit2", ret};
  }
  z_stream* stream() { return &zs_; }

 private:
  z_stream zs_{};
  bool ready_ = false;
  int level_ = 0;
};

// How a block's deflate ends: on a byte boundary for the next block, as the
// stream's last block, or as the whole stream exactly as gzwrite writes it.
enum class BlockEnd { Sync, Last, Whole };

// Calls deflate until it has nothing more to give. outWindow: the room
// deflate is offered each call (0: as much as fits), with windowUsed the
// part of it already filled, as in gzwrite's output buffer.
DeflateStatus Drain(z_stream* zs, int flush, std::vector<std::uint8_t>& out, std::size_t& used,
                    std::size_t outWindow, std::size_t& windowUsed, DeflateFault* fault) {
  for (;;) {
    if (outWindow > 0 && windowUsed == outWindow) windowUsed = 0;
    if (outWindow == 0 && used == out.size()) out.resize(out.size() * 2 + 64);
    const std::size_t room = outWindow > 0 ? outWindow - windowUsed : out.size() - used;
    if (out.size() < used + room) out.resize(std::max(out.size() * 2, used + room));
    zs->next_out = out.data() + used;
    zs->avail_out = static_cast<uInt>(room);
    const int ret = Checked(deflate(zs, flush), fault);
    if (ret != Z_OK && ret != Z_BUF_ERROR && ret != Z_STREAM_END) return {"deflate", ret};
    const std::size_t produced = room - zs->avail_out;
    used += produced;
    windowUsed += produced;
    if (produced == 0) return {};
  }
}

// Raw deflate of one block, primed with the bytes before it.
DeflateStatus DeflateBlock(const std::uint8_t* data, std::size_t len, const std::uint8_t* dict,
                           std::size_t dictLen, int level, BlockEnd end,
                           std::vector<std::uint8_t>& out, DeflateFault* fault) {
  thread_local Deflater deflater;
  DeflateStatus status = deflater.Begin(level);
  if (!status.ok()) return status;
  z_stream* zs = deflater.stream();
  if (dictLen > 0) {
    const int ret = deflateSetDictionary(zs, dict, static_cast<uInt>(dictLen));
    if (ret != Z_OK) return {"deflateSetDictionary", ret};
  }
  out.resize(deflateBound(zs, static_cast<uLong>(len)) + 64);
  std::size_t used = 0;
  std::size_t windowUsed = 0;
  zs->next_in = const_cast<Bytef*>(data);
  zs->avail_in = 0;
  if (end != BlockEnd::Whole) {
    zs->avail_in = static_cast<uInt>(len);
    status = Drain(zs, end == BlockEnd::Last ? Z_FINISH : Z_SYNC_FLUSH, out, used, 0, windowUsed, fault);
  } else {
    // The same deflate calls as gzwrite's with 10000-byte pieces and
    // gzclose: pieces of at least a buffer go to deflate directly, a
    // shorter (last) one waits in the buffer for the finish. The output
    // buffer already holds the header.
    windowUsed = kHeaderBytes;
    for (std::size_t at = 0; status.ok() && at < len; at += kGzwritePiece) {
      const std::size_t piece = std::min(kGzwritePiece, len - at);
      if (piece < kGzBuffer) {
        if (zs->avail_in == 0) zs->next_in = const_cast<Bytef*>(data + at);
        zs->avail_in += static_cast<uInt>(piece);
        continue;
      }
      if (zs->avail_in > 0) status = Drain(zs, Z_NO_FLUSH, out, used, kGzBuffer, windowUsed, fault);
      zs->next_in = const_cast<Bytef*>(data + at);
      zs->avail_in = static_cast<uInt>(piece);
      if (status.ok()) status = Drain(zs, Z_NO_FLUSH, out, used, kGzBuffer, windowUsed, fault);
    }
    if (status.ok()) status = Drain(zs, Z_FINISH, out, used, kGzBuffer, windowUsed, fault);
  }
  out.resize(used);
  return status;
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

std::string FailureText(const DeflateStatus& status) {
  return std::string(status.call) + " failed: " + zError(status.code);
}

}  // namespace

GzipEnd CompressStream(InputFile& in, OutputFile& out, int level, const GzipReport& report,
                       GzipResult& result, DeflateFault* fault) {
  result = {};
  if (level < 0 || level > 9) level = Z_DEFAULT_COMPRESSION;
  auto write = [&](const std::uint8_t* p, std::size_t n) {
    result.packed.crc = Crc32(result.packed.crc, p, n);
    result.packed.bytes += static_cast<std::int64_t>(n);
    return out.Write(p, n);
  };

  // Member header as zlib writes it: no name, no time, extra flags 2 for
  // the best level and 4 for the fastest ones (0 and 1).
  const std::uint8_t xfl = level == 9 ? 2 : (level == 0 || level == 1 ? 4 : 0);
  const std::uint8_t header[kHeaderBytes] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, xfl, kGzipOs};
  if (!write(header, sizeof header)) return GzipEnd::WriteFailed;

  // Two blocks per thread are read at a time, into one of two batches:
  // while the threads deflate one batch, the previous one's output is
  // written and the next one read (RunPipeline). Memory stays a few MiB
  // whatever the file size. A file of one block is deflated as zlib's
  // gzwrite does it, byte for byte; the last block of a larger one ends the
  // stream.
  const std::size_t batchBlocks = 2 * std::max(1u, WorkerThreads());
  std::vector<std::uint8_t> input[2] = {std::vector<std::uint8_t>(batchBlocks * kBlock),
                                        std::vector<std::uint8_t>(batchBlocks * kBlock)};
  std::vector<std::vector<std::uint8_t>> packed[2] = {
      std::vector<std::vector<std::uint8_t>>(batchBlocks),
      std::vector<std::vector<std::uint8_t>>(batchBlocks)};
  std::vector<DeflateStatus> status[2] = {std::vector<DeflateStatus>(batchBlocks),
                                          std::vector<DeflateStatus>(batchBlocks)};
  std::vector<std::uint8_t> history;  // the 32 KiB before the current batch
  history.reserve(kWindow * 2);
  const auto blocksOf = [](const PipelineBatch& batch) {
    return (batch.bytes + kBlock - 1) / kBlock;
  };
  const auto deflateOne = [&](const PipelineBatch& batch, std::size_t i, BlockEnd end) {
    const std::uint8_t* p = input[batch.slot].data() + i * kBlock;
    const std::size_t len = std::min(kBlock, batch.bytes - i * kBlock);
    std::vector<std::uint8_t>& to = packed[batch.slot][i];
    status[batch.slot][i] =
        i == 0 ? DeflateBlock(p, len, history.data(), history.size(), level, end, to, fault)
               : DeflateBlock(p, len, p - kWindow, kWindow, level, end, to, fault);
  };

  bool stopped = false;
  DeflateStatus failed;
  PipelineSteps steps;
  steps.read = [&](int slot) {
    PipelineRead got;
    got.bytes = in.Read(input[slot].data(), input[slot].size());
    if (in.Failed()) {
      got.bytes = 0;
      got.failed = true;
      return got;
    }
    // A short read is the file's end: this batch holds the last block.
    got.last = got.bytes < input[slot].size();
    result.plain.crc = Crc32(result.plain.crc, input[slot].data(), got.bytes);
    result.plain.bytes += static_cast<std::int64_t>(got.bytes);
    return got;
  };
  steps.parts = blocksOf;
  steps.work = [&](const PipelineBatch& batch, std::size_t i, std::size_t blocks) {
    BlockEnd end = BlockEnd::Sync;
    if (batch.last && i + 1 == blocks) {
      end = batch.offset == 0 && blocks == 1 ? BlockEnd::Whole : BlockEnd::Last;
    }
    deflateOne(batch, i, end);
  };
  steps.write = [&](const PipelineBatch& batch) {
    bool ok = true;
    for (std::size_t i = 0; i < blocksOf(batch) && ok; ++i) {
      ok = write(packed[batch.slot][i].data(), packed[batch.slot][i].size());
    }
    return ok;
  };
  steps.settle = [&](const PipelineBatch& batch, bool streamEnds) {
    const std::size_t blocks = blocksOf(batch);
    // A file that ends exactly with a full batch: its last block is done
    // again as the stream's end.
    if (!batch.last && streamEnds && blocks > 0) deflateOne(batch, blocks - 1, BlockEnd::Last);
    for (std::size_t i = 0; i < blocks; ++i) {
      if (!status[batch.slot][i].ok()) {
        failed = status[batch.slot][i];
        return false;
      }
    }
    KeepHistory(history, input[batch.slot].data(), batch.bytes);
    if (batch.bytes > 0 && !report(result.plain.bytes)) {
      stopped = true;
      return false;
    }
    return true;
  };
  switch (RunPipeline(steps)) {
    case PipelineEnd::Done:
      break;
    case PipelineEnd::ReadFailed:
      return GzipEnd::ReadFailed;
    case PipelineEnd::WriteFailed:
      return GzipEnd::WriteFailed;
    case PipelineEnd::Halted:
      if (stopped) return GzipEnd::Stopped;
      result.failure = FailureText(failed);
      return GzipEnd::DeflateFailed;
  }

  // An empty file still needs a last block; then the trailer: CRC-32 and
  // length (modulo 2^32) of the plain bytes.
  if (result.plain.bytes == 0) {
    std::vector<std::uint8_t> empty;
    const DeflateStatus s = DeflateBlock(nullptr, 0, nullptr, 0, level, BlockEnd::Whole, empty, fault);
    if (!s.ok()) {
      result.failure = FailureText(s);
      return GzipEnd::DeflateFailed;
    }
    if (!write(empty.data(), empty.size())) return GzipEnd::WriteFailed;
  }
  std::uint8_t trailer[8];
  StoreLE32(trailer, result.plain.crc);
  StoreLE32(trailer + 4, static_cast<std::uint32_t>(result.plain.bytes));
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
