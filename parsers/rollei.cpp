#include "parsers/rollei.h"

#include <cstdio>
#include <cstring>

namespace vantrel {
namespace {

// A line as the standard line reader gives it with this buffer: at most 127 characters.
constexpr int kLineChars = 128;

// A decimal number: leading white space, an optional sign, then digits up to the first
// non-digit; no digits give 0. Numbers beyond 32 bits wrap.
std::int32_t DecimalValue(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = 10 * value + (*text - '0');
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

// The key is exactly the three characters: the comparison covers the key's end too, so "TX"
// or "TX  " is not "TX ".
bool KeyIs(const char* key, const char (&name)[4]) { return std::strcmp(key, name) == 0; }

}  // namespace

HResult ParseRollei(ParseState& state) {
  SeekTo(state.rawFile, 0);
  char line[kLineChars];
  // The header ends at a line that starts with "EOHD". A file that ends, or cannot be read,
  // before that line ends the scan all the same: the fields read so far are kept and the
  // header counts as read.
  while (std::fgets(line, kLineChars, state.rawFile) != nullptr) {
    char* value = std::strchr(line, '=');
    if (value != nullptr) {
      *value++ = '\0';
    } else {
      value = line + std::strlen(line);
    }
    if (KeyIs(line, "HDR")) state.thumbOffset = DecimalValue(value);
    if (KeyIs(line, "TX ")) state.thumbWidth = DecimalValue(value);
    if (KeyIs(line, "TY ")) state.thumbHeight = DecimalValue(value);
    if (std::strncmp(line, "EOHD", 4) == 0) break;
  }
  SetText(state.make, "Rollei");
  SetText(state.model, "d530flex");
  state.thumbLength = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.thumbWidth) *
                                                static_cast<std::uint32_t>(state.thumbHeight) * 2);
  return kSOk;
}

}  // namespace vantrel
