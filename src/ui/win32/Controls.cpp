#include "ui/win32/Controls.h"

#include <string>

namespace lw::win32 {

CString Control::Text() const {
  const int length = GetWindowTextLengthA(hwnd_);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return CString(std::move(text));
}

void Control::SetText(const CString& text) const { SetWindowTextA(hwnd_, text.GetString()); }

void ListBoxControl::AddString(const CString& text) const {
  Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.GetString()));
}

CString ListBoxControl::GetText(int index) const {
  const auto length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (length == LB_ERR || length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const auto copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return CString(std::move(text));
}

CString ComboBoxControl::GetLBText(int index) const {
  const auto length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (length == CB_ERR || length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const auto copied = Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return CString(std::move(text));
}

}  // namespace lw::win32
