#include <gtest/gtest.h>

#include <string>

#include "core/parse_state.h"
#include "parsers/tiff.h"
#include "tests/fixtures/tiff_builder.h"
#include "tests/support/raw_file.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::ByteWriter;
using fixtures::Endian;
using fixtures::TiffBuilder;
using namespace fixtures;  // tags and field types
using testing::OpenRawFile;

// Runs ParseTiff over `file`, starting from `state` (the driver's fields survive the walk).
ParseState Walk(const Bytes& file, std::int32_t base = 0, ParseState state = {}) {
  OpenRawFile raw(file, state);
  EXPECT_EQ(ParseTiff(state, base), kSOk);
  return state;
}

TEST(ParseTiff, FirstNonZeroSizesAndLastPreviewInWalkOrder) {
  // IFD0 descends into its SubIFD (tag 330) before its own JPEG entries (513, 514); the next
  // IFD of the chain comes last.
  for (const bool withIfd1 : {false, true}) {
    TiffBuilder tiff;
    auto& sub = tiff.NewIfd();
    sub.Long(kImageWidth, 160)
        .Long(kImageLength, 120)
        .Long(kJpegOffset, 1000)
        .Long(kJpegLength, 10);
    auto& ifd0 = tiff.AddIfd();
    ifd0.Long(kImageWidth, 0).Long(kImageLength, 2000).Ascii(kMake, "NIKON CORPORATION");
    ifd0.Ascii(kModel, "NIKON D70").SubIfds({&sub}).Long(kJpegOffset, 2000).Long(kJpegLength, 20);
    if (withIfd1)
      tiff.AddIfd().Long(kImageWidth, 3008).Long(kJpegOffset, 3000).Long(kJpegLength, 30);
    const ParseState s = Walk(tiff.Build());
    EXPECT_STREQ(s.make, "NIKON CORPORATION");
    EXPECT_STREQ(s.model, "NIKON D70");
    EXPECT_EQ(s.thumbWidth, 160);  // IFD0's 0 does not count as a value
    EXPECT_EQ(s.thumbHeight, 2000);
    EXPECT_EQ(s.thumbOffset, withIfd1 ? 3000 : 2000);
    EXPECT_EQ(s.thumbLength, withIfd1 ? 30 : 20);
    EXPECT_STREQ(s.thumbHead, "");
  }
}

TEST(ParseTiff, ReadsBothByteOrdersWhateverTheMagic) {
  for (const Endian endian : {Endian::kLittle, Endian::kBig}) {
    for (const std::uint16_t magic : {42, 0x55, 0}) {
      TiffBuilder tiff(endian, magic);
      tiff.AddIfd()
          .Ascii(kMake, "Panasonic")
          .Ascii(kModel, "DMC-LX3")
          .Long(kJpegLength, 0x01020304);
      ParseState before;
      before.byteOrder = endian == Endian::kLittle ? kBigEndian : kLittleEndian;
      const ParseState s = Walk(tiff.Build(), 0, before);
      EXPECT_EQ(s.byteOrder, endian == Endian::kLittle ? kLittleEndian : kBigEndian);
      EXPECT_STREQ(s.model, "DMC-LX3");
      EXPECT_EQ(s.thumbLength, 0x01020304);
    }
  }
}

TEST(ParseTiff, MakeAndModelTextReads) {
  const std::string longText(200, 'A');
  const struct {
    const char* what;
    std::uint32_t count;
    std::string stored;
    bool pastTheEnd;
    const char* expected;
  } cases[] = {
      {"count caps at 128: 127 bytes", 300, longText, false, nullptr},
      {"count 1 empties", 1, "Canon", false, ""},
      {"count 0 keeps", 0, "Canon", false, "Old"},
      {"negative count keeps", 0x80000000u, "Canon", false, "Old"},
      {"stops after a line feed", 12, "Kodak\nDCS\n", false, "Kodak\n"},
      {"count - 1 bytes, in the value field", 4, "Cano", false, "Can"},
      {"NUL ends the text", 9, std::string("Leaf\0xyz", 8), false, "Leaf"},
      {"nothing before the end keeps", 10, "Canon", true, "Old"},
  };
  for (const auto& c : cases) {
    for (const std::uint16_t tag : {kMake, kModel}) {
      TiffBuilder tiff;
      const Bytes data(c.stored.begin(), c.stored.end());
      if (c.pastTheEnd) {
        tiff.AddIfd().Raw(tag, kAscii, c.count, 0x100000);
      } else {
        tiff.AddIfd().Data(tag, kAscii, c.count, data);
      }
      ParseState before;
      SetText(before.make, "Old");
      SetText(before.model, "Old");
      const ParseState s = Walk(tiff.Build(), 0, before);
      const std::string expected = c.expected != nullptr ? c.expected : longText.substr(0, 127);
      EXPECT_EQ(std::string(tag == kMake ? s.make : s.model), expected) << c.what;
    }
  }
}

