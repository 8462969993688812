#include "support/FailingFileSystem.h"

#include <algorithm>

namespace lw::test {

void FailingFileSystem::FailAt(FileOp op, int k) {
  failOp_ = op;
  failAt_ = k;
  shortWriteBytes_.reset();
  failed_ = false;
}

void FailingFileSystem::ShortWriteAt(int k, size_t bytesWritten) {
  FailAt(FileOp::kWrite, k);
  shortWriteBytes_ = bytesWritten;
}

void FailingFileSystem::Reset() {
  counts_.fill(0);
  failOp_.reset();
  failAt_ = 0;
  shortWriteBytes_.reset();
  failed_ = false;
}

bool FailingFileSystem::Next(FileOp op) {
  const int count = ++counts_[static_cast<size_t>(op)];
  if (failOp_ != op || count != failAt_) return false;
  failed_ = true;
  return true;
}

FileHandle FailingFileSystem::OpenRead(const CString& path) {
  return Next(FileOp::kOpen) ? kNoFile : inner_.OpenRead(path);
}

FileHandle FailingFileSystem::OpenWrite(const CString& path) {
  return Next(FileOp::kOpen) ? kNoFile : inner_.OpenWrite(path);
}

FileHandle FailingFileSystem::OpenForReplace(const CString& path) {
  return Next(FileOp::kOpen) ? kNoFile : inner_.OpenForReplace(path);
}

FileHandle FailingFileSystem::CreateTempBeside(const CString& target, CString& tempPath) {
  return Next(FileOp::kOpen) ? kNoFile : inner_.CreateTempBeside(target, tempPath);
}

bool FailingFileSystem::QuerySize(FileHandle file, std::uint64_t& size) {
  return !Next(FileOp::kQuerySize) && inner_.QuerySize(file, size);
}

size_t FailingFileSystem::Read(FileHandle file, void* buffer, size_t count) {
  if (Next(FileOp::kRead)) throw FileError("read: injected failure");
  return inner_.Read(file, buffer, count);
}

void FailingFileSystem::Write(FileHandle file, const void* buffer, size_t count) {
  if (Next(FileOp::kWrite)) {
    if (shortWriteBytes_) inner_.Write(file, buffer, std::min(count, *shortWriteBytes_));
    throw FileError(shortWriteBytes_ ? "write: the disk is full" : "write: injected failure");
  }
  inner_.Write(file, buffer, count);
}

void FailingFileSystem::Flush(FileHandle file) {
  if (Next(FileOp::kFlush)) throw FileError("fsync: injected failure");
  inner_.Flush(file);
}

void FailingFileSystem::Close(FileHandle file) {
  // A failed close still releases the handle, as the system's does.
  const bool fail = Next(FileOp::kClose);
  inner_.Close(file);
  if (fail) throw FileError("close: injected failure");
}

void FailingFileSystem::Abort(FileHandle file) noexcept { inner_.Abort(file); }

void FailingFileSystem::Replace(const CString& tempPath, const CString& target) {
  if (Next(FileOp::kReplace)) throw FileError("rename: injected failure");
  inner_.Replace(tempPath, target);
}

void FailingFileSystem::Remove(const CString& path) noexcept { inner_.Remove(path); }

}  // namespace lw::test
