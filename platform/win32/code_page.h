// Text conversion between the shell's UTF-16 and the ANSI texts of the extraction state.
#pragma once

#include <string>

namespace vantrel::platform {

// The code page of every conversion between UTF-16 and ANSI paths and arguments:
// CP_THREAD_ACP on Windows NT 5.0 and later, else the thread locale's default ANSI code page
// (GetACP when the locale gives none). Decided once, at the first call.
unsigned ConversionCodePage();

// `text` (ANSI, conversion code page) as UTF-16.
std::wstring AnsiToWide(const char* text);

// Converts `text` (UTF-16) to ANSI with the conversion code page into `out`, NUL-terminated.
// False, with `out` empty, when the result needs more than `capacity` bytes with its NUL.
bool WideToAnsi(const wchar_t* text, char* out, int capacity);

}  // namespace vantrel::platform