TEST(ParseTiff, TextRunningIntoTheEndOfTheFileKeepsWhatWasThere) {
  // The text's last bytes are the file's last bytes: no NUL follows them.
  TiffBuilder tiff;
  tiff.AddIfd().Data(kModel, kAscii, 20, ToBytes("ModelX"));
  Bytes file = tiff.Build();
  file.resize(file.size() - 2);  // cut inside the stored text: "Mode"
  EXPECT_STREQ(Walk(file).model, "Mode");
}

TEST(ParseTiff, BitsPerSampleAndPlanarData) {
  const struct {
    const char* make;
    const char* model;
    std::vector<std::uint32_t> bits;
    std::int32_t expectedBits;
    std::int32_t planar;
  } cases[] = {
      {"Canon", "EOS", {8, 8, 8}, 8, 0},  // out of line: the first value, from the offset
      {"Canon", "EOS", {12}, 12, 0},      // count 1 sets the flag; only KODAK keeps it
      {"KODAK", "DCS Pro 14N", {8}, 8, 1}, {"KODAK", "DCS Pro 14N", {8, 8, 8}, 8, 0},
      {"KODAK", "DCS460A", {8}, 8, 0},     {"Kodak", "DC50", {8}, 8, 0},
  };
  for (const auto& c : cases) {
    TiffBuilder tiff(Endian::kBig);
    tiff.AddIfd().Shorts(kBitsPerSample, c.bits).Ascii(kMake, c.make).Ascii(kModel, c.model);
    tiff.AddIfd().Short(kBitsPerSample, 16).Long(kJpegLength, 100);  // later: no effect
    const ParseState s = Walk(tiff.Build());
    EXPECT_EQ(s.bitsPerSample, c.expectedBits) << c.make << " " << c.bits.size();
    EXPECT_EQ(s.planarRgb, c.planar) << c.make << " " << c.model << " " << c.bits.size();
  }
}

TEST(ParseTiff, StripPixelsBecomeTheThumbnailWithoutAJpegLength) {
  const struct {
    const char* make;
    const char* model;
    std::int32_t bits;  // 0: no BitsPerSample entry
    std::uint32_t stripByteCount;
    const char* head;
    std::int32_t length;
    std::int32_t offset;
  } cases[] = {
      {"Leaf", "Credo 40", 8, 0, "P6 160 120 255\n", 57600, 50000},
      {"Leaf", "DCS460A", 8, 0, "P5 160 120 255\n", 19200, 50000},
      {"Leaf", "Credo 40", 12, 0, "P6 160 120 4095\n", 115200, 50000},
      {"Leaf", "Credo 40", 16, 0, "P6 160 120 65535\n", 115200, 50000},
      {"Leaf", "Credo 40", 0, 0, "P6 160 120 0\n", 0, 50000},
      {"Leaf", "Credo 40", 32, 0, "P6 160 120 0\n", 230400, 50000},
      {"KODAK", "DCS 760", 8, 40000, "P6 160 120 255\n", 57600, 10000},
      {"KODAK", "DCS 760", 8, 60000, "P6 160 120 255\n", 57600, 50000},
      {"KODAK", "DCS 760", 8, 50000, "P6 160 120 255\n", 57600, 50000},  // not greater
      {"Kodak", "DC50", 8, 40000, "P6 160 120 255\n", 57600, 50000},
      {"Leaf", "Credo 40", 8, 40000, "P6 160 120 255\n", 57600, 50000},
  };
  for (const auto& c : cases) {
    TiffBuilder tiff;
    auto& ifd = tiff.AddIfd();
    ifd.Short(kImageWidth, 160).Short(kImageLength, 120);
    if (c.bits != 0) ifd.Short(kBitsPerSample, static_cast<std::uint32_t>(c.bits));
    ifd.Ascii(kMake, c.make).Ascii(kModel, c.model).Long(kStripOffsets, 50000);
    if (c.stripByteCount != 0) ifd.Long(kStripByteCounts, c.stripByteCount);
    const ParseState s = Walk(tiff.Build());
    EXPECT_STREQ(s.thumbHead, c.head) << c.make << " " << c.model << " " << c.bits;
    EXPECT_EQ(s.thumbLength, c.length) << c.make << " " << c.model << " " << c.bits;
    EXPECT_EQ(s.thumbOffset, c.offset) << c.make << " " << c.stripByteCount;
  }
}

