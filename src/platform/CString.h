#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace lw {

// An 8-bit string value in the ANSI code page: always NUL-terminated, with a
// length. Positions and lengths are byte counts; searches go character by
// character in the active code page (see CodePage.h), so a trail byte of a
// double-byte character is never matched on its own.
class CString {
 public:
  CString() = default;
  CString(const char* text);  // NOLINT(google-explicit-constructor): like a string literal
  CString(const char* text, size_t length);
  explicit CString(std::string text) : text_(std::move(text)) {}
  explicit CString(std::string_view text) : text_(text) {}

  [[nodiscard]] int GetLength() const { return static_cast<int>(text_.size()); }
  [[nodiscard]] size_t Size() const { return text_.size(); }
  [[nodiscard]] bool IsEmpty() const { return text_.empty(); }
  [[nodiscard]] const char* GetString() const { return text_.c_str(); }
  operator const char*() const { return text_.c_str(); }  // NOLINT: MFC-style access
  [[nodiscard]] std::string_view View() const { return text_; }
  [[nodiscard]] const std::string& Str() const { return text_; }
  std::string& Str() { return text_; }

  void Empty() { text_.clear(); }

  CString& operator+=(const CString& other) {
    text_ += other.text_;
    return *this;
  }
  CString& operator+=(const char* other) {
    text_ += other;
    return *this;
  }
  CString& operator+=(char c) {
    text_ += c;
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.text_ + b.text_); }
  friend CString operator+(const CString& a, const char* b) { return CString(a.text_ + b); }
  friend CString operator+(const char* a, const CString& b) { return CString(a + b.text_); }
  friend bool operator==(const CString& a, const CString& b) { return a.text_ == b.text_; }
  friend bool operator==(const CString& a, const char* b) { return a.text_ == b; }

  // -1 when absent. `start` beyond the end finds nothing.
  [[nodiscard]] int Find(char c, int start = 0) const;
  [[nodiscard]] int Find(std::string_view needle, int start = 0) const;
  [[nodiscard]] int ReverseFind(char c) const;

  [[nodiscard]] CString Left(int count) const;
  [[nodiscard]] CString Right(int count) const;
  [[nodiscard]] CString Mid(int first) const;
  [[nodiscard]] CString Mid(int first, int count) const;

  // Replaces every occurrence in one left-to-right pass; returns the count.
  int Replace(std::string_view from, std::string_view to);

  // printf-style formatting into this string.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

 private:
  std::string text_;
};

// printf-style formatting into a new string.
CString FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace lw
