// Rendering: the thumbnail file fitted into the requested size by the ImageMagick component,
// then loaded as a bitmap.
#pragma once

#include <string>

#include "core/parse_state.h"
#include "platform/bitmap.h"
#include "platform/image_converter.h"

namespace vantrel {

// The 11 arguments: "-resize", the box, "-rotate", the rotation, the input, "-gravity",
// "center", "-size", the canvas, "xc:white", the output. The box is exchanged (height x width)
// only for a rotation of exactly 90 or 270; the canvas never is.
platform::ConvertArguments MakeConvertArguments(const ParseState& state, const char* inPath,
                                                const char* outPath);

// Runs the component from `inPath` to `outPath` and reports its failures: "Couldn't access
// ImageMagickObject" (E_UNEXPECTED, returned), or "%s\n%s" with the error's description and
// text (E_UNEXPECTED in the report, the error's own code returned).
HResult ConvertThumbnail(const ParseState& state, const char* inPath, const char* outPath);

// The error text of a failed conversion: the system's text, else "IDispatch error #%d" for
// codes 0x80040201 to 0x8004FFFF (but 0x....0200), else "Unknown error 0x%0lX".
std::string ConversionErrorText(HResult hr);

// Loads the JPEG at `path` into `out` (written only on success).
HResult LoadThumbnailBitmap(const char* path, platform::Bitmap& out);

// Converts `state.thumbPath` into a temporary JPEG, loads it into `out` and removes both
// files on every path.
HResult RenderThumbnail(ParseState& state, platform::Bitmap& out);

}  // namespace vantrel
