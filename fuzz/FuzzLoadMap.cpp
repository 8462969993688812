// Arbitrary bytes as a map file: loading, handing out the entity text and
// converting it for display must never crash or read out of bounds; the
// read-only load (header and entity lump only) and the checker agree with it,
// the extra blocks and loose bytes it reads from the file included.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bsp/CBspFile.h"
#include "entities/EntityCheck.h"
#include "entities/EntityText.h"
#include "support/MemoryFileSystem.h"

namespace {

class SilentMessages : public lw::MessageSink {
 public:
  void ShowMessage(const lw::CString&) override {}
  bool AskYesNo(const lw::CString&) override { return false; }
  Answer AskYesNoCancel(const lw::CString& /*text*/) override { return Answer::kCancel; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  lw::test::MemoryFileSystem files;
  files.files["map.bsp"] = std::string(reinterpret_cast<const char*>(data), size);
  SilentMessages messages;
  lw::CBspFile map(messages, files);
  lw::CBspFile partial(messages, files);
  partial.SetReadOnly(true);
  const int result = map.LoadMap("map.bsp");
  // The commands that only read take the same maps, with the same text.
  if (partial.LoadMap("map.bsp") != result) __builtin_trap();
  if (result != 0) {
    if (map.GetEntityText() != nullptr || partial.GetEntityText() != nullptr) __builtin_trap();
    return 0;
  }
  const char* text = map.GetEntityText();
  if (text == nullptr || partial.GetEntityText() == nullptr) __builtin_trap();
  if (std::strcmp(text, partial.GetEntityText()) != 0) __builtin_trap();
  // And the same layout, extra blocks and loose bytes, read from the file.
  if (map.HasStandardLayout() != partial.HasStandardLayout() || map.HasCompilerOrder() != partial.HasCompilerOrder() ||
      map.EntityLumpIndex() != partial.EntityLumpIndex()) {
    __builtin_trap();
  }
  const lw::MapExtras& whole = map.Extras();
  const lw::MapExtras& read = partial.Extras();
  if (whole.fault != read.fault || whole.extended.has_value() != read.extended.has_value() ||
      whole.bspx.has_value() != read.bspx.has_value() ||
      (whole.bspx &&
       (whole.bspx->offset != read.bspx->offset || whole.bspx->lumps.size() != read.bspx->lumps.size()))) {
    __builtin_trap();
  }
  const auto wholeLoose = map.LooseBytes();
  const auto readLoose = partial.LooseBytes();
  if (!std::equal(wholeLoose.begin(), wholeLoose.end(), readLoose.begin(), readLoose.end(),
                  [](const lw::FileBytes& a, const lw::FileBytes& b) {
                    return a.offset == b.offset && a.length == b.length;
                  })) {
    __builtin_trap();
  }
  // Every finding points into the text, at the line and column it names.
  const std::string_view checked(text);
  for (const lw::CheckFinding& finding : lw::CheckEntityText(checked)) {
    if (finding.offset > checked.size()) __builtin_trap();
    const std::string_view before = checked.substr(0, finding.offset);
    const size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
    size_t line = 1;
    for (const char c : before) line += c == '\n' ? 1 : 0;
    if (finding.line != line || finding.column != finding.offset - lineStart + 1) __builtin_trap();
  }
  const lw::CString display = lw::ToDisplayText(text);
  if (display.Size() < 2 || display.View().substr(display.Size() - 2) != "\r\n") __builtin_trap();
  return 0;
}
