// Arbitrary editor text converted for the map file: the result always begins
// with the first block and ends with the last one and a line feed.
#include <cstdint>
#include <string>

#include "entities/EntityText.h"
#include "platform/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  lw::CodePage::SetActive(data[0] & 1 ? 932 : lw::CodePage::kSingleByte);
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  lw::CString text(input);
  lw::ToLumpText(text);
  const std::string& out = text.Str();
  if (out.empty() || out.back() != '\n') __builtin_trap();
  if (out.size() > input.size() + 1) __builtin_trap();
  if (out != "\n" && out[out.size() - 2] != '}') __builtin_trap();
  // With an opening brace anywhere, the text starts with it.
  if (lw::ScanFindChar(out, '{') != lw::kNotFound && out.front() != '{') __builtin_trap();
  // Widening for display is a plain replace of every line feed, done here
  // byte by byte (the input has no "\r\n", since the conversion removed them).
  if (out.find("\r\n") == std::string::npos && out.find('\0') == std::string::npos) {
    std::string wide;
    for (const char c : out) {
      if (c == '\n') wide += '\r';
      wide += c;
    }
    if (lw::ToDisplayText(out.c_str()).Str() != wide) __builtin_trap();
  }
  // Converting for display and back gives the same lump text.
  lw::CString again = lw::ToDisplayText(out.c_str());
  lw::ToLumpText(again);
  if (out.find('\0') == std::string::npos && out.find('\r') == std::string::npos && again.Str() != out) {
    __builtin_trap();
  }
  lw::CodePage::SetActive(lw::CodePage::kSingleByte);
  return 0;
}
