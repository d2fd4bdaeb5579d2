#include "parsers/tiff.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace vantrel {
namespace {

enum : std::uint32_t {
  kTagImageWidth = 256,
  kTagImageLength = 257,
  kTagBitsPerSample = 258,
  kTagMake = 271,
  kTagModel = 272,
  kTagStripOffsets = 273,
  kTagStripByteCounts = 279,
  kTagSubIfds = 330,
  kTagJpegOffset = 513,
  kTagJpegLength = 514,
  kTagExifIfd = 34665,
  kTagMakerNote = 37500,
  kTagMinoltaThumbnail = 129,
  kTagMinoltaThumbnail2 = 136,
  kTypeShort = 3,
};

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// One walk of a TIFF structure, with its bounds. An IFD is walked again wherever the
// structure points at it once more, except where that would close a loop: the chain ends at an
// IFD that it has walked already, and a SubIFD list skips the IFDs that it descends from.
// Depth and the work budget bound what is left, such as lists that fan out over and over.
// Whatever lies past the end of the file reads as 0xFF bytes, so an entry there has tag 0xFFFF,
// which nothing acts on, and a value that stays in place: the rest of such a directory is
// skipped, an IFD that starts there is not walked, and the chain ends at it.
class TiffWalk {
 public:
  TiffWalk(ParseState& state, std::int32_t base) : s_(state), base_(base) {}

  // Walks the IFD chain whose first offset the stream stands at.
  void WalkChain();
  // Walks the IFD at the stream's position as the top of a descent.
  void WalkTopIfd();

  void ParseTiffIfd(int depth);
  void ParseExifIfd();
  void ParseMinoltaMakerNote();

 private:
  bool Spend() { return budget_-- > 0; }
  bool PastTheEnd(std::int32_t at) const { return at >= s_.fileSize; }

  struct Entry {
    std::int32_t start;
    std::uint32_t tag;
    std::uint32_t type;
    std::uint32_t count;
  };
  // Reads the 12-byte entry at the stream's position and moves to its value; false when the
  // entry starts past the end of the file.
  bool ReadEntry(Entry& entry) {
    entry.start = TellPosition(s_.rawFile);
    if (PastTheEnd(entry.start)) return false;
    entry.tag = ReadU16(s_);
    entry.type = ReadU16(s_);
    entry.count = ReadU32(s_);
    SkipToTagValue(s_, base_, entry.type, entry.count);
    return true;
  }
  void ReadText(char (&field)[kTextChars], std::uint32_t count);
  void FollowSubIfds(std::int32_t valueAt, std::uint32_t count, int depth);

