#include "platform/Paths.h"

#include <algorithm>

namespace lw {

CString FileNameOf(const CString& path) {
  int last = path.ReverseFind(kPathSeparator);
#if defined(_WIN32)
  // Windows takes a forward slash between folders as well ("C:/maps/de_x.bsp").
  last = std::max(last, path.ReverseFind('/'));
#endif
  return last < 0 ? path : path.Mid(last + 1);
}

}  // namespace lw
