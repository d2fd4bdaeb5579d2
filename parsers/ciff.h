// The CIFF heap walker: Canon's tree of heaps.
#pragma once

#include <cstdint>

#include "core/parse_state.h"

namespace vantrel {

// Walks the heap of `heapLength` bytes at `heapStart` and the heaps nested in it, depth-first
// in directory order. `depth` is 0 for a file's root heap. Always S_OK.
HResult ParseCiff(ParseState& state, std::int32_t heapStart, std::int32_t heapLength,
                  std::int32_t depth);

// How far one walk may go. Real files nest heaps three deep and hold well under a thousand
// entries in all; a heap that contains itself, or directories of 65535 entries nested over and
// over, stop at these bounds. A nested heap below the deepest level is passed over; once the
// budget is spent, the rest of the walk is. Each unit costs a seek or two at most.
inline constexpr std::int32_t kCiffMaxDepth = 8;
inline constexpr int kCiffWorkBudget = 1 << 14;  // heaps and directory entries

}  // namespace vantrel
