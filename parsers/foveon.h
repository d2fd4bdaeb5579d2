// The X3F header parser: version, rotation, property list and preview of Sigma files.
#pragma once

#include "core/parse_state.h"

namespace vantrel {

HResult ParseFaveon(ParseState& state);

}  // namespace vantrel
