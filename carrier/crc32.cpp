#include "carrier/crc32.h"

#include <vector>
#include <zlib.h>

#include "carrier/file_io.h"

namespace pt {

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t n) {
  // zlib's crc32() gives the same values as a byte table, several times
  // faster; it takes at most a uInt per call.
  const auto* p = static_cast<const Bytef*>(data);
  while (n > 0) {
    const auto step = static_cast<uInt>(n < (1u << 30) ? n : (1u << 30));
    crc = static_cast<std::uint32_t>(::crc32(crc, p, step));
    p += step;
    n -= step;
  }
  return crc;
}

bool FileCrc32(const std::string& path, std::uint32_t& value) {
  value = 0;
  InputFile in;
  if (!in.Open(path)) return true;
  std::vector<unsigned char> buf(1 << 16);
  std::uint32_t crc = 0;
  for (;;) {
    const std::size_t got = in.Read(buf.data(), buf.size());
    if (got == 0) break;
    crc = Crc32(crc, buf.data(), got);
  }
  const bool ok = !in.Failed();
  in.Close();
  value = crc;
  return ok;
}

}  // namespace pt
