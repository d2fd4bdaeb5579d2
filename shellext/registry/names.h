// Registry names compare without regard to case, as the Windows registry compares them.
#pragma once

#include <cwctype>
#include <string>
#include <string_view>

namespace vantrel::registry {

inline wchar_t FoldCase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  if (c < 0x80) return c;
  return static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
}

// <0, 0 or >0 as `a` sorts before, with or after `b` when case is ignored.
inline int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t x = FoldCase(a[i]);
    const wchar_t y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

inline bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

struct LessNoCase {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const {
    return CompareNoCase(a, b) < 0;
  }
};

// ASCII text of a name for messages: other characters become '?'.
inline std::string NarrowForMessage(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace vantrel::registry
