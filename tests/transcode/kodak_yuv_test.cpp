#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/report.h"
#include "tests/fixtures/kodak_builder.h"
#include "tests/support/captured_reports.h"
#include "tests/support/raw_file.h"
#include "transcode/kodak_yuv.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::KodakGroup;
using testing::CapturedReports;
using testing::OpenRawFile;
using testing::Report;

constexpr std::size_t kLead = 7;  // junk in front of the coded data, to check the seek

struct Decoded {
  HResult hr = kSOk;
  std::string header;
  std::vector<std::int32_t> samples;  // 16-bit samples as written, most significant byte first
  std::size_t bytesRead = 0;
  std::size_t fileBytes = 0;
  std::int32_t thumbWidth = 0;
  std::int32_t thumbHeight = 0;
  std::vector<Report> reports;
};

// Runs the decoder on `coded`, placed after a few bytes of junk in an otherwise empty raw file.
Decoded Decode(const Bytes& coded, std::int32_t width, std::int32_t height) {
  Bytes raw(kLead + coded.size(), 0xA5);
  std::copy(coded.begin(), coded.end(), raw.begin() + kLead);
  ParseState state;
  OpenRawFile file(raw, state);
  state.thumbOffset = kLead;
  state.thumbWidth = width;
  state.thumbHeight = height;
  fixtures::TempPath out("ppm");
  std::FILE* stream = std::fopen(out.c_str(), "wb");
  Decoded d;
  {
    CapturedReports reports;
    d.hr = KodakYuvDecode(state, stream);
    d.reports = reports.reports;
  }
  std::fclose(stream);
  d.bytesRead = static_cast<std::size_t>(TellPosition(state.rawFile)) - kLead;
  d.thumbWidth = state.thumbWidth;
  d.thumbHeight = state.thumbHeight;
  const Bytes written = fixtures::ReadFileBytes(out.path());
  d.fileBytes = written.size();
  std::size_t at = 0;
  while (at < written.size() && written[at] != '\n') ++at;
  d.header.assign(written.begin(), written.begin() + std::min(at + 1, written.size()));
  for (std::size_t i = d.header.size(); i + 1 < written.size(); i += 2)
    d.samples.push_back(written[i] * 256 + written[i + 1]);
  return d;
}

// One grey group: both rows' luma differences, no chroma.
KodakGroup Grey(std::int32_t d0, std::int32_t d1, std::int32_t d2, std::int32_t d3) {
  return {d0, d1, d2, d3, 0, 0};
}

// The samples of a grey picture, each luma repeated for red, green and blue.
std::vector<std::int32_t> GreySamples(const std::vector<std::int32_t>& luma) {
  std::vector<std::int32_t> samples;
  for (std::int32_t y : luma) samples.insert(samples.end(), {y, y, y});
  return samples;
}

// The colour conversion as the format defines it, for pictures whose samples all land in
// 1..65535.
void AppendRgb(std::vector<std::int32_t>& samples, std::int32_t y, std::int32_t cb,
               std::int32_t cr) {
  const double tR = 0.701 * cr, tGb = 0.17207 * cb, tGr = 0.35707 * cr, tB = 0.886 * cb;
  samples.push_back(static_cast<std::int32_t>(y + tR));
  samples.push_back(static_cast<std::int32_t>((y - tGb) - tGr));
  samples.push_back(static_cast<std::int32_t>(y + tB));
}

TEST(KodakEncoder, CodesTheWorkedExamples) {
  EXPECT_EQ(fixtures::EncodeKodakGroups(2, 2, {{200, 0, 150, 0, 12, -12}}),
            (Bytes{0x08, 0x08, 0x44, 0x00, 0x96, 0xC8, 0x00, 0x3C}));
  EXPECT_EQ(fixtures::EncodeKodakGroups(4, 2, {Grey(200, 0, 150, 0), Grey(0, 1, 0, -1)}),
            (Bytes{0x08, 0x08, 0x00, 0x10, 0x10, 0x00, 0x96, 0xC8, 0x00, 0x01, 0x00, 0x00}));
}

