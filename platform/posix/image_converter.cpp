// The ImageMagick component on POSIX systems: MagickWand in process.
//
// It takes the same 11 arguments that the Windows component gets and does what they ask for
// itself, step by step, instead of handing them to ImageMagick's command-line parser (which
// would read "xc:white" as a second image and write two numbered files). The thumbnail file
// is decoded here, scaled down while decoding where the picture is much larger than the box,
// so that a full-size preview never occupies memory at full size; ImageMagick then fits,
// rotates and centres it on the white canvas and encodes the JPEG.
//
// Only the two kinds of file that the extraction writes are read (JPEG and binary PGM/PPM),
// and they are decoded from their bytes here: ImageMagick never opens a file by name or
// guesses a format from data that came out of a raw file.
#include "platform/image_converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <wand/MagickWand.h>

#include "platform/posix/jpeg_decoder.h"
#include "render/limits.h"

namespace vantrel::platform {
namespace {

using posix::RgbImage;

constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kEFileNotFound = static_cast<HResult>(0x80070002u);
constexpr HResult kEPathNotFound = static_cast<HResult>(0x80070003u);
constexpr HResult kEAccessDenied = static_cast<HResult>(0x80070005u);
constexpr HResult kEDiskFull = static_cast<HResult>(0x80070070u);

// Bounds on what a thumbnail file may make us hold. Real previews stay far below them; a
// crafted header must not make us allocate without limit.
constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 25;
constexpr long long kMaxJpegBytes = 512LL << 20;
constexpr int kMaxPnmSide = 1 << 20;
constexpr std::size_t kJpegQuality = 90;

ConversionOutcome Failure(HResult hr, std::string description, std::string errorText = {}) {
  ConversionOutcome outcome;
  outcome.hr = hr;
  outcome.description = std::move(description);
  outcome.errorText = std::move(errorText);
  return outcome;
}

HResult FromErrno(int error) {
  switch (error) {
    case ENOENT:
      return kEFileNotFound;
    case ENOTDIR:
      return kEPathNotFound;
    case EACCES:
    case EPERM:
      return kEAccessDenied;
    case ENOSPC:
      return kEDiskFull;
    case ENOMEM:
      return kEOutOfMemory;
    default:
      return kEFail;
  }
}

// ---- The argument list ----

struct Request {
  int boxWidth = 0;
  int boxHeight = 0;
  int rotation = 0;
  int canvasWidth = 0;
  int canvasHeight = 0;
  const char* input = nullptr;
  const char* output = nullptr;
};

// A signed 32-bit decimal number, nothing before or after it.
bool ParseNumber(const char* text, const char** end, int& value) {
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > 2147483648LL) return false;
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > 2147483647LL) return false;
  value = static_cast<int>(signedValue);
  *end = p;
  return true;
}

bool ParseGeometry(const std::string& text, int& width, int& height) {
  const char* end = nullptr;
  if (!ParseNumber(text.c_str(), &end, width) || *end != 'x') return false;
  return ParseNumber(end + 1, &end, height) && *end == '\0';
}

bool SideInRange(int side) { return side >= 1 && side <= kMaxThumbnailSide; }

ConversionOutcome ParseArguments(const ConvertArguments& arguments, Request& request) {
  static const struct {
    std::size_t index;
    const char* text;
  } kFixed[] = {{0, "-resize"}, {2, "-rotate"}, {5, "-gravity"},
                {6, "center"},  {7, "-size"},   {9, "xc:white"}};
  for (const auto& fixed : kFixed) {
    if (arguments[fixed.index] != fixed.text) {
      return Failure(kEInvalidArg, "Unexpected ImageMagick argument " +
                                       std::to_string(fixed.index) + ": '" +
                                       arguments[fixed.index] + "'");
    }
  }
  const char* end = nullptr;
  if (!ParseGeometry(arguments[1], request.boxWidth, request.boxHeight) ||
      !ParseNumber(arguments[3].c_str(), &end, request.rotation) || *end != '\0' ||
      !ParseGeometry(arguments[8], request.canvasWidth, request.canvasHeight) ||
      arguments[4].empty() || arguments[10].empty()) {
    return Failure(kEInvalidArg, "Malformed ImageMagick argument list");
  }
  if (!SideInRange(request.boxWidth) || !SideInRange(request.boxHeight) ||
      !SideInRange(request.canvasWidth) || !SideInRange(request.canvasHeight)) {
    return Failure(kEInvalidArg, "Thumbnail size " + arguments[8] + " is out of range (1 to " +
                                     std::to_string(kMaxThumbnailSide) + " pixels a side)");
  }
  request.input = arguments[4].c_str();
  request.output = arguments[10].c_str();
  return {};
}

