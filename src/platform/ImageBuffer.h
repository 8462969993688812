#pragma once

#include <cstddef>
#include <span>

namespace lw {

// One block of memory for a whole map file. Large blocks come straight from
// the system, aligned so that the kernel can back them with huge pages: a
// fresh 64 MiB buffer then costs a few dozen page faults instead of 16384.
// The bytes start uninitialised.
class ImageBuffer {
 public:
  ImageBuffer() = default;
  // Raises std::bad_alloc when the memory cannot be had.
  explicit ImageBuffer(size_t size);
  ~ImageBuffer();
  ImageBuffer(ImageBuffer&& other) noexcept;
  ImageBuffer& operator=(ImageBuffer&& other) noexcept;
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;

  [[nodiscard]] unsigned char* Data() { return data_; }
  [[nodiscard]] const unsigned char* Data() const { return data_; }
  [[nodiscard]] size_t Size() const { return size_; }
  // Bytes usable without a new allocation.
  [[nodiscard]] size_t Capacity() const { return capacity_; }
  [[nodiscard]] std::span<unsigned char> Bytes() { return {data_, size_}; }
  [[nodiscard]] std::span<const unsigned char> Bytes() const { return {data_, size_}; }

  // Changes the size within the capacity; false (and no change) beyond it.
  bool Resize(size_t size);
  // Frees the block.
  void Reset() noexcept;

 private:
  void* block_ = nullptr;
  size_t blockSize_ = 0;
  bool mapped_ = false;
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace lw