TEST(KodakYuvDecode, WorkedExamples) {
  const struct {
    Bytes coded;
    std::int32_t width;
    std::string header;
    std::vector<std::int32_t> samples;
  } cases[] = {
      {{0x08, 0x08, 0x44, 0x00, 0x96, 0xC8, 0x00, 0x3C},
       2,
       "P6 2 2 65535\n",
       {191, 202, 210, 191, 202, 210, 141, 152, 160, 141, 152, 160}},
      {{0x08, 0x08, 0x00, 0x10, 0x10, 0x00, 0x96, 0xC8, 0x00, 0x01, 0x00, 0x00},
       4,
       "P6 4 2 65535\n",
       GreySamples({200, 200, 200, 201, 150, 150, 150, 149})},
  };
  for (const auto& c : cases) {
    Bytes coded = c.coded;
    coded.insert(coded.end(), 16, 0x5A);  // more data than the picture needs
    const Decoded d = Decode(coded, c.width, 2);
    EXPECT_EQ(d.hr, kSOk);
    EXPECT_EQ(d.header, c.header);
    EXPECT_EQ(d.samples, c.samples);
    EXPECT_EQ(d.bytesRead, c.coded.size());
    EXPECT_EQ(d.fileBytes, c.header.size() + 2 * c.samples.size());
    EXPECT_TRUE(d.reports.empty());
  }
}

TEST(KodakYuvDecode, OddSizesRoundUpAndAreStoredBack) {
  const struct {
    std::int32_t width, height;
    std::uint32_t even_width, even_height;
    std::string header;
  } cases[] = {
      {3, 3, 4, 4, "P6 4 4 65535\n"},
      {1, 2, 2, 2, "P6 2 2 65535\n"},
      {5, 1, 6, 2, "P6 6 2 65535\n"},
  };
  for (const auto& c : cases) {
    std::vector<KodakGroup> groups(c.even_width / 2 * (c.even_height / 2), Grey(40, 1, 30, -1));
    const Decoded d =
        Decode(fixtures::EncodeKodakGroups(c.even_width, c.even_height, groups), c.width, c.height);
    EXPECT_EQ(d.header, c.header);
    EXPECT_EQ(d.thumbWidth, static_cast<std::int32_t>(c.even_width));
    EXPECT_EQ(d.thumbHeight, static_cast<std::int32_t>(c.even_height));
    EXPECT_EQ(d.samples.size(), std::size_t{c.even_width} * c.even_height * 3);
    // The added row and column are decoded too: the last luma sums every group's 30 - 1.
    EXPECT_EQ(d.samples.back(), 29 * static_cast<std::int32_t>(c.even_width / 2));
  }
}

TEST(KodakYuvDecode, ZeroWidthOrHeightWritesOnlyTheHeader) {
  const struct {
    std::int32_t width, height;
    std::string header;
  } cases[] = {
      {0, 2, "P6 0 2 65535\n"},
      {2, 0, "P6 2 0 65535\n"},
      {0, 0, "P6 0 0 65535\n"},
      {-1, 2000000000, "P6 0 2000000000 65535\n"},  // -1 rounds up to 0
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(Bytes(64, 0x11), c.width, c.height);
    EXPECT_EQ(d.hr, kSOk);
    EXPECT_EQ(d.header, c.header);
    EXPECT_EQ(d.fileBytes, c.header.size());
    EXPECT_EQ(d.bytesRead, 0u);
  }
}

// Random pictures in full colour, whose every sample lands in 1..65535, over widths that
// cover every block shape: with and without a start word, full blocks and a last narrow one.
// Luma steps of every code length make the bit fetches fall everywhere in the groups.
TEST(KodakYuvDecode, BlockLayoutAndRestartsAcrossWidths) {
  std::mt19937 random(7);
  auto walk = [&](std::int32_t& value, std::int32_t low, std::int32_t high, int maxLength) {
    const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
    const std::int32_t step =
        length == 0 ? 0 : std::uniform_int_distribution<std::int32_t>(0, (1 << length) - 1)(random);
    value += random() % 2 ? step : -step;
    if (value < low || value > high)
      value = std::uniform_int_distribution<std::int32_t>(low, high)(random);
  };
  for (std::uint32_t width :
       {2u, 4u, 6u, 8u, 10u, 12u, 126u, 128u, 130u, 132u, 134u, 256u, 262u, 390u}) {
    const std::uint32_t height = 4;
    fixtures::KodakYcc picture{width, height, {}, {}, {}};
    std::int32_t y = 25000, cb = 0, cr = 0;
    picture.luma.resize(std::size_t{width} * height);
    for (std::uint32_t pair = 0; pair < height; pair += 2) {
      for (std::uint32_t x = 0; x < width; x += 2) {
        for (std::uint32_t at : {pair * width + x, pair * width + x + 1, (pair + 1) * width + x,
                                 (pair + 1) * width + x + 1}) {
          walk(y, 20000, 30000, 13);
          picture.luma[at] = y;
        }
        walk(cb, -5000, 5000, 12);
        walk(cr, -5000, 5000, 12);
        picture.cb.push_back(cb);
        picture.cr.push_back(cr);
      }
    }
    std::vector<std::int32_t> expected;
    for (std::uint32_t row = 0; row < height; ++row) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::size_t group = (row / 2) * (width / 2) + x / 2;
        AppendRgb(expected, picture.luma[row * width + x], picture.cb[group], picture.cr[group]);
      }
    }
    const Bytes coded = fixtures::EncodeKodakYcc(picture);
    const Decoded d = Decode(coded, static_cast<std::int32_t>(width), height);
    EXPECT_EQ(d.samples, expected) << "width " << width;
    EXPECT_EQ(d.bytesRead, coded.size()) << "width " << width;
  }
}

