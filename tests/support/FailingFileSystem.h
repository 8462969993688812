#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "platform/FileSystem.h"

namespace lw::test {

// The kinds of file operation FailingFileSystem counts and can fail. kOpen
// counts opens of existing files (to read, to take hold of one about to be
// saved); kCreateTemp the new files made beside them.
enum class FileOp {
  kOpen,
  kCreateTemp,
  kQuerySize,
  kRead,
  kWrite,
  kSeek,
  kReserve,
  kSetLength,
  kFlush,
  kClose,
  kReplace,
  kCount
};

// The system's files with one operation made to fail: the k-th of a kind
// (counting from 1), or the k-th write cut short after some bytes, as on a
// full disk; or a signal raised at it, as when the user presses Ctrl+C then.
// Counts every operation.
class FailingFileSystem : public ForwardingFileSystem {
 public:
  explicit FailingFileSystem(FileSystem& inner = SystemFileSystem()) : ForwardingFileSystem(inner) {}

  // Only one failure is armed at a time; arming another replaces it.
  void FailAt(FileOp op, int k);
  // Every operation of `op` from the k-th on fails, as on a disk that died.
  void FailFrom(FileOp op, int k);
  // The k-th write puts only `bytesWritten` bytes on disk, then raises.
  void ShortWriteAt(int k, size_t bytesWritten);
  // Raises `signal` in this process just after the k-th operation of `op`
  // has been done; the operation itself succeeds.
  void SignalAt(FileOp op, int k, int signal);
  // Disarms the failure and sets every count to 0.
  void Reset();

  [[nodiscard]] int Count(FileOp op) const { return counts_[static_cast<size_t>(op)]; }
  // Whether the armed failure has happened.
  [[nodiscard]] bool Failed() const { return failed_; }

  FileHandle OpenRead(const CString& path) override;
  FileHandle OpenForReplace(const CString& path) override;
  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override;
  bool QuerySize(FileHandle file, std::uint64_t& size) override;
  // Counted and failed with the size queries: both ask for a file's status.
  bool QueryStamp(FileHandle file, FileStamp& stamp) override;
  size_t Read(FileHandle file, void* buffer, size_t count) override;
  void Write(FileHandle file, const void* buffer, size_t count) override;
  void Seek(FileHandle file, std::uint64_t offset) override;
  void Reserve(FileHandle file, std::uint64_t size) override;
  void SetLength(FileHandle file, std::uint64_t size) override;
  void Flush(FileHandle file) override;
  void Close(FileHandle file) override;
  void Replace(const CString& tempPath, const CString& target) override;

 private:
  // Counts one operation of `op`; true when it is the one to fail.
  bool Next(FileOp op);
  // Raises the armed signal when `op` is the one it waits for.
  void AfterOp(FileOp op);
  template <typename Pass>
  auto Step(FileOp op, const char* failure, Pass pass) -> decltype(pass());

  std::array<int, static_cast<size_t>(FileOp::kCount)> counts_{};
  std::optional<FileOp> failOp_;
  int failAt_ = 0;
  std::optional<size_t> shortWriteBytes_;
  std::optional<int> signal_;
  bool failFromThenOn_ = false;
  bool failed_ = false;
};

}  // namespace lw::test
