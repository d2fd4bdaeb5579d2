#include "platform/bitmap.h"

#include <cstddef>

namespace vantrel::platform {

// POSIX bitmaps keep their pixels in `rgb` and hold no native handle.
void ReleaseNativeBitmap(Bitmap& bitmap) { bitmap = Bitmap{}; }

bool ReadBitmapPixels(Bitmap& bitmap) {
  return bitmap.width > 0 && bitmap.height > 0 &&
         bitmap.rgb.size() ==
             static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) * 3;
}

}  // namespace vantrel::platform
