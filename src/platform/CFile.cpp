#include "platform/CFile.h"

namespace lw {

CFile::~CFile() { Abort(); }

bool CFile::Open(const CString& path, Mode /*mode*/) {
  Abort();
  handle_ = files_->OpenRead(path);
  if (handle_ == kNoFile) return false;
  path_ = path;
  return true;
}

bool CFile::GetStatus(std::uint64_t& size) { return IsOpen() && files_->QuerySize(handle_, size); }

bool CFile::GetStamp(FileStamp& stamp) { return IsOpen() && files_->QueryStamp(handle_, stamp); }

size_t CFile::Read(void* buffer, size_t count) {
  if (count == 0) return 0;
  if (!IsOpen()) throw FileError("the file is not open");
  return files_->Read(handle_, buffer, count);
}

void CFile::Seek(std::uint64_t offset) {
  if (!IsOpen()) throw FileError("the file is not open");
  files_->Seek(handle_, offset);
}

void CFile::Close() {
  if (!IsOpen()) return;
  const FileHandle handle = handle_;
  handle_ = kNoFile;
  files_->Close(handle);
}

void CFile::Abort() noexcept {
  if (!IsOpen()) return;
  const FileHandle handle = handle_;
  handle_ = kNoFile;
  files_->Abort(handle);
}

}  // namespace lw
