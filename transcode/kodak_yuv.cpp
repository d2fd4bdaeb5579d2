#include "transcode/kodak_yuv.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "core/limits.h"
#include "core/report.h"

namespace vantrel {
namespace {

// The coded thumbnail: for every row pair, blocks of at most 128 columns. A block holds one
// 4-bit length code per value, a start word when its code bytes would otherwise end halfway
// through a 4-byte unit, and then the value bits, fetched four bytes at a time. Every 2 x 2
// square is one group of six values: two luma differences per row, then Cb and Cr.
constexpr std::uint32_t kBlockColumns = 128;
constexpr int kMaxCodes = 384;
constexpr int kValuesPerGroup = 6;
constexpr int kSamplesPerPixel = 3;
constexpr int kBytesPerSample = 2;

// YCbCr to RGB, with the chroma scaled so that R - Y = 0.701 Cr and B - Y = 0.886 Cb.
constexpr double kRedFromCr = 0.701;
constexpr double kGreenFromCb = 0.17207;
constexpr double kGreenFromCr = 0.35707;
constexpr double kBlueFromCb = 0.886;

const char kNoBuffer[] = "Couldn't allocate memory for KodakYuvDecode";

// The state of one block: its length codes and the bit accumulator.
class BlockReader {
 public:
  explicit BlockReader(std::FILE* file) : file_(file) {}

  // Reads the codes (and the start word, where there is one) of a block whose first column
  // leaves `remaining` columns of the row; the predictors are the caller's.
  void Start(std::uint32_t remaining) {
    // 3 x (r + 1) with its two lowest bits cleared: 3 x r rounded up to a multiple of 4.
    const int codes = remaining >= kBlockColumns
                          ? kMaxCodes
                          : static_cast<int>((3 * (remaining + 1)) & ~std::uint32_t{3});
    for (int i = 0; i < codes; i += 2) {
      const int byte = ReadByte() & 0xFF;  // a missing byte (-1) gives two codes of 15
      codes_[i] = static_cast<std::uint8_t>(byte & 0x0F);
      codes_[i + 1] = static_cast<std::uint8_t>(byte >> 4);
    }
    next_ = 0;
    bits_ = 0;
    held_ = 0;
    if (codes % 8 == 4) {
      const std::int64_t b0 = ReadByte();
      const std::int64_t b1 = ReadByte();
      bits_ = b0 * 256 + b1;
      held_ = 16;
    }
  }

  // The next value: its length code L says how many bits it takes; a value whose top bit is
  // clear is negative (the EXTEND rule of baseline JPEG).
  std::int32_t Value() {
    const int length = codes_[next_++];
    if (held_ < length) Fetch();
    const auto v = static_cast<std::int32_t>(bits_ & ((std::int64_t{1} << length) - 1));
    bits_ >>= length;
    held_ -= length;
    if (length == 0) return 0;
    if ((v & (std::int32_t{1} << (length - 1))) != 0) return v;
    return v - (std::int32_t{1} << length) + 1;
  }

 private:
  // A byte of the coded data, or -1 where the file has none. Only this call uses the stream,
  // so where the C library offers it the byte is read without taking the stream's lock.
  int ReadByte() {
#if defined(_WIN32)
    return std::getc(file_);
#else
    return getc_unlocked(file_);
#endif
  }

  // Two 16-bit words, most significant byte first, placed just above the bits held, the
  // first word lower. At most 14 bits are held here, so the sum stays below 2^46; missing
  // bytes enter as -1 times their weight.
  void Fetch() {
    const std::int64_t b0 = ReadByte();
    const std::int64_t b1 = ReadByte();
    const std::int64_t b2 = ReadByte();
    const std::int64_t b3 = ReadByte();
    const std::int64_t weight = std::int64_t{1} << held_;
    bits_ += (b1 + b0 * 256 + b3 * 65536 + b2 * 16777216) * weight;
    held_ += 32;
  }

