#include "entities/EntityOutline.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "entities/EntityBlocks.h"

namespace lw {

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
  // Counted by the rows' own names; a string is made once for each class.
  std::map<std::string_view, size_t> byName;
  for (const size_t index : shown) ++byName[rows[index].className];
  std::map<std::string, size_t> counts;
  for (const auto& [name, count] : byName) counts.emplace_hint(counts.end(), name, count);
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
