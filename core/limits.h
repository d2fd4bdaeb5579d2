// Bounds that keep a crafted raw file from driving memory, disk or time without limit.
#pragma once

#include <cstdint>

namespace vantrel {

// A thumbnail file never holds more than this multiple of its raw file's size, plus a little
// for headers and small previews. Real previews are far below it: a stored JPEG is part of its
// raw file, bare RGB previews grow by at most half, and coded Kodak thumbnails by about eight.
inline constexpr std::int64_t kOutputFactor = 16;
inline constexpr std::int64_t kOutputSlack = 64 * 1024;

inline constexpr bool OutputWithinBound(std::int64_t outputBytes, std::int32_t fileSize) {
  const std::int64_t size = fileSize > 0 ? fileSize : 0;
  return outputBytes <= kOutputFactor * size + kOutputSlack;
}

}  // namespace vantrel