TEST(ParseTiff, StripArithmeticWrapsAt32Bits) {
  // A strip offset far above a negative byte count: the difference wraps, as does the length.
  TiffBuilder tiff;
  tiff.AddIfd()
      .Long(kImageWidth, 0x10000)
      .Long(kImageLength, 0x10000)
      .Long(kBitsPerSample, 0x7FFFFFFF)
      .Ascii(kMake, "KODAK")
      .Ascii(kModel, "DCS 760")
      .Long(kStripOffsets, 0x7FFFFFFF)
      .Long(kStripByteCounts, 0x80000000u);
  const ParseState s = Walk(tiff.Build());
  EXPECT_EQ(s.thumbOffset, -1);  // 0x7FFFFFFF - 0x80000000
  // (0x7FFFFFFF + 7) wraps negative: / 8 gives -268435455; times 3 x 2^32 wraps to 0.
  EXPECT_EQ(s.thumbLength, 0);
  EXPECT_STREQ(s.thumbHead, "P6 65536 65536 2147483647\n");
}

TEST(ParseTiff, StructureAtABase) {
  // Offsets inside the structure are relative to its start; the JPEG offset is absolute.
  TiffBuilder tiff(Endian::kBig);
  auto& exif = tiff.NewIfd();
  exif.MakerNote(MinoltaMakerNote(Endian::kBig, {{0x81, 8000}}));
  tiff.AddIfd().Ascii(kMake, "Minolta Co., Ltd.").Ascii(kModel, "DiMAGE 7").Exif(exif);
  auto& jpeg = tiff.AddIfd();
  jpeg.Long(kJpegLength, 5000);
  ByteWriter file(Endian::kBig);
  file.PadTo(48, 0x55).Append(tiff.Build());
  const ParseState s = Walk(file.bytes(), 48);
  EXPECT_STREQ(s.model, "DiMAGE 7");
  EXPECT_EQ(s.thumbOffset, 8048);
  EXPECT_EQ(s.thumbLength, 5000);

  jpeg.Long(kJpegOffset, 8000);  // met after the maker note: it wins, and stays absolute
  ByteWriter again(Endian::kBig);
  again.PadTo(48, 0x55).Append(tiff.Build());
  EXPECT_EQ(Walk(again.bytes(), 48).thumbOffset, 8000);
}

TEST(ParseTiff, MinoltaMakerNoteOnlyForMinoltaMakes) {
  const struct {
    const char* make;
    bool used;
  } cases[] = {
      {"Minolta Co., Ltd.", true},
      {"Konica Minolta Camera, Inc.", true},
      {"KONICA MINOLTA", false},  // case-sensitive
      {"NIKON Minolta", false},
      {"OLYMPUS Minolta", false},
      {"Canon", false},
  };
  for (const auto& c : cases) {
    TiffBuilder tiff;
    auto& exif = tiff.NewIfd();
    exif.Long(0x9000, 1).MakerNote(MinoltaMakerNote(Endian::kLittle, {{0x81, 700}, {0x88, 900}}));
    tiff.AddIfd().Ascii(kMake, c.make).Ascii(kModel, "X").Long(kJpegLength, 1).Exif(exif);
    EXPECT_EQ(Walk(tiff.Build()).thumbOffset, c.used ? 900 : 0) << c.make;
  }
}

