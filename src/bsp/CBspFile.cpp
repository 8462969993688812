#include "bsp/CBspFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "bsp/BspHeader.h"
#include "bsp/BspLayout.h"
#include "bsp/MapExtras.h"
#include "bsp/SavePlan.h"
#include "entities/EntityText.h"
#include "platform/FailureReason.h"
#include "platform/FileSave.h"
#include "platform/ImageBuffer.h"
#include "platform/Paths.h"

namespace lw {
namespace {

constexpr const char* kOpenFailedText = "Error openning the file: %s.\nMake sure it isn't opened in another program.";
constexpr const char* kSizeFailedText = "Error reading the size of the file : %s.";
constexpr const char* kVersionText = "BSP is version %i, not %i";
constexpr const char* kLoadFailedText = "Error openning the file: %s.\n";
constexpr const char* kSaveFailedText = "Error saving the file: %s.";
constexpr const char* kSavedText = "The file:  %s\nwas saved!";
constexpr const char* kNotPutBackText =
    "\nThe map could not be put back as it was and may be damaged; restore it from a backup.";
constexpr const char* kMapGoneText = "The map no longer exists; it is not made again.";
constexpr const char* kLayoutWouldChangeText =
    "Its planes could not be told from its entity text once saved, so the game would read the map wrongly.";

// The size field is a 32-bit count, so a larger file cannot be a map.
constexpr std::uint64_t kMaxImageSize = std::numeric_limits<std::uint32_t>::max();

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

// A save's plan with the tables it writes, and what the image becomes once
// the new bytes are on disk.
struct NewMapBytes {
  SavePlan plan;
  bool standard = false;
  std::array<unsigned char, kBspHeaderSize> headerBytes{};
  std::array<unsigned char, kExtendedHeaderSize> extendedBytes{};
  std::vector<unsigned char> bspxBytes;

  NewMapBytes(SavePlan planned, bool inStandardLayout) : plan(std::move(planned)), standard(inStandardLayout) {
    WriteBspHeader(plan.tables.header, headerBytes);
    if (plan.tables.extras.extended) extendedBytes = ExtendedHeaderBytes(*plan.tables.extras.extended);
    if (plan.tables.extras.bspx) bspxBytes = BspxTableBytes(*plan.tables.extras.bspx);
  }

