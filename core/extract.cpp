#include "core/extract.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "core/limits.h"
#include "core/report.h"
#include "parsers/ciff.h"
#include "parsers/foveon.h"
#include "parsers/rollei.h"
#include "parsers/tiff.h"
#include "transcode/kodak_yuv.h"
#include "transcode/rgb_writers.h"

namespace vantrel {
namespace {

constexpr int kHeadBytes = 32;
constexpr std::int32_t kMrmTiffBase = 48;
constexpr std::int32_t kFujiJpegPointer = 84;
constexpr std::int32_t kFujiTiffSkip = 12;  // the JPEG's SOI and APP1 header before its TIFF
constexpr std::size_t kCopyChunk = 1 << 20;

const char kNotSupported[] = "Raw file format is not supported.";
const char kNoThumbnail[] = "Raw file format is not supported..";
const char kNoTransferBuffer[] = "Out of memory for transfer buffer";

bool HeadIs(const unsigned char* head, int at, const char* text, std::size_t length) {
  return std::memcmp(head + at, text, length) == 0;
}

std::uint32_t ReadBigEndianU32(std::FILE* file) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const int c = std::fgetc(file);
    value = (value << 8) | static_cast<std::uint32_t>(c == EOF ? 0xFF : c);
  }
  return value;
}

void ParseMrm(ParseState& state) {
  SeekTo(state.rawFile, 4);
  state.thumbLength = static_cast<std::int32_t>(ReadU32(state));
  ParseTiff(state, kMrmTiffBase);
  SetText(state.thumbHead, "\xFF");
  state.thumbOffset = AddOffsets(state.thumbOffset, 1);
  state.thumbLength = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.thumbLength) -
                                                static_cast<std::uint32_t>(state.thumbOffset));
}

void ParseFujifilm(ParseState& state) {
  SeekTo(state.rawFile, kFujiJpegPointer);
  const std::uint32_t jpegOffset = ReadBigEndianU32(state.rawFile);
  const std::uint32_t jpegLength = ReadBigEndianU32(state.rawFile);
  ParseTiff(state, AddOffsets(static_cast<std::int32_t>(jpegOffset), kFujiTiffSkip));
  state.thumbOffset = static_cast<std::int32_t>(jpegOffset);
  state.thumbLength = static_cast<std::int32_t>(jpegLength);
  state.thumbHead[0] = '\0';
}

// Runs the parser that the file's first bytes call for.
HResult RecogniseAndParse(ParseState& state, const unsigned char* head, std::uint32_t headerWord) {
  const bool tiffLike = state.byteOrder == kLittleEndian || state.byteOrder == kBigEndian;
  if (HeadIs(head, 0, "MMMMRawT", 8)) return kSOk;
  if (tiffLike && HeadIs(head, 6, "HEAPCCDR", 8)) {
    const auto heapStart = static_cast<std::int32_t>(headerWord);
    const auto heapLength =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(state.fileSize) - headerWord);
    return ParseCiff(state, heapStart, heapLength, 0);
  }
  if (tiffLike) return ParseTiff(state, 0);
  if (HeadIs(head, 0, "\0MRM", 4)) {
    ParseMrm(state);
    return kSOk;
  }
  if (HeadIs(head, 0, "FUJIFILM", 8)) {
    ParseFujifilm(state);
    return kSOk;
  }
  if (HeadIs(head, 0, "DSC-Image", 9)) return ParseRollei(state);
  if (HeadIs(head, 0, "FOVb", 4)) return ParseFaveon(state);
  return kSOk;
}

// Opens the thumbnail file for writing from its start. The extractor names its thumbnail files
// by creating them empty; such a file is written as it is. Truncating it instead, empty as it
// is, makes ext4 flush the file's data to disk when it is closed: a disk write of the whole
// preview, and a wait for it, for a file that is removed a moment later. Any other file is
// truncated as usual.
std::FILE* CreateThumbnailFile(const char* path) {
  if (std::FILE* existing = std::fopen(path, "r+b")) {
    if (std::fseek(existing, 0, SEEK_END) == 0 && std::ftell(existing) == 0) return existing;
    std::fclose(existing);
  }
  return std::fopen(path, "wb");
}

