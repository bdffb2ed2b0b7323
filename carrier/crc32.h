// CRC-32 as stored in carriers: the zlib/gzip/PNG checksum (reflected
// polynomial 0xEDB88320, initial value and final complement all ones).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pt {

// Continues a CRC-32 over more bytes; start with Crc32(0, nullptr, 0) == 0.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t n);

}  // namespace pt
