#include <windows.h>

#include <new>

#include "platform/ImageBuffer.h"

namespace lw {

// Straight from the system: a map's image is committed at its exact size and
// handed back whole, so that a large map leaves no hole in the process heap.
ImageBuffer::ImageBuffer(size_t size) {
  block_ = VirtualAlloc(nullptr, size == 0 ? 1 : size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block_ == nullptr) throw std::bad_alloc();
  blockSize_ = size;
  mapped_ = true;
  capacity_ = size;
  data_ = static_cast<unsigned char*>(block_);
  size_ = size;
}

void ImageBuffer::Reset() noexcept {
  if (block_ != nullptr) VirtualFree(block_, 0, MEM_RELEASE);
  block_ = nullptr;
  blockSize_ = 0;
  mapped_ = false;
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

}  // namespace lw
