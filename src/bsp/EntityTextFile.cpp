#include "bsp/EntityTextFile.h"

#include <array>
#include <optional>

#include "bsp/BspHeader.h"
#include "platform/CFile.h"
#include "platform/FileSave.h"

namespace lw {
namespace {

// Quake's maps are version 29; this program's are 30.
constexpr std::int32_t kQuakeBspVersion = 29;

}  // namespace

bool StartsLikeAMap(FileSystem& files, const CString& path) {
  CFile file(files);
  if (!file.Open(path, CFile::Mode::kRead)) return false;
  std::array<unsigned char, 4> head{};
  try {
    if (file.Read(head.data(), head.size()) != head.size()) return false;
  } catch (const FileError&) {
    return false;
  }
  const std::optional<std::int32_t> version = ReadBspVersion(head);
  return version == kBspVersion || version == kQuakeBspVersion;
}

TextFileResult SaveEntityTextFile(FileSystem& files, const CString& path, std::string_view bytes) {
  if (StartsLikeAMap(files, path)) return TextFileResult::kIsAMap;
  FileSave save(files);
  if (!save.Open(path)) return TextFileResult::kNotOpened;
  const std::span<const unsigned char> piece(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  try {
    save.Commit(BytePieces(&piece, 1));
  } catch (...) {  // a failed write, or no memory for the old bytes
    return TextFileResult::kNotWritten;
  }
  return TextFileResult::kWritten;
}

}  // namespace lw
