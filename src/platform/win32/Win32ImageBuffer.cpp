#include <windows.h>

#include <new>
#include <utility>

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

ImageBuffer::~ImageBuffer() { Reset(); }

ImageBuffer::ImageBuffer(ImageBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      blockSize_(std::exchange(other.blockSize_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
  if (this != &other) {
    Reset();
    block_ = std::exchange(other.block_, nullptr);
    blockSize_ = std::exchange(other.blockSize_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

bool ImageBuffer::Resize(size_t size) {
  if (size > capacity_) return false;
  size_ = size;
  return true;
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
