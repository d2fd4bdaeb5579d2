// Writing a decoded bitmap as a picture file, for the command line.
#pragma once

#include <string>

#include "platform/bitmap.h"

namespace vantrel::platform {

enum class ImageFileType { kPng, kJpeg };

// Writes the pixels of `bitmap` (`rgb` filled, see ReadBitmapPixels) to `path` as an 8-bit RGB
// PNG or a JPEG. On failure returns false with `error` telling why; a partly written file may
// remain, which the caller removes.
bool WriteImageFile(const char* path, const Bitmap& bitmap, ImageFileType type, std::string& error);

}  // namespace vantrel::platform
