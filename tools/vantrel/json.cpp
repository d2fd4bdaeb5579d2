#include "tools/vantrel/json.h"

#include <cstdio>

namespace vantrel::cli {

std::string JsonString(const char* text) {
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += static_cast<char>(byte);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    }
  }
  return out + "\"";
}

std::string InfoJson(HResult status, const ParseState& state, const char* writer) {
  char statusText[16];
  std::snprintf(statusText, sizeof statusText, "0x%08X", static_cast<unsigned>(status));
  std::string out = "{\"status\":" + JsonString(statusText);
  const auto text = [&out](const char* key, const char* value) {
    out += ",\"" + std::string(key) + "\":" + JsonString(value);
  };
  const auto number = [&out](const char* key, long long value) {
    out += ",\"" + std::string(key) + "\":" + std::to_string(value);
  };
  text("make", state.make);
  text("model", state.model);
  text("thumbHead", state.thumbHead);
  number("thumbOffset", state.thumbOffset);
  number("thumbLength", state.thumbLength);
  number("rotation", state.rotation);
  number("thumbWidth", state.thumbWidth);
  number("thumbHeight", state.thumbHeight);
  number("planarRgb", state.planarRgb);
  number("byteOrder", state.byteOrder);
  number("foveonVersion", state.foveonVersion);
  number("rowPadding", state.rowPadding);
  text("writer", writer);
  return out + "}";
}

}  // namespace vantrel::cli
