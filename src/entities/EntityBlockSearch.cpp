#include "entities/EntityBlockSearch.h"

#include "entities/EntityBlockSearchImpl.h"

namespace lw {

std::optional<EntityBlockSpan> FindEntityBlock(std::string_view needle, std::string_view text, int position) {
  if (needle.empty()) return std::nullopt;
  return detail::FindEntityBlockIn(needle, detail::ContiguousText(text), position);
}

int BlockSelectionEnd(std::string_view text, int blockEnd) {
  return static_cast<int>(detail::SelectionEndIn(detail::ContiguousText(text), static_cast<size_t>(blockEnd)));
}

}  // namespace lw