// ---- Reading the thumbnail file ----

struct File {
  std::FILE* stream = nullptr;
  ~File() {
    if (stream != nullptr) std::fclose(stream);
  }
};

ConversionOutcome ReadJpeg(std::FILE* stream, int boxWidth, int boxHeight, RgbImage& image) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0)
    return Failure(FromErrno(errno), "Couldn't read the thumbnail file");
  if (info.st_size > kMaxJpegBytes)
    return Failure(kEOutOfMemory, "The JPEG thumbnail file is too large");
  // Left uninitialised: the read fills what the decoder is given. A preview of several
  // megabytes would otherwise be cleared only to be overwritten.
  const auto size = static_cast<std::size_t>(info.st_size);
  std::unique_ptr<std::uint8_t[]> data(new (std::nothrow)
                                           std::uint8_t[std::max<std::size_t>(size, 1)]);
  if (!data) return Failure(kEOutOfMemory, "The JPEG thumbnail file is too large");
  std::rewind(stream);
  const std::size_t got = std::fread(data.get(), 1, size, stream);
  if (std::ferror(stream)) return Failure(FromErrno(errno), "Couldn't read the thumbnail file");
  const posix::DecodeResult result =
      posix::DecodeJpeg(data.get(), got, boxWidth, boxHeight, kMaxDecodedPixels, image);
  switch (result.status) {
    case posix::DecodeStatus::kOk:
      return {};
    case posix::DecodeStatus::kBadData:
      return Failure(kEFail, "Couldn't decode the JPEG thumbnail", result.error);
    case posix::DecodeStatus::kTooLarge:
    case posix::DecodeStatus::kNoMemory:
      break;
  }
  return Failure(kEOutOfMemory, "The thumbnail picture is too large");
}

// Skips white space and "#" comments between the numbers of a PGM/PPM header.
int SkipFiller(std::FILE* stream) {
  int c = std::fgetc(stream);
  for (;;) {
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(stream);
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
      c = std::fgetc(stream);
    } else {
      return c;
    }
  }
}

bool ReadHeaderNumber(std::FILE* stream, int limit, int& value) {
  int c = SkipFiller(stream);
  if (c < '0' || c > '9') return false;
  long long number = 0;
  for (; c >= '0' && c <= '9'; c = std::fgetc(stream)) {
    number = number * 10 + (c - '0');
    if (number > limit) return false;
  }
  // Exactly one white-space character ends the number.
  if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') return false;
  value = static_cast<int>(number);
  return true;
}

