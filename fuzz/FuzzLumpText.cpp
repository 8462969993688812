// Arbitrary editor text converted for the map file: the result always begins
// with the first block and ends with the last one and a line feed. The
// checker reads the same text and points every finding at its own place.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "entities/EntityCheck.h"
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
  // Every finding lies in the text, at the line and column of its offset, in
  // the order of the text.
  lw::EntityCheckOptions options;
  options.maxEntities = data[0] >> 1U;
  options.modelCount = data[0] & 2U ? std::optional<size_t>(data[0] >> 3U) : std::nullopt;
  size_t previous = 0;
  for (const std::string_view checked : {std::string_view(input), std::string_view(out)}) {
    previous = 0;
    for (const lw::CheckFinding& finding : lw::CheckEntityText(checked, options)) {
      if (finding.offset > checked.size() || finding.offset < previous) __builtin_trap();
      previous = finding.offset;
      const std::string_view before = checked.substr(0, finding.offset);
      const size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
      size_t line = 1;
      for (const char c : before) line += c == '\n' ? 1 : 0;
      if (finding.line != line || finding.column != finding.offset - lineStart + 1) __builtin_trap();
    }
  }
  lw::CodePage::SetActive(lw::CodePage::kSingleByte);
  return 0;
}