TEST(ParseTiff, EmptyIfdLeadsOnToTheNext) {
  TiffBuilder tiff;
  tiff.AddIfd();
  tiff.AddIfd().Ascii(kModel, "Second").Long(kJpegLength, 7);
  const ParseState s = Walk(tiff.Build());
  EXPECT_STREQ(s.model, "Second");
  EXPECT_EQ(s.thumbLength, 7);
}

TEST(ParseTiff, SubIfdListsByFieldType) {
  // Type 13 counts one byte per element, so a list of two IFDs "fits" in the value field: the
  // list is read from the field itself, which holds the offset of the real list, not an IFD.
  const struct {
    std::uint16_t type;
    std::size_t children;
    bool walked;
  } cases[] = {
      {kLong, 1, true},
      {kLong, 2, true},
      {kIfdType, 1, true},
      {kIfdType, 2, false},
  };
  for (const auto& c : cases) {
    TiffBuilder tiff;
    auto& a = tiff.NewIfd();
    a.Long(kJpegOffset, 1234);
    auto& b = tiff.NewIfd();
    b.Long(kJpegLength, 99);
    std::vector<const TiffBuilder::Ifd*> list = {&a};
    if (c.children == 2) list.push_back(&b);
    tiff.AddIfd().Ascii(kModel, "M").Long(kJpegLength, 1).SubIfds(list, c.type);
    const ParseState s = Walk(tiff.Build());
    EXPECT_EQ(s.thumbOffset == 1234, c.walked) << c.type << " x" << c.children;
    if (c.walked && c.children == 2) {
      EXPECT_EQ(s.thumbLength, 99);
    }
  }
}

TEST(ParseTiff, KodakWalksTheIfdAtTwelveOnceMore) {
  for (const char* make : {"Kodak", "KODAK"}) {
    TiffBuilder tiff;
    tiff.AddBlob(Bytes(4, 0));  // bytes 8-11; the extra IFD starts at 12
    ByteWriter extra;
    extra.U16(1).U16(kJpegLength).U16(kLong).U32(1).U32(777).U32(0);
    ASSERT_EQ(tiff.AddBlob(extra.bytes()), 12u);
    tiff.AddIfd().Ascii(kMake, make).Ascii(kModel, "DC50").Long(kJpegLength, 5);
    EXPECT_EQ(Walk(tiff.Build()).thumbLength, std::string(make) == "Kodak" ? 777 : 5) << make;
  }
}

// Bounds: loops and runaway structures end, and never change what a well-formed file gives.

TEST(ParseTiffBounds, LoopsAreWalkedOnce) {
  // Each case is a KODAK IFD whose strip offset is reduced once per walk: 50000 - 10000.
  enum Loop { kChainToItself, kChainBack, kSubIfdToItself, kSubIfdToParent };
  for (const Loop loop : {kChainToItself, kChainBack, kSubIfdToItself, kSubIfdToParent}) {
    TiffBuilder tiff;
    auto& ifd0 = tiff.AddIfd();
    ifd0.Short(kImageWidth, 10).Short(kImageLength, 10).Short(kBitsPerSample, 8);
    ifd0.Ascii(kMake, "KODAK").Ascii(kModel, "DCS 760").Long(kStripOffsets, 50000);
    ifd0.Long(kStripByteCounts, 10000);
    auto& child = tiff.NewIfd();
    if (loop == kSubIfdToItself) ifd0.SubIfds({&ifd0});
    if (loop == kSubIfdToParent) {
      child.SubIfds({&ifd0});
      ifd0.SubIfds({&child});
    }
    auto& ifd1 = tiff.AddIfd();
    ifd1.Long(kImageWidth, 20);
    if (loop == kChainToItself) ifd1.NextOffset(tiff.OffsetOf(ifd1));
    if (loop == kChainBack) ifd1.NextOffset(tiff.OffsetOf(ifd0));
    const ParseState s = Walk(tiff.Build());
    EXPECT_EQ(s.thumbOffset, 40000) << loop;
    EXPECT_EQ(s.thumbLength, 300) << loop;
  }
}