  // The pieces to write, in order. Made where the object stays put, since
  // some of them lie inside it.
  [[nodiscard]] std::vector<std::span<const unsigned char>> Pieces(std::span<const unsigned char> image,
                                                                   std::span<const unsigned char> lumpText) const {
    static constexpr std::array<unsigned char, 4096> kZeros{};
    std::vector<std::span<const unsigned char>> pieces;
    for (const SavePiece& piece : plan.pieces) {
      const auto length = static_cast<size_t>(piece.length);
      switch (piece.source) {
        case SavePiece::Source::kHeader: pieces.emplace_back(headerBytes); break;
        case SavePiece::Source::kExtendedHeader: pieces.emplace_back(extendedBytes); break;
        case SavePiece::Source::kBspxTable: pieces.emplace_back(bspxBytes); break;
        case SavePiece::Source::kImage: pieces.push_back(image.subspan(static_cast<size_t>(piece.from), length)); break;
        case SavePiece::Source::kText: pieces.push_back(lumpText); break;
        case SavePiece::Source::kZeros:
          for (size_t left = length; left > 0; left -= std::min(left, kZeros.size())) {
            pieces.push_back(std::span(kZeros).first(std::min(left, kZeros.size())));
          }
          break;
      }
    }
    return pieces;
  }
};

// Everything past the version is taken from the file, so every field is
// checked before it is used. `headerBytes` are the file's first bytes, all of
// them when it is shorter than the header. The one check of the directory,
// for the whole load and the read-only one alike.
BspHeader CheckHeader(const CString& path, std::span<const unsigned char> headerBytes, std::uint64_t fileSize) {
  constexpr const char* kTooShort = "The file is shorter than the 124-byte map header.";
  const std::optional<std::int32_t> version = ReadBspVersion(headerBytes);
  if (!version) FailBrokenMap(path, kTooShort);
  if (*version != kBspVersion) throw OperationFailure{FormatString(kVersionText, *version, kBspVersion)};
  const std::optional<BspHeader> read = ReadBspHeader(headerBytes);
  if (!read) FailBrokenMap(path, kTooShort);
  if (const auto fault = FindDirectoryFault(*read, fileSize)) FailBrokenMap(path, fault->c_str());
  return *read;
}

// GetEntityText reads up to the lump's NUL, which must lie inside it.
void CheckEntityLump(const CString& path, std::span<const unsigned char> entities) {
  if (entities.empty() || std::memchr(entities.data(), 0, entities.size()) == nullptr) {
    FailBrokenMap(path, "The entity lump has no NUL byte inside it.");
  }
}

// Reads `count` bytes at `offset`; a file that shrank since its size was
// taken would leave bytes unread.
void ReadAt(CFile& file, const CString& path, std::uint64_t offset, unsigned char* buffer, size_t count) {
  if (count == 0) return;
  file.Seek(offset);
  if (file.Read(buffer, count) != count) FailBrokenMap(path, "The file could not be read whole.");
}

// The first `limit` bytes of `lump` (all of a shorter one).
std::vector<unsigned char> ReadLumpStart(CFile& file, const CString& path, const BspLump& lump, size_t limit) {
  std::vector<unsigned char> bytes(std::min(static_cast<size_t>(lump.length), limit));
  ReadAt(file, path, static_cast<std::uint64_t>(lump.offset), bytes.data(), bytes.size());
  return bytes;
}

// The text of the file error being handled; empty for any other failure.
std::string CurrentFileErrorText() noexcept {
  try {
    throw;
  } catch (const FileError& error) {
    try {
      return error.what();
    } catch (...) {
      return {};
    }
  } catch (...) {
    return {};
  }
}

}  // namespace

struct CBspFile::Impl {
  explicit Impl(MessageSink& sink) : messages(sink) {}

  MessageSink& messages;
  bool loaded = false;
  bool readOnly = false;
  // The image is the whole file; after a read-only load it is the entity
  // lump alone, and the file's size is kept beside it.
  bool wholeImage = false;
  std::uint64_t fileSize = 0;
  ImageBuffer image;
  CString message;
  // The system's words for a save that failed while writing.
  std::string failureReason;
  // The map file as it was when loaded or last saved.
  std::optional<FileStamp> stamp;
  bool explainsFailures = false;
  // Decoded from the image's header, kept equal to it.
  BspHeader header;
  int entityIndex = kEntitiesLump;
  MapExtras extras;
  bool standardLayout = false;
  bool compilerOrder = false;
  std::vector<FileBytes> looseBytes;

  [[nodiscard]] MapTables Tables() const { return {header, entityIndex, extras}; }

  BspLump& EntityLump() { return header.lumps[static_cast<size_t>(entityIndex)]; }
  [[nodiscard]] const unsigned char* EntityText() const {
    return wholeImage ? image.Data() + header.lumps[static_cast<size_t>(entityIndex)].offset : image.Data();
  }
  BspLump& TexturesLump() { return header.lumps[kTexturesLump]; }

