#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/ImageBuffer.h"

namespace lw {
namespace {

// The size of a transparent huge page on x86-64 and most arm64 kernels.
constexpr size_t kHugePageSize = size_t{2} << 20U;

size_t RoundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

ImageBuffer::ImageBuffer(size_t size) {
  if (size >= kHugePageSize) {
    // Map one page more than needed and trim the ends so that the block
    // starts on a huge page boundary.
    const size_t wanted = RoundUp(size, kHugePageSize);
    if (wanted + kHugePageSize < wanted) throw std::bad_alloc();
    const size_t mappedSize = wanted + kHugePageSize;
    void* mapping = mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<unsigned char*>(mapping);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const size_t head = RoundUp(address, kHugePageSize) - address;
    if (head > 0) munmap(start, head);
    const size_t tail = mappedSize - head - wanted;
    if (tail > 0) munmap(start + head + wanted, tail);
#if defined(MADV_HUGEPAGE)
    madvise(start + head, wanted, MADV_HUGEPAGE);  // a hint: without it the block still works
#endif
    block_ = start + head;
    blockSize_ = wanted;
    mapped_ = true;
    capacity_ = wanted;
  } else {
    block_ = std::malloc(size == 0 ? 1 : size);
    if (block_ == nullptr) throw std::bad_alloc();
    blockSize_ = size;
    capacity_ = size;
  }
  data_ = static_cast<unsigned char*>(block_);
  size_ = size;
}

void ImageBuffer::Reset() noexcept {
  if (block_ != nullptr) {
    if (mapped_) {
      munmap(block_, blockSize_);
    } else {
      std::free(block_);
    }
  }
  block_ = nullptr;
  blockSize_ = 0;
  mapped_ = false;
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

}  // namespace lw
