#include "tests/support/pictures.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace vantrel::testing {
namespace {

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

bool DecodeJpeg(const fixtures::Bytes& jpeg, Picture& out) {
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  bool ok = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                                &colorspace) == 0;
  if (ok) {
    out.width = width;
    out.height = height;
    out.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    ok = tjDecompress2(handle, jpeg.data(), jpeg.size(), out.rgb.data(), width, 0, height, TJPF_RGB,
                       0) == 0;
  }
  tjDestroy(handle);
  return ok;
}

bool DecodePng(const fixtures::Bytes& png, Picture& out, std::string& error) {
  static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) {
    error = "no PNG signature";
    return false;
  }
  std::size_t at = 8;
  bool header = false, ended = false;
  std::vector<std::uint8_t> packed;
  while (at + 12 <= png.size() && !ended) {
    const std::uint32_t length = BigEndian32(&png[at]);
    if (length > png.size() - at - 12) {
      error = "chunk runs past the end";
      return false;
    }
    const std::uint8_t* type = &png[at + 4];
    const std::uint8_t* data = type + 4;
    const uLong crc = crc32(0L, type, length + 4);
    if (crc != BigEndian32(data + length)) {
      error = "bad CRC in " + std::string(type, type + 4);
      return false;
    }
    const std::string name(type, type + 4);
    if (name == "IHDR") {
      if (length != 13 || data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 ||
          data[12] != 0) {
        error = "not a plain 8-bit RGB PNG";
        return false;
      }
      out.width = static_cast<int>(BigEndian32(data));
      out.height = static_cast<int>(BigEndian32(data + 4));
      header = true;
    } else if (name == "IDAT") {
      packed.insert(packed.end(), data, data + length);
    } else if (name == "IEND") {
      ended = true;
    }
    at += length + 12;
  }
  if (!header || !ended || out.width < 1 || out.height < 1) {
    error = "IHDR or IEND missing";
    return false;
  }
  const std::size_t stride = static_cast<std::size_t>(out.width) * 3;
  std::vector<std::uint8_t> raw((stride + 1) * out.height);
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, packed.data(), packed.size()) != Z_OK ||
      rawSize != raw.size()) {
    error = "bad image data";
    return false;
  }
  out.rgb.assign(stride * out.height, 0);
  for (int y = 0; y < out.height; ++y) {
    const std::uint8_t filter = raw[y * (stride + 1)];
    const std::uint8_t* in = &raw[y * (stride + 1) + 1];
    std::uint8_t* row = &out.rgb[y * stride];
    const std::uint8_t* above = y > 0 ? row - stride : nullptr;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0;
      const int b = above != nullptr ? above[i] : 0;
      const int c = above != nullptr && i >= 3 ? above[i - 3] : 0;
      int predicted = 0;
      switch (filter) {
        case 0:
          predicted = 0;
          break;
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) / 2;
          break;
        case 4:
          predicted = Paeth(a, b, c);
          break;
        default:
          error = "bad row filter";
          return false;
      }
      row[i] = static_cast<std::uint8_t>(in[i] + predicted);
    }
  }
  return true;
}

bool IsWhite(const std::uint8_t* pixel, int tolerance) {
  return pixel[0] >= 255 - tolerance && pixel[1] >= 255 - tolerance && pixel[2] >= 255 - tolerance;
}

Box ContentBox(const Picture& picture, int tolerance) {
  Box box{picture.width, picture.height, -1, -1};
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (IsWhite(picture.At(x, y), tolerance)) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

fixtures::Bytes MakePnm(int channels, int width, int height, int maxval,
                        const std::vector<int>& colour) {
  const std::string header = "P" + std::to_string(channels == 1 ? 5 : 6) + " " +
                             std::to_string(width) + " " + std::to_string(height) + " " +
                             std::to_string(maxval) + "\n";
  fixtures::Bytes bytes(header.begin(), header.end());
  for (int i = 0; i < width * height; ++i) {
    for (int c = 0; c < channels; ++c) {
      if (maxval > 255) bytes.push_back(static_cast<std::uint8_t>(colour[c] >> 8));
      bytes.push_back(static_cast<std::uint8_t>(colour[c] & 0xFF));
    }
  }
  return bytes;
}

}  // namespace vantrel::testing
