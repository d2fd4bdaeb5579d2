// JPEG decoding from memory with TurboJPEG, optionally scaled down while decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::platform::posix {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 8-bit RGB, rows top to bottom, no padding
};

enum class DecodeStatus { kOk, kBadData, kTooLarge, kNoMemory };

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  std::string error;  // the decoder's text when it refused the data
};

// Decodes `data` into `out`. With a box (both sides above 0) the decoder scales down by the
// largest factor that still leaves the picture at least as large as it would be fitted into
// the box, which is where nearly all the time of a large preview goes. Pictures that would
// decode to more than `maxPixels` are refused before anything is allocated. Damaged data
// that the decoder can still recover from decodes as far as it goes.
DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size, int boxWidth, int boxHeight,
                        std::uint64_t maxPixels, RgbImage& out);

// The size of `width` x `height` fitted into `boxWidth` x `boxHeight` keeping its aspect
// ratio (larger or smaller), each side at least 1.
void FitInto(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight);

}  // namespace vantrel::platform::posix
