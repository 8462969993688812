#include "ui/win32/EntityEditControl.h"

namespace lw::win32 {
namespace {

// The edit's own procedure is kept in its user data, which edit controls
// leave to the program.
LRESULT CALLBACK KeepCaretProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  const LRESULT result = CallWindowProcA(original, hwnd, message, wParam, lParam);
  if (message == WM_GETDLGCODE) return result & ~static_cast<LRESULT>(DLGC_HASSETSEL);
  return result;
}

}  // namespace

void EntityEditControl::KeepCaretOnFocus() {
  if (hwnd_ == nullptr || GetWindowLongPtrA(hwnd_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&KeepCaretProc)) return;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, GetWindowLongPtrA(hwnd_, GWLP_WNDPROC));
  SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeepCaretProc));
}

void EntityEditControl::SetText(const CString& text) {
  ReleaseLiveText();
  SetWindowTextA(hwnd_, text.GetString());
}

std::string_view EntityEditControl::LiveText() {
  if (locked_ == nullptr) {
    const auto buffer = reinterpret_cast<HLOCAL>(Send(EM_GETHANDLE));
    if (buffer == nullptr) return {};
    const auto* chars = static_cast<const char*>(LocalLock(buffer));
    if (chars == nullptr) return {};
    locked_ = buffer;
    text_ = chars;
  }
  return text_;
}

void EntityEditControl::ReleaseLiveText() {
  if (locked_ == nullptr) return;
  LocalUnlock(locked_);
  locked_ = nullptr;
  text_ = nullptr;
}

void EntityEditControl::GetSel(int& start, int& end) const {
  DWORD first = 0;
  DWORD last = 0;
  Send(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
  start = static_cast<int>(first);
  end = static_cast<int>(last);
}

void EntityEditControl::SetSel(int start, int end) {
  Send(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void EntityEditControl::ReplaceSel(const CString& text) {
  ReleaseLiveText();
  Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.GetString()));
}

void EntityEditControl::ReplaceRange(int start, int end, std::string_view text) {
  const CString inserted(text);  // NUL-terminated for the control
  ReleaseLiveText();
  const auto length = static_cast<size_t>(Send(WM_GETTEXTLENGTH));
  const size_t after = length - static_cast<size_t>(end - start) + text.size();
  // The control cuts what it inserts at its limit, but a text over the limit
  // (set whole, which the limit does not stop) must come through whole.
  const unsigned limit = GetLimitText();
  if (after > limit) SetLimitText(static_cast<unsigned>(after));
  SetSel(start, end);
  ReplaceSel(inserted);
  if (after > limit) SetLimitText(limit);
}

}  // namespace lw::win32