void ApplyModelRules(ParseState& state) {
  struct ModelRule {
    const char* prefix;
    std::int32_t offset;
    std::int32_t length;
  };
  static constexpr ModelRule kRules[] = {{"C50", 4096, 11264}, {"C80", 5508, 11264}};
  for (const ModelRule& rule : kRules) {
    if (std::strncmp(state.model, rule.prefix, 3) != 0) continue;
    state.thumbHead[0] = '\0';
    state.thumbOffset = rule.offset;
    state.thumbLength = rule.length;
  }
}

// Writes `length` bytes from `offset` of the raw file; whatever lies past the end is zeros.
void CopyBytes(ParseState& state, std::FILE* out, std::size_t length, unsigned char* buffer,
               std::size_t bufferSize) {
  SeekTo(state.rawFile, state.thumbOffset);
  bool atEnd = false;
  while (length > 0) {
    const std::size_t chunk = std::min(length, bufferSize);
    std::size_t got = atEnd ? 0 : std::fread(buffer, 1, chunk, state.rawFile);
    if (got < chunk) {
      atEnd = true;
      std::memset(buffer + got, 0, chunk - got);
    }
    std::fwrite(buffer, 1, chunk, out);
    length -= chunk;
  }
}

// The outcome of writing the thumbnail file. A failure found by the driver itself carries the
// message that it reports once both files are closed.
struct WriteResult {
  HResult hr = kSOk;
  const char* message = nullptr;
};

WriteResult CopyStep(ParseState& state, std::FILE* out) {
  // A length that the raw file cannot hold is refused like a failed allocation: a crafted
  // entry must not make us allocate and write gigabytes.
  if (state.thumbLength < 0 || state.thumbLength > state.fileSize)
    return {kEOutOfMemory, kNoTransferBuffer};
  const auto n = static_cast<std::size_t>(state.thumbLength);
  if (state.planarRgb == 0) {
    const std::size_t size = std::max<std::size_t>(1, std::min(n, kCopyChunk));
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer) return {kEOutOfMemory, kNoTransferBuffer};
    std::fputs(state.thumbHead, out);
    CopyBytes(state, out, n, buffer.get(), size);
    return {};
  }
  std::unique_ptr<unsigned char[]> planes(new (std::nothrow) unsigned char[n + 1]());
  if (!planes) return {kEOutOfMemory, kNoTransferBuffer};
  SeekTo(state.rawFile, state.thumbOffset);
  const std::size_t got = std::fread(planes.get(), 1, n, state.rawFile);
  (void)got;  // a short read leaves zeros
  std::unique_ptr<unsigned char[]> pixels(new (std::nothrow) unsigned char[n + 1]());
  if (!pixels) return {kEOutOfMemory, "Out of memory for rgb layer"};
  InterleavePlanes(planes.get(), pixels.get(), n);
  planes.reset();
  std::fputs(state.thumbHead, out);
  std::fwrite(pixels.get(), 1, n, out);
  return {};
}

// The bare-pixel writers stream whatever the header asks for; requests far beyond what the
// raw file can hold are refused like an oversized copy.
bool RgbOutputWithinBound(const ParseState& state) {
  if (state.thumbWidth <= 0 || state.thumbHeight <= 0) return true;  // the header alone
  // Two 31-bit sides make at most 2^62 pixels: checked before the three bytes each would
  // overflow 64 bits.
  const std::int64_t pixels = std::int64_t{state.thumbWidth} * state.thumbHeight;
  constexpr std::int64_t kHeaderBytes = 32;  // "P6 %d %d 255\n" at its longest
  return pixels <= (kOutputFactor * INT32_MAX + kOutputSlack) / 3 &&
         OutputWithinBound(kHeaderBytes + 3 * pixels, state.fileSize);
}

WriteResult WriteThumbnail(ParseState& state, std::FILE* out) {
  switch (ChooseWriter(state)) {
    case ThumbnailWriter::kKodakYuv:
      return {KodakYuvDecode(state, out)};
    case ThumbnailWriter::kRollei:
      if (!RgbOutputWithinBound(state)) return {kEOutOfMemory, kNoTransferBuffer};
      return {RolleiToPpm(state, out)};
    case ThumbnailWriter::kFoveon:
      if (!RgbOutputWithinBound(state)) return {kEOutOfMemory, kNoTransferBuffer};
      return {FoveonToPpm(state, out)};
    case ThumbnailWriter::kCopy:
      break;
  }
  return CopyStep(state, out);
}

}  // namespace

