// The TIFF and EXIF walker: make, model and the stored preview of TIFF-based raw files.
#pragma once

#include <cstdint>

#include "core/parse_state.h"

namespace vantrel {

// Walks the TIFF structure at file offset `base` and finishes the thumbnail fields. Offsets in
// the structure are relative to `base`, except those of the JPEG preview and of the strips.
HResult ParseTiff(ParseState& state, std::int32_t base);

// How far one walk may go. Real files nest SubIFDs two or three deep and hold well under a
// thousand entries in all their IFDs; a walk that loops or fans out stops at these bounds.
inline constexpr int kTiffMaxDepth = 8;
inline constexpr int kTiffWorkBudget = 1 << 14;  // IFDs, entries and SubIFD list items

}  // namespace vantrel
