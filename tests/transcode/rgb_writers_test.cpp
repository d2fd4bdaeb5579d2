#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "tests/support/raw_file.h"
#include "transcode/rgb_writers.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using testing::OpenRawFile;

using Writer = HResult (*)(ParseState&, std::FILE*);

struct Preview {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t rowPadding = 0;
};

constexpr std::int32_t kOffset = 5;  // junk in front of the preview, to check the seek

// Runs `writer` on a raw file holding junk and then `stored`; returns the whole PPM.
Bytes Write(Writer writer, const Bytes& stored, Preview preview) {
  Bytes raw(kOffset + stored.size(), 0xEE);
  std::copy(stored.begin(), stored.end(), raw.begin() + kOffset);
  ParseState state;
  OpenRawFile file(raw, state);
  state.byteOrder = kLittleEndian;  // the writers ignore the file's byte order
  state.thumbOffset = kOffset;
  state.thumbWidth = preview.width;
  state.thumbHeight = preview.height;
  state.rowPadding = preview.rowPadding;
  fixtures::TempPath out("ppm");
  std::FILE* stream = std::fopen(out.c_str(), "wb");
  EXPECT_EQ(writer(state, stream), kSOk);
  std::fclose(stream);
  return fixtures::ReadFileBytes(out.path());
}

Bytes Ppm(const std::string& header, const Bytes& pixels) {
  Bytes ppm(header.begin(), header.end());
  ppm.insert(ppm.end(), pixels.begin(), pixels.end());
  return ppm;
}

TEST(RolleiToPpm, Expands565PixelsStoredMostSignificantByteFirst) {
  const Bytes stored = {0xF8, 0x00, 0x00, 0x1F, 0x07, 0xE0, 0xFF, 0xFF, 0x12, 0x34, 0x00, 0x00};
  EXPECT_EQ(Write(RolleiToPpm, stored, {3, 2}),
            Ppm("P6 3 2 255\n", {
                                    0x00, 0x00, 0xF8, 0xF8, 0x00, 0x00, 0x00, 0xFC, 0x00,  //
                                    0xF8, 0xFC, 0xF8, 0xA0, 0x44, 0x10, 0x00, 0x00, 0x00,  //
                                }));
}

TEST(RgbWriters, WriteTheHeaderAndEveryPixel) {
  const struct {
    Writer writer;
    std::size_t storedPerPixel;
  } writers[] = {{RolleiToPpm, 2}, {FoveonToPpm, 3}};
  for (const auto& w : writers) {
    const Bytes ppm = Write(w.writer, Bytes(160 * 120 * w.storedPerPixel, 0x42), {160, 120});
    ASSERT_EQ(ppm.size(), 15u + 160 * 120 * 3);
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 15), "P6 160 120 255\n");
  }
}

TEST(RgbWriters, NoPixelsForAWidthOrHeightOfZeroOrLess) {
  const struct {
    std::int32_t width, height;
    std::string header;
  } cases[] = {
      {0, 5, "P6 0 5 255\n"},
      {5, 0, "P6 5 0 255\n"},
      {-1, 5, "P6 -1 5 255\n"},
      {5, -1, "P6 5 -1 255\n"},
      {INT_MIN, -7, "P6 -2147483648 -7 255\n"},
  };
  for (Writer writer : {RolleiToPpm, FoveonToPpm}) {
    for (const auto& c : cases)
      EXPECT_EQ(Write(writer, Bytes(64, 0x11), {c.width, c.height}), Ppm(c.header, {}));
  }
}

TEST(FoveonToPpm, DropsTheFillerAfterEveryRow) {
  const Bytes rows = {1, 2, 3, 4, 5, 6, 0xA0, 0xA1, 7, 8, 9, 10, 11, 12, 0xA2, 0xA3};
  // Without filler the rows are copied straight.
  EXPECT_EQ(Write(FoveonToPpm, rows, {2, 2, 0}),
            Ppm("P6 2 2 255\n", {1, 2, 3, 4, 5, 6, 0xA0, 0xA1, 7, 8, 9, 10}));
  EXPECT_EQ(Write(FoveonToPpm, rows, {2, 2, 2}),
            Ppm("P6 2 2 255\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  // A negative filler count drops nothing.
  EXPECT_EQ(Write(FoveonToPpm, rows, {1, 2, -4}), Ppm("P6 1 2 255\n", {1, 2, 3, 4, 5, 6}));
}

// A preview cut short by the end of the raw file still gives a PPM of the full size. Foveon
// writes 255 for every missing byte. Rollei counts each missing byte as 0xFF, as every read
// past the end of a raw file does, so a wholly missing pixel is near white: F8 FC F8.
TEST(RgbWriters, PreviewCutShortIsPaddedToFullSize) {
  EXPECT_EQ(Write(FoveonToPpm, {1, 2, 3, 4}, {2, 2, 1}),
            Ppm("P6 2 2 255\n", {1, 2, 3, 4, 255, 255, 255, 255, 255, 255, 255, 255}));
  // The filler that lies past the end skips nothing more: a huge count costs nothing.
  EXPECT_EQ(Write(FoveonToPpm, {1, 2, 3, 9, 9}, {1, 3, INT_MAX}),
            Ppm("P6 1 3 255\n", {1, 2, 3, 255, 255, 255, 255, 255, 255}));
  // Pixels 07 E0, then 00 and a missing byte (00 FF), then nothing.
  EXPECT_EQ(Write(RolleiToPpm, {0x07, 0xE0, 0x00}, {3, 1}),
            Ppm("P6 3 1 255\n", {0x00, 0xFC, 0x00, 0xF8, 0x1C, 0x00, 0xF8, 0xFC, 0xF8}));
}

// Rows wider than the writers' working pieces come out whole and in order.
TEST(RgbWriters, WideRowsComeOutWhole) {
  const std::int32_t width = 2 * 2048 + 5, height = 2, filler = 3;
  Bytes foveon, foveonPixels;
  for (std::int32_t row = 0; row < height; ++row) {
    for (std::int32_t i = 0; i < 3 * width; ++i) {
      const auto byte = static_cast<std::uint8_t>(i * 7 + row);
      foveon.push_back(byte);
      foveonPixels.push_back(byte);
    }
    foveon.insert(foveon.end(), filler, 0xCC);
  }
  const std::string header = "P6 4101 2 255\n";
  EXPECT_EQ(Write(FoveonToPpm, foveon, {width, height, filler}), Ppm(header, foveonPixels));

  // The four 5-6-5 pixels of the first test, over and over.
  const Bytes pattern = {0xF8, 0x00, 0x00, 0x1F, 0x07, 0xE0, 0xFF, 0xFF};
  const Bytes expanded = {0, 0, 0xF8, 0xF8, 0, 0, 0, 0xFC, 0, 0xF8, 0xFC, 0xF8};
  Bytes rollei, rolleiPixels;
  for (std::int32_t i = 0; i < width * height; ++i) {
    rollei.insert(rollei.end(), pattern.begin() + 2 * (i % 4), pattern.begin() + 2 * (i % 4) + 2);
    rolleiPixels.insert(rolleiPixels.end(), expanded.begin() + 3 * (i % 4),
                        expanded.begin() + 3 * (i % 4) + 3);
  }
  EXPECT_EQ(Write(RolleiToPpm, rollei, {width, height}), Ppm(header, rolleiPixels));
}

}  // namespace
}  // namespace vantrel
