// The CIFF heap walker: Canon's tree of heaps.
#pragma once

#include <cstdint>

#include "core/parse_state.h"

namespace vantrel {

// Walks the heap of `heapLength` bytes at `heapStart` and the heaps nested in it.
HResult ParseCiff(ParseState& state, std::int32_t heapStart, std::int32_t heapLength,
                  std::int32_t depth);

}  // namespace vantrel