  ParseState& s_;
  std::int32_t base_;
  int budget_ = kTiffWorkBudget;
  std::set<std::int32_t> chain_;    // IFDs of the chain walked so far
  std::vector<std::int32_t> path_;  // the IFD being walked and those it descends from
};

void TiffWalk::WalkChain() {
  std::uint32_t next = ReadU32(s_);
  while (next != 0) {
    SeekTo(s_.rawFile, AddOffsets(base_, next));
    const std::int32_t at = TellPosition(s_.rawFile);
    if (PastTheEnd(at) || !chain_.insert(at).second || !Spend()) return;
    WalkTopIfd();
    next = ReadU32(s_);
  }
}

void TiffWalk::WalkTopIfd() {
  path_.assign(1, TellPosition(s_.rawFile));
  ParseTiffIfd(0);
  path_.clear();
}

// Up to count - 1 bytes, stopping after a line feed or at the end of the file.
void TiffWalk::ReadText(char (&field)[kTextChars], std::uint32_t count) {
  const std::int32_t n = std::min<std::int32_t>(static_cast<std::int32_t>(count), kTextChars);
  if (n <= 0) return;
  char text[kTextChars];
  std::int32_t length = 0;
  while (length < n - 1) {
    const int c = std::fgetc(s_.rawFile);
    if (c == EOF) {
      if (length == 0) return;
      break;
    }
    text[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  std::memcpy(field, text, static_cast<std::size_t>(length));
  field[length] = '\0';
}

void TiffWalk::FollowSubIfds(std::int32_t valueAt, std::uint32_t count, int depth) {
  if (depth + 1 > kTiffMaxDepth) return;
  const auto items = static_cast<std::int32_t>(count);
  for (std::int32_t j = 0; j < items && Spend(); ++j) {
    SeekTo(s_.rawFile, AddOffsets(valueAt, 4 * static_cast<std::uint32_t>(j)));
    SeekTo(s_.rawFile, AddOffsets(base_, ReadU32(s_)));
    const std::int32_t at = TellPosition(s_.rawFile);
    if (PastTheEnd(at) || std::find(path_.begin(), path_.end(), at) != path_.end()) continue;
    path_.push_back(at);
    ParseTiffIfd(depth + 1);
    path_.pop_back();
  }
}

void TiffWalk::ParseTiffIfd(int depth) {
  const std::uint32_t entries = ReadU16(s_);
  for (std::uint32_t i = 0; i < entries && Spend(); ++i) {
    Entry entry;
    if (!ReadEntry(entry)) break;
    const std::uint32_t count = entry.count;
    const std::int32_t valueAt = TellPosition(s_.rawFile);
    const auto value =
        static_cast<std::int32_t>(entry.type == kTypeShort ? ReadU16(s_) : ReadU32(s_));
    SeekTo(s_.rawFile, valueAt);
    switch (entry.tag) {
      case kTagImageWidth:
        if (s_.thumbWidth == 0) s_.thumbWidth = value;
        break;
      case kTagImageLength:
        if (s_.thumbHeight == 0) s_.thumbHeight = value;
        break;
      case kTagBitsPerSample:
        if (s_.bitsPerSample == 0) {
          s_.bitsPerSample = value;
          if (count == 1) s_.planarRgb = 1;
        }
        break;
      case kTagMake:
        ReadText(s_.make, count);
        break;
      case kTagModel:
        ReadText(s_.model, count);
        break;
      case kTagStripOffsets:
        if (s_.stripOffset == 0) s_.stripOffset = value;
        break;
      case kTagStripByteCounts:
        if (StartsWith(s_.make, "KODAK") && s_.stripOffset > value) {
          s_.stripOffset = static_cast<std::int32_t>(static_cast<std::uint32_t>(s_.stripOffset) -
                                                     static_cast<std::uint32_t>(value));
        }
        break;
      case kTagSubIfds:
        FollowSubIfds(valueAt, count, depth);
        break;
      case kTagJpegOffset:
        s_.thumbOffset = value;
        break;
      case kTagJpegLength:
        s_.thumbLength = value;
        break;
      case kTagExifIfd:
        // The EXIF IFD leads nowhere further, so it cannot close a loop.
        SeekTo(s_.rawFile, AddOffsets(base_, ReadU32(s_)));
        if (!PastTheEnd(TellPosition(s_.rawFile)) && Spend()) ParseExifIfd();
        break;
      default:
        break;
    }
    SeekTo(s_.rawFile, AddOffsets(entry.start, 12));
  }
}

void TiffWalk::ParseExifIfd() {
  const std::uint32_t entries = ReadU16(s_);
  for (std::uint32_t i = 0; i < entries && Spend(); ++i) {
    Entry entry;
    if (!ReadEntry(entry)) break;
    if (entry.tag == kTagMakerNote && !StartsWith(s_.make, "NIKON") &&
        !StartsWith(s_.make, "OLYMPUS") && std::strstr(s_.make, "Minolta") != nullptr) {
      ParseMinoltaMakerNote();
    }
    SeekTo(s_.rawFile, AddOffsets(entry.start, 12));
  }
}

void TiffWalk::ParseMinoltaMakerNote() {
  const std::uint32_t entries = ReadU16(s_);
  for (std::uint32_t i = 0; i < entries && Spend(); ++i) {
    if (PastTheEnd(TellPosition(s_.rawFile))) break;
    const std::uint32_t tag = ReadU16(s_);
    ReadU16(s_);  // type
    ReadU32(s_);  // count
    const std::uint32_t value = ReadU32(s_);
    if (tag == kTagMinoltaThumbnail || tag == kTagMinoltaThumbnail2)
      s_.thumbOffset = AddOffsets(base_, value);
  }
}

}  // namespace

HResult ParseTiff(ParseState& state, std::int32_t base) {
  state.thumbWidth = state.thumbHeight = state.stripOffset = state.bitsPerSample = 0;
  TiffWalk walk(state, base);

  SeekTo(state.rawFile, base);
  state.byteOrder = static_cast<std::uint16_t>(ReadU16(state));
  ReadU16(state);  // the magic number, 42 in true TIFF files, is not checked
  walk.WalkChain();

  if (!StartsWith(state.make, "KODAK")) state.planarRgb = 0;
  if (StartsWith(state.make, "Kodak")) {
    SeekTo(state.rawFile, AddOffsets(base, 12));
    walk.WalkTopIfd();
  }
  int layers = 3;
  if (StartsWith(state.model, "DCS460A")) {
    layers = 1;
    state.planarRgb = 0;
  }
  if (state.thumbLength != 0) return kSOk;

  // No stored preview: the strip pixels are the thumbnail.
  const std::uint32_t bits = static_cast<std::uint32_t>(state.bitsPerSample) % 32;
  const auto maxval = static_cast<std::int32_t>((std::uint32_t{1} << bits) - 1);
  state.thumbOffset = state.stripOffset;
  std::snprintf(state.thumbHead, sizeof state.thumbHead, "P%d %d %d %d\n", layers == 1 ? 5 : 6,
                state.thumbWidth, state.thumbHeight, maxval);
  const auto bitsRoundedUp =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(state.bitsPerSample) + 7);
  const auto bytesPerSample = static_cast<std::uint32_t>(bitsRoundedUp / 8);
  state.thumbLength = static_cast<std::int32_t>(
      bytesPerSample * static_cast<std::uint32_t>(state.thumbHeight) *
      static_cast<std::uint32_t>(layers) * static_cast<std::uint32_t>(state.thumbWidth));
  return kSOk;
}

}  // namespace vantrel
