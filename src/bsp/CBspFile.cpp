#include "bsp/CBspFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "bsp/BspHeader.h"
#include "bsp/BspLayout.h"
#include "entities/EntityText.h"
#include "platform/ImageBuffer.h"
#include "platform/Paths.h"

namespace lw {
namespace {

constexpr const char* kOpenFailedText =
    "Error openning the file: %s.\nMake sure it isn't opened in another program.";
constexpr const char* kSizeFailedText = "Error reading the size of the file : %s.";
constexpr const char* kVersionText = "BSP is version %i, not %i";
constexpr const char* kLoadFailedText = "Error openning the file: %s.\n";
constexpr const char* kSaveFailedText = "Error saving the file: %s.";
constexpr const char* kSavedText = "The file:  %s\nwas saved!";

// The size field is a 32-bit count, so a larger file cannot be a map.
constexpr std::uint64_t kMaxImageSize = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kMaxFieldValue = std::numeric_limits<std::int32_t>::max();

// A failure inside an operation, carrying the message to show at its boundary.
struct OperationFailure {
  CString message;
};

// The generic load failure followed by the fault, so the user learns which
// file is broken and how.
[[noreturn]] void FailBrokenMap(const CString& path, const char* fault) {
  CString message = FormatString(kLoadFailedText, path.GetString());
  message += fault;
  throw OperationFailure{message};
}

}  // namespace

struct CBspFile::Impl {
  explicit Impl(MessageSink& sink) : messages(sink) {}

  MessageSink& messages;
  bool loaded = false;
  ImageBuffer image;
  CString message;
  // Decoded from the image's header, kept equal to it.
  BspHeader header;
  int entityIndex = kEntitiesLump;
  bool standardLayout = false;

  BspLump& EntityLump() { return header.lumps[static_cast<size_t>(entityIndex)]; }
  BspLump& TexturesLump() { return header.lumps[kTexturesLump]; }

  void Unload() noexcept {
    loaded = false;
    image.Reset();
    header = BspHeader{};
    entityIndex = kEntitiesLump;
    standardLayout = false;
  }

  // Room for a file of `size` bytes. A map loaded again (as after every
  // save) or one of a like size reuses the block: fresh memory costs a page
  // fault per page, which for a large map comes close to the read itself.
  void PrepareImage(size_t size) {
    loaded = false;
    if (image.Capacity() >= size && image.Capacity() / 2 <= size && image.Resize(size)) return;
    Unload();
    image = ImageBuffer(size);
  }

