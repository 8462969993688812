// Load, edit, save, load again on arbitrary map bytes: every lump other than
// the entity lump comes back byte-identical, the entity lump holds the new
// text and the map reads with the layout it had; a map that fails to load or
// save is left exactly as it was. Saves replace the map or write into it.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "bsp/BspHeader.h"
#include "bsp/BspLayout.h"
#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "support/MemoryFileSystem.h"

namespace {

class SilentMessages : public lw::MessageSink {
 public:
  void ShowMessage(const lw::CString&) override {}
  bool AskYesNo(const lw::CString&) override { return false; }
};

std::span<const unsigned char> Bytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte picks an edit: drop the first block, add one, or empty the
  // text; and whether the save replaces the map or writes into it.
  const std::uint8_t edit = data[0];
  const std::string original(reinterpret_cast<const char*>(data + 1), size - 1);
  lw::test::MemoryFileSystem files;
  files.files["map.bsp"] = original;
  files.inPlace = (edit / 3) % 2 == 1;
  SilentMessages messages;
  lw::CBspFile map(messages, files);
  if (map.LoadMap("map.bsp") != 0) return 0;
  const int entityIndex = map.EntityLumpIndex();

  lw::CString text = lw::ToDisplayText(map.GetEntityText());
  switch (edit % 3) {
    case 0: {
      const int close = text.Find('}');
      if (close >= 0) text = text.Mid(close + 1);
      break;
    }
    case 1: text += "{\r\n\"classname\" \"info_player_start\"\r\n}\r\n"; break;
    default: text = ""; break;
  }
  lw::CString saved = text;
  if (map.SaveMap("map.bsp", saved) != 0) {
    if (files.files["map.bsp"] != original) __builtin_trap();
    return 0;
  }
  if (files.files.size() != 1) __builtin_trap();  // no temporary file left

  const std::string& written = files.files["map.bsp"];
  const auto before = lw::ReadBspHeader(Bytes(original));
  const auto after = lw::ReadBspHeader(Bytes(written));
  if (!before || !after || after->version != 30) __builtin_trap();
  if (lw::FindDirectoryFault(*after, written.size())) __builtin_trap();
  for (int i = 0; i < lw::kLumpCount; ++i) {
    const auto oldBytes = lw::LumpBytes(Bytes(original), before->lumps[static_cast<size_t>(i)]);
    const auto newBytes = lw::LumpBytes(Bytes(written), after->lumps[static_cast<size_t>(i)]);
    if (i == entityIndex) {
      lw::CString expected = text;
      lw::ToLumpText(expected);
      if (newBytes.size() != expected.Size() + 1 ||
          std::memcmp(newBytes.data(), expected.GetString(), expected.Size() + 1) != 0) {
        __builtin_trap();
      }
      continue;
    }
    if (oldBytes.size() != newBytes.size() ||
        (oldBytes.size() > 0 && std::memcmp(oldBytes.data(), newBytes.data(), oldBytes.size()) != 0)) {
      __builtin_trap();
    }
  }

  // The saved map loads again with the same entity lump.
  lw::test::MemoryFileSystem savedFiles;
  savedFiles.files["map.bsp"] = written;
  lw::CBspFile reloaded(messages, savedFiles);
  if (reloaded.LoadMap("map.bsp") != 0 || reloaded.EntityLumpIndex() != entityIndex) __builtin_trap();

  // The object's image now matches the file, so a second save writes what a
  // save after loading the file again writes. (A rebuilt map is padded to
  // the compilers' alignment; a save of the compilers' layout adds none, so
  // the two files may differ in that padding.)
  lw::CString again = text;
  lw::CString afterReload = text;
  if (map.SaveMap("map.bsp", again) != 0 || reloaded.SaveMap("map.bsp", afterReload) != 0) __builtin_trap();
  if (files.files["map.bsp"] != savedFiles.files["map.bsp"]) __builtin_trap();
  return 0;
}
