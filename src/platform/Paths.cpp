#include "platform/Paths.h"

namespace lw {

CString FileNameOf(const CString& path) {
  const int last = path.ReverseFind(kPathSeparator);
  return last < 0 ? path : path.Mid(last + 1);
}

}  // namespace lw
