// The gzip stage between a file and its temporary gzip form, through zlib's
// gz file interface. The stored payload is a complete gzip file.
#pragma once

#include <cstdint>
#include <string>

#include "carrier/job_ui.h"

namespace pt {

// Size and CRC-32 of the plain bytes a gzip stage read or wrote, so the
// caller needs no second pass over the file.
struct StreamSummary {
  std::int64_t bytes = 0;
  std::uint32_t crc = 0;
};

// Writes a gzip file of source to target; level 0..9, or negative for
// zlib's default. False (and no target left) when the source is empty or
// missing, or anything fails on either side.
bool CompressFile(const std::string& source, const std::string& target,
                  ProgressBar& progress, int level, StreamSummary* read = nullptr);

// Writes the plain file of the gzip file source to target (replacing it
// only when complete). False when the source is empty or missing, the
// stream is damaged or truncated, writing fails, or the output would grow
// beyond maxOutput bytes (a small carrier can never fill the disk).
bool DecompressFile(const std::string& source, const std::string& target,
                    ProgressBar& progress, std::int64_t maxOutput,
                    StreamSummary* written = nullptr);

}  // namespace pt
