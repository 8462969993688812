#pragma once

#include "platform/CString.h"

namespace lw {

// The entity lump's two text forms. The lump form (stored in the map) ends its
// lines with "\n"; the display form (shown in the editor) with "\r\n".

// Lump text up to its first NUL -> display form: kept through the last '}',
// "\n" widened to "\r\n" unless the text already holds a "\r\n", then "\r\n"
// appended. No '}' gives "\r\n" alone.
CString ToDisplayText(const char* lumpText);

// Display form -> lump form, in place: "\r\n" narrowed to "\n" in one pass,
// kept from the first '{' through the last '}', then "\n" appended.
void ToLumpText(CString& text);

// The length ToLumpText would give `text`, its NUL not counted, worked out
// without a copy.
size_t LumpTextLength(std::string_view text);

}  // namespace lw
