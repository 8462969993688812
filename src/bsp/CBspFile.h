#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "bsp/BspLayout.h"
#include "bsp/MapExtras.h"
#include "platform/CFile.h"
#include "platform/CString.h"
#include "platform/FileSystem.h"
#include "platform/Messages.h"

namespace lw {

// The map file object: reads a map whole into one image, hands out its entity
// text and writes the map again around a new entity text. It shows its own
// messages through the sink; callers only learn the result code.
class CBspFile : public CFile {
 public:
  // SaveMap's and SaveEntityLump's result for a map written by another
  // program since it was loaded.
  static constexpr int kChangedOnDisk = 3;

  explicit CBspFile(MessageSink& messages, FileSystem& files = SystemFileSystem());
  ~CBspFile() override;

  // 0 on success, 1 on failure (its message already shown).
  int LoadMap(const CString& path);
  // For the commands that only read: LoadMap then reads the header and the
  // entity lump (and the first plane records of entries 0 and 1, which tell
  // a swapped directory), with the same checks and messages, not the whole
  // map; every accessor below works as after a whole load, but SaveMap has
  // no image to write around and returns 2. Off by default.
  void SetReadOnly(bool readOnly);
  // A failed load or save adds why, in the system's words, on a line of its
  // own under its message ("(the map is read-only (mode 0444))"), as the
  // windows show it. Off by default: the command line prints it itself.
  void SetExplainsFailures(bool explains);
  // Lets go of the map: nothing is loaded, and a save writes nothing.
  void Unload();
  // The entity text in the image (up to its NUL); null when nothing is loaded.
  [[nodiscard]] const char* GetEntityText() const;
  // 0 saved, 1 failed (message shown, map file unchanged), 2 nothing loaded
  // (no message, nothing touched), 3 the map file changed on disk since it
  // was loaded or saved (no message, nothing written, `text` unchanged: the
  // caller asks, and may load the map again and save into it). A map that
  // no longer exists fails: it is not made again. Past the point where the
  // map was checked, `text` holds its lump form.
  int SaveMap(const CString& path, CString& text);
  // Stores `lumpText` as the entity lump byte for byte, with the lump's NUL
  // after it (the string's own terminator): no line-end change, nothing
  // dropped around the blocks. The results and messages are SaveMap's.
  // `lumpText` holds no NUL.
  int SaveEntityLump(const CString& path, const std::string& lumpText);
  // The entity lump as stored: its NUL and any bytes after it included.
  // Empty when nothing is loaded.
  [[nodiscard]] std::span<const unsigned char> EntityLumpBytes() const;
  // The system's words for why the last save failed while writing ("write:
  // No space left on device"); empty when it failed for another reason.
  [[nodiscard]] const std::string& LastFailureReason() const;

  [[nodiscard]] bool IsLoaded() const;
  // The last message this object formatted.
  [[nodiscard]] const CString& LastMessage() const;

  // Facts about the loaded map for reports (`lumpwright-cli info`).
  struct LumpInfo {
    std::int32_t offset;
    std::int32_t length;
  };
  [[nodiscard]] std::int32_t Version() const;
  [[nodiscard]] std::uint32_t ImageSize() const;
  [[nodiscard]] int EntityLumpIndex() const;  // 0, or 1 for swapped directories
  [[nodiscard]] LumpInfo Lump(int index) const;
  // Saved as the compile tools lay a map out: only the entity lump and the
  // textures lump after it move.
  [[nodiscard]] bool HasStandardLayout() const;
  // Every lump but the textures lump lies before the entity lump, and the
  // textures lump after it.
  [[nodiscard]] bool HasCompilerOrder() const;
  // The extended header and the BSPX block, and why they keep the map from
  // being saved, if they do.
  [[nodiscard]] const MapExtras& Extras() const;
  // The bytes outside every lump and table that are not zero padding; a
  // save keeps them.
  [[nodiscard]] std::span<const FileBytes> LooseBytes() const;

 private:
  int SaveLump(const CString& path, const std::function<std::span<const unsigned char>()>& lumpTextOnceHeld);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lw
