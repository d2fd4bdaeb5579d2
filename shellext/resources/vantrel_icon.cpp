#include "shellext/resources/vantrel_icon.h"

#include <algorithm>
#include <cmath>

namespace vantrel::icon {
namespace {

struct Rgba {
  double r, g, b, a;  // 0..1, straight alpha
};

// Paints `top` over `bottom`, both straight alpha.
Rgba Over(const Rgba& bottom, const Rgba& top) {
  const double a = top.a + bottom.a * (1 - top.a);
  if (a <= 0) return {0, 0, 0, 0};
  auto mix = [&](double t, double b) { return (t * top.a + b * bottom.a * (1 - top.a)) / a; };
  return {mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), a};
}

Rgba Rgb(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Rgba Lerp(const Rgba& x, const Rgba& y, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

bool InRoundedSquare(double x, double y, double inset, double radius) {
  const double lo = inset + radius;
  const double hi = 1 - inset - radius;
  const double dx = x < lo ? lo - x : (x > hi ? x - hi : 0);
  const double dy = y < lo ? lo - y : (y > hi ? y - hi : 0);
  if (x < inset || x > 1 - inset || y < inset || y > 1 - inset) return false;
  return dx * dx + dy * dy <= radius * radius;
}

// The colour of one point of the unit square (y downwards).
Rgba Sample(double x, double y) {
  Rgba color{0, 0, 0, 0};
  if (!InRoundedSquare(x, y, 0.04, 0.2)) return color;
  color = Lerp(Rgb(52, 92, 110), Rgb(24, 44, 58), y);  // slate tile

  const double cx = 0.5, cy = 0.55;
  const double d = std::hypot(x - cx, y - cy);
  if (d <= 0.34) color = Over(color, Lerp(Rgb(236, 240, 242), Rgb(170, 180, 188), y));   // barrel
  if (d <= 0.27) color = Over(color, Rgb(16, 22, 30));                                   // rim
  if (d <= 0.22) color = Over(color, Lerp(Rgb(40, 96, 160), Rgb(8, 20, 44), d / 0.22));  // glass
  if (std::hypot(x - 0.43, y - 0.47) <= 0.065) color = Over(color, Rgb(255, 255, 255, 0.75));
  if (std::hypot(x - 0.77, y - 0.21) <= 0.075) color = Over(color, Rgb(245, 166, 35));  // flash
  return color;
}

void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// The image as an icon resource: BITMAPINFOHEADER, colour rows and mask rows, bottom up.
std::vector<std::uint8_t> EncodeImage(const IcoImage& entry) {
  const Image& image = entry.image;
  const int n = image.size;
  const int bytesPerPixel = entry.bitsPerPixel / 8;
  const int colorStride = (n * entry.bitsPerPixel + 31) / 32 * 4;
  const int maskStride = (n + 31) / 32 * 4;
  std::vector<std::uint8_t> out;
  PutU32(out, 40);
  PutU32(out, static_cast<std::uint32_t>(n));
  PutU32(out, static_cast<std::uint32_t>(2 * n));  // colour and mask
  PutU16(out, 1);
  PutU16(out, static_cast<unsigned>(entry.bitsPerPixel));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, static_cast<std::uint32_t>((colorStride + maskStride) * n));
  for (int i = 0; i < 4; ++i) PutU32(out, 0);

  std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskStride) * n, 0);
  for (int row = n - 1; row >= 0; --row) {
    const std::size_t start = out.size();
    for (int col = 0; col < n; ++col) {
      const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(row) * n + col) * 4];
      const bool transparent = entry.bitsPerPixel == 32 ? p[3] == 0 : p[3] < 128;
      const bool black = transparent && entry.bitsPerPixel == 24;
      out.push_back(black ? 0 : p[2]);
      out.push_back(black ? 0 : p[1]);
      out.push_back(black ? 0 : p[0]);
      if (bytesPerPixel == 4) out.push_back(p[3]);
      if (transparent) {
        mask[static_cast<std::size_t>(n - 1 - row) * maskStride + col / 8] |=
            static_cast<std::uint8_t>(0x80 >> (col % 8));
      }
    }
    out.resize(start + colorStride, 0);
  }
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

}  // namespace

Image DrawIcon(int size) {
  constexpr int kSamples = 4;  // per axis, for smooth edges
  Image image;
  image.size = size;
  image.rgba.resize(static_cast<std::size_t>(size) * size * 4);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0, a = 0;  // premultiplied sums
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Rgba c =
              Sample((px + (sx + 0.5) / kSamples) / size, (py + (sy + 0.5) / kSamples) / size);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      }
      std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(py) * size + px) * 4];
      auto channel = [&](double premultiplied) {
        return static_cast<std::uint8_t>(a > 0 ? std::lround(255 * premultiplied / a) : 0);
      };
      p[0] = channel(r);
      p[1] = channel(g);
      p[2] = channel(b);
      p[3] = static_cast<std::uint8_t>(std::lround(255 * a / (kSamples * kSamples)));
    }
  }
  return image;
}

std::vector<std::uint8_t> WriteIco(const std::vector<IcoImage>& images) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const IcoImage& image : images) encoded.push_back(EncodeImage(image));
  std::vector<std::uint8_t> out;
  PutU16(out, 0);  // reserved
  PutU16(out, 1);  // icon
  PutU16(out, static_cast<unsigned>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = images[i].image.size;
    out.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
    out.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
    out.push_back(0);  // colour count
    out.push_back(0);  // reserved
    PutU16(out, 1);    // planes
    PutU16(out, static_cast<unsigned>(images[i].bitsPerPixel));
    PutU32(out, static_cast<std::uint32_t>(encoded[i].size()));
    PutU32(out, offset);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const auto& bytes : encoded) out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

std::vector<std::uint8_t> MakeVantrelIcon() {
  return WriteIco({{DrawIcon(32), 24}, {DrawIcon(16), 32}, {DrawIcon(48), 32}, {DrawIcon(64), 32}});
}

}  // namespace vantrel::icon
