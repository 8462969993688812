// The block search and Delete All on arbitrary text, search strings and
// positions, in a single- and a double-byte code page: the program's search,
// its block-by-block Delete All and its one-pass Delete All must agree with
// the plain rule.
#include <cstdint>
#include <string>

#include "entities/InMemoryEntityEdit.h"
#include "platform/CodePage.h"
#include "support/ReferenceEntitySearch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 4) return 0;
  lw::CodePage::SetActive(data[0] & 1 ? 932 : lw::CodePage::kSingleByte);
  const size_t needleLength = 1 + data[1] % 8;
  const int position = data[2];
  if (size < 3 + needleLength) return 0;
  const std::string needle(reinterpret_cast<const char*>(data + 3), needleLength);
  std::string text(reinterpret_cast<const char*>(data + 3 + needleLength), size - 3 - needleLength);
  // The edit's text stops at its first NUL.
  text = text.substr(0, text.find('\0'));

  if (lw::FindEntityBlock(needle, text, position) != lw::test::ReferenceFindEntityBlock(needle, text, position)) {
    __builtin_trap();
  }

  const auto reference = lw::test::ReferenceDeleteAll(needle, text, position);
  lw::InMemoryEntityEdit onePass;
  onePass.SetText(lw::CString(text));
  int onePassPosition = position;
  const int onePassCount = onePass.DeleteAllBlocks(needle, onePassPosition);
  if (onePass.GetText().Str() != reference.text || onePassPosition != reference.searchPosition ||
      onePassCount != reference.count) {
    __builtin_trap();
  }
  lw::InMemoryEntityEdit steps;
  steps.SetText(lw::CString(text));
  int stepsPosition = position;
  const int stepsCount = lw::DeleteBlocksOneAtATime(steps, needle, stepsPosition);
  int a = 0, b = 0, c = 0, d = 0;
  onePass.GetSel(a, b);
  steps.GetSel(c, d);
  if (steps.GetText().Str() != reference.text || stepsPosition != reference.searchPosition ||
      stepsCount != reference.count || a != c || b != d) {
    __builtin_trap();
  }
  lw::CodePage::SetActive(lw::CodePage::kSingleByte);
  return 0;
}
