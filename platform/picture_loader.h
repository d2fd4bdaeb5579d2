// Loading the converted JPEG as a bitmap.
#pragma once

#include "core/hresult.h"
#include "platform/bitmap.h"

namespace vantrel::platform {

// Reads the JPEG at `path` whole into one block of exactly its size and decodes it from
// memory into `out`. Every failure is reported (ReportError) with its own message:
//   "Couldn't open Image File."                     E_UNEXPECTED
//   "Couldn't allocate memory to load image file."  E_OUTOFMEMORY
//   "Couldn't create a stream on HGLOBAL"           the stream's code (Windows)
//   "OLE Load picture failed"                       the decoder's code
//   "IPicture.get_Handle failed."                   the picture's code (Windows)
// `out` is written only on success.
HResult LoadPicture(const char* path, Bitmap& out);

}  // namespace vantrel::platform