// Each case is a 2 x 2 picture of one luma and one chroma pair. Where a result is 0 or less,
// the sample keeps the buffer's initial content, 0.
TEST(KodakYuvDecode, ColourConversionInDoubleExactlyAsOrdered) {
  const struct {
    std::int32_t y, cb, cr;
    std::int32_t red, green, blue;
  } cases[] = {
      // (y - 0.17207 cb) - 0.35707 cr is 16180.999999999998; other orders give 16181.
      {20089, -15334, 18334, 32941, 16180, 6503},
      // 0.701 x 1000 rounds to exactly 701 before the sum: red is 1, not 0.99999999999995.
      {-700, 0, 1000, 1, 0, 0},
      // Truncation toward zero; a negative red is not stored.
      {10, 0, -100, 0, 45, 10},
      {200, 12, -12, 191, 202, 210},
  };
  for (const auto& c : cases) {
    const Decoded d =
        Decode(fixtures::EncodeKodakGroups(2, 2, {{c.y, 0, c.y, 0, c.cb, c.cr}}), 2, 2);
    std::vector<std::int32_t> expected;
    for (int pixel = 0; pixel < 4; ++pixel)
      expected.insert(expected.end(), {c.red, c.green, c.blue});
    EXPECT_EQ(d.samples, expected) << c.y << " " << c.cb << " " << c.cr;
  }
}

// The row-pair buffer starts black (all zero) and is not cleared between row pairs: a sample
// whose value is 0 or less shows what the row pair before left at its place. Values above
// 65535 keep their low 16 bits, so 65536 is stored, as 0.
TEST(KodakYuvDecode, SamplesOfZeroOrLessKeepWhatTheBufferHeld) {
  const std::vector<KodakGroup> groups = {
      // First row pair.
      Grey(32767, 32767, 0, -3), Grey(4466, 0, 103, 0), Grey(-32767, -32767, 0, -50),
      // Second row pair: the predictors start again from 0.
      Grey(0, 0, -5, 0), Grey(32767, 32767, 32767, 32767), Grey(2, 0, -32767, -32767)};
  const Decoded d = Decode(fixtures::EncodeKodakGroups(6, 4, groups), 6, 4);
  EXPECT_EQ(d.samples, GreySamples({
                           32767, 65534, 4464,  4464,  37233, 4466,  // 70000 keeps its low 16 bits
                           0,     0,     100,   100,   100,   50,    // 0 and -3: the initial black
                           32767, 65534, 32767, 65534, 0,     0,     // 0 keeps row 0; 65536 is 0
                           0,     0,     32762, 65529, 32762, 50,    // -5 keeps row 1's values
                       }));
}

// Zero bytes make every length code 0: each block reads its code bytes and its start word and
// nothing else, and no sample is stored. This is also the densest real coding (8 output bytes
// for every coded byte), which must decode even in a file that holds nothing else.
TEST(KodakYuvDecode, AllZeroCodesReadOnlyTheCodesAndStartWords) {
  // 300 columns: blocks of 128, 128 and 44 columns, i.e. 192 + 192 + 66 code bytes + a start word.
  Decoded d = Decode(Bytes(2000, 0), 300, 4);
  EXPECT_EQ(d.bytesRead, 2u * (192 + 192 + 66 + 2));
  EXPECT_EQ(d.samples, std::vector<std::int32_t>(300 * 4 * 3, 0));

  const std::uint32_t width = 512, height = 256;
  const Bytes coded(std::size_t{width} / 128 * 192 * (height / 2), 0);
  d = Decode(coded, width, height);
  EXPECT_EQ(d.hr, kSOk);
  EXPECT_EQ(d.bytesRead, coded.size());
  EXPECT_EQ(d.fileBytes, d.header.size() + std::size_t{width} * height * 6);
}

