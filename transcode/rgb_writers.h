// Writers that turn bare preview pixels into an 8-bit binary PPM.
#pragma once

#include <cstdio>

#include "core/parse_state.h"

namespace vantrel {

// 16-bit 5-6-5 Rollei preview pixels to a PPM.
HResult RolleiToPpm(ParseState& state, std::FILE* out);
// Sigma preview rows to a PPM, dropping the filler after each row.
HResult FoveonToPpm(ParseState& state, std::FILE* out);

}  // namespace vantrel
