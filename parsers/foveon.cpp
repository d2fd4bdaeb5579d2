#include "parsers/foveon.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/report.h"

namespace vantrel {
namespace {

// Directory markers: four ASCII characters, as little-endian words.
constexpr std::uint32_t kMarkerCamf = 0x464D4143;  // "CAMF"
constexpr std::uint32_t kMarkerImag = 0x47414D49;  // "IMAG"
constexpr std::uint32_t kMarkerIma2 = 0x32414D49;  // "IMA2"

constexpr std::int32_t kVersionAt = 4;
constexpr std::int32_t kRotationAt = 36;

// Reads the words at the stream's position, four bytes apart, until one is `marker`; the
// stream then stands at the word after it. A word that is not the marker, read at or past the
// end of the file, ends the search with false.
bool FindMarker(ParseState& state, std::uint32_t marker) {
  for (;;) {
    if (ReadU32(state) == marker) return true;
    if (std::feof(state.rawFile) || std::ferror(state.rawFile)) return false;
  }
}

// Name and value pairs, each ended by a NUL, until an empty name or the end of the text. A
// name or value whose NUL is missing (a list cut short) ends the walk and is not used.
void ReadProperties(ParseState& state, const char* text, std::size_t length) {
  static const char kMake[] = "CAMMANUF";
  static const char kModel[] = "CAMMODEL";
  std::size_t at = 0;
  while (at < length && text[at] != '\0') {
    const char* name = text + at;
    const void* nameEnd = std::memchr(name, '\0', length - at);
    if (nameEnd == nullptr) return;
    at = static_cast<std::size_t>(static_cast<const char*>(nameEnd) - text) + 1;
    const char* value = text + at;
    const void* valueEnd = at < length ? std::memchr(value, '\0', length - at) : nullptr;
    if (valueEnd == nullptr) return;
    at = static_cast<std::size_t>(static_cast<const char*>(valueEnd) - text) + 1;
    // Both comparisons include the name's NUL: the name must be exactly the word.
    if (std::strcmp(name, kMake) == 0) SetText(state.make, value);
    if (std::strcmp(name, kModel) == 0) SetText(state.model, value);
  }
}

// The property list at `list`, whose text runs from after its index up to the directory.
HResult ParsePropertyList(ParseState& state, std::int32_t list, std::int32_t directory) {
  SeekTo(state.rawFile, AddOffsets(list, 8));
  const std::uint32_t entries = ReadU32(state);
  const std::int32_t textAt = AddOffsets(list, 24 + 8 * entries);
  SeekTo(state.rawFile, textAt);
  const auto span = static_cast<std::int32_t>(static_cast<std::uint32_t>(directory) -
                                              static_cast<std::uint32_t>(textAt));
  const std::int32_t characters = span / 2;
  // Two bytes a character: a well-formed list fits in its file many times over. A larger
  // count can only come from a crafted file, and is refused like a failed allocation rather
  // than holding up to a gigabyte for it.
  const bool fits = characters >= 0 && characters <= state.fileSize / 2;
  std::unique_ptr<char[]> text(
      fits ? new (std::nothrow) char[static_cast<std::size_t>(characters) + 1] : nullptr);
  if (!text) {
    ReportError(kEOutOfMemory, "Couldn't allocate memory for ParseFaveon");
    return kEOutOfMemory;
  }
  for (std::int32_t i = 0; i < characters; ++i) {
    const int low = std::fgetc(state.rawFile);
    std::fgetc(state.rawFile);  // the high byte is not used
    text[i] = static_cast<char>(low == EOF ? 0xFF : low);
  }
  ReadProperties(state, text.get(), static_cast<std::size_t>(characters));
  return kSOk;
}

}  // namespace

HResult ParseFaveon(ParseState& state) {
  state.byteOrder = kLittleEndian;
  SeekTo(state.rawFile, kVersionAt);
  state.foveonVersion = static_cast<std::int32_t>(ReadU32(state));
  SeekTo(state.rawFile, kRotationAt);
  state.rotation = static_cast<std::int32_t>(ReadU32(state));
  SeekTo(state.rawFile, AddOffsets(state.fileSize, static_cast<std::uint32_t>(-4)));
  const auto directory = static_cast<std::int32_t>(ReadU32(state));

  // The word after a marker in the directory is the offset of the section wanted.
  SeekTo(state.rawFile, directory);
  if (!FindMarker(state, kMarkerCamf)) return kSOk;  // no property list: no make or model
  const auto list = static_cast<std::int32_t>(ReadU32(state));
  const HResult hr = ParsePropertyList(state, list, directory);
  if (Failed(hr)) return hr;

  const bool storedRgb = state.foveonVersion == kFoveonStoredRgbVersion;
  SeekTo(state.rawFile, directory);
  if (!FindMarker(state, storedRgb ? kMarkerImag : kMarkerIma2)) return kENotImpl;
  const auto image = static_cast<std::int32_t>(ReadU32(state));
  SeekTo(state.rawFile, AddOffsets(image, 16));
  const auto width = static_cast<std::int32_t>(ReadU32(state));
  const auto height = static_cast<std::int32_t>(ReadU32(state));
  const auto rowLength = static_cast<std::int32_t>(ReadU32(state));
  state.thumbHeight = height;
  if (storedRgb) {
    // The rows are copied whole, padding and all: the width follows from the row length.
    state.thumbWidth = rowLength / 3;
    std::snprintf(state.thumbHead, sizeof state.thumbHead, "P6 %d %d 255\n", state.thumbWidth,
                  state.thumbHeight);
  } else {
    state.thumbWidth = width;
    state.rowPadding = static_cast<std::int32_t>(static_cast<std::uint32_t>(rowLength) -
                                                 3 * static_cast<std::uint32_t>(width));
  }
  state.thumbOffset = TellPosition(state.rawFile);
  state.thumbLength = static_cast<std::int32_t>(3 * static_cast<std::uint32_t>(state.thumbWidth) *
                                                static_cast<std::uint32_t>(state.thumbHeight));
  return kSOk;
}

}  // namespace vantrel