  std::FILE* file_;
  std::uint8_t codes_[kMaxCodes] = {};
  int next_ = 0;
  std::int64_t bits_ = 0;
  int held_ = 0;
};

// Stores a sample most significant byte first. Values above 65535 keep their low 16 bits;
// a value of 0 or less is not stored, so the place keeps what it held.
inline void StoreSample(unsigned char* at, std::int32_t value) {
  if (value <= 0) return;
  at[0] = static_cast<unsigned char>(value >> 8);
  at[1] = static_cast<unsigned char>(value);
}

// Within a block at most 64 groups add differences of at most 32767 to the predictors, so
// every luma and chroma stays within a few million and each sum below fits an int32.
inline void StorePixel(unsigned char* at, std::int32_t luma, double red, double greenFromCb,
                       double greenFromCr, double blue) {
  const double y = luma;
  StoreSample(at, static_cast<std::int32_t>(y + red));
  StoreSample(at + kBytesPerSample, static_cast<std::int32_t>((y - greenFromCb) - greenFromCr));
  StoreSample(at + 2 * kBytesPerSample, static_cast<std::int32_t>(y + blue));
}

// The row-pair buffer's size, when a file of `fileSize` bytes may ask for a picture of
// `width` x `height`. The thumbnail file, the header and 6 bytes a pixel, must stay within the
// bound for the file's size, and the buffer must be addressable.
bool RowPairBytes(std::uint32_t width, std::uint32_t height, std::int32_t fileSize,
                  std::int64_t headerBytes, std::size_t& bytes) {
  const std::uint64_t rowPair =
      std::uint64_t{width} * kSamplesPerPixel * kBytesPerSample * 2;  // below 2^36
  const std::uint64_t rowPairs = height / 2;
  if (rowPair > std::numeric_limits<std::size_t>::max()) return false;
  if (rowPairs != 0 &&
      rowPair > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / rowPairs)
    return false;
  const auto pixelBytes = static_cast<std::int64_t>(rowPair * rowPairs);
  if (!OutputWithinBound(headerBytes + pixelBytes, fileSize)) return false;
  bytes = static_cast<std::size_t>(rowPair);
  return true;
}

}  // namespace

HResult KodakYuvDecode(ParseState& state, std::FILE* out) {
  SeekTo(state.rawFile, state.thumbOffset);
  const std::uint32_t width = (static_cast<std::uint32_t>(state.thumbWidth) + 1) & ~1u;
  const std::uint32_t height = (static_cast<std::uint32_t>(state.thumbHeight) + 1) & ~1u;
  state.thumbWidth = static_cast<std::int32_t>(width);
  state.thumbHeight = static_cast<std::int32_t>(height);
  const int headerBytes = std::fprintf(out, "P6 %u %u 65535\n", width, height);
  if (width == 0 || height == 0) return kSOk;

  // A picture that the raw file could not hold is refused before any work: the buffer and
  // the output would otherwise grow with the numbers in a crafted header.
  std::size_t rowPairBytes = 0;
  std::unique_ptr<unsigned char[]> buffer;
  if (RowPairBytes(width, height, state.fileSize, std::max(headerBytes, 0), rowPairBytes))
    buffer.reset(new (std::nothrow) unsigned char[rowPairBytes]());  // starts black
  if (!buffer) {
    ReportError(kEOutOfMemory, kNoBuffer);
    return kEOutOfMemory;
  }

  const std::size_t rowBytes = rowPairBytes / 2;
  constexpr std::size_t kPixelBytes = kSamplesPerPixel * kBytesPerSample;
  BlockReader reader(state.rawFile);
  for (std::uint32_t row = 0; row < height; row += 2) {
    std::int32_t y0 = 0, y1 = 0, cb = 0, cr = 0;
    unsigned char* top = buffer.get();
    unsigned char* bottom = top + rowBytes;
    for (std::uint32_t x = 0; x < width; x += 2) {
      if (x % kBlockColumns == 0) {
        reader.Start(width - x);
        y0 = y1 = cb = cr = 0;
      }
      std::int32_t d[kValuesPerGroup];
      for (std::int32_t& value : d) value = reader.Value();
      const std::int32_t topLeft = y0 + d[0];
      y0 = topLeft + d[1];
      const std::int32_t bottomLeft = y1 + d[2];
      y1 = bottomLeft + d[3];
      cb += d[4];
      cr += d[5];

      const double red = kRedFromCr * cr;
      const double greenFromCb = kGreenFromCb * cb;
      const double greenFromCr = kGreenFromCr * cr;
      const double blue = kBlueFromCb * cb;
      const std::size_t at = std::size_t{x} * kPixelBytes;
      StorePixel(top + at, topLeft, red, greenFromCb, greenFromCr, blue);
      StorePixel(top + at + kPixelBytes, y0, red, greenFromCb, greenFromCr, blue);
      StorePixel(bottom + at, bottomLeft, red, greenFromCb, greenFromCr, blue);
      StorePixel(bottom + at + kPixelBytes, y1, red, greenFromCb, greenFromCr, blue);
    }
    std::fwrite(buffer.get(), 1, rowPairBytes, out);
  }
  return kSOk;
}

}  // namespace vantrel
