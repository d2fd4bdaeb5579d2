#include "platform/posix/jpeg_decoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace vantrel::platform::posix {
namespace {

class Decompressor {
 public:
  Decompressor() : handle_(tjInitDecompress()) {}
  ~Decompressor() {
    if (handle_ != nullptr) tjDestroy(handle_);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  tjhandle get() const { return handle_; }

 private:
  tjhandle handle_;
};

// The smallest scaling factor, at most 1, whose result covers `minWidth` x `minHeight`.
tjscalingfactor ChooseScale(int width, int height, int minWidth, int minHeight) {
  tjscalingfactor best{1, 1};
  int count = 0;
  const tjscalingfactor* factors = tjGetScalingFactors(&count);
  if (factors == nullptr) return best;
  for (int i = 0; i < count; ++i) {
    const tjscalingfactor f = factors[i];
    if (f.num <= 0 || f.denom <= 0 || f.num > f.denom) continue;
    if (TJSCALED(width, f) < minWidth || TJSCALED(height, f) < minHeight) continue;
    if (static_cast<long long>(f.num) * best.denom < static_cast<long long>(best.num) * f.denom)
      best = f;
  }
  return best;
}

}  // namespace

void FitInto(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight) {
  const double scale =
      std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
  fitWidth = std::max(1, static_cast<int>(std::floor(width * scale + 0.5)));
  fitHeight = std::max(1, static_cast<int>(std::floor(height * scale + 0.5)));
  fitWidth = std::min(fitWidth, boxWidth);
  fitHeight = std::min(fitHeight, boxHeight);
}

DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size, int boxWidth, int boxHeight,
                        std::uint64_t maxPixels, RgbImage& out) {
  Decompressor decompressor;
  if (decompressor.get() == nullptr) return {DecodeStatus::kNoMemory, tjGetErrorStr2(nullptr)};
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(decompressor.get(), data, static_cast<unsigned long>(size), &width,
                          &height, &subsampling, &colorspace) != 0 ||
      width <= 0 || height <= 0) {
    return {DecodeStatus::kBadData, tjGetErrorStr2(decompressor.get())};
  }
  tjscalingfactor scale{1, 1};
  if (boxWidth > 0 && boxHeight > 0) {
    int fitWidth = 0, fitHeight = 0;
    FitInto(width, height, boxWidth, boxHeight, fitWidth, fitHeight);
    scale = ChooseScale(width, height, fitWidth, fitHeight);
  }
  const int scaledWidth = TJSCALED(width, scale);
  const int scaledHeight = TJSCALED(height, scale);
  const std::uint64_t pixels = static_cast<std::uint64_t>(scaledWidth) * scaledHeight;
  if (pixels > maxPixels) return {DecodeStatus::kTooLarge, "picture too large"};

  std::vector<std::uint8_t> rgb;
  try {
    rgb.resize(pixels * 3);
  } catch (const std::bad_alloc&) {
    return {DecodeStatus::kNoMemory, "out of memory"};
  }
  // Progressive data may hold any number of scans; a crafted file must not keep the decoder
  // busy without end.
  const int flags = TJFLAG_LIMITSCANS;
  if (tjDecompress2(decompressor.get(), data, static_cast<unsigned long>(size), rgb.data(),
                    scaledWidth, 0, scaledHeight, TJPF_RGB, flags) != 0 &&
      tjGetErrorCode(decompressor.get()) != TJERR_WARNING) {
    return {DecodeStatus::kBadData, tjGetErrorStr2(decompressor.get())};
  }
  out.width = scaledWidth;
  out.height = scaledHeight;
  out.rgb = std::move(rgb);
  return {};
}

}  // namespace vantrel::platform::posix
