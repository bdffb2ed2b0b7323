#include "carrier/compression.h"

#include <vector>
#include <zlib.h>
#ifdef _WIN32
#include <filesystem>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "carrier/crc32.h"
#include "carrier/file_io.h"
#include "util/text.h"

namespace pt {

namespace {

// Transfer buffer of both directions; memory use does not depend on the
// file size.
constexpr std::size_t kTransfer = 256 * 1024;

gzFile GzOpen(const std::string& path, const char* mode) {
#ifdef _WIN32
  // zlib's wide-character open, for UTF-8 paths outside the code page.
  std::wstring wide = std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
  return gzopen_w(wide.c_str(), mode);
#else
  if (mode[0] == 'r') return gzopen(path.c_str(), mode);
  // A link planted under the temporary name is not followed: the gzip bytes
  // go into a file of that name or nowhere.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  gzFile gz = gzdopen(fd, mode);
  if (gz == nullptr) ::close(fd);
  return gz;
#endif
}

void UpdatePercent(ProgressBar& progress, std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  const std::int64_t percent = done * 100 / total;
  const int shown = percent > 100 ? 100 : static_cast<int>(percent);
  if (shown != progress.Position()) {
    progress.SetPosition(shown);
    progress.Repaint();
  }
}

}  // namespace

bool CompressFile(const std::string& source, const std::string& target,
                  ProgressBar& progress, int level, StreamSummary* read) {
  std::string sourcePath = source;
  const std::int64_t size = FileSizeOf(sourcePath, false);
  if (size <= 0) return false;
  std::string mode = "wb";
  if (level >= 0) mode += std::to_string(level > 9 ? 9 : level);
  progress.SetPosition(0);

  InputFile in;
  if (!in.Open(source, /*unbuffered=*/true)) return false;
  gzFile gz = GzOpen(target, mode.c_str());
  if (gz == nullptr) return false;
  gzbuffer(gz, 256 * 1024);

  std::vector<unsigned char> buf(kTransfer);
  progress.SetVisible(true);
  bool ok = true;
  std::int64_t total = 0;
  std::uint32_t crc = 0;
  for (;;) {
    const std::size_t got = in.Read(buf.data(), buf.size());
    if (got == 0) break;
    if (read != nullptr) crc = Crc32(crc, buf.data(), got);
    if (gzwrite(gz, buf.data(), static_cast<unsigned>(got)) != static_cast<int>(got)) {
      ok = false;
      break;
    }
    total += static_cast<std::int64_t>(got);
    UpdatePercent(progress, total, size);
  }
  ok = !in.Failed() && ok;
  ok = (gzclose(gz) == Z_OK) && ok;
  in.Close();
  if (read != nullptr) *read = StreamSummary{total, crc};
  progress.SetVisible(false);
  if (!ok) DeleteFile(target);
  return ok;
}

bool DecompressFile(const std::string& source, const std::string& target,
                    ProgressBar& progress, std::int64_t maxOutput, StreamSummary* written) {
  std::string sourcePath = source;
  const std::int64_t size = FileSizeOf(sourcePath, false);
  if (size <= 0) return false;
  progress.SetPosition(0);

  gzFile gz = GzOpen(source, "rb");
  if (gz == nullptr) return false;
  gzbuffer(gz, 256 * 1024);
  OutputFile out;
  if (!out.Create(target)) {
    gzclose(gz);
    return false;
  }

  std::vector<unsigned char> buf(kTransfer);
  progress.SetVisible(true);
  bool ok = true;
  std::int64_t total = 0;
  std::uint32_t crc = 0;
  for (;;) {
    const int got = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
    if (got == 0) break;
    if (got < 0) {  // damaged stream
      ok = false;
      break;
    }
    total += got;
    if (total > maxOutput) {  // more than the carrier says it holds
      ok = false;
      break;
    }
    if (!out.Write(buf.data(), static_cast<std::size_t>(got))) {
      ok = false;
      break;
    }
    crc = Crc32(crc, buf.data(), static_cast<std::size_t>(got));
    // Relates output to input size, so it normally reaches 100 early.
    UpdatePercent(progress, total, size);
  }
  // gzclose reports a stream that ended in the middle (truncated input).
  ok = (gzclose(gz) == Z_OK) && ok;
  if (ok) {
    ok = out.Commit();
  } else {
    out.Discard();
  }
  progress.SetVisible(false);
  if (ok && written != nullptr) *written = StreamSummary{total, crc};
  return ok;
}

}  // namespace pt