// A binary PGM ("P5") or PPM ("P6") with 8- or 16-bit samples (most significant byte first).
// Rows are read one at a time and averaged over blocks of k x k pixels, k chosen so that the
// result still covers the picture fitted into the box; the file is never held whole.
ConversionOutcome ReadPnm(std::FILE* stream, int boxWidth, int boxHeight, RgbImage& image) {
  const char kBadHeader[] = "Bad PGM/PPM header in the thumbnail file";
  std::rewind(stream);
  const int p = std::fgetc(stream);
  const int kind = std::fgetc(stream);
  int width = 0, height = 0, maxval = 0;
  if (p != 'P' || (kind != '5' && kind != '6') || !ReadHeaderNumber(stream, kMaxPnmSide, width) ||
      !ReadHeaderNumber(stream, kMaxPnmSide, height) || !ReadHeaderNumber(stream, 65535, maxval) ||
      width < 1 || height < 1 || maxval < 1) {
    return Failure(kEFail, kBadHeader);
  }
  const int channels = kind == '6' ? 3 : 1;
  const int sampleBytes = maxval > 255 ? 2 : 1;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * channels * sampleBytes;

  // The samples the header promises must all be there: a header cannot make us read or
  // allocate more than the file holds.
  struct stat info;
  const long dataStart = std::ftell(stream);
  if (dataStart < 0 || fstat(fileno(stream), &info) != 0)
    return Failure(FromErrno(errno), "Couldn't read the thumbnail file");
  if (info.st_size < dataStart ||
      static_cast<std::uint64_t>(info.st_size - dataStart) <
          static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(height)) {
    return Failure(kEFail, "The PGM/PPM thumbnail file is truncated");
  }

  int fitWidth = 0, fitHeight = 0;
  posix::FitInto(width, height, boxWidth, boxHeight, fitWidth, fitHeight);
  const int k = std::max(1, std::min(width / fitWidth, height / fitHeight));
  const int outWidth = (width + k - 1) / k;
  const int outHeight = (height + k - 1) / k;
  if (static_cast<std::uint64_t>(outWidth) * outHeight > kMaxDecodedPixels)
    return Failure(kEOutOfMemory, "The thumbnail picture is too large");

  std::vector<std::uint8_t> row;
  std::vector<std::uint64_t> sums;
  try {
    row.resize(rowBytes);
    sums.resize(static_cast<std::size_t>(outWidth) * 3);
    image.rgb.assign(static_cast<std::size_t>(outWidth) * outHeight * 3, 0);
  } catch (const std::bad_alloc&) {
    return Failure(kEOutOfMemory, "The thumbnail picture is too large");
  }
  image.width = outWidth;
  image.height = outHeight;
  const auto max = static_cast<std::uint64_t>(maxval);
  for (int outY = 0; outY < outHeight; ++outY) {
    std::fill(sums.begin(), sums.end(), 0);
    const int rows = std::min(k, height - outY * k);
    for (int r = 0; r < rows; ++r) {
      if (std::fread(row.data(), 1, rowBytes, stream) != rowBytes)
        return Failure(kEFail, "The PGM/PPM thumbnail file is truncated");
      const std::uint8_t* sample = row.data();
      for (int x = 0; x < width; ++x) {
        std::uint64_t* sum = &sums[static_cast<std::size_t>(x / k) * 3];
        for (int c = 0; c < channels; ++c, sample += sampleBytes) {
          std::uint64_t value = sampleBytes == 2 ? (sample[0] << 8) | sample[1] : sample[0];
          value = std::min(value, max);
          if (channels == 1) {
            sum[0] += value;
            sum[1] += value;
            sum[2] += value;
          } else {
            sum[c] += value;
          }
        }
      }
    }
    std::uint8_t* out = &image.rgb[static_cast<std::size_t>(outY) * outWidth * 3];
    for (int outX = 0; outX < outWidth; ++outX) {
      const std::uint64_t columns = static_cast<std::uint64_t>(std::min(k, width - outX * k));
      const std::uint64_t scale = columns * static_cast<std::uint64_t>(rows) * max;
      for (int c = 0; c < 3; ++c) {
        const std::uint64_t sum = sums[static_cast<std::size_t>(outX) * 3 + c];
        out[outX * 3 + c] = static_cast<std::uint8_t>((sum * 255 + scale / 2) / scale);
      }
    }
  }
  return {};
}

ConversionOutcome ReadThumbnail(const Request& request, RgbImage& image) {
  File file;
  file.stream = std::fopen(request.input, "rb");
  if (file.stream == nullptr) return Failure(FromErrno(errno), "Couldn't open the thumbnail file");
  unsigned char magic[2] = {};
  const std::size_t got = std::fread(magic, 1, 2, file.stream);
  // The box of the list is what the picture is fitted into first; the decoders keep at least
  // that much of it.
  if (got == 2 && magic[0] == 0xFF && magic[1] == 0xD8)
    return ReadJpeg(file.stream, request.boxWidth, request.boxHeight, image);
  if (got == 2 && magic[0] == 'P' && (magic[1] == '5' || magic[1] == '6'))
    return ReadPnm(file.stream, request.boxWidth, request.boxHeight, image);
  if (std::ferror(file.stream))
    return Failure(FromErrno(errno), "Couldn't read the thumbnail file");
  return Failure(kEFail, "The thumbnail file is neither a JPEG nor a PGM/PPM picture");
}