  void Unload() noexcept {
    loaded = false;
    wholeImage = false;
    fileSize = 0;
    image.Reset();
    header = BspHeader{};
    entityIndex = kEntitiesLump;
    extras = MapExtras{};
    standardLayout = false;
    compilerOrder = false;
    looseBytes.clear();
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
  // The blocks beyond the lump table and the bytes no table describes, of
  // the whole image.
  void FindLayout();
  void ReadEntities(CFile& file, const CString& path, std::uint64_t size);
  void StoreHeader() { WriteBspHeader(header, image.Bytes()); }

  NewMapBytes PlanSave(std::span<const unsigned char> lumpText, const CString& fileName);
  void Adopt(NewMapBytes& saved, std::span<const unsigned char> lumpText);
};

void CBspFile::Impl::Check(const CString& path) {
  const auto bytes = std::as_const(image).Bytes();
  header = CheckHeader(path, bytes.first(std::min(bytes.size(), kBspHeaderSize)), bytes.size());
  entityIndex = FindEntityLumpIndex(header, bytes);
  CheckEntityLump(path, LumpBytes(bytes, EntityLump()));
  wholeImage = true;
  FindLayout();
}

void CBspFile::Impl::FindLayout() {
  const auto bytes = std::as_const(image).Bytes();
  extras = FindMapExtras(header, bytes);
  const MapTables tables = Tables();
  standardLayout = SavesInStandardLayout(tables, bytes);
  compilerOrder = IsInCompilerOrder(header, entityIndex);
  looseBytes = FindLooseBytes(tables, bytes.size(), [bytes](std::uint64_t offset, std::span<unsigned char> into) {
    if (offset > bytes.size() || bytes.size() - offset < into.size()) return false;
    if (!into.empty()) std::memcpy(into.data(), bytes.data() + offset, into.size());
    return true;
  });
}

// The read-only load: the same checks as Check, on the bytes they need. A
// map's geometry, lighting and textures are most of its bytes and are never
// read.
void CBspFile::Impl::ReadEntities(CFile& file, const CString& path, std::uint64_t size) {
  std::array<unsigned char, kBspHeaderSize> headerBytes{};
  const size_t headerLength = static_cast<size_t>(std::min<std::uint64_t>(size, kBspHeaderSize));
  ReadAt(file, path, 0, headerBytes.data(), headerLength);
  const BspHeader read = CheckHeader(path, std::span(headerBytes).first(headerLength), size);

  const BspLump& lump0 = read.lumps[kEntitiesLump];
  const BspLump& lump1 = read.lumps[kPlanesLump];
  int index = kEntitiesLump;
  // Most maps hold their text in entry 0, which is then read once, straight
  // into the image, and entry 1 not at all: text in entry 0 that no plane
  // records can be made of decides for it, whatever entry 1 holds.
  bool entitiesRead = false;
  if (const auto length0 = static_cast<size_t>(lump0.length); length0 > 0) {
    PrepareImage(length0);
    const size_t first = std::min(length0, kPlaneBytesChecked);
    ReadAt(file, path, static_cast<std::uint64_t>(lump0.offset), image.Data(), first);
    if (!LooksLikePlanes(std::span<const unsigned char>(image.Data(), first), lump0.length)) {
      ReadAt(file, path, static_cast<std::uint64_t>(lump0.offset) + first, image.Data() + first, length0 - first);
      entitiesRead = LooksLikeEntityText(std::as_const(image).Bytes());
    }
  }
  if (!entitiesRead) {
    std::vector<unsigned char> bytes0 = ReadLumpStart(file, path, lump0, kPlaneBytesChecked);
    std::vector<unsigned char> bytes1 = ReadLumpStart(file, path, lump1, kPlaneBytesChecked);
    if (const std::optional<int> byPlanes = FindEntityLumpIndexByPlanes(bytes0, lump0.length, bytes1, lump1.length)) {
      index = *byPlanes;
    } else {
      // Neither or both look like planes: the text decides, on both entries whole.
      bytes0 = ReadLumpStart(file, path, lump0, static_cast<size_t>(lump0.length));
      bytes1 = ReadLumpStart(file, path, lump1, static_cast<size_t>(lump1.length));
      index = FindEntityLumpIndex(bytes0, bytes1);
    }
    const BspLump& entities = read.lumps[static_cast<size_t>(index)];
    const std::vector<unsigned char>& start = index == kEntitiesLump ? bytes0 : bytes1;
    const auto length = static_cast<size_t>(entities.length);
    if (length == 0) CheckEntityLump(path, {});
    PrepareImage(length);
    // What was read of it already is not read again.
    std::memcpy(image.Data(), start.data(), start.size());
    ReadAt(file, path, static_cast<std::uint64_t>(entities.offset) + start.size(), image.Data() + start.size(),
           length - start.size());
  }
  CheckEntityLump(path, std::as_const(image).Bytes());

  bool standard = false;
  if (const std::optional<LayoutPadding> padding = FindStandardLayoutPadding(read, size, index)) {
    std::array<unsigned char, kLumpAlignment> gap{};
    standard = true;
    for (const FileBytes& part : {padding->afterEntities, padding->afterTextures}) {
      ReadAt(file, path, part.offset, gap.data(), part.length);
      standard = standard && AllZero(std::span(gap).first(part.length));
    }
  }
  const ReadMapBytes readFile = [&](std::uint64_t offset, std::span<unsigned char> into) {
    if (offset > size || size - offset < into.size()) return false;
    if (into.empty()) return true;
    file.Seek(offset);
    return file.Read(into.data(), into.size()) == into.size();
  };
  header = read;
  entityIndex = index;
  extras = FindMapExtras(read, size, readFile);
  const MapTables tables = Tables();
  standardLayout = standard && ExtrasAllowStandardSave(tables);
  compilerOrder = IsInCompilerOrder(header, entityIndex);
  looseBytes = FindLooseBytes(tables, size, readFile);
  wholeImage = false;
  fileSize = size;
}

CBspFile::CBspFile(MessageSink& messages, FileSystem& files) : CFile(files), impl_(std::make_unique<Impl>(messages)) {}

CBspFile::~CBspFile() = default;

int CBspFile::LoadMap(const CString& path) {
  Impl& self = *impl_;
  try {
    if (!Open(path, Mode::kRead)) throw OperationFailure{FormatString(kOpenFailedText, path.GetString())};
    std::uint64_t size = 0;
    if (!GetStatus(size)) throw OperationFailure{FormatString(kSizeFailedText, path.GetString())};
    if (size > kMaxImageSize) FailBrokenMap(path, "The file is 4 GiB or larger, too large for a map.");
    FileStamp stamp;
    if (!GetStamp(stamp)) throw OperationFailure{FormatString(kSizeFailedText, path.GetString())};
    self.stamp = stamp;
    if (self.readOnly) {
      self.ReadEntities(*this, path, size);
      Close();
    } else {
      self.PrepareImage(static_cast<size_t>(size));
      // A file that shrank since its size was taken would leave bytes unread.
      if (Read(self.image.Data(), self.image.Size()) != self.image.Size()) {
        FailBrokenMap(path, "The file could not be read whole.");
      }
      Close();
      self.Check(path);
    }
    self.loaded = true;
    return 0;
  } catch (OperationFailure& failure) {
    self.message = std::move(failure.message);
  } catch (...) {
    self.message = FormatString(kLoadFailedText, path.GetString());
  }
  Abort();
  self.Unload();
  if (self.explainsFailures) {
    if (const std::string reason = WhyNotReadable(path); !reason.empty()) self.message += CString("\n(" + reason + ")");
  }
  self.messages.ShowMessage(self.message);
  return 1;
}

void CBspFile::SetReadOnly(bool readOnly) { impl_->readOnly = readOnly; }

void CBspFile::SetExplainsFailures(bool explains) { impl_->explainsFailures = explains; }

void CBspFile::Unload() { impl_->Unload(); }

const char* CBspFile::GetEntityText() const {
  if (!impl_->loaded) return nullptr;
  return reinterpret_cast<const char*>(impl_->EntityText());
}

NewMapBytes CBspFile::Impl::PlanSave(std::span<const unsigned char> lumpText, const CString& fileName) {
  const auto refuse = [&fileName](const std::string& why) {
    CString refusal = FormatString(kSaveFailedText, fileName.GetString());
    if (!why.empty()) refusal += CString("\n" + why);
    return OperationFailure{refusal};
  };
  const MapTables tables = Tables();
  const auto bytes = std::as_const(image).Bytes();
  std::optional<NewMapBytes> next;
  if (standardLayout) {
    std::optional<SavePlan> plan = PlanStandardSave(tables, lumpText.size());
    if (!plan) throw refuse({});
    next.emplace(std::move(*plan), true);
  } else {
    PlannedSave planned = PlanKeepingSave(tables, bytes, lumpText);
    if (!planned.plan) throw refuse(planned.refusal);
    next.emplace(std::move(*planned.plan), false);
  }
  // A save must not turn a swapped map into one that reads as standard, or
  // the other way round: the next save would write the text over the planes.
  const auto lumpAfter = [&](int index) {
    if (index == entityIndex) return lumpText;
    return LumpBytes(bytes, header.lumps[static_cast<size_t>(index)]);
  };
  if (FindEntityLumpIndex(lumpAfter(kEntitiesLump), lumpAfter(kPlanesLump)) != entityIndex) {
    throw refuse(kLayoutWouldChangeText);
  }
  return std::move(*next);
}

// The image becomes what was written, so that the next save starts from the
// file as it now is.
void CBspFile::Impl::Adopt(NewMapBytes& saved, std::span<const unsigned char> lumpText) {
  if (!saved.standard) {
    ImageBuffer written(static_cast<size_t>(saved.plan.fileSize));
    ReadPlanned(saved.plan, std::as_const(image).Bytes(), lumpText, 0, written.Bytes());
    image = std::move(written);
    header = saved.plan.tables.header;
  } else {
    const std::int32_t oldTexturesOffset = TexturesLump().offset;
    header = saved.plan.tables.header;
    const BspLump& entities = EntityLump();
    const BspLump& textures = TexturesLump();
    const auto textureBytes = static_cast<size_t>(textures.length);
    const auto newSize = static_cast<size_t>(textures.End());
    if (newSize > image.Capacity()) {
      ImageBuffer grown(newSize);
      std::memcpy(grown.Data(), image.Data(), static_cast<size_t>(entities.offset));
      std::memcpy(grown.Data() + textures.offset, image.Data() + oldTexturesOffset, textureBytes);
      image = std::move(grown);
    } else {
      image.Resize(std::max(newSize, image.Size()));
      std::memmove(image.Data() + textures.offset, image.Data() + oldTexturesOffset, textureBytes);
      image.Resize(newSize);
    }
    std::memcpy(image.Data() + entities.offset, lumpText.data(), lumpText.size());
    StoreHeader();
  }
  FindLayout();
}

int CBspFile::SaveMap(const CString& path, CString& text) {
  return SaveLump(path, [&text] {
    ToLumpText(text);
    return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(text.GetString()),
                                          text.Size() + 1);  // with its NUL
  });
}

int CBspFile::SaveEntityLump(const CString& path, const std::string& lumpText) {
  return SaveLump(path, [&lumpText] {
    // With the string's terminator, which is the lump's NUL.
    return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(lumpText.c_str()),
                                          lumpText.size() + 1);
  });
}