const char* WriterName(ThumbnailWriter writer) {
  switch (writer) {
    case ThumbnailWriter::kRollei:
      return "rollei";
    case ThumbnailWriter::kFoveon:
      return "foveon";
    case ThumbnailWriter::kKodakYuv:
      return "kodak-yuv";
    case ThumbnailWriter::kCopy:
      break;
  }
  return "copy";
}

ThumbnailWriter ChooseWriter(const ParseState& state) {
  if (std::strncmp(state.model, "DCS Pro", 7) == 0) return ThumbnailWriter::kKodakYuv;
  if (std::memcmp(state.make, "Rollei", 7) == 0) return ThumbnailWriter::kRollei;
  if (std::memcmp(state.make, "SIGMA", 6) == 0 && state.foveonVersion > 0x20001)
    return ThumbnailWriter::kFoveon;
  return ThumbnailWriter::kCopy;
}

void InterleavePlanes(const unsigned char* planes, unsigned char* pixels, std::size_t n) {
  const std::size_t m = n / 3;
  if (m == 0) {
    std::memcpy(pixels, planes, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t to = i / m + 3 * (i % m);
    if (to < n) pixels[to] = planes[i];
  }
}

void CloseRawFile(ParseState& state) {
  if (state.rawFile != nullptr) std::fclose(state.rawFile);
  state.rawFile = nullptr;
}

HResult ParseRawFile(ParseState& state, const char* sourcePath) {
  std::FILE* raw = std::fopen(sourcePath, "rb");
  if (raw == nullptr) {
    ReportError(kEUnexpected, "Couldn't open raw image file.");
    return kEUnexpected;
  }
  return ParseRawStream(state, raw);
}

HResult ParseRawStream(ParseState& state, std::FILE* raw) {
  state.rawFile = raw;
  state.make[0] = state.model[0] = state.thumbHead[0] = '\0';
  state.thumbOffset = state.thumbLength = state.planarRgb = state.rotation = 0;

  SeekTo(state.rawFile, 0);
  state.byteOrder = static_cast<std::uint16_t>(ReadU16(state));
  const std::uint32_t headerWord = ReadU32(state);

  // Zero-filled, so that a file shorter than the head matches no signature by chance.
  unsigned char head[kHeadBytes] = {};
  SeekTo(state.rawFile, 0);
  const std::size_t got = std::fread(head, 1, kHeadBytes, state.rawFile);
  (void)got;
  std::fseek(state.rawFile, 0, SEEK_END);
  state.fileSize = TellPosition(state.rawFile);
  SeekTo(state.rawFile, 0);

  const HResult hr = RecogniseAndParse(state, head, headerWord);
  if (Failed(hr)) {
    CloseRawFile(state);
    return hr;
  }
  if (state.model[0] == '\0') {
    CloseRawFile(state);
    ReportError(kENotImpl, kNotSupported);
    return kENotImpl;
  }
  ApplyModelRules(state);
  return kSOk;
}

HResult ExtractThumbnail(ParseState& state, const char* sourcePath, const char* thumbPath) {
  const HResult hr = ParseRawFile(state, sourcePath);
  if (Failed(hr)) return hr;
  return WriteThumbnailFile(state, [thumbPath] { return CreateThumbnailFile(thumbPath); });
}

HResult WriteThumbnailFile(ParseState& state, const std::function<std::FILE*()>& createOutput) {
  if (state.thumbLength == 0) {
    CloseRawFile(state);
    ReportError(kENotImpl, kNoThumbnail);
    return kENotImpl;
  }
  std::FILE* out = createOutput();
  if (out == nullptr) {
    CloseRawFile(state);
    ReportError(kEUnexpected, "Couldn't create output file.");
    return kEUnexpected;
  }
  const WriteResult result = WriteThumbnail(state, out);
  CloseRawFile(state);
  std::fclose(out);
  if (result.message != nullptr) ReportError(result.hr, result.message);
  return result.hr;
}

}  // namespace vantrel
