// The decoder of Kodak's coded luma/chroma thumbnails.
#pragma once

#include <cstdio>

#include "core/parse_state.h"

namespace vantrel {

// Decodes the thumbnail at `thumbOffset` into a 16-bit PPM written to `out`.
HResult KodakYuvDecode(ParseState& state, std::FILE* out);

}  // namespace vantrel
