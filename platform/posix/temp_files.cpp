#include "platform/temp_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vantrel::platform {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

std::uint64_t ToFileTime(const timespec& time) {
  const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kEpochDifference;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond +
         static_cast<std::uint64_t>(time.tv_nsec / 100);
}

// Creates `dir`/`prefix`XXXXXX`suffix` exclusively (mode 0600); O_EXCL never follows a link
// or opens a file that is already there.
bool CreateIn(const char* dir, const char* prefix, const char* suffix, char (&out)[kPathChars]) {
  const std::size_t dirLength = std::strlen(dir);
  const bool slash = dirLength > 0 && dir[dirLength - 1] == '/';
  char name[kPathChars];
  const int length =
      std::snprintf(name, sizeof name, "%s%s%sXXXXXX%s", dir, slash ? "" : "/", prefix, suffix);
  if (length < 0 || length >= kPathChars) return false;
  const int fd = mkstemps(name, static_cast<int>(std::strlen(suffix)));
  if (fd < 0) return false;
  close(fd);
  std::memcpy(out, name, static_cast<std::size_t>(length) + 1);
  return true;
}

}  // namespace

bool MakeTempName(const char* prefix, const char* suffix, char (&out)[kPathChars]) {
  out[0] = '\0';
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0' && CreateIn(tmpdir, prefix, suffix, out)) return true;
  if (CreateIn(P_tmpdir, prefix, suffix, out)) return true;
  return CreateIn("/tmp", prefix, suffix, out);
}

HResult GetLastWriteTime(const char* path, std::uint64_t& fileTime) {
  struct stat info;
  if (path == nullptr || stat(path, &info) != 0 || S_ISDIR(info.st_mode)) return kEFail;
  fileTime = ToFileTime(info.st_mtim);
  return kSOk;
}

std::uint64_t CurrentFileTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return ToFileTime(now);
}

}  // namespace vantrel::platform