TEST(KodakYuvDecode, ReadsPastTheEndEnterAsMinusOne) {
  // The four data bytes are missing: the fetch adds -1 x 2^0 - 1 x 2^8 - 1 x 2^16 - 1 x 2^24,
  // so d0 = 255, d2 = 254 (not 255), d4 = 14, d5 = 15.
  Decoded d = Decode({0x08, 0x08, 0x44, 0x00}, 2, 2);
  EXPECT_EQ(d.samples, (std::vector<std::int32_t>{265, 247, 267, 265, 247, 267,  //
                                                  264, 246, 266, 264, 246, 266}));
  // The start word is missing: it is -1 x 256 - 1, so d0 = 255 and d2 = 254.
  d = Decode({0x08, 0x08, 0x00, 0x00, 0x00, 0x00}, 4, 2);
  EXPECT_EQ(d.samples, GreySamples({255, 255, 255, 255, 254, 254, 254, 254}));
  // Missing code bytes count as 0xFF: two codes of 15 each.
  EXPECT_EQ(Decode({}, 2, 2).samples, Decode({0xFF, 0xFF, 0xFF, 0xFF}, 2, 2).samples);

  // A picture cut short still gives a file of the full size.
  const fixtures::RgbPicture picture = fixtures::MakeLandscape(300, 40);
  Bytes coded = fixtures::EncodeKodakRgb(picture);
  coded.resize(coded.size() / 3);
  d = Decode(coded, 300, 40);
  EXPECT_EQ(d.hr, kSOk);
  EXPECT_EQ(d.fileBytes, d.header.size() + 300 * 40 * 6);
}

// The width and height come from the file: a picture far larger than the file could code is
// refused as the buffer allocation fails, after the header, before reading any coded byte.
TEST(KodakYuvDecode, RefusesPicturesTheFileCannotHold) {
  const struct {
    std::int32_t width, height;
    std::string header;
  } cases[] = {
      {0x7FFFFFFF, 0x7FFFFFFF, "P6 2147483648 2147483648 65535\n"},
      {-2, 2, "P6 4294967294 2 65535\n"},  // 12 x w does not fit 32 bits
      {2, -2, "P6 2 4294967294 65535\n"},
      {60000, 40000, "P6 60000 40000 65535\n"},
      {256, 256, "P6 256 256 65535\n"},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(Bytes(1000, 0), c.width, c.height);
    EXPECT_EQ(d.hr, kEOutOfMemory) << c.header;
    EXPECT_EQ(d.header, c.header);
    EXPECT_EQ(d.fileBytes, c.header.size());
    EXPECT_EQ(d.bytesRead, 0u);
    EXPECT_EQ(
        d.reports,
        (std::vector<Report>{{kEOutOfMemory, "Couldn't allocate memory for KodakYuvDecode"}}));
  }
  // The same 256 x 256 request is honoured when the file is large enough to code it.
  const Decoded d = Decode(Bytes(256 / 128 * 192 * 128, 0), 256, 256);
  EXPECT_EQ(d.hr, kSOk);
  EXPECT_EQ(d.fileBytes, d.header.size() + 256u * 256 * 6);
}

// A picture whose chroma is the same over each group's four pixels comes back within the
// rounding of luma and chroma and the truncation of the conversion.
TEST(KodakYuvDecode, DecodesAnRgbPictureWithinRounding) {
  const std::uint32_t width = 300, height = 60;
  fixtures::RgbPicture picture{width, height, {}};
  for (std::uint32_t row = 0; row < height; ++row) {
    for (std::uint32_t x = 0; x < width; ++x) {
      // A colour per group, and a grey offset per pixel that leaves the chroma alone.
      const double u = (x / 2) * 2.0 / width, v = (row / 2) * 2.0 / height;
      const double grey = 600.0 * ((x % 2) + 2 * (row % 2));
      for (double s : {4000 + 20000 * u, 6000 + 18000 * v, 26000 - 20000 * u * v})
        picture.samples.push_back(static_cast<std::uint16_t>(s + grey));
    }
  }
  const Decoded d = Decode(fixtures::EncodeKodakRgb(picture), width, height);
  ASSERT_EQ(d.samples.size(), picture.samples.size());
  int worst = 0;
  for (std::size_t i = 0; i < d.samples.size(); ++i)
    worst = std::max(worst, std::abs(d.samples[i] - picture.samples[i]));
  EXPECT_LE(worst, 2);
}

}  // namespace
}  // namespace vantrel
