#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lw {

// What Delete All leaves behind, worked out in one pass over a copy of the
// text: exactly what deleting one found block at a time would leave.
struct DeleteAllResult {
  int count = 0;
  // Where the next search starts afterwards.
  int searchPosition = 0;
  // The text afterwards; set only when `count` > 0.
  std::string text;
  // The caret (an empty selection) after the last deletion.
  size_t caret = 0;
};

DeleteAllResult DeleteAllInOnePass(std::string_view text, std::string_view needle, int searchPosition);

// One replacement that turns `before` into `after`: the `removedLength` bytes
// of `before` at `start` give way to `inserted`. Both ends lie at line starts
// (or the text's ends), so that no double-byte character is cut in two.
struct TextReplacement {
  size_t start = 0;
  size_t removedLength = 0;
  std::string_view inserted;
};

TextReplacement SingleReplacement(std::string_view before, std::string_view after);

}  // namespace lw
