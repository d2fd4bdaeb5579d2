// Result codes. They keep the bit patterns of the Windows HRESULTs they stand for, so that
// the COM server hands them to the shell unchanged and the event log shows familiar numbers.
#pragma once

#include <cstdint>

namespace vantrel {

using HResult = std::int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult kEPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kEPending = static_cast<HResult>(0x8000000Au);
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFu);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000Eu);

inline constexpr bool Failed(HResult hr) { return hr < 0; }
inline constexpr bool Succeeded(HResult hr) { return hr >= 0; }

}  // namespace vantrel
