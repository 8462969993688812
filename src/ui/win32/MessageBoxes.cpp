#include "ui/win32/MessageBoxes.h"

#include <string>

#include "platform/Paths.h"
#include "ui/win32/Dialog.h"

namespace lw::win32 {

CString ModulePath() {
  std::string path(MAX_PATH, '\0');
  while (true) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return CString(std::move(path));
    }
    path.resize(path.size() * 2);  // cut short: try a larger buffer
  }
}

CString ApplicationName() {
  const CString fileName = FileNameOf(ModulePath());
  const int dot = fileName.ReverseFind('.');
  return dot < 0 ? fileName : fileName.Left(dot);
}

int ShowMessageBox(HWND owner, const CString& text, UINT buttons) {
  const CString caption = ApplicationName();
  return MessageBoxA(IsWindow(owner) ? owner : nullptr, text.GetString(), caption.GetString(),
                     buttons | MB_ICONEXCLAMATION);
}

void Win32MessageBoxSink::ShowMessage(const CString& text) { ShowMessageBox(owner_.GetSafeHwnd(), text, MB_OK); }

bool Win32MessageBoxSink::AskYesNo(const CString& text) {
  return ShowMessageBox(owner_.GetSafeHwnd(), text, MB_YESNO) == IDYES;
}

MessageSink::Answer Win32MessageBoxSink::AskYesNoCancel(const CString& text) {
  // Esc and the close box give IDCANCEL.
  switch (ShowMessageBox(owner_.GetSafeHwnd(), text, MB_YESNOCANCEL)) {
    case IDYES: return Answer::kYes;
    case IDNO: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

}  // namespace lw::win32