// ---- ImageMagick ----

void StopMagick() { MagickWandTerminus(); }

void StartMagick() {
  MagickWandGenesis();
  // The pixel cache stays in memory and within bounds: nothing is paged to temporary files
  // (which could outlive a crash), and no thread pool is started inside the host process.
  MagickSetResourceLimit(DiskResource, 0);
  MagickSetResourceLimit(MemoryResource, MagickSizeType{512} << 20);
  MagickSetResourceLimit(MapResource, MagickSizeType{512} << 20);
  MagickSetResourceLimit(ThreadResource, 1);
  std::atexit(StopMagick);
}

struct WandDeleter {
  void operator()(MagickWand* wand) const { DestroyMagickWand(wand); }
};
struct PixelWandDeleter {
  void operator()(PixelWand* wand) const { DestroyPixelWand(wand); }
};
using Wand = std::unique_ptr<MagickWand, WandDeleter>;
using Pixel = std::unique_ptr<PixelWand, PixelWandDeleter>;

ConversionOutcome MagickFailure(MagickWand* wand) {
  ExceptionType severity = UndefinedException;
  char* text = MagickGetException(wand, &severity);
  std::string errorText = text != nullptr ? text : "";
  if (text != nullptr) MagickRelinquishMemory(text);
  if (errorText.empty()) errorText = "ImageMagick gave no reason";
  const HResult hr = severity == ResourceLimitError ? kEOutOfMemory : kEFail;
  return Failure(hr, "ImageMagick couldn't convert the thumbnail", errorText);
}

bool FitWithin(MagickWand* wand, int boxWidth, int boxHeight, bool enlarge) {
  const int width = static_cast<int>(MagickGetImageWidth(wand));
  const int height = static_cast<int>(MagickGetImageHeight(wand));
  if (width < 1 || height < 1) return false;
  if (!enlarge && width <= boxWidth && height <= boxHeight) return true;
  int fitWidth = 0, fitHeight = 0;
  posix::FitInto(width, height, boxWidth, boxHeight, fitWidth, fitHeight);
  if (fitWidth == width && fitHeight == height) return true;
  // Reducing: the readers hand over a picture already brought down close to the box (the JPEG
  // decoder scales by up to 8 while decoding), so the last step is a small reduction of a small
  // picture, where a triangle filter looks as good as Lanczos at a third of the cost.
  // Enlarging: Mitchell, as ImageMagick's -resize does.
  const bool reducing = fitWidth < width;
  return MagickResizeImage(wand, static_cast<size_t>(fitWidth), static_cast<size_t>(fitHeight),
                           reducing ? TriangleFilter : MitchellFilter, 1.0) != MagickFalse;
}

// Degrees in 0..359, for every 32-bit value.
int NormalisedDegrees(int rotation) {
  const int degrees = rotation % 360;
  return degrees < 0 ? degrees + 360 : degrees;
}

