#include "platform/ImageBuffer.h"

#include <utility>

// What every system's buffer shares; each backend allocates and frees the
// block its own way (the constructor and Reset).
namespace lw {

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

}  // namespace lw
