#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lw {

// A unified diff of two texts, as `diff -u OLD NEW` prints it: "--- oldName"
// and "+++ newName" headers, then hunks "@@ -a,b +c,d @@" with `context` lines
// around each change; hunks whose context overlaps are merged. Lines keep
// their bytes as they are ("\r\n" ends included) and a last line without a
// newline is marked the way `diff` marks it, so that `patch` can apply the
// result. Empty when the texts are equal.
std::string UnifiedDiff(std::string_view oldText, std::string_view newText, std::string_view oldName,
                        std::string_view newName, size_t context = 3);

}  // namespace lw
