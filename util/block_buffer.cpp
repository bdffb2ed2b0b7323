#include "util/block_buffer.h"

#include <new>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace pt {

namespace {

// Pages committed and present, or nullptr.
void* MapPages(std::size_t bytes) {
#ifdef _WIN32
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;
#endif
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
#endif
}

void UnmapPages(void* p, std::size_t bytes) {
#ifdef _WIN32
  (void)bytes;
  VirtualFree(p, 0, MEM_RELEASE);
#else
  ::munmap(p, bytes);
#endif
}

}  // namespace

BlockBuffer::BlockBuffer(std::size_t bytes) : size_(bytes) {
  if (bytes == 0) return;
  data_ = static_cast<std::uint8_t*>(MapPages(bytes));
  mapped_ = data_ != nullptr;
  // Without pages from the system the heap serves, zeroed as they are.
  if (!mapped_) data_ = new std::uint8_t[bytes]();
}

BlockBuffer::~BlockBuffer() { Free(); }

BlockBuffer::BlockBuffer(BlockBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

BlockBuffer& BlockBuffer::operator=(BlockBuffer&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void BlockBuffer::Free() {
  if (data_ == nullptr) return;
  if (mapped_) {
    UnmapPages(data_, size_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
}

}  // namespace pt
