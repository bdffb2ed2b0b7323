// The gzip stage: packing writes a complete gzip file (one standard member
// that zlib's gzread reads back); unpacking inflates the deciphered payload
// on the fly with the same rules as zlib's gzread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pt {

class InputFile;
class OutputFile;

// Size and CRC-32 of the bytes a stage read or wrote, so the caller needs
// no second pass over a file.
struct StreamSummary {
  std::int64_t bytes = 0;
  std::uint32_t crc = 0;
};

enum class GzipEnd { Done, ReadFailed, WriteFailed, Stopped, DeflateFailed };

struct GzipResult {
  StreamSummary plain;   // what was read from the source
  StreamSummary packed;  // what was written: the whole gzip file
  std::string failure;   // DeflateFailed: which zlib call failed, and why
};

// Called after every batch with the plain bytes read so far; false stops.
using GzipReport = std::function<bool(std::int64_t done)>;

// Compresses the rest of in into out as one gzip member; level 0..9, or
// negative for zlib's default. A file of up to 1 MiB comes out as the very
// bytes zlib's gzopen/gzwrite (10000-byte pieces)/gzclose write at that
// level, the header's system byte always 3. Larger files are deflated in
// blocks of 1 MiB on all worker threads, each primed with the 32 KiB before
// it and ended on a byte boundary, the last one ending the stream: the same
// standard format, a few bytes per MiB larger than zlib's.
// fault: a test's stand-in for a failing zlib, or nullptr.
struct DeflateFault;
GzipEnd CompressStream(InputFile& in, OutputFile& out, int level, const GzipReport& report,
                       GzipResult& result, DeflateFault* fault = nullptr);

// What a test hands in to make zlib fail: the next deflate call reports
// `next` instead of its own result (0, Z_OK: none), once.
struct DeflateFault {
  std::atomic<int> next{0};
};

// Inflates a gzip file handed over in pieces, as zlib's gzread reads it:
// members one after another; bytes after a member that start no new one are
// ignored; input that does not start with the gzip magic is passed through
// as it is. Output goes to sink, at most maxOutput bytes.
class GunzipStream {
 public:
  using Sink = std::function<bool(const std::uint8_t* data, std::size_t n)>;
  GunzipStream(std::int64_t maxOutput, Sink sink);
  ~GunzipStream();
  GunzipStream(const GunzipStream&) = delete;
  GunzipStream& operator=(const GunzipStream&) = delete;

  // False once the stream has failed: damaged data, more output than
  // allowed, or the sink refused; later calls do nothing.
  bool Feed(const std::uint8_t* data, std::size_t n);
  // End of input; false when a member was cut short (or it failed before).
  bool Finish();
  // True when the sink refused (a write failure rather than bad data).
  bool SinkFailed() const { return sinkFailed_; }
  // The plain bytes handed to the sink.
  StreamSummary Output() const { return output_; }

 private:
  enum class State { Look, Inflate, Copy, Ignore };
  bool Emit(const std::uint8_t* data, std::size_t n);
  std::size_t InflateSome(const std::uint8_t* data, std::size_t n);

  struct Zlib;
  std::unique_ptr<Zlib> z_;
  Sink sink_;
  std::int64_t maxOutput_;
  State state_ = State::Look;
  bool seenMember_ = false;
  bool failed_ = false;
  bool sinkFailed_ = false;
  std::uint8_t pending_[2] = {};
  std::size_t pendingCount_ = 0;
  StreamSummary output_;
};

}  // namespace pt