TEST(ParseTiffBounds, AnIfdReachedTwiceIsWalkedTwice) {
  // IFD1 is both a SubIFD of IFD0 and the chain's next IFD: its JPEG offset, met last, wins
  // over IFD0's own.
  {
    TiffBuilder tiff;
    auto& ifd0 = tiff.AddIfd();
    auto& ifd1 = tiff.AddIfd();
    ifd0.Ascii(kModel, "M").SubIfds({&ifd1}).Long(kJpegOffset, 1111);
    ifd1.Long(kJpegOffset, 2222).Long(kJpegLength, 10);
    EXPECT_EQ(Walk(tiff.Build()).thumbOffset, 2222);
  }
  // One EXIF IFD shared by two IFDs: its Minolta maker note, met again after IFD1's JPEG
  // offset, wins.
  {
    TiffBuilder tiff;
    auto& exif = tiff.NewIfd();
    exif.MakerNote(MinoltaMakerNote(Endian::kLittle, {{0x88, 3000}}));
    tiff.AddIfd().Ascii(kMake, "Minolta Co., Ltd.").Ascii(kModel, "DiMAGE").Exif(exif);
    tiff.AddIfd().Long(kJpegOffset, 1111).Long(kJpegLength, 10).Exif(exif);
    EXPECT_EQ(Walk(tiff.Build()).thumbOffset, 3000);
  }
}

TEST(ParseTiffBounds, ChainRunningPastTheEndStops) {
  for (const std::uint32_t next : {0x7FFFFFF0u, 0xFFFFFFF0u, 0x100000u}) {
    TiffBuilder tiff;
    tiff.AddIfd().Ascii(kModel, "M").Long(kJpegLength, 10).NextOffset(next);
    const ParseState s = Walk(tiff.Build());
    EXPECT_STREQ(s.model, "M");
    EXPECT_EQ(s.thumbLength, 10);
  }
  // The file ends inside the first IFD: every read from there gives 0xFF bytes.
  TiffBuilder tiff;
  tiff.AddIfd().Ascii(kModel, "M").Long(kJpegLength, 10).Long(kJpegOffset, 5);
  Bytes file = tiff.Build();
  file.resize(8 + 2 + 12 * 2 + 4);  // header, count, two entries and a bit of the third
  const ParseState s = Walk(file);
  EXPECT_EQ(s.thumbLength, 10);
}

TEST(ParseTiffBounds, SubIfdsFanningOutStop) {
  // Every level lists the next one 1000 times: a tree of 10^24 IFDs if walked in full.
  TiffBuilder tiff;
  std::vector<TiffBuilder::Ifd*> levels;
  for (int i = 0; i < 8; ++i) levels.push_back(&tiff.NewIfd());
  for (int i = 0; i + 1 < 8; ++i) {
    levels[i]->SubIfds(std::vector<const TiffBuilder::Ifd*>(1000, levels[i + 1]));
  }
  levels[7]->Long(kJpegLength, 42);
  tiff.AddIfd().Ascii(kModel, "Fan").SubIfds({levels[0]});
  const ParseState s = Walk(tiff.Build());
  EXPECT_STREQ(s.model, "Fan");
  EXPECT_EQ(s.thumbLength, 42);
}

TEST(ParseTiffBounds, RealisticNestingIsWalkedInFull) {
  // SubIFDs three levels deep, the preview at the bottom.
  TiffBuilder tiff;
  auto& level3 = tiff.NewIfd();
  level3.Long(kImageWidth, 160).Long(kJpegOffset, 4321).Long(kJpegLength, 21);
  auto& level2 = tiff.NewIfd();
  level2.SubIfds({&level3});
  auto& level1 = tiff.NewIfd();
  level1.SubIfds({&level2});
  tiff.AddIfd().Ascii(kModel, "Deep").SubIfds({&level1});
  const ParseState s = Walk(tiff.Build());
  EXPECT_EQ(s.thumbWidth, 160);
  EXPECT_EQ(s.thumbOffset, 4321);
  EXPECT_EQ(s.thumbLength, 21);
}

}  // namespace
}  // namespace vantrel
