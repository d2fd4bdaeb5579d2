#include "platform/picture_loader.h"

#include <cstdio>
#include <memory>
#include <new>

#include "core/report.h"
#include "platform/posix/jpeg_decoder.h"

namespace vantrel::platform {
namespace {

// What the Windows picture loader answers for data that is no picture (CTL_E_INVALIDPICTURE).
constexpr HResult kInvalidPicture = static_cast<HResult>(0x800A01E1u);

// The converted JPEG is a thumbnail of a few hundred kilobytes at most; a file beyond these
// bounds is refused rather than read or decoded.
constexpr long kMaxFileBytes = 256L << 20;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;

}  // namespace

HResult LoadPicture(const char* path, Bitmap& out) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    ReportError(kEUnexpected, "Couldn't open Image File.");
    return kEUnexpected;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::unique_ptr<std::uint8_t[]> block;
  if (size >= 0 && size <= kMaxFileBytes) {
    block.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]());
  }
  if (!block) {
    std::fclose(file);
    ReportError(kEOutOfMemory, "Couldn't allocate memory to load image file.");
    return kEOutOfMemory;
  }
  const auto bytes = static_cast<std::size_t>(size);
  std::fseek(file, 0, SEEK_SET);
  const std::size_t got = std::fread(block.get(), 1, bytes, file);
  (void)got;  // a short read leaves zeros for the decoder to judge
  std::fclose(file);

  posix::RgbImage image;
  const posix::DecodeResult result = posix::DecodeJpeg(block.get(), bytes, 0, 0, kMaxPixels, image);
  block.reset();
  if (result.status != posix::DecodeStatus::kOk) {
    const HResult hr =
        result.status == posix::DecodeStatus::kBadData ? kInvalidPicture : kEOutOfMemory;
    ReportError(hr, "OLE Load picture failed");
    return hr;
  }
  out.width = image.width;
  out.height = image.height;
  out.rgb = std::move(image.rgb);
  out.handle = nullptr;
  return kSOk;
}

}  // namespace vantrel::platform
