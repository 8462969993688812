#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "entities/EntityBlockSearch.h"

namespace lw::test {

// The block search and Delete All written plainly from their rules, one
// character at a time, with no attention to speed. The program's own search
// and its one-pass Delete All must agree with these on every input.
std::optional<EntityBlockSpan> ReferenceFindEntityBlock(std::string_view needle, std::string_view text, int position);

struct ReferenceDeleteAllResult {
  std::string text;
  int searchPosition = 0;
  int count = 0;
  int caret = 0;  // where the selection ends up (a caret) after the last deletion
};

ReferenceDeleteAllResult ReferenceDeleteAll(std::string_view needle, std::string text, int searchPosition);

}  // namespace lw::test
