#include "platform/Paths.h"

namespace lw {

CString FileNameOf(const CString& path) {
  const int last = path.ReverseFind(kPathSeparator);
  return last < 0 ? path : path.Mid(last + 1);
}

}  // namespace lw

#if defined(_WIN32)
// The POSIX versions live in posix/PosixPaths.cpp.
namespace lw {

CString DefaultMapFolder() { return CString("C:\\Sierra\\Counter-Strike\\cstrike\\maps\\"); }

CString EntityDumpPath() { return CString("C:\\AllEntities.txt"); }

}  // namespace lw
#endif
