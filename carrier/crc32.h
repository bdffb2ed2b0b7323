// CRC-32 as stored in carriers: the zlib/gzip/PNG checksum (reflected
// polynomial 0xEDB88320, initial value and final complement all ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pt {

// Continues a CRC-32 over more bytes; start with Crc32(0, nullptr, 0) == 0.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t n);

// CRC-32 of a whole file. False when reading raised an error or the name
// is no regular file; a missing file is no error and yields 0.
bool FileCrc32(const std::string& path, std::uint32_t& value);

}  // namespace pt
