// The Vantrel icon, drawn in code: a lens on a slate tile, with an amber flash dot. The build
// draws it into an .ico file that the module's resources embed.
#pragma once

#include <cstdint>
#include <vector>

namespace vantrel::icon {

// A square picture, rows top to bottom, four bytes a pixel: red, green, blue, alpha (straight).
struct Image {
  int size = 0;
  std::vector<std::uint8_t> rgba;
};

Image DrawIcon(int size);

struct IcoImage {
  Image image;
  int bitsPerPixel;  // 24 (transparency from the mask alone) or 32 (with alpha)
};

// An .ico file holding the images in the given order.
std::vector<std::uint8_t> WriteIco(const std::vector<IcoImage>& images);

// The module's icon: 32 x 32 at 24 bits, then 16 x 16, 48 x 48 and 64 x 64 at 32 bits.
std::vector<std::uint8_t> MakeVantrelIcon();

}  // namespace vantrel::icon
