#include "platform/bitmap.h"

#include <windows.h>

namespace vantrel::platform {

void ReleaseNativeBitmap(Bitmap& bitmap) {
  if (bitmap.handle != nullptr) DeleteObject(static_cast<HBITMAP>(bitmap.handle));
  bitmap = Bitmap{};
}

bool ReadBitmapPixels(Bitmap& bitmap) {
  if (bitmap.handle == nullptr) {
    return bitmap.width > 0 && bitmap.height > 0 &&
           bitmap.rgb.size() == static_cast<std::size_t>(bitmap.width) * bitmap.height * 3;
  }
  BITMAP info = {};
  if (GetObject(static_cast<HBITMAP>(bitmap.handle), sizeof info, &info) != sizeof info) {
    return false;
  }
  if (info.bmWidth <= 0 || info.bmHeight <= 0) return false;
  const int width = info.bmWidth;
  const int height = info.bmHeight;

  // 24-bit rows, top to bottom, each padded to four bytes.
  BITMAPINFO request = {};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = width;
  request.bmiHeader.biHeight = -height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 24;
  request.bmiHeader.biCompression = BI_RGB;
  const std::size_t stride =
      (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height));

  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  const int copied = GetDIBits(screen, static_cast<HBITMAP>(bitmap.handle), 0,
                               static_cast<UINT>(height), rows.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (copied != height) return false;

  bitmap.width = width;
  bitmap.height = height;
  bitmap.rgb.resize(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source = rows.data() + stride * y;
    std::uint8_t* target = bitmap.rgb.data() + static_cast<std::size_t>(width) * 3 * y;
    for (int x = 0; x < width; ++x) {  // BGR in the DIB
      target[3 * x] = source[3 * x + 2];
      target[3 * x + 1] = source[3 * x + 1];
      target[3 * x + 2] = source[3 * x];
    }
  }
  return true;
}

}  // namespace vantrel::platform