int CBspFile::SaveLump(const CString& path, const std::function<std::span<const unsigned char>()>& lumpTextOnceHeld) {
  Impl& self = *impl_;
  self.failureReason.clear();
  if (!self.loaded || !self.wholeImage) return 2;
  const CString fileName = FileNameOf(path);
  // Held until the new bytes are on disk, so that no other program writes
  // the map in between; a read-only map or one in use fails here.
  FileSave save(Files());
  const auto explained = [&](CString message) {
    if (!self.explainsFailures) return message;
    std::string reason = WhyNotSavable(path);
    if (reason.empty()) reason = self.failureReason;
    if (!reason.empty()) message += CString("\n(" + reason + ")");
    return message;
  };
  try {
    if (!save.Open(path)) throw OperationFailure{};
    if (!save.TargetExists()) {
      throw OperationFailure{FormatString(kSaveFailedText, fileName.GetString()) + "\n" + kMapGoneText};
    }
    // Another program may have written the map since it was loaded: its new
    // bytes must not be overwritten with the old ones held here.
    FileStamp now;
    if (!save.HeldStamp(now)) throw OperationFailure{};
    if (!self.stamp || now != *self.stamp) {
      save.Abort();
      return kChangedOnDisk;
    }
    const std::span<const unsigned char> lumpText = lumpTextOnceHeld();
    NewMapBytes next = self.PlanSave(lumpText, fileName);
    CString savedMessage = FormatString(kSavedText, fileName.GetString());
    save.Commit(next.Pieces(std::as_const(self.image).Bytes(), lumpText));
    // Growing the image may fail for want of memory; the map is saved by
    // then, so the image is let go and the next load reads the map afresh.
    try {
      self.Adopt(next, lumpText);
    } catch (...) {
      self.Unload();
    }
    self.stamp = save.WrittenStamp();
    self.message = std::move(savedMessage);
  } catch (OperationFailure& failure) {
    save.Abort();
    self.message = failure.message.IsEmpty() ? explained(FormatString(kSaveFailedText, fileName.GetString()))
                                             : std::move(failure.message);
    self.messages.ShowMessage(self.message);
    return 1;
  } catch (...) {
    // The map itself keeps its bytes; so does the image, so that a retry can
    // succeed. Bytes put back into it give it a new time, not new content.
    if (save.WrittenStamp()) self.stamp = *save.WrittenStamp();
    save.Abort();
    self.failureReason = CurrentFileErrorText();
    self.message = explained(FormatString(kSaveFailedText, fileName.GetString()));
    if (save.LeftDamaged()) self.message += kNotPutBackText;
    self.messages.ShowMessage(self.message);
    return 1;
  }
  self.messages.ShowMessage(self.message);
  return 0;
}

