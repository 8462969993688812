// Load, edit, save, load again on arbitrary map bytes: every lump other than
// the entity lump comes back byte-identical (those of an extended header and
// a BSPX block too, found where the engine finds them), so do the bytes no
// table describes, the entity lump holds the new text and the map reads with
// the layout it had; a map that fails to load or
// save is left exactly as it was. Saves replace the map or write into it.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "bsp/BspHeader.h"
#include "bsp/BspLayout.h"
#include "bsp/CBspFile.h"
#include "bsp/MapExtras.h"
#include "bsp/SavePlan.h"
#include "entities/EntityText.h"
#include "support/MemoryFileSystem.h"

namespace {

class SilentMessages : public lw::MessageSink {
 public:
  void ShowMessage(const lw::CString&) override {}
  bool AskYesNo(const lw::CString&) override { return false; }
  Answer AskYesNoCancel(const lw::CString& /*text*/) override { return Answer::kCancel; }
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

  // The extended header and the BSPX block are found again, each lump with
  // its bytes, and so are the bytes no table describes.
  const lw::MapExtras oldExtras = lw::FindMapExtras(*before, Bytes(original));
  const lw::MapExtras newExtras = lw::FindMapExtras(*after, Bytes(written));
  if (!newExtras.fault.empty() || oldExtras.extended.has_value() != newExtras.extended.has_value() ||
      oldExtras.bspx.has_value() != newExtras.bspx.has_value()) {
    __builtin_trap();
  }
  const auto sameBytes = [&](const lw::BspLump& oldLump, const lw::BspLump& newLump) {
    const auto oldBytes = lw::LumpBytes(Bytes(original), oldLump);
    const auto newBytes = lw::LumpBytes(Bytes(written), newLump);
    return oldBytes.size() == newBytes.size() &&
           (oldBytes.empty() || std::memcmp(oldBytes.data(), newBytes.data(), oldBytes.size()) == 0);
  };
  if (oldExtras.extended) {
    for (size_t i = 0; i < oldExtras.extended->lumps.size(); ++i) {
      if (!sameBytes(oldExtras.extended->lumps[i], newExtras.extended->lumps[i])) __builtin_trap();
    }
  }
  if (oldExtras.bspx) {
    if (oldExtras.bspx->lumps.size() != newExtras.bspx->lumps.size()) __builtin_trap();
    for (size_t i = 0; i < oldExtras.bspx->lumps.size(); ++i) {
      if (oldExtras.bspx->lumps[i].storedName != newExtras.bspx->lumps[i].storedName ||
          !sameBytes(oldExtras.bspx->lumps[i].lump, newExtras.bspx->lumps[i].lump)) {
        __builtin_trap();
      }
    }
  }
  const auto looseBytes = [](const std::string& file, const lw::BspHeader& header, int index,
                             const lw::MapExtras& extras) {
    std::string joined;
    const lw::MapTables tables{header, index, extras};
    const auto read = [&file](std::uint64_t offset, std::span<unsigned char> into) {
      if (offset > file.size() || file.size() - offset < into.size()) return false;
      if (!into.empty()) std::memcpy(into.data(), file.data() + offset, into.size());
      return true;
    };
    for (const lw::FileBytes& loose : lw::FindLooseBytes(tables, file.size(), read)) {
      joined += file.substr(static_cast<size_t>(loose.offset), loose.length);
      joined += '|';
    }
    return joined;
  };
  if (looseBytes(original, *before, entityIndex, oldExtras) != looseBytes(written, *after, entityIndex, newExtras)) {
    __builtin_trap();
  }

  // The saved map loads again with the same entity lump.
  lw::test::MemoryFileSystem savedFiles;
  savedFiles.files["map.bsp"] = written;
  lw::CBspFile reloaded(messages, savedFiles);
  if (reloaded.LoadMap("map.bsp") != 0 || reloaded.EntityLumpIndex() != entityIndex) __builtin_trap();

  // The object's image now matches the file, so a second save writes what a
  // save after loading the file again writes.
  lw::CString again = text;
  lw::CString afterReload = text;
  if (map.SaveMap("map.bsp", again) != 0 || reloaded.SaveMap("map.bsp", afterReload) != 0) __builtin_trap();
  if (files.files["map.bsp"] != savedFiles.files["map.bsp"]) __builtin_trap();
  return 0;
}
