// Files for the rendering fuzzers: the readers under test take paths, so each input goes to a
// file on a memory file system when there is one.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace vantrel::fuzz {

inline std::string ScratchPath(const char* name) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/vantrel_fuzz_" + std::to_string(getpid()) + "_" + name;
}

inline bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace vantrel::fuzz
