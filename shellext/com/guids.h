// The COM server's identifiers as GUIDs, made from their text forms in shellext/identifiers.h.
#pragma once

#include <guiddef.h>

#include "platform/win32/guid.h"
#include "shellext/identifiers.h"

namespace vantrel::shell {

inline constexpr CLSID kClsidRawImageExtractor = platform::GuidFromText(kClsidText);
inline constexpr IID kIidRawImageExtractor = platform::GuidFromText(kIidText);
inline constexpr GUID kLibidVantrelLib = platform::GuidFromText(kLibidText);
inline constexpr GUID kAppidVantrel = platform::GuidFromText(kAppidText);

}  // namespace vantrel::shell
