#include "core/parse_state.h"

#include <climits>

namespace vantrel {
namespace {

std::uint32_t ReadByte(std::FILE* file) {
  const int c = std::fgetc(file);
  return c == EOF ? 0xFFu : static_cast<std::uint32_t>(c);
}

// Element sizes of the TIFF field types 0 to 12; type 0 and every type above 12 count 1 byte.
constexpr std::uint32_t kFieldTypeSize[13] = {1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

}  // namespace

std::uint32_t ReadU16(ParseState& state) {
  const std::uint32_t b0 = ReadByte(state.rawFile);
  const std::uint32_t b1 = ReadByte(state.rawFile);
  return state.byteOrder == kLittleEndian ? b0 | (b1 << 8) : (b0 << 8) | b1;
}

std::uint32_t ReadU32(ParseState& state) {
  const std::uint32_t b0 = ReadByte(state.rawFile);
  const std::uint32_t b1 = ReadByte(state.rawFile);
  const std::uint32_t b2 = ReadByte(state.rawFile);
  const std::uint32_t b3 = ReadByte(state.rawFile);
  if (state.byteOrder == kLittleEndian) return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

HResult SkipToTagValue(ParseState& state, std::int32_t base, std::uint32_t type,
                       std::uint32_t count) {
  const std::uint32_t size = type < 13 ? kFieldTypeSize[type] : kFieldTypeSize[0];
  const auto bytes = static_cast<std::int32_t>(size * count);
  if (bytes > 4) SeekTo(state.rawFile, AddOffsets(base, ReadU32(state)));
  return kSOk;
}

bool SeekTo(std::FILE* file, std::int32_t position) {
  if (position < 0) return false;
  return std::fseek(file, static_cast<long>(position), SEEK_SET) == 0;
}

std::int32_t TellPosition(std::FILE* file) {
  const long position = std::ftell(file);
  if (position < 0) return 0;
  return position > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(position);
}

}  // namespace vantrel
