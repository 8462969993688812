#pragma once

#include "platform/CString.h"

namespace lw {

// The separator this system puts between folders and file names.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The part of `path` after its last separator (on Windows a forward slash
// counts as one too), or all of it when it has none.
// Scans characters in the active code page, so a trail byte that equals the
// separator's byte is not taken for one.
CString FileNameOf(const CString& path);

}  // namespace lw

namespace lw {

// The map folder used when neither the stored setting nor the game says
// otherwise; ends with a separator.
CString DefaultMapFolder();

// The file the entity dump ("-d") is written to at exit.
CString EntityDumpPath();

}  // namespace lw
