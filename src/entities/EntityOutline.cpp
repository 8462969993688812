#include "entities/EntityOutline.h"

#include <algorithm>
#include <cstring>

#include "entities/EntityBlocks.h"

namespace lw {

std::vector<OutlineRow> BuildOutline(std::string_view text) {
  std::vector<OutlineRow> rows;
  size_t line = 1;
  size_t counted = 0;  // the bytes whose line ends are in `line`
  ForEachEntityBlock(text, [&](const EntityBlock& block) {
    const char* from = text.data() + counted;
    const char* to = text.data() + block.open;
    while (from < to) {
      const void* found = std::memchr(from, '\n', static_cast<size_t>(to - from));
      if (found == nullptr) break;
      ++line;
      from = static_cast<const char*>(found) + 1;
    }
    counted = block.open;
    OutlineRow row;
    row.block = rows.size();
    row.open = block.open;
    row.close = block.close;
    row.line = line;
    row.className = std::string(ClassOf(text, block).value_or(""));
    row.targetname = std::string(ValueOf(text, block, "targetname").value_or(""));
    row.origin = std::string(ValueOf(text, block, "origin").value_or(""));
    rows.push_back(std::move(row));
  });
  return rows;
}

size_t OutlineRowAt(const std::vector<OutlineRow>& rows, size_t offset) {
  // The first row that opens after the offset; the one before it holds it.
  const auto after = std::upper_bound(rows.begin(), rows.end(), offset,
                                      [](size_t at, const OutlineRow& row) { return at < row.open; });
  if (after == rows.begin()) return rows.size();
  return static_cast<size_t>(after - rows.begin()) - 1;
}

std::vector<size_t> FilterOutline(std::string_view text, const std::vector<OutlineRow>& rows, std::string_view needle) {
  std::vector<size_t> shown;
  shown.reserve(rows.size());
  for (const OutlineRow& row : rows) {
    if (needle.empty()) {
      shown.push_back(row.block);
      continue;
    }
    // A quick look at the block's bytes first; only a block that has the
    // needle somewhere is read pair by pair.
    const std::string_view bytes = text.substr(row.open, row.close + 1 - row.open);
    if (bytes.find(needle) == std::string_view::npos) continue;
    bool found = false;
    ForEachEntityBlock(bytes, [&](const EntityBlock& block) {
      for (const EntityPair& pair : block.pairs) {
        if (SpanText(bytes, pair.key).find(needle) != std::string_view::npos ||
            SpanText(bytes, pair.value).find(needle) != std::string_view::npos) {
          found = true;
          return;
        }
      }
    });
    if (found) shown.push_back(row.block);
  }
  return shown;
}

std::map<std::string, size_t> CountOutlineClasses(const std::vector<OutlineRow>& rows,
                                                  const std::vector<size_t>& shown) {
  std::map<std::string, size_t> counts;
  for (const size_t index : shown) ++counts[rows[index].className];
  return counts;
}

std::string DescribeClassCounts(const std::map<std::string, size_t>& counts) {
  std::string described;
  for (const auto& [name, count] : counts) {
    if (!described.empty()) described += ", ";
    described += (name.empty() ? std::string("(no class)") : name) + " " + std::to_string(count);
  }
  return described;
}

}  // namespace lw
