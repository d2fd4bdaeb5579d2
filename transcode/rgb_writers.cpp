#include "transcode/rgb_writers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vantrel {
namespace {

// Rows go through in pieces of at most this many pixels, so that memory stays the same
// whatever the width; rows up to this width are written in one piece.
constexpr std::size_t kChunkPixels = 2048;
constexpr std::size_t kRgbBytes = 3;
constexpr std::size_t kRolleiBytes = 2;

// Reads the preview. Bytes that lie past the end of the raw file are given as `fill`; once
// the end has been met nothing more is asked of the stream.
class PreviewReader {
 public:
  explicit PreviewReader(std::FILE* file) : file_(file) {}

  void Read(unsigned char* to, std::size_t count, unsigned char fill) {
    const std::size_t got = atEnd_ ? 0 : std::fread(to, 1, count, file_);
    if (got < count) {
      atEnd_ = true;
      std::memset(to + got, fill, count - got);
    }
  }

  // Reads and drops `count` bytes; a count of 0 or less drops nothing. Stops at the end of
  // the file, so a huge count costs no more than the rest of the file.
  void Skip(std::int32_t count) {
    unsigned char scratch[4096];
    auto left = static_cast<std::size_t>(std::max<std::int32_t>(count, 0));
    while (left > 0 && !atEnd_) {
      const std::size_t chunk = std::min(left, sizeof scratch);
      if (std::fread(scratch, 1, chunk, file_) < chunk) atEnd_ = true;
      left -= chunk;
    }
  }

 private:
  std::FILE* file_;
  bool atEnd_ = false;
};

void WriteHeader(const ParseState& state, std::FILE* out) {
  std::fprintf(out, "P6 %d %d 255\n", state.thumbWidth, state.thumbHeight);
}

bool HasPixels(const ParseState& state) { return state.thumbWidth > 0 && state.thumbHeight > 0; }

}  // namespace

HResult RolleiToPpm(ParseState& state, std::FILE* out) {
  SeekTo(state.rawFile, state.thumbOffset);
  WriteHeader(state, out);
  if (!HasPixels(state)) return kSOk;
  PreviewReader reader(state.rawFile);
  unsigned char stored[kChunkPixels * kRolleiBytes];
  unsigned char rgb[kChunkPixels * kRgbBytes];
  const auto width = static_cast<std::size_t>(state.thumbWidth);
  for (std::int32_t row = 0; row < state.thumbHeight; ++row) {
    for (std::size_t done = 0; done < width;) {
      const std::size_t pixels = std::min(width - done, kChunkPixels);
      // Bytes past the end of the file count as 0xFF, as in every other read of the raw
      // file: a preview cut short ends in near-white pixels (248, 252, 248).
      reader.Read(stored, pixels * kRolleiBytes, 0xFF);
      for (std::size_t i = 0; i < pixels; ++i) {
        // 5-6-5 bits, most significant byte first, whatever the file's byte order.
        const unsigned v = (unsigned{stored[2 * i]} << 8) | stored[2 * i + 1];
        rgb[3 * i] = static_cast<unsigned char>((v * 8) & 0xFF);
        rgb[3 * i + 1] = static_cast<unsigned char>((v / 8) & 0xFC);
        rgb[3 * i + 2] = static_cast<unsigned char>((v / 256) & 0xF8);
      }
      std::fwrite(rgb, 1, pixels * kRgbBytes, out);
      done += pixels;
    }
  }
  return kSOk;
}

HResult FoveonToPpm(ParseState& state, std::FILE* out) {
  SeekTo(state.rawFile, state.thumbOffset);
  WriteHeader(state, out);
  if (!HasPixels(state)) return kSOk;
  PreviewReader reader(state.rawFile);
  unsigned char rgb[kChunkPixels * kRgbBytes];
  const std::size_t rowBytes = static_cast<std::size_t>(state.thumbWidth) * kRgbBytes;
  for (std::int32_t row = 0; row < state.thumbHeight; ++row) {
    for (std::size_t done = 0; done < rowBytes;) {
      const std::size_t bytes = std::min(rowBytes - done, sizeof rgb);
      reader.Read(rgb, bytes, 0xFF);
      std::fwrite(rgb, 1, bytes, out);
      done += bytes;
    }
    reader.Skip(state.rowPadding);  // the filler after every row, the last one included
  }
  return kSOk;
}

}  // namespace vantrel
