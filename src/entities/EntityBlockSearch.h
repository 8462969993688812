#pragma once

#include <optional>
#include <string_view>

namespace lw {

// A found entity block: `start` is the position of its '{', `end` that of its
// '}'.
struct EntityBlockSpan {
  int start = 0;
  int end = 0;

  friend bool operator==(const EntityBlockSpan&, const EntityBlockSpan&) = default;
};

// Finds the block around the first occurrence of `needle` at or after
// `position` (from 0 when `position` lies beyond the end of `text`). The
// occurrence's block runs from the nearest '{' before it to the nearest '}'
// after it. Braces between quotes on their line (decal names such as
// "{target") are not block braces. Matching is byte for byte and
// case-sensitive; in a double-byte code page a trail byte never matches alone.
std::optional<EntityBlockSpan> FindEntityBlock(std::string_view needle, std::string_view text, int position);

// The brace that pairs with the block brace at `at`, as Find reads blocks: a
// brace between quotes on its line is part of a value, not a block brace.
// Blocks do not nest, so a '{' pairs with the next block '}' and a '}' with
// the block '{' before it. Nothing when the byte at `at` is no block brace;
// -1 when it is one that pairs with nothing (another block's brace comes
// first, or the text ends).
std::optional<int> MatchingBlockBrace(std::string_view text, int at);

// Where the selection of a found block ends: after its '}' and the line end
// that follows it ("\r\n", a lone "\n", or none), so that deleting the
// selection never takes the next block's first character.
int BlockSelectionEnd(std::string_view text, int blockEnd);

}  // namespace lw
