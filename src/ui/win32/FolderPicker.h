#pragma once

#include <windows.h>

#include <optional>

#include "platform/CString.h"

namespace lw::win32 {

// Asks for a folder, owned by `owner` (disabled while the picker is up), with
// `title` as the picker's caption, opening in `startFolder` when that names a
// folder. The shell's item dialog is used, whose name box takes a typed or
// pasted path; where it cannot be created, the older folder tree is shown
// instead. Returns the folder's file-system path in the ANSI code page, or
// nothing when the user cancels, picks something that is no file-system
// folder, or picks one whose path that code page cannot spell.
std::optional<CString> PickFolder(HWND owner, const CString& title, const CString& startFolder = {});

}  // namespace lw::win32
