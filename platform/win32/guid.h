// GUIDs from their registry text form at compile time, so that the text stays the one source.
#pragma once

#include <guiddef.h>

#include <cstddef>

namespace vantrel::platform {

namespace guid_detail {

consteval unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  throw "not a hexadecimal digit";  // a compile-time error: the text is malformed
}

consteval unsigned long long HexNumber(const char* text, std::size_t at, std::size_t digits) {
  unsigned long long value = 0;
  for (std::size_t i = 0; i < digits; ++i) value = value * 16 + HexValue(text[at + i]);
  return value;
}

}  // namespace guid_detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as a GUID. Any other shape fails to compile.
template <std::size_t N>
consteval GUID GuidFromText(const char (&text)[N]) {
  static_assert(N == 39, "a GUID text is 38 characters with its braces");
  using guid_detail::HexNumber;
  if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
      text[37] != '}') {
    throw "not a GUID in registry form";
  }
  GUID guid = {};
  guid.Data1 = static_cast<unsigned long>(HexNumber(text, 1, 8));
  guid.Data2 = static_cast<unsigned short>(HexNumber(text, 10, 4));
  guid.Data3 = static_cast<unsigned short>(HexNumber(text, 15, 4));
  guid.Data4[0] = static_cast<unsigned char>(HexNumber(text, 20, 2));
  guid.Data4[1] = static_cast<unsigned char>(HexNumber(text, 22, 2));
  for (std::size_t i = 0; i < 6; ++i) {
    guid.Data4[2 + i] = static_cast<unsigned char>(HexNumber(text, 25 + 2 * i, 2));
  }
  return guid;
}

}  // namespace vantrel::platform
