// Small pictures through the Windows Imaging Component, for the tests and the stand-in of the
// ImageMagick component: JPEG encoding, decoding of JPEG and binary PGM/PPM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::testing {

// 8-bit RGB, rows top to bottom.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  static RgbImage Filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);
  const std::uint8_t* At(int x, int y) const {
    return rgb.data() + (std::size_t(y) * width + x) * 3;
  }
  std::uint8_t* At(int x, int y) { return rgb.data() + (std::size_t(y) * width + x) * 3; }
};

// Needs COM initialised on the calling thread. Empty on failure.
std::vector<std::uint8_t> EncodeJpeg(const RgbImage& image);

// A "P5"/"P6" picture with 8- or 16-bit samples, or anything that WIC decodes. False on
// failure (COM initialised for the WIC road).
bool DecodeImage(const std::vector<std::uint8_t>& bytes, RgbImage& image);

}  // namespace vantrel::testing
