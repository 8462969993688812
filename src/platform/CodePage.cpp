#include "platform/CodePage.h"

#include <atomic>
#include <cstring>

namespace lw {
namespace {

std::atomic<unsigned> gActive{CodePage::kSingleByte};

bool IsLeadIn(unsigned id, unsigned char byte) {
  switch (id) {
    case 932:  // Shift JIS
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

}  // namespace

void CodePage::SetActive(unsigned id) { gActive.store(IsKnown(id) ? id : kSingleByte); }

unsigned CodePage::Active() { return gActive.load(); }

bool CodePage::IsKnown(unsigned id) {
  return id == kSingleByte || id == 932 || id == 936 || id == 949 || id == 950 || id == 1250 || id == 1251 ||
         id == 1253 || id == 1254 || id == 437 || id == 850;
}

bool CodePage::IsDoubleByte() {
  const unsigned id = Active();
  return id == 932 || id == 936 || id == 949 || id == 950;
}

bool CodePage::IsLeadByte(unsigned char byte) { return IsLeadIn(Active(), byte); }

size_t CharLengthAt(std::string_view text, size_t pos) {
  if (pos + 1 < text.size() &&
      CodePage::IsDoubleByteChar(static_cast<unsigned char>(text[pos]), static_cast<unsigned char>(text[pos + 1]))) {
    return 2;
  }
  return 1;
}

size_t ScanFindChar(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return kNotFound;
  if (!CodePage::IsDoubleByte()) {
    const void* hit = std::memchr(text.data() + from, c, text.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : kNotFound;
  }
  for (size_t i = from; i < text.size(); i += CharLengthAt(text, i)) {
    if (text[i] == c) return i;
  }
  return kNotFound;
}

size_t ScanFindLastChar(std::string_view text, char c) {
  if (!CodePage::IsDoubleByte()) {
    const size_t hit = text.rfind(c);
    return hit == std::string_view::npos ? kNotFound : hit;
  }
  size_t last = kNotFound;
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i)) {
    if (text[i] == c) last = i;
  }
  return last;
}

size_t ScanFindString(std::string_view text, std::string_view needle, size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) return kNotFound;
  if (!CodePage::IsDoubleByte()) {
    const size_t hit = text.find(needle, from);
    return hit == std::string_view::npos ? kNotFound : hit;
  }
  for (size_t i = from; i + needle.size() <= text.size(); i += CharLengthAt(text, i)) {
    if (text.compare(i, needle.size(), needle) == 0) return i;
  }
  return kNotFound;
}

}  // namespace lw
