#pragma once

#include <windows.h>

#include "platform/CString.h"
#include "platform/Messages.h"

namespace lw::win32 {

class Dialog;

// The executable's full path.
CString ModulePath();
// The program's name: the executable's file name without its extension.
CString ApplicationName();

// A message box as the program shows every message: the exclamation icon,
// the program's name as caption, owned (and so disabled while it is up) by
// `owner` when there is one. Returns the button pressed.
int ShowMessageBox(HWND owner, const CString& text, UINT buttons);

// The core's messages, in message boxes owned by a dialog's window, which may
// not exist yet (or any more) when a message comes.
class Win32MessageBoxSink : public MessageSink {
 public:
  explicit Win32MessageBoxSink(const Dialog& owner) : owner_(owner) {}
  void ShowMessage(const CString& text) override;
  bool AskYesNo(const CString& text) override;
  Answer AskYesNoCancel(const CString& text) override;

 private:
  const Dialog& owner_;
};

}  // namespace lw::win32
