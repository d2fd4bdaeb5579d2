// Temporary file names and file times.
#pragma once

#include <cstdint>

#include "core/hresult.h"
#include "core/parse_state.h"

namespace vantrel::platform {

// A fresh name in the temporary directory, starting with `prefix` and ending with `suffix`.
// Windows: _tempnam's name, no file created. POSIX: the file is created exclusively (never
// through an existing file or link) in $TMPDIR, else the system's temporary directory.
// False when no name could be had or it would not fit `out` with its NUL.
bool MakeTempName(const char* prefix, const char* suffix, char (&out)[kPathChars]);

// The last-write time of `path` as a FILETIME value (100 ns units since 1601-01-01 UTC).
// Windows opens the file sharing reading only, so a file held open for writing fails.
// E_FAIL when the file cannot be opened or its time read.
HResult GetLastWriteTime(const char* path, std::uint64_t& fileTime);

// The current time as a FILETIME value.
std::uint64_t CurrentFileTime();

}  // namespace vantrel::platform
