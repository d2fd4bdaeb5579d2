// The extraction state of one extractor object, and the byte-order readers that every
// container parser uses on the open raw file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/hresult.h"

namespace vantrel {

inline constexpr int kPathChars = 260;  // paths: at most 259 characters and a NUL
inline constexpr int kTextChars = 128;  // make, model, thumbnail header: 127 and a NUL

inline constexpr std::uint16_t kLittleEndian = 0x4949;  // "II"
inline constexpr std::uint16_t kBigEndian = 0x4D4D;     // "MM"

// Everything is zero (texts empty) when the state is made, so that fields read before any
// parser wrote them have defined values.
struct ParseState {
  char sourcePath[kPathChars] = {};
  char thumbPath[kPathChars] = {};
  std::int32_t requestWidth = 0;
  std::int32_t requestHeight = 0;
  std::int32_t rotation = 0;
  bool stampIsNow = false;
  std::int32_t fileSize = 0;
  std::FILE* rawFile = nullptr;
  char make[kTextChars] = {};
  char model[kTextChars] = {};
  char thumbHead[kTextChars] = {};
  std::int32_t thumbOffset = 0;
  std::int32_t thumbLength = 0;
  std::int32_t planarRgb = 0;
  std::int32_t thumbWidth = 0;
  std::int32_t thumbHeight = 0;
  std::int32_t stripOffset = 0;
  std::int32_t bitsPerSample = 0;
  std::uint16_t byteOrder = 0;
  std::int32_t rowPadding = 0;
  std::int32_t foveonVersion = 0;
};

// Reads two bytes of `rawFile` in the byte order in force; a byte past the end counts as 0xFF.
std::uint32_t ReadU16(ParseState& state);
// Reads four bytes of `rawFile` in the byte order in force; a byte past the end counts as 0xFF.
std::uint32_t ReadU32(ParseState& state);

// Called with the stream at the 4-byte value field of a 12-byte directory entry whose type and
// count were just read: follows the stored offset (relative to `base`) when the value does not
// fit in the field. Always S_OK.
HResult SkipToTagValue(ParseState& state, std::int32_t base, std::uint32_t type,
                       std::uint32_t count);

// Moves `file` to the absolute position `position`. A negative position fails and leaves the
// stream where it was; a position past the end succeeds.
bool SeekTo(std::FILE* file, std::int32_t position);

// The current position as a 32-bit file offset.
std::int32_t TellPosition(std::FILE* file);

// 32-bit wrapping sum of two file offsets, taken as a signed position.
inline std::int32_t AddOffsets(std::int32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + b);
}

// Sets a text field from a C string, cut to fit with its NUL.
template <std::size_t N>
void SetText(char (&field)[N], const char* text) {
  std::size_t i = 0;
  for (; i + 1 < N && text[i] != '\0'; ++i) field[i] = text[i];
  field[i] = '\0';
}

}  // namespace vantrel
