#include "platform/image_writer.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace vantrel::platform {
namespace {

constexpr int kJpegQuality = 90;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data,
              std::size_t size) {
  PutU32(out, static_cast<std::uint32_t>(size));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutU32(out, static_cast<std::uint32_t>(crc));
}

std::uint8_t Paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(pb <= pc ? up : upLeft);
}

// Every row with the Paeth filter, which suits photographs, then one zlib stream.
bool EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>& png, std::string& error) {
  const std::size_t stride = static_cast<std::size_t>(bitmap.width) * 3;
  std::vector<std::uint8_t> filtered((stride + 1) * static_cast<std::size_t>(bitmap.height));
  for (int y = 0; y < bitmap.height; ++y) {
    const std::uint8_t* row = &bitmap.rgb[static_cast<std::size_t>(y) * stride];
    const std::uint8_t* above = y > 0 ? row - stride : nullptr;
    std::uint8_t* out = &filtered[static_cast<std::size_t>(y) * (stride + 1)];
    out[0] = 4;
    for (std::size_t i = 0; i < stride; ++i) {
      const int left = i >= 3 ? row[i - 3] : 0;
      const int up = above != nullptr ? above[i] : 0;
      const int upLeft = above != nullptr && i >= 3 ? above[i - 3] : 0;
      out[i + 1] = static_cast<std::uint8_t>(row[i] - Paeth(left, up, upLeft));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    error = "compression failed";
    return false;
  }
  static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.assign(kSignature, kSignature + sizeof kSignature);
  std::vector<std::uint8_t> header;
  PutU32(header, static_cast<std::uint32_t>(bitmap.width));
  PutU32(header, static_cast<std::uint32_t>(bitmap.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no interlace
  PutChunk(png, "IHDR", header.data(), header.size());
  PutChunk(png, "IDAT", packed.data(), packedSize);
  PutChunk(png, "IEND", nullptr, 0);
  return true;
}

bool EncodeJpeg(const Bitmap& bitmap, std::vector<std::uint8_t>& jpeg, std::string& error) {
  tjhandle handle = tjInitCompress();
  if (handle == nullptr) {
    error = tjGetErrorStr2(nullptr);
    return false;
  }
  unsigned char* data = nullptr;
  unsigned long size = 0;
  const bool ok = tjCompress2(handle, bitmap.rgb.data(), bitmap.width, 0, bitmap.height, TJPF_RGB,
                              &data, &size, TJSAMP_444, kJpegQuality, 0) == 0;
  if (ok) {
    jpeg.assign(data, data + size);
  } else {
    error = tjGetErrorStr2(handle);
  }
  tjFree(data);
  tjDestroy(handle);
  return ok;
}

}  // namespace

bool WriteImageFile(const char* path, const Bitmap& bitmap, ImageFileType type,
                    std::string& error) {
  if (bitmap.width < 1 || bitmap.height < 1 ||
      bitmap.rgb.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height * 3) {
    error = "no pixels to write";
    return false;
  }
  std::vector<std::uint8_t> encoded;
  if (!(type == ImageFileType::kPng ? EncodePng(bitmap, encoded, error)
                                    : EncodeJpeg(bitmap, encoded, error))) {
    return false;
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(encoded.data(), 1, encoded.size(), file) == encoded.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    error = std::strerror(written ? errno : writeError);
    return false;
  }
  return true;
}

}  // namespace vantrel::platform
