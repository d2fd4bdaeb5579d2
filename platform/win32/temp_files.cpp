#include "platform/temp_files.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace vantrel::platform {
namespace {

std::uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool MakeTempName(const char* prefix, const char* suffix, char (&out)[kPathChars]) {
  out[0] = '\0';
  char* name = _tempnam(nullptr, prefix);
  if (name == nullptr) return false;
  const int length = std::snprintf(out, kPathChars, "%s%s", name, suffix);
  std::free(name);
  if (length < 0 || length >= kPathChars) {
    out[0] = '\0';
    return false;
  }
  return true;
}

HResult GetLastWriteTime(const char* path, std::uint64_t& fileTime) {
  // Shares reading only: a file that someone holds open for writing has no settled time yet.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kEFail;
  FILETIME lastWrite = {};
  const BOOL ok = GetFileTime(file, nullptr, nullptr, &lastWrite);
  CloseHandle(file);
  if (!ok) return kEFail;
  fileTime = ToUint64(lastWrite);
  return kSOk;
}

std::uint64_t CurrentFileTime() {
  SYSTEMTIME now = {};
  GetSystemTime(&now);
  FILETIME time = {};
  SystemTimeToFileTime(&now, &time);
  return ToUint64(time);
}

}  // namespace vantrel::platform
