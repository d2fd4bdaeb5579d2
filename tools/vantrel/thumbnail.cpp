// `vantrel thumbnail`: the whole road that a file manager takes, from the raw file to a picture
// of the requested size.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/image_writer.h"
#include "render/limits.h"
#include "render/observer.h"
#include "shellext/extractor.h"
#include "tools/vantrel/commands.h"

namespace vantrel::cli {
namespace {

constexpr int kDefaultSize = 256;

struct Options {
  int width = kDefaultSize;
  int height = kDefaultSize;
  bool verbose = false;
  std::string raw;
  std::string out;
};

// Prints what the road does with -v.
class VerboseObserver : public RenderObserver {
 public:
  explicit VerboseObserver(std::FILE* stream) : stream_(stream) {}
  void OnTempPath(const char* role, const char* path) override {
    std::fprintf(stream_, "%s: %s\n", role, path);
  }
  void OnConvertArguments(const platform::ConvertArguments& arguments) override {
    for (std::size_t i = 0; i < arguments.size(); ++i)
      std::fprintf(stream_, "convert-arg[%zu]: %s\n", i, arguments[i].c_str());
  }

 private:
  std::FILE* stream_;
};

bool ParseSide(const std::string& text, int& side) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxThumbnailSide) return false;
  side = value;
  return true;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[text.size() - n + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
  }
  return true;
}

int RunThumbnail(const Options& options, Console console) {
  StderrReports reports(console);
  VerboseObserver observer(console.err);
  ScopedRenderObserver observing(options.verbose ? &observer : nullptr);

  Extractor extractor;
  extractor.Load(options.raw.c_str());
  std::uint32_t flags = 0;
  extractor.GetLocation(options.width, options.height, flags);
  platform::Bitmap bitmap;
  const HResult hr = extractor.Extract(bitmap);
  if (Failed(hr)) {
    std::remove(options.out.c_str());
    reports.Finish(hr);
    return kExitFailure;
  }
  const char* out = options.out.c_str();
  std::string error = "the bitmap holds no pixels";
  const platform::ImageFileType type =
      EndsWith(options.out, ".jpg") || EndsWith(options.out, ".jpeg")
          ? platform::ImageFileType::kJpeg
          : platform::ImageFileType::kPng;
  const bool written =
      platform::ReadBitmapPixels(bitmap) && platform::WriteImageFile(out, bitmap, type, error);
  platform::ReleaseNativeBitmap(bitmap);
  if (!written) {
    std::remove(out);
    std::fprintf(console.err, "vantrel: cannot write %s: %s\n", out, error.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int ParseThumbnail(const Command& self, const std::vector<std::string>& args, Console console) {
  Options options;
  bool sized = false, widthGiven = false, heightGiven = false;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    int* side = nullptr;
    if (arg == "-s" || arg == "--size") {
      sized = true;
      side = &options.width;
    } else if (arg == "--width") {
      widthGiven = true;
      side = &options.width;
    } else if (arg == "--height") {
      heightGiven = true;
      side = &options.height;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
      continue;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return CommandUsageError(self, console, "unknown option '" + arg + "'");
    } else {
      positional.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size()) return CommandUsageError(self, console, arg + " needs a value");
    if (!ParseSide(args[++i], *side)) {
      return CommandUsageError(self, console,
                               arg + " takes a whole number from 1 to " +
                                   std::to_string(kMaxThumbnailSide) + ", not '" + args[i] + "'");
    }
    if (sized) options.height = options.width;
  }
  if (sized && (widthGiven || heightGiven))
    return CommandUsageError(self, console, "-s cannot be combined with --width or --height");
  if (widthGiven != heightGiven)
    return CommandUsageError(self, console, "--width and --height go together");
  if (positional.size() != 2) return CommandUsageError(self, console, "wrong number of arguments");
  options.raw = positional[0];
  options.out = positional[1];
  return RunThumbnail(options, console);
}

int Unused(const std::vector<std::string>&, Console) { return kExitUsage; }

const Command kThumbnail = {
    "thumbnail",
    "RAW OUT",
    "write RAW's thumbnail, fitted on a white canvas, to OUT (PNG)",
    "Runs the whole thumbnail road on RAW: extracts the camera's preview, fits it into the\n"
    "requested size (rotated as the camera says) on a white canvas and writes the picture to\n"
    "OUT as a PNG, or as a JPEG when OUT ends in .jpg. On failure OUT is removed.\n"
    "\n"
    "  -s, --size SIZE        a square of SIZE x SIZE pixels (default 256)\n"
    "  --width W --height H   a box of W x H pixels\n"
    "  -v, --verbose          print the converter's arguments and the temporary files\n",
    "[-s SIZE | --width W --height H] [-v]",
    2,
    2,
    Unused,
    ParseThumbnail};

}  // namespace

const Command* ThumbnailCommand() { return &kThumbnail; }

}  // namespace vantrel::cli
