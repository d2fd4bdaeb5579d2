// The thumbnail extraction driver: recognises a raw file, lets its container parser fill the
// ParseState and writes the thumbnail file.
#pragma once

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

void CloseRawFile(ParseState& state);

// Writes the thumbnail file of `sourcePath` to `thumbPath`. After a failure that comes once
// the thumbnail file was created, a partial file may remain; removing it is the caller's job.
HResult ExtractThumbnail(ParseState& state, const char* sourcePath, const char* thumbPath);

}  // namespace vantrel
