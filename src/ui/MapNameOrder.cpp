// The order of the map list: the one a Windows list box with LBS_SORT gives
// file names (CompareString with NORM_IGNORECASE, its word sort), so that the
// Linux window and `lumpwright-cli list` show maps as the Windows window does.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/MainWindowView.h"

namespace lw {
namespace {

// The printable characters other than letters, in the list box's order; the
// digits follow them and the letters (of either case) the digits. The
// apostrophe and the hyphen are left out: the word sort passes over them,
// and looks at them only when all else is equal.
constexpr std::string_view kSymbolOrder = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
constexpr std::string_view kPassedOver = "'-";

struct Weights {
  std::array<std::uint16_t, 256> primary{};
  constexpr Weights() {
    std::uint16_t next = 1;
    // Control characters first; file names hardly hold them.
    for (unsigned c = 1; c < 0x20; ++c) primary[c] = next++;
    for (const char c : kSymbolOrder) primary[static_cast<unsigned char>(c)] = next++;
    for (unsigned c = '0'; c <= '9'; ++c) primary[c] = next++;
    for (unsigned c = 'a'; c <= 'z'; ++c) {
      primary[c] = next;
      primary[c - 'a' + 'A'] = next++;
    }
    primary[0x7F] = next++;
    // Bytes of other code pages after the letters, in their own order.
    for (unsigned c = 0x80; c < 256; ++c) primary[c] = next++;
  }
};
constexpr Weights kWeights;

bool IsPassedOver(char c) { return kPassedOver.find(c) != std::string_view::npos; }

// The characters the word sort compares first, as their weights.
std::vector<std::uint16_t> PrimaryKey(std::string_view name) {
  std::vector<std::uint16_t> key;
  key.reserve(name.size());
  for (const char c : name) {
    if (!IsPassedOver(c)) key.push_back(kWeights.primary[static_cast<unsigned char>(c)]);
  }
  return key;
}

// The apostrophes and hyphens in order: none before any, the apostrophe
// before the hyphen.
std::vector<std::uint16_t> PassedOverKey(std::string_view name) {
  std::vector<std::uint16_t> key;
  for (const char c : name) {
    if (IsPassedOver(c)) key.push_back(static_cast<std::uint16_t>(kPassedOver.find(c) + 1));
  }
  return key;
}

}  // namespace

bool MapNameLess(const CString& a, const CString& b) {
  const std::string_view x = a.View();
  const std::string_view y = b.View();
  const std::vector<std::uint16_t> primaryX = PrimaryKey(x);
  const std::vector<std::uint16_t> primaryY = PrimaryKey(y);
  if (primaryX != primaryY) return primaryX < primaryY;
  const std::vector<std::uint16_t> passedX = PassedOverKey(x);
  const std::vector<std::uint16_t> passedY = PassedOverKey(y);
  if (passedX != passedY) return passedX < passedY;
  // Names the list box holds equal (they differ in case only) keep one order
  // here: their bytes'.
  return x < y;
}

}  // namespace lw
