// Arbitrary bytes as a map file: loading, handing out the entity text and
// converting it for display must never crash or read out of bounds.
#include <cstdint>
#include <cstring>
#include <string>

#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "support/MemoryFileSystem.h"

namespace {

class SilentMessages : public lw::MessageSink {
 public:
  void ShowMessage(const lw::CString&) override {}
  bool AskYesNo(const lw::CString&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  lw::test::MemoryFileSystem files;
  files.files["map.bsp"] = std::string(reinterpret_cast<const char*>(data), size);
  SilentMessages messages;
  lw::CBspFile map(messages, files);
  if (map.LoadMap("map.bsp") != 0) {
    if (map.GetEntityText() != nullptr) __builtin_trap();
    return 0;
  }
  const char* text = map.GetEntityText();
  if (text == nullptr) __builtin_trap();
  const lw::CString display = lw::ToDisplayText(text);
  if (display.Size() < 2 || display.View().substr(display.Size() - 2) != "\r\n") __builtin_trap();
  return 0;
}
