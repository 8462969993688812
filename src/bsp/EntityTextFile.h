#pragma once

#include <string_view>

#include "platform/CString.h"
#include "platform/FileSystem.h"

namespace lw {

// Whether the file `path` names starts as a map does: a BSP version field
// of 29 or 30. A file that cannot be read does not.
bool StartsLikeAMap(FileSystem& files, const CString& path);

enum class TextFileResult {
  kWritten,
  kIsAMap,      // refused: the file is a map
  kNotOpened,   // the file could not be taken hold of; nothing was written
  kNotWritten,  // the write failed; the file is as it was
};

// Writes a file of entity text (an exported .ent, the entity dump) the way
// maps are saved: an existing file is replaced whole or left as it was. It
// never writes over a map: a slip of the fingers must not turn a map into
// its own text.
TextFileResult SaveEntityTextFile(FileSystem& files, const CString& path, std::string_view bytes);

}  // namespace lw
