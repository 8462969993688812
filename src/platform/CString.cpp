#include "platform/CString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/CodePage.h"

namespace lw {
namespace {

int ToPosition(size_t found) { return found == kNotFound ? -1 : static_cast<int>(found); }

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
  return out;
}

size_t Clamp(int value, size_t limit) {
  if (value < 0) return 0;
  return static_cast<size_t>(value) > limit ? limit : static_cast<size_t>(value);
}

}  // namespace

CString::CString(const char* text) : text_(text ? text : "") {}

CString::CString(const char* text, size_t length) : text_(text, length) {}

int CString::Find(char c, int start) const {
  if (start < 0) start = 0;
  return ToPosition(ScanFindChar(text_, c, static_cast<size_t>(start)));
}

int CString::Find(std::string_view needle, int start) const {
  if (start < 0) start = 0;
  return ToPosition(ScanFindString(text_, needle, static_cast<size_t>(start)));
}

int CString::ReverseFind(char c) const { return ToPosition(ScanFindLastChar(text_, c)); }

CString CString::Left(int count) const { return CString(text_.substr(0, Clamp(count, text_.size()))); }

CString CString::Right(int count) const {
  const size_t n = Clamp(count, text_.size());
  return CString(text_.substr(text_.size() - n));
}

CString CString::Mid(int first) const { return CString(text_.substr(Clamp(first, text_.size()))); }

CString CString::Mid(int first, int count) const {
  const size_t begin = Clamp(first, text_.size());
  return CString(text_.substr(begin, Clamp(count, text_.size() - begin)));
}

int CString::Replace(std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  size_t hit = ScanFindString(text_, from, 0);
  if (hit == kNotFound) return 0;
  std::string out;
  out.reserve(text_.size());
  size_t copied = 0;
  int count = 0;
  while (hit != kNotFound) {
    out.append(text_, copied, hit - copied);
    out.append(to);
    copied = hit + from.size();
    ++count;
    hit = ScanFindString(text_, from, copied);
  }
  out.append(text_, copied, std::string::npos);
  text_ = std::move(out);
  return count;
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  text_ = VFormat(format, args);
  va_end(args);
}

CString FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString out(VFormat(format, args));
  va_end(args);
  return out;
}

}  // namespace lw
