// The extractor object behind the shell's thumbnail calls, in the order the shell makes them:
// Load, GetLocation, Extract and, at its choice, GetDateStamp. The Windows COM class is a thin
// adapter over it; the `vantrel thumbnail` command drives it directly.
#pragma once

#include <cstdint>

#include "core/parse_state.h"
#include "platform/bitmap.h"

namespace vantrel {

// IExtractImage flags used by GetLocation.
inline constexpr std::uint32_t kIeiFlagAsync = 0x1;
inline constexpr std::uint32_t kIeiFlagCache = 0x2;
inline constexpr std::uint32_t kIeiFlagScreen = 0x20;
inline constexpr std::uint32_t kIeiFlagOrigSize = 0x40;

// Prefix of every temporary file name.
inline constexpr char kTempPrefix[] = "vantrel_temp_";

class Extractor {
 public:
  ParseState& state() { return state_; }
  const ParseState& state() const { return state_; }

  // Stores the raw file's path (ANSI) and clears the screen-stamp flag. Opens nothing.
  HResult Load(const char* path);

  // Stores the requested size and settles the cache flag: IEIFLAG_CACHE is set when
  // IEIFLAG_ORIGSIZE is set or IEIFLAG_SCREEN is clear; otherwise it is cleared and the date
  // stamp becomes "now". E_PENDING when IEIFLAG_ASYNC is set (size and flags stored all the
  // same), else S_OK.
  HResult GetLocation(std::int32_t width, std::int32_t height, std::uint32_t& flags);

  // Extracts the thumbnail file to a fresh temporary name, renders it into `out` and leaves
  // no temporary file behind on any path. A success code other than S_OK becomes S_OK.
  HResult Extract(platform::Bitmap& out);

  // The raw file's last-write time, or the current time after a screen request. E_FAIL when
  // the file cannot be opened.
  HResult GetDateStamp(std::uint64_t& fileTime);

 private:
  ParseState state_;
};

}  // namespace vantrel
