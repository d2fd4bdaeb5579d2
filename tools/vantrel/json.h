// The JSON text of `vantrel info`.
#pragma once

#include <string>

#include "core/parse_state.h"

namespace vantrel::cli {

// A JSON string literal; bytes outside printable ASCII become \u00XX escapes of the byte.
std::string JsonString(const char* text);

// One JSON object with the parse result of a raw file.
std::string InfoJson(HResult status, const ParseState& state, const char* writer);

}  // namespace vantrel::cli