ConversionOutcome Compose(const Request& request, RgbImage& image,
                          std::vector<std::uint8_t>& jpeg) {
  static std::once_flag started;
  std::call_once(started, StartMagick);

  Wand picture(NewMagickWand());
  Pixel white(NewPixelWand());
  if (!picture || !white) return Failure(kEOutOfMemory, "ImageMagick couldn't start");
  PixelSetColor(white.get(), "white");

  if (MagickConstituteImage(picture.get(), static_cast<size_t>(image.width),
                            static_cast<size_t>(image.height), "RGB", CharPixel,
                            image.rgb.data()) == MagickFalse) {
    return MagickFailure(picture.get());
  }
  image = RgbImage{};  // the decoded pixels are ImageMagick's now

  // -resize BOX: fit into the box, enlarging small previews as well.
  if (!FitWithin(picture.get(), request.boxWidth, request.boxHeight, true))
    return MagickFailure(picture.get());

  // -rotate DEGREES, clockwise. A quarter turn was allowed for by the exchanged box; any other
  // angle grows the picture, which is then fitted back into the canvas.
  const int degrees = NormalisedDegrees(request.rotation);
  if (degrees != 0) {
    if (MagickRotateImage(picture.get(), white.get(), degrees) == MagickFalse)
      return MagickFailure(picture.get());
    if (!FitWithin(picture.get(), request.canvasWidth, request.canvasHeight, false))
      return MagickFailure(picture.get());
  }

  // -gravity center -size CANVAS xc:white: the picture centred on a white canvas.
  Wand canvas(NewMagickWand());
  if (!canvas) return Failure(kEOutOfMemory, "ImageMagick couldn't start");
  if (MagickNewImage(canvas.get(), static_cast<size_t>(request.canvasWidth),
                     static_cast<size_t>(request.canvasHeight), white.get()) == MagickFalse) {
    return MagickFailure(canvas.get());
  }
  const auto width = static_cast<ssize_t>(MagickGetImageWidth(picture.get()));
  const auto height = static_cast<ssize_t>(MagickGetImageHeight(picture.get()));
  if (MagickCompositeImage(canvas.get(), picture.get(), OverCompositeOp,
                           (request.canvasWidth - width) / 2,
                           (request.canvasHeight - height) / 2) == MagickFalse) {
    return MagickFailure(canvas.get());
  }
  picture.reset();

  MagickSetType(canvas.get(), TrueColorType);
  if (MagickSetImageType(canvas.get(), TrueColorType) == MagickFalse ||
      MagickSetImageFormat(canvas.get(), "JPEG") == MagickFalse ||
      MagickSetImageCompressionQuality(canvas.get(), kJpegQuality) == MagickFalse) {
    return MagickFailure(canvas.get());
  }
  size_t length = 0;
  unsigned char* blob = MagickGetImageBlob(canvas.get(), &length);
  if (blob == nullptr || length == 0) {
    if (blob != nullptr) MagickRelinquishMemory(blob);
    return MagickFailure(canvas.get());
  }
  try {
    jpeg.assign(blob, blob + length);
  } catch (const std::bad_alloc&) {
    MagickRelinquishMemory(blob);
    return Failure(kEOutOfMemory, "ImageMagick couldn't convert the thumbnail");
  }
  MagickRelinquishMemory(blob);
  return {};
}

// Writes the JPEG at `path`, never through a link. The output is normally a temporary file
// created empty, which is not truncated again: on ext4 a truncated file is flushed to disk
// when it is closed, a needless disk write for a file that is removed a moment later.
ConversionOutcome WriteOutput(const char* path, const std::vector<std::uint8_t>& jpeg) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Failure(FromErrno(errno), "Couldn't write the converted JPEG");
  struct stat info;
  if ((fstat(fd, &info) != 0 || info.st_size != 0) && ftruncate(fd, 0) != 0) {
    const int error = errno;
    close(fd);
    return Failure(FromErrno(error), "Couldn't write the converted JPEG");
  }
  std::size_t done = 0;
  while (done < jpeg.size()) {
    const ssize_t wrote = write(fd, jpeg.data() + done, jpeg.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      const int error = wrote < 0 ? errno : ENOSPC;
      close(fd);
      return Failure(FromErrno(error), "Couldn't write the converted JPEG");
    }
    done += static_cast<std::size_t>(wrote);
  }
  if (close(fd) != 0) return Failure(FromErrno(errno), "Couldn't write the converted JPEG");
  return {};
}

}  // namespace

ConversionOutcome RunImageConverter(const ConvertArguments& arguments) {
  Request request;
  ConversionOutcome outcome = ParseArguments(arguments, request);
  if (Failed(outcome.hr)) return outcome;
  RgbImage image;
  outcome = ReadThumbnail(request, image);
  if (Failed(outcome.hr)) return outcome;
  std::vector<std::uint8_t> jpeg;
  outcome = Compose(request, image, jpeg);
  if (Failed(outcome.hr)) return outcome;
  return WriteOutput(request.output, jpeg);
}
}  // namespace vantrel::platform
