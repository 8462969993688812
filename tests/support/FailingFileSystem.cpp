#include "support/FailingFileSystem.h"

#include <algorithm>
#include <csignal>
#include <type_traits>

namespace lw::test {

void FailingFileSystem::FailAt(FileOp op, int k) {
  failOp_ = op;
  failAt_ = k;
  shortWriteBytes_.reset();
  signal_.reset();
  failFromThenOn_ = false;
  failed_ = false;
}

void FailingFileSystem::FailFrom(FileOp op, int k) {
  FailAt(op, k);
  failFromThenOn_ = true;
}

void FailingFileSystem::ShortWriteAt(int k, size_t bytesWritten) {
  FailAt(FileOp::kWrite, k);
  shortWriteBytes_ = bytesWritten;
}

void FailingFileSystem::SignalAt(FileOp op, int k, int signal) {
  FailAt(op, k);
  signal_ = signal;
}

void FailingFileSystem::Reset() {
  counts_.fill(0);
  failOp_.reset();
  failAt_ = 0;
  shortWriteBytes_.reset();
  signal_.reset();
  failFromThenOn_ = false;
  failed_ = false;
}

bool FailingFileSystem::Next(FileOp op) {
  const int count = ++counts_[static_cast<size_t>(op)];
  if (failOp_ != op || signal_ || (failFromThenOn_ ? count < failAt_ : count != failAt_)) return false;
  failed_ = true;
  return true;
}

void FailingFileSystem::AfterOp(FileOp op) {
  if (!signal_ || failOp_ != op || counts_[static_cast<size_t>(op)] != failAt_) return;
  failed_ = true;
  std::raise(*signal_);
}

// One operation of kind `op`: when it is the armed one it fails as that kind
// of operation fails (an open returns no file, a size query false, the rest
// raise `failure`); otherwise it is passed on, and the armed signal, if this
// is its operation, is raised after it.
template <typename Pass>
auto FailingFileSystem::Step(FileOp op, const char* failure, Pass pass) -> decltype(pass()) {
  using Result = decltype(pass());
  if (Next(op)) {
    if constexpr (std::is_same_v<Result, FileHandle>) {
      return kNoFile;
    } else if constexpr (std::is_same_v<Result, bool>) {
      return false;
    } else {
      throw FileError(failure);
    }
  }
  if constexpr (std::is_void_v<Result>) {
    pass();
    AfterOp(op);
  } else {
    Result result = pass();
    AfterOp(op);
    return result;
  }
}

FileHandle FailingFileSystem::OpenRead(const CString& path) {
  return Step(FileOp::kOpen, "", [&] { return Inner().OpenRead(path); });
}

FileHandle FailingFileSystem::OpenForReplace(const CString& path) {
  return Step(FileOp::kOpen, "", [&] { return Inner().OpenForReplace(path); });
}

FileHandle FailingFileSystem::CreateTempBeside(const CString& target, CString& tempPath) {
  return Step(FileOp::kCreateTemp, "", [&] { return Inner().CreateTempBeside(target, tempPath); });
}

bool FailingFileSystem::QuerySize(FileHandle file, std::uint64_t& size) {
  return Step(FileOp::kQuerySize, "", [&] { return Inner().QuerySize(file, size); });
}

bool FailingFileSystem::QueryStamp(FileHandle file, FileStamp& stamp) {
  return Step(FileOp::kQuerySize, "", [&] { return Inner().QueryStamp(file, stamp); });
}

size_t FailingFileSystem::Read(FileHandle file, void* buffer, size_t count) {
  return Step(FileOp::kRead, "read: injected failure", [&] { return Inner().Read(file, buffer, count); });
}

void FailingFileSystem::Write(FileHandle file, const void* buffer, size_t count) {
  if (Next(FileOp::kWrite)) {
    if (shortWriteBytes_) Inner().Write(file, buffer, std::min(count, *shortWriteBytes_));
    throw FileError(shortWriteBytes_ ? "write: the disk is full" : "write: injected failure");
  }
  Inner().Write(file, buffer, count);
  AfterOp(FileOp::kWrite);
}

void FailingFileSystem::Seek(FileHandle file, std::uint64_t offset) {
  Step(FileOp::kSeek, "lseek: injected failure", [&] { Inner().Seek(file, offset); });
}

void FailingFileSystem::Reserve(FileHandle file, std::uint64_t size) {
  Step(FileOp::kReserve, "posix_fallocate: injected failure", [&] { Inner().Reserve(file, size); });
}

void FailingFileSystem::SetLength(FileHandle file, std::uint64_t size) {
  Step(FileOp::kSetLength, "ftruncate: injected failure", [&] { Inner().SetLength(file, size); });
}

void FailingFileSystem::Flush(FileHandle file) {
  Step(FileOp::kFlush, "fsync: injected failure", [&] { Inner().Flush(file); });
}

void FailingFileSystem::Close(FileHandle file) {
  // A failed close still releases the handle, as the system's does.
  const bool fail = Next(FileOp::kClose);
  Inner().Close(file);
  if (fail) throw FileError("close: injected failure");
  AfterOp(FileOp::kClose);
}

void FailingFileSystem::Replace(const CString& tempPath, const CString& target) {
  Step(FileOp::kReplace, "rename: injected failure", [&] { Inner().Replace(tempPath, target); });
}

}  // namespace lw::test
