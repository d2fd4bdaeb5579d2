#include "parsers/ciff.h"

#include <cstdio>
#include <cstring>

namespace vantrel {
namespace {

enum : std::uint32_t {
  kTagMakeModel = 0x080A,
  kTagJpegImage = 0x2007,
  kTagImageInfo = 0x1810,
  kHeapTagHigh1 = 0x28,
  kHeapTagHigh2 = 0x30,
};

// The make and the model each come from a 64-byte read at their start.
constexpr std::size_t kMakeModelRead = 64;

// One walk of a CIFF tree, with its bounds.
class CiffWalk {
 public:
  explicit CiffWalk(ParseState& state) : s_(state) {}

  void Heap(std::int32_t start, std::int32_t length, std::int32_t depth);

 private:
  bool Spend() { return budget_-- > 0; }
  void ReadText(char (&field)[kTextChars]);
  void ReadMakeModel(std::int32_t at);

  ParseState& s_;
  int budget_ = kCiffWorkBudget;
};

// 64 bytes from the stream into the field. Bytes past the end of the file are zeros, as in any
// block read. A text with no NUL in its 64 bytes ends there: the field is terminated right
// after them.
void CiffWalk::ReadText(char (&field)[kTextChars]) {
  const std::size_t got = std::fread(field, 1, kMakeModelRead, s_.rawFile);
  std::memset(field + got, 0, kMakeModelRead - got);
  field[kMakeModelRead] = '\0';
}

// The make's text, its NUL, then the model's text: the model is read from the byte after the
// make's end.
void CiffWalk::ReadMakeModel(std::int32_t at) {
  SeekTo(s_.rawFile, at);
  ReadText(s_.make);
  const auto makeLength = static_cast<std::uint32_t>(std::strlen(s_.make));
  SeekTo(s_.rawFile, AddOffsets(at, makeLength + 1));
  ReadText(s_.model);
}

void CiffWalk::Heap(std::int32_t start, std::int32_t length, std::int32_t depth) {
  if (!Spend()) return;
  // The directory offset is the heap's last word, relative to the heap's start.
  SeekTo(s_.rawFile, AddOffsets(start, static_cast<std::uint32_t>(length) - 4));
  SeekTo(s_.rawFile, AddOffsets(start, ReadU32(s_)));
  const std::uint32_t entries = ReadU16(s_);
  for (std::uint32_t i = 0; i < entries && Spend(); ++i) {
    const std::uint32_t tag = ReadU16(s_);
    const std::uint32_t size = ReadU32(s_);
    const std::int32_t valueAt = AddOffsets(start, ReadU32(s_));
    // Only the entries acted on move the stream; they come back to the next entry.
    const std::int32_t next = TellPosition(s_.rawFile);
    if (tag == kTagMakeModel) {
      ReadMakeModel(valueAt);
    } else if (tag == kTagJpegImage) {
      s_.thumbOffset = valueAt;
      s_.thumbLength = static_cast<std::int32_t>(size);
      continue;
    } else if (tag == kTagImageInfo) {
      SeekTo(s_.rawFile, valueAt);
      for (int word = 0; word < 3; ++word) ReadU32(s_);
      s_.rotation = static_cast<std::int32_t>(ReadU32(s_));
    } else if ((tag >> 8) == kHeapTagHigh1 || (tag >> 8) == kHeapTagHigh2) {
      // A heap nested deeper than any real file, as one that contains itself would be, is
      // passed over.
      if (depth < kCiffMaxDepth) Heap(valueAt, static_cast<std::int32_t>(size), depth + 1);
    } else {
      continue;
    }
    SeekTo(s_.rawFile, next);
  }
}

}  // namespace

HResult ParseCiff(ParseState& state, std::int32_t heapStart, std::int32_t heapLength,
                  std::int32_t depth) {
  CiffWalk(state).Heap(heapStart, heapLength, depth);
  return kSOk;
}

}  // namespace vantrel
