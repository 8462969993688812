#pragma once

#include <cstddef>
#include <string_view>

namespace lw {

// The ANSI code page that text is scanned in. Single-byte by default; a
// double-byte code page (932, 936, 949, 950) makes lead bytes take the next
// byte with them, so a search never matches a trail byte on its own.
class CodePage {
 public:
  static constexpr unsigned kSingleByte = 1252;

  // Unknown identifiers count as single-byte.
  static void SetActive(unsigned id);
  [[nodiscard]] static unsigned Active();
  [[nodiscard]] static bool IsDoubleByte();
  [[nodiscard]] static bool IsLeadByte(unsigned char byte);
  // Whether `first` and `second` make one double-byte character. A byte below
  // 0x40 (line ends, quotes, digits) is never a trail byte, so it always
  // starts a character of its own.
  [[nodiscard]] static bool IsDoubleByteChar(unsigned char first, unsigned char second) {
    return second >= 0x40 && IsLeadByte(first);
  }
  [[nodiscard]] static bool IsKnown(unsigned id);
};

// The code page the system runs in: the active ANSI code page on Windows,
// single-byte elsewhere. Both programs start in it.
unsigned SystemCodePage();

inline constexpr size_t kNotFound = static_cast<size_t>(-1);

// Length of the character starting at text[pos]: 2 for a lead byte followed by
// a trail byte, else 1.
size_t CharLengthAt(std::string_view text, size_t pos);

// First `c` at a character boundary at or after `from` (which must be one).
size_t ScanFindChar(std::string_view text, char c, size_t from = 0);
// Last `c` at a character boundary.
size_t ScanFindLastChar(std::string_view text, char c);
// First `needle` starting at a character boundary at or after `from`.
size_t ScanFindString(std::string_view text, std::string_view needle, size_t from = 0);

}  // namespace lw
