#pragma once

// The outline of an entity text: one row per block as the command line's
// `count` and `get` read them (EntityBlocks.h), with the keys a mapper looks
// a block up by, for the windows' entity list and `lumpwright-cli entities`.
// Offsets are into the text given (the editor's display text in a window,
// the stored text on the command line); lines count from 1.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

struct OutlineRow {
  size_t block = 0;       // from 0, as `get` numbers blocks
  size_t open = 0;        // the '{'
  size_t close = 0;       // the '}'
  size_t line = 0;        // of the '{'
  std::string className;  // the first "classname", as the engine takes it
  std::string targetname;
  std::string origin;
};

std::vector<OutlineRow> BuildOutline(std::string_view text);

// The row of the block that holds `offset` (its '{' through its '}'), else
// the last row that starts before it (the caret between blocks belongs to
// the block above); rows.size() before the first block or without rows.
size_t OutlineRowAt(const std::vector<OutlineRow>& rows, size_t offset);

// The rows whose block has `needle` in a key or a value, byte for byte; all
// of them for an empty needle. `text` is the one the rows were built from.
std::vector<size_t> FilterOutline(std::string_view text, const std::vector<OutlineRow>& rows, std::string_view needle);

// Class -> rows of that class among `shown`, sorted by class; "" for blocks
// without one.
std::map<std::string, size_t> CountOutlineClasses(const std::vector<OutlineRow>& rows,
                                                  const std::vector<size_t>& shown);
// "info_player_deathmatch 20, info_player_start 20"
std::string DescribeClassCounts(const std::map<std::string, size_t>& counts);

}  // namespace lw
