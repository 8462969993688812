#include "support/FailingFileSystem.h"

#include <algorithm>
#include <csignal>

namespace lw::test {

void FailingFileSystem::FailAt(FileOp op, int k) {
  failOp_ = op;
  failAt_ = k;
  shortWriteBytes_.reset();
  signal_.reset();
  failed_ = false;
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
  failed_ = false;
}

bool FailingFileSystem::Next(FileOp op) {
  const int count = ++counts_[static_cast<size_t>(op)];
  if (failOp_ != op || count != failAt_ || signal_) return false;
  failed_ = true;
  return true;
}

void FailingFileSystem::AfterOp(FileOp op) {
  if (!signal_ || failOp_ != op || counts_[static_cast<size_t>(op)] != failAt_) return;
  failed_ = true;
  std::raise(*signal_);
}

FileHandle FailingFileSystem::OpenRead(const CString& path) {
  if (Next(FileOp::kOpen)) return kNoFile;
  const FileHandle file = Inner().OpenRead(path);
  AfterOp(FileOp::kOpen);
  return file;
}

FileHandle FailingFileSystem::OpenWrite(const CString& path) {
  if (Next(FileOp::kOpen)) return kNoFile;
  const FileHandle file = Inner().OpenWrite(path);
  AfterOp(FileOp::kOpen);
  return file;
}

FileHandle FailingFileSystem::OpenForReplace(const CString& path) {
  if (Next(FileOp::kOpen)) return kNoFile;
  const FileHandle file = Inner().OpenForReplace(path);
  AfterOp(FileOp::kOpen);
  return file;
}

FileHandle FailingFileSystem::CreateTempBeside(const CString& target, CString& tempPath) {
  if (Next(FileOp::kCreateTemp)) return kNoFile;
  const FileHandle file = Inner().CreateTempBeside(target, tempPath);
  AfterOp(FileOp::kCreateTemp);
  return file;
}

bool FailingFileSystem::QuerySize(FileHandle file, std::uint64_t& size) {
  if (Next(FileOp::kQuerySize)) return false;
  const bool known = Inner().QuerySize(file, size);
  AfterOp(FileOp::kQuerySize);
  return known;
}

size_t FailingFileSystem::Read(FileHandle file, void* buffer, size_t count) {
  if (Next(FileOp::kRead)) throw FileError("read: injected failure");
  const size_t got = Inner().Read(file, buffer, count);
  AfterOp(FileOp::kRead);
  return got;
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
  if (Next(FileOp::kSeek)) throw FileError("lseek: injected failure");
  Inner().Seek(file, offset);
  AfterOp(FileOp::kSeek);
}

void FailingFileSystem::Reserve(FileHandle file, std::uint64_t size) {
  if (Next(FileOp::kReserve)) throw FileError("posix_fallocate: injected failure");
  Inner().Reserve(file, size);
  AfterOp(FileOp::kReserve);
}

void FailingFileSystem::SetLength(FileHandle file, std::uint64_t size) {
  if (Next(FileOp::kSetLength)) throw FileError("ftruncate: injected failure");
  Inner().SetLength(file, size);
  AfterOp(FileOp::kSetLength);
}

void FailingFileSystem::Flush(FileHandle file) {
  if (Next(FileOp::kFlush)) throw FileError("fsync: injected failure");
  Inner().Flush(file);
  AfterOp(FileOp::kFlush);
}

void FailingFileSystem::Close(FileHandle file) {
  // A failed close still releases the handle, as the system's does.
  const bool fail = Next(FileOp::kClose);
  Inner().Close(file);
  if (fail) throw FileError("close: injected failure");
  AfterOp(FileOp::kClose);
}

void FailingFileSystem::Replace(const CString& tempPath, const CString& target) {
  if (Next(FileOp::kReplace)) throw FileError("rename: injected failure");
  Inner().Replace(tempPath, target);
  AfterOp(FileOp::kReplace);
}

}  // namespace lw::test
