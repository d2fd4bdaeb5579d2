// Decoding the pictures that the render road writes, and judging where their content lies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/fixtures/byte_writer.h"

namespace vantrel::testing {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  const std::uint8_t* At(int x, int y) const {
    return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

// A JPEG decoded at full size with TurboJPEG; false when it is not one.
bool DecodeJpeg(const fixtures::Bytes& jpeg, Picture& out);

// An 8-bit RGB PNG read by the book: signature, chunk CRCs, IHDR, every row filter, IEND.
// False with `error` set when the file is not such a PNG.
bool DecodePng(const fixtures::Bytes& png, Picture& out, std::string& error);

// Every channel within `tolerance` of 255.
bool IsWhite(const std::uint8_t* pixel, int tolerance = 12);

// The smallest rectangle holding every pixel that is not white; empty when all are white.
struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
  bool empty() const { return right < left; }
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};
Box ContentBox(const Picture& picture, int tolerance = 40);

// A binary PGM ("P5", channels 1) or PPM ("P6", channels 3) of one colour, with the header
// the extraction writes: single spaces, one newline, samples most significant byte first.
fixtures::Bytes MakePnm(int channels, int width, int height, int maxval,
                        const std::vector<int>& colour);

}  // namespace vantrel::testing
