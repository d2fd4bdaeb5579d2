// A decoded picture that its holder owns.
#pragma once

#include <cstdint>
#include <vector>

namespace vantrel::platform {

// On POSIX systems the loader fills `rgb` (8-bit RGB, rows top to bottom, no padding). On
// Windows it fills `handle` with an HBITMAP that whoever takes the bitmap must delete
// (ReleaseNativeBitmap), and the pixels only when asked for (ReadBitmapPixels).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  void* handle = nullptr;
};

// Deletes `bitmap.handle`, if any, and clears the bitmap.
void ReleaseNativeBitmap(Bitmap& bitmap);

// Fills `bitmap.rgb` from its native handle where the platform keeps one; true when `rgb`
// holds width x height pixels afterwards.
bool ReadBitmapPixels(Bitmap& bitmap);

}  // namespace vantrel::platform
