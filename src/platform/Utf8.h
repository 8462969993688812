#pragma once

#include <string>
#include <string_view>

namespace lw {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Each byte of `bytes` as the code point of the same value, in UTF-8: how
// single-byte text reaches something that takes only Unicode, no byte lost.
std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace lw
