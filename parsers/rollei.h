// The Rollei d530flex text header.
#pragma once

#include "core/parse_state.h"

namespace vantrel {

HResult ParseRollei(ParseState& state);

}  // namespace vantrel
