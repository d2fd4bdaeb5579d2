#include "render/render.h"

#include <cstdint>
#include <cstdio>

#include "core/report.h"
#include "platform/picture_loader.h"
#include "platform/temp_files.h"
#include "render/observer.h"
#include "shellext/extractor.h"

namespace vantrel {
namespace {

// First line of a conversion failure whose error carries no description of its own.
const char kNoDescription[] = "ImageMagick conversion failed";

std::string Geometry(std::int32_t width, std::int32_t height) {
  char text[32];
  std::snprintf(text, sizeof text, "%dx%d", static_cast<int>(width), static_cast<int>(height));
  return text;
}

}  // namespace

platform::ConvertArguments MakeConvertArguments(const ParseState& state, const char* inPath,
                                                const char* outPath) {
  const bool quarterTurn = state.rotation == 90 || state.rotation == 270;
  char rotation[16];
  std::snprintf(rotation, sizeof rotation, "%d", static_cast<int>(state.rotation));
  return {"-resize",
          quarterTurn ? Geometry(state.requestHeight, state.requestWidth)
                      : Geometry(state.requestWidth, state.requestHeight),
          "-rotate",
          rotation,
          inPath,
          "-gravity",
          "center",
          "-size",
          Geometry(state.requestWidth, state.requestHeight),
          "xc:white",
          outPath};
}

std::string ConversionErrorText(HResult hr) {
  std::string text = platform::SystemErrorText(hr);
  if (!text.empty()) return text;
  const auto code = static_cast<std::uint32_t>(hr);
  const std::uint32_t low = code & 0xFFFF;
  char buffer[32];
  if (code >= 0x80040200u && code <= 0x8004FFFFu && low != 0x0200) {
    std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>(low - 0x200));
  } else {
    std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  }
  return buffer;
}

HResult ConvertThumbnail(const ParseState& state, const char* inPath, const char* outPath) {
  const platform::ConvertArguments arguments = MakeConvertArguments(state, inPath, outPath);
  NotifyConvertArguments(arguments);
  const platform::ConversionOutcome outcome = platform::RunImageConverter(arguments);
  if (outcome.noInterface) {
    ReportError(kEUnexpected, "Couldn't access ImageMagickObject");
    return kEUnexpected;
  }
  if (Succeeded(outcome.hr)) return kSOk;
  const std::string message =
      (outcome.description.empty() ? std::string(kNoDescription) : outcome.description) + "\n" +
      (outcome.errorText.empty() ? ConversionErrorText(outcome.hr) : outcome.errorText);
  ReportError(kEUnexpected, message.c_str());
  return outcome.hr;
}

HResult LoadThumbnailBitmap(const char* path, platform::Bitmap& out) {
  return platform::LoadPicture(path, out);
}

HResult RenderThumbnail(ParseState& state, platform::Bitmap& out) {
  out = platform::Bitmap{};
  char jpgPath[kPathChars] = {};
  HResult hr;
  if (!platform::MakeTempName(kTempPrefix, ".jpg", jpgPath)) {
    // No name for the converted picture: nothing can be written, so say so as for the
    // thumbnail file.
    jpgPath[0] = '\0';
    ReportError(kEUnexpected, "Couldn't create output file.");
    hr = kEUnexpected;
  } else {
    NotifyTempPath("jpeg-file", jpgPath);
    hr = ConvertThumbnail(state, state.thumbPath, jpgPath);
    if (hr == kSOk) hr = LoadThumbnailBitmap(jpgPath, out);
  }
  std::remove(state.thumbPath);
  if (jpgPath[0] != '\0') std::remove(jpgPath);
  return hr;
}

}  // namespace vantrel
