// The X3F header parser: version, rotation, property list and preview of Sigma files.
#pragma once

#include "core/parse_state.h"

namespace vantrel {

// The version whose preview is copied as stored, with a PPM header made here; the preview of
// every other version has its row padding dropped by FoveonToPpm.
inline constexpr std::int32_t kFoveonStoredRgbVersion = 0x20001;

// S_OK; E_OUTOFMEMORY (reported) when the property list's characters cannot be held;
// E_NOTIMPL (not reported) when the directory names no preview image.
HResult ParseFaveon(ParseState& state);

}  // namespace vantrel