bool CBspFile::IsLoaded() const { return impl_->loaded; }

std::span<const unsigned char> CBspFile::EntityLumpBytes() const {
  const Impl& self = *impl_;
  if (!self.loaded) return {};
  return {self.EntityText(), static_cast<size_t>(self.header.lumps[static_cast<size_t>(self.entityIndex)].length)};
}

const std::string& CBspFile::LastFailureReason() const { return impl_->failureReason; }

const CString& CBspFile::LastMessage() const { return impl_->message; }

std::int32_t CBspFile::Version() const { return impl_->loaded ? impl_->header.version : 0; }

std::uint32_t CBspFile::ImageSize() const {
  const Impl& self = *impl_;
  if (!self.loaded) return 0;
  return static_cast<std::uint32_t>(self.wholeImage ? self.image.Size() : self.fileSize);
}

int CBspFile::EntityLumpIndex() const { return impl_->entityIndex; }

CBspFile::LumpInfo CBspFile::Lump(int index) const {
  if (!impl_->loaded || index < 0 || index >= kLumpCount) return {0, 0};
  const BspLump& lump = impl_->header.lumps[static_cast<size_t>(index)];
  return {lump.offset, lump.length};
}

bool CBspFile::HasStandardLayout() const { return impl_->loaded && impl_->standardLayout; }

bool CBspFile::HasCompilerOrder() const { return impl_->loaded && impl_->compilerOrder; }

const MapExtras& CBspFile::Extras() const {
  static const MapExtras kNone;
  return impl_->loaded ? impl_->extras : kNone;
}

std::span<const FileBytes> CBspFile::LooseBytes() const {
  if (!impl_->loaded) return {};
  return impl_->looseBytes;
}

}  // namespace lw