  void Check(const CString& path);
  void StoreHeader() { WriteBspHeader(header, image.Bytes()); }
};

// Everything past the version is taken from the file, so every field is
// checked before the image is used.
void CBspFile::Impl::Check(const CString& path) {
  constexpr const char* kTooShort = "The file is shorter than the 124-byte map header.";
  const auto bytes = std::as_const(image).Bytes();
  const std::optional<std::int32_t> version = ReadBspVersion(bytes);
  if (!version) FailBrokenMap(path, kTooShort);
  if (*version != kBspVersion) throw OperationFailure{FormatString(kVersionText, *version, kBspVersion)};
  const std::optional<BspHeader> read = ReadBspHeader(bytes);
  if (!read) FailBrokenMap(path, kTooShort);
  if (const auto fault = FindDirectoryFault(*read, bytes.size())) FailBrokenMap(path, fault->c_str());
  header = *read;
  entityIndex = FindEntityLumpIndex(header, bytes);
  const auto entities = LumpBytes(bytes, EntityLump());
  if (std::memchr(entities.data(), 0, entities.size()) == nullptr) {
    FailBrokenMap(path, "The entity lump has no NUL byte inside it.");
  }
  standardLayout = IsStandardLayout(header, bytes, entityIndex);
}

CBspFile::CBspFile(MessageSink& messages, FileSystem& files)
    : CFile(files), impl_(std::make_unique<Impl>(messages)) {}

CBspFile::~CBspFile() = default;

int CBspFile::LoadMap(const CString& path) {
  Impl& self = *impl_;
  try {
    if (!Open(path, Mode::kRead)) throw OperationFailure{FormatString(kOpenFailedText, path.GetString())};
    std::uint64_t size = 0;
    if (!GetStatus(size)) throw OperationFailure{FormatString(kSizeFailedText, path.GetString())};
    if (size > kMaxImageSize) FailBrokenMap(path, "The file is 4 GiB or larger, too large for a map.");
    self.PrepareImage(static_cast<size_t>(size));
    // A file that shrank since its size was taken would leave bytes unread.
    if (Read(self.image.Data(), self.image.Size()) != self.image.Size()) {
      FailBrokenMap(path, "The file could not be read whole.");
    }
    Close();
    self.Check(path);
    self.loaded = true;
    return 0;
  } catch (OperationFailure& failure) {
    self.message = std::move(failure.message);
  } catch (...) {
    self.message = FormatString(kLoadFailedText, path.GetString());
  }
  Abort();
  self.Unload();
  self.messages.ShowMessage(self.message);
  return 1;
}

const char* CBspFile::GetEntityText() const {
  if (!impl_->loaded) return nullptr;
  return reinterpret_cast<const char*>(impl_->image.Data()) + impl_->EntityLump().offset;
}

int CBspFile::SaveMap(const CString& path, CString& text) {
  Impl& self = *impl_;
  if (!self.loaded) return 2;
  const CString fileName = FileNameOf(path);
  const BspHeader headerBefore = self.header;
  // Held until the new file is complete, so that no other program writes
  // the map in between; a read-only map or one in use fails here.
  CFile hold(Files());
  CString tempPath;
  try {
    if (!hold.Open(path, Mode::kReplace)) throw OperationFailure{};
    ToLumpText(text);
    if (!OpenTempBeside(path)) throw OperationFailure{};
    tempPath = GetFilePath();

    const auto textLength = static_cast<std::int64_t>(text.Size()) + 1;  // with its NUL
    std::optional<ImageBuffer> next;   // the new image, when the old one cannot take it
    std::optional<CompilerLayout> rebuilt;
    std::int64_t oldTexturesOffset = self.TexturesLump().offset;
    if (self.standardLayout) {
      // The compilers' layout: the bytes before the entity lump, the text,
      // then the textures lump, which ends the file.
      BspLump& entities = self.EntityLump();
      BspLump& textures = self.TexturesLump();
      const std::int64_t texturesOffset = std::int64_t{entities.offset} + textLength;
      const std::int64_t newSize = texturesOffset + textures.length;
      if (textLength > kMaxFieldValue || texturesOffset > kMaxFieldValue) throw OperationFailure{};
      entities.length = static_cast<std::int32_t>(textLength);
      textures.offset = static_cast<std::int32_t>(texturesOffset);
      self.StoreHeader();
      if (static_cast<std::uint64_t>(newSize) > self.image.Capacity()) {
        next.emplace(static_cast<size_t>(newSize));
      }
      const unsigned char* image = self.image.Data();
      Write(image, static_cast<size_t>(entities.offset));
      Write(text.GetString(), static_cast<size_t>(textLength));
      Write(image + oldTexturesOffset, static_cast<size_t>(textures.length));
    } else {
      // Any other layout is written afresh in the compilers' order, so that
      // no lump loses its bytes.
      rebuilt = PlanCompilerLayout(self.header, self.entityIndex, textLength);
      if (!rebuilt || rebuilt->fileSize > kMaxImageSize) throw OperationFailure{};
      next.emplace(static_cast<size_t>(rebuilt->fileSize));
      ImageBuffer& out = *next;
      std::memset(out.Data(), 0, out.Size());
      WriteBspHeader(rebuilt->header, out.Bytes());
      for (const int index : rebuilt->order) {
        const BspLump& placed = rebuilt->header.lumps[static_cast<size_t>(index)];
        const unsigned char* from = index == self.entityIndex
                                        ? reinterpret_cast<const unsigned char*>(text.GetString())
                                        : self.image.Data() + self.header.lumps[static_cast<size_t>(index)].offset;
        if (placed.length > 0) std::memcpy(out.Data() + placed.offset, from, static_cast<size_t>(placed.length));
      }
      Write(out.Data(), out.Size());
    }
    Flush();
    Close();
    hold.Close();
    CString savedMessage = FormatString(kSavedText, fileName.GetString());
    Files().Replace(tempPath, path);
    tempPath.Empty();

    // The image becomes what was written, so the next save starts from the
    // file as it now is.
    if (rebuilt) {
      self.header = rebuilt->header;
      self.image = std::move(*next);
    } else {
      const BspLump& entities = self.EntityLump();
      const BspLump& textures = self.TexturesLump();
      const auto textureBytes = static_cast<size_t>(textures.length);
      const auto newSize = static_cast<size_t>(textures.End());
      if (next) {
        std::memcpy(next->Data(), self.image.Data(), static_cast<size_t>(entities.offset));
        std::memcpy(next->Data() + textures.offset, self.image.Data() + oldTexturesOffset, textureBytes);
        self.image = std::move(*next);
      } else {
        self.image.Resize(std::max(newSize, self.image.Size()));
        std::memmove(self.image.Data() + textures.offset, self.image.Data() + oldTexturesOffset, textureBytes);
        self.image.Resize(newSize);
      }
      std::memcpy(self.image.Data() + entities.offset, text.GetString(), static_cast<size_t>(textLength));
    }
    self.standardLayout = IsStandardLayout(self.header, std::as_const(self.image).Bytes(), self.entityIndex);
    self.message = std::move(savedMessage);
  } catch (...) {
    // The map itself was never touched: drop the new file and keep the image
    // as loaded, so that a retry can succeed.
    Abort();
    hold.Abort();
    if (!tempPath.IsEmpty()) Files().Remove(tempPath);
    self.header = headerBefore;
    self.StoreHeader();
    self.message = FormatString(kSaveFailedText, fileName.GetString());
    self.messages.ShowMessage(self.message);
    return 1;
  }
  self.messages.ShowMessage(self.message);
  return 0;
}

bool CBspFile::IsLoaded() const { return impl_->loaded; }

const CString& CBspFile::LastMessage() const { return impl_->message; }

std::int32_t CBspFile::Version() const { return impl_->loaded ? impl_->header.version : 0; }

std::uint32_t CBspFile::ImageSize() const {
  return impl_->loaded ? static_cast<std::uint32_t>(impl_->image.Size()) : 0;
}

int CBspFile::EntityLumpIndex() const { return impl_->entityIndex; }

CBspFile::LumpInfo CBspFile::Lump(int index) const {
  if (!impl_->loaded || index < 0 || index >= kLumpCount) return {0, 0};
  const BspLump& lump = impl_->header.lumps[static_cast<size_t>(index)];
  return {lump.offset, lump.length};
}

bool CBspFile::HasStandardLayout() const { return impl_->loaded && impl_->standardLayout; }

}  // namespace lw
