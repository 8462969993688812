#include "platform/FileSave.h"

#include <optional>

#include "platform/ImageBuffer.h"
#include "platform/SaveInterruptions.h"

namespace lw {
namespace {

std::uint64_t TotalSize(BytePieces pieces) {
  std::uint64_t total = 0;
  for (const auto& piece : pieces) total += piece.size();
  return total;
}

void WritePieces(FileSystem& files, FileHandle file, BytePieces pieces,
                 const SaveInterruptions* interruptions = nullptr) {
  for (const auto& piece : pieces) {
    files.Write(file, piece.data(), piece.size());
    if (interruptions != nullptr && interruptions->Requested()) throw FileError("interrupted");
  }
}

// The stamp of a file just written and flushed; raises when the system
// cannot tell, so that the save stops while it still can.
FileStamp StampOf(FileSystem& files, FileHandle file) {
  FileStamp stamp;
  if (!files.QueryStamp(file, stamp)) throw FileError("the file's state cannot be read");
  return stamp;
}

}  // namespace

bool FileSave::Open(const CString& path) {
  Abort();
  damaged_ = false;
  const std::optional<CString> target = files_.ResolveLinks(path);
  if (!target) return false;
  held_ = files_.OpenForReplace(*target);
  if (held_ == kNoFile) return false;
  target_ = *target;
  files_.RemoveStaleTemporaries(target_);
  return true;
}

bool FileSave::TargetExists() {
  return held_ != kNoFile && files_.ChooseSaveMethod(held_, target_) != SaveMethod::kCreate;
}

bool FileSave::HeldStamp(FileStamp& stamp) { return TargetExists() && files_.QueryStamp(held_, stamp); }

void FileSave::Commit(BytePieces pieces) {
  written_.reset();
  if (held_ == kNoFile) throw FileError("the file is not held");
  const SaveMethod method = files_.ChooseSaveMethod(held_, target_);
  if (method == SaveMethod::kStream) {
    // Nothing to replace and nothing to clean up; a reader that stalls must
    // not keep Ctrl+C from ending the program either.
    try {
      WriteThrough(pieces);
    } catch (...) {
      Abort();
      throw;
    }
    return;
  }
  // Made first, so that a held request is delivered only after the cleanup.
  const SaveInterruptions interruptions;
  try {
    if (method == SaveMethod::kInPlace || !TryReplace(pieces, interruptions)) {
      if (method == SaveMethod::kCreate) throw FileError("no new file can be made in the folder");
      WriteInPlace(pieces, interruptions);
    }
  } catch (...) {
    Abort();
    throw;
  }
}

bool FileSave::TryReplace(BytePieces pieces, const SaveInterruptions& interruptions) {
  temp_ = files_.CreateTempBeside(target_, tempPath_);
  if (temp_ == kNoFile) {
    tempPath_.Empty();
    return false;
  }
  WritePieces(files_, temp_, pieces, &interruptions);
  files_.Flush(temp_);
  // The rename keeps the new file's own number and times.
  const FileStamp written = StampOf(files_, temp_);
  // Let go of the file before the rename: Windows renames nothing over an
  // open file. The new file stays open, and locked, until it has taken the
  // map's place, so that no other save takes it for a killed one's.
  const FileHandle held = held_;
  held_ = kNoFile;
  files_.Close(held);
  if (interruptions.Requested()) throw FileError("interrupted");
  files_.Replace(tempPath_, target_);
  tempPath_.Empty();
  written_ = written;
  // Its bytes reached the disk with the flush; closing can change nothing now.
  const FileHandle temp = temp_;
  temp_ = kNoFile;
  files_.Abort(temp);
  return true;
}

void FileSave::WriteInPlace(BytePieces pieces, const SaveInterruptions& interruptions) {
  // The old bytes, to put back should a write fail half-way.
  std::uint64_t oldSize = 0;
  if (!files_.QuerySize(held_, oldSize)) throw FileError("the file's size cannot be read");
  // A map's size: memory that costs few page faults (see ImageBuffer).
  ImageBuffer old(static_cast<size_t>(oldSize));
  files_.Seek(held_, 0);
  if (files_.Read(held_, old.Data(), old.Size()) != old.Size()) throw FileError("the file cannot be read whole");
  // The last point where the save can stop with nothing touched; past it
  // the write is finished first, since stopping would break the file.
  if (interruptions.Requested()) throw FileError("interrupted");

  const std::uint64_t newSize = TotalSize(pieces);
  bool written = false;
  try {
    if (newSize > oldSize) files_.Reserve(held_, newSize);
    files_.Seek(held_, 0);
    written = true;
    WritePieces(files_, held_, pieces);
    files_.Flush(held_);
    // Cut only once the new bytes are on the disk: putting the old ones back
    // after a failed flush must not need the disk space a cut gave away.
    if (newSize < oldSize) {
      files_.SetLength(held_, newSize);
      files_.Flush(held_);
    }
    written_ = StampOf(files_, held_);
  } catch (...) {
    try {
      if (written) {
        files_.Seek(held_, 0);
        files_.Write(held_, old.Data(), old.Size());
      }
      files_.SetLength(held_, oldSize);
      if (written) files_.Flush(held_);
      // The old bytes are back, under a new time: what the file is now.
      if (FileStamp restored; files_.QueryStamp(held_, restored)) written_ = restored;
    } catch (const FileError&) {
      damaged_ = written;
    }
    throw;
  }
  // The bytes are on the disk once the flush succeeded; an error reported
  // on closing can change nothing now.
  const FileHandle held = held_;
  held_ = kNoFile;
  files_.Abort(held);
}

void FileSave::WriteThrough(BytePieces pieces) {
  WritePieces(files_, held_, pieces);
  const FileHandle held = held_;
  held_ = kNoFile;
  files_.Close(held);
}

void FileSave::Abort() noexcept {
  if (temp_ != kNoFile) files_.Abort(temp_);
  temp_ = kNoFile;
  if (!tempPath_.IsEmpty()) files_.Remove(tempPath_);
  tempPath_.Empty();
  if (held_ != kNoFile) files_.Abort(held_);
  held_ = kNoFile;
}

bool SaveFileBytes(FileSystem& files, const CString& path, std::string_view bytes) {
  FileSave save(files);
  if (!save.Open(path)) return false;
  const std::span<const unsigned char> piece(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  try {
    save.Commit(BytePieces(&piece, 1));
    return true;
  } catch (...) {  // a failed write, or no memory for the old bytes
    return false;
  }
}

}  // namespace lw
