#include "entities/EntityText.h"

#include <string>

#include "platform/CodePage.h"

namespace lw {
namespace {

// Keeps text[0..last '}'] ; no '}' leaves it empty.
void KeepThroughLastCloseBrace(std::string& text) {
  const size_t last = ScanFindLastChar(text, '}');
  text.resize(last == kNotFound ? 0 : last + 1);
}

}  // namespace

CString ToDisplayText(const char* lumpText) {
  CString text(lumpText ? lumpText : "");
  std::string& s = text.Str();
  KeepThroughLastCloseBrace(s);
  if (ScanFindString(s, "\r\n") == kNotFound) {
    // Widen in one pass into a buffer sized for the result.
    size_t lineFeeds = 0;
    for (size_t at = ScanFindChar(s, '\n'); at != kNotFound; at = ScanFindChar(s, '\n', at + 1)) {
      ++lineFeeds;
    }
    if (lineFeeds > 0) {
      std::string wide;
      wide.reserve(s.size() + lineFeeds + 2);
      size_t copied = 0;
      for (size_t at = ScanFindChar(s, '\n'); at != kNotFound; at = ScanFindChar(s, '\n', at + 1)) {
        wide.append(s, copied, at - copied);
        wide += "\r\n";
        copied = at + 1;
      }
      wide.append(s, copied, std::string::npos);
      s = std::move(wide);
    }
  }
  s += "\r\n";
  return text;
}

void ToLumpText(CString& text) {
  text.Replace("\r\n", "\n");
  std::string& s = text.Str();
  KeepThroughLastCloseBrace(s);
  const size_t first = ScanFindChar(s, '{');
  if (first != kNotFound && first > 0) s.erase(0, first);
  s += '\n';
}

}  // namespace lw
