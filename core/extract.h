// The thumbnail extraction driver: recognises a raw file, lets its container parser fill the
// ParseState and writes the thumbnail file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

#include "core/parse_state.h"

namespace vantrel {

enum class ThumbnailWriter { kCopy, kRollei, kFoveon, kKodakYuv };

// "copy", "rollei", "foveon" or "kodak-yuv".
const char* WriterName(ThumbnailWriter writer);

// Which writer turns the parsed preview into the thumbnail file.
ThumbnailWriter ChooseWriter(const ParseState& state);

// Opens the raw file, recognises it, runs its parser and applies the model rules. On success
// `rawFile` stays open for the caller (close it with CloseRawFile); on failure it is closed and
// the failure has been reported.
HResult ParseRawFile(ParseState& state, const char* sourcePath);

// As ParseRawFile, over a stream the caller opened; the driver owns it from here on.
HResult ParseRawStream(ParseState& state, std::FILE* raw);

void CloseRawFile(ParseState& state);

// Interleaves three planes of n / 3 bytes into pixels: byte r of plane p becomes component p
// of pixel r. With n not a multiple of 3 the trailing bytes land where the same rule puts
// them; data too short to hold three planes is copied unchanged.
void InterleavePlanes(const unsigned char* planes, unsigned char* pixels, std::size_t n);

// Writes the thumbnail file of `sourcePath` to `thumbPath`. After a failure that comes once
// the thumbnail file was created, a partial file may remain; removing it is the caller's job.
HResult ExtractThumbnail(ParseState& state, const char* sourcePath, const char* thumbPath);

// The rest of an extraction after a successful ParseRawFile/ParseRawStream: creates the
// output with `createOutput` (null means it could not be created) and writes the thumbnail
// file. Both streams are closed on every path.
HResult WriteThumbnailFile(ParseState& state, const std::function<std::FILE*()>& createOutput);

}  // namespace vantrel
