// A buffer for bulk bytes, its pages taken from the system at once rather
// than one page fault at a time as the first writes would: a job's buffers
// are a few MiB, and where a fault is dear (virtual machines) faulting them
// in singly costs as much as copying megabytes. Its bytes start as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pt {

class BlockBuffer {
 public:
  BlockBuffer() = default;
  explicit BlockBuffer(std::size_t bytes);
  ~BlockBuffer();
  BlockBuffer(BlockBuffer&& other) noexcept;
  BlockBuffer& operator=(BlockBuffer&& other) noexcept;
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void Free();

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;  // from the system's page allocator, not the heap
};

}  // namespace pt
