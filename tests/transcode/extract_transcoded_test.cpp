// End to end: `vantrel extract` and `vantrel info` on raw files whose thumbnail is transcoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fixtures/kodak_builder.h"
#include "tests/fixtures/rollei_builder.h"
#include "tests/fixtures/temp_file.h"
#include "tests/fixtures/x3f_builder.h"
#include "tests/support/run_vantrel.h"
#include "tools/vantrel/cli.h"

namespace vantrel {
namespace {

using fixtures::Bytes;

using testing::RunVantrel;

// A grey picture (no chroma), whose decoded samples are its luma exactly.
fixtures::KodakYcc GreyRamp(std::uint32_t width, std::uint32_t height) {
  fixtures::KodakYcc picture{width, height, {}, {}, {}};
  for (std::uint32_t row = 0; row < height; ++row) {
    for (std::uint32_t x = 0; x < width; ++x) picture.luma.push_back(1000 + 37 * x + 501 * row);
  }
  picture.cb.assign(std::size_t{width / 2} * (height / 2), 0);
  picture.cr = picture.cb;
  return picture;
}

Bytes GreyPpm(const fixtures::KodakYcc& picture) {
  const std::string header =
      "P6 " + std::to_string(picture.width) + " " + std::to_string(picture.height) + " 65535\n";
  Bytes ppm(header.begin(), header.end());
  for (std::int32_t y : picture.luma) {
    for (int k = 0; k < 3; ++k)
      ppm.insert(ppm.end(), {static_cast<std::uint8_t>(y >> 8), static_cast<std::uint8_t>(y)});
  }
  return ppm;
}

TEST(ExtractKodakDcsPro, DecodesTheCodedThumbnail) {
  const struct {
    std::string make;
    fixtures::Endian endian;
    std::uint32_t width, height;  // as the file states them; odd ones are decoded one larger
  } cases[] = {
      {"EASTMAN KODAK COMPANY", fixtures::Endian::kBig, 260, 6},
      // A make beginning "KODAK" names the end of the coded data as the strip's offset.
      {"KODAK", fixtures::Endian::kLittle, 261, 5},
  };
  for (const auto& c : cases) {
    const fixtures::KodakYcc picture =
        GreyRamp(fixtures::KodakEven(c.width), fixtures::KodakEven(c.height));
    fixtures::KodakDcsOptions options;
    options.make = c.make;
    options.endian = c.endian;
    const fixtures::KodakDcsFile dcs =
        fixtures::MakeKodakDcs(c.width, c.height, fixtures::EncodeKodakYcc(picture), options);
    const fixtures::TempFile raw(dcs.bytes, "dcr");
    const fixtures::TempPath out("thumb");

    const testing::CliOutcome info = RunVantrel({"info", raw.path()});
    EXPECT_EQ(info.exit, cli::kExitOk) << info.err;
    EXPECT_NE(info.out.find("\"thumbOffset\":" + std::to_string(dcs.thumbOffset) + ","),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"writer\":\"kodak-yuv\""), std::string::npos) << info.out;

    const testing::CliOutcome extract = RunVantrel({"extract", raw.path(), out.path()});
    EXPECT_EQ(extract.exit, cli::kExitOk) << extract.err;
    EXPECT_EQ(extract.err, "");
    EXPECT_EQ(fixtures::ReadFileBytes(out.path()), GreyPpm(picture)) << c.make;
  }
}

// The header asks for 60000 x 40000 pixels (14 GB of output) from a file of a few hundred
// bytes: refused, reported once, and no thumbnail file is left.
TEST(ExtractKodakDcsPro, RefusesAThumbnailTheFileCannotHold) {
  const Bytes coded = fixtures::EncodeKodakGroups(2, 2, {{200, 0, 150, 0, 12, -12}});
  const fixtures::TempFile raw(fixtures::MakeKodakDcs(60000, 40000, coded).bytes, "dcr");
  const fixtures::TempPath out("thumb");
  const testing::CliOutcome extract = RunVantrel({"extract", raw.path(), out.path()});
  EXPECT_EQ(extract.exit, cli::kExitFailure);
  EXPECT_EQ(extract.err,
            "vantrel: error 0x8007000E: Couldn't allocate memory for KodakYuvDecode\n");
  EXPECT_FALSE(fixtures::FileExists(out.path()));
}

Bytes Ppm8(std::uint32_t width, std::uint32_t height, const Bytes& pixels) {
  const std::string header =
      "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  Bytes ppm(header.begin(), header.end());
  ppm.insert(ppm.end(), pixels.begin(), pixels.end());
  return ppm;
}

TEST(ExtractRollei, ExpandsThePreviewTo8BitRgb) {
  const std::uint32_t width = 37, height = 5;
  // Pure red, green and blue and white, as stored and as written.
  const Bytes stored = {0x00, 0x1F, 0x07, 0xE0, 0xF8, 0x00, 0xFF, 0xFF};
  const Bytes expanded = {0xF8, 0, 0, 0, 0xFC, 0, 0, 0, 0xF8, 0xF8, 0xFC, 0xF8};
  Bytes preview, pixels;
  for (std::uint32_t i = 0; i < width * height; ++i) {
    preview.insert(preview.end(), stored.begin() + 2 * (i % 4), stored.begin() + 2 * (i % 4) + 2);
    pixels.insert(pixels.end(), expanded.begin() + 3 * (i % 4), expanded.begin() + 3 * (i % 4) + 3);
  }
  const fixtures::TempFile raw(fixtures::MakeRollei(width, height, preview), "rdc");
  const fixtures::TempPath out("thumb");
  const testing::CliOutcome extract = RunVantrel({"extract", raw.path(), out.path()});
  EXPECT_EQ(extract.exit, cli::kExitOk) << extract.err;
  EXPECT_EQ(fixtures::ReadFileBytes(out.path()), Ppm8(width, height, pixels));
}

// X3F previews: version 0x20001 is copied with the parser's header; later versions go through
// the Foveon writer, which drops the filler at the end of every row.
TEST(ExtractX3f, WritesThePreviewRowsWithoutFiller) {
  const std::uint32_t width = 40, height = 6;
  const struct {
    std::uint32_t version;
    std::uint32_t padding;
    const char* writer;
  } cases[] = {{0x20001, 0, "copy"}, {0x20002, 6, "foveon"}, {0x20003, 2, "foveon"}};
  for (const auto& c : cases) {
    const Bytes image = fixtures::X3fImage(width, height, 3 * width + c.padding,
                                           fixtures::X3fRows(width, height, c.padding));
    const fixtures::TempFile raw(
        fixtures::MakeX3f(c.version, 0, {{"CAMMANUF", "SIGMA"}, {"CAMMODEL", "SIGMA SD10"}}, image),
        "x3f");
    const fixtures::TempPath out("thumb");
    const testing::CliOutcome info = RunVantrel({"info", raw.path()});
    EXPECT_NE(info.out.find(std::string("\"writer\":\"") + c.writer + "\""), std::string::npos)
        << info.out;
    const testing::CliOutcome extract = RunVantrel({"extract", raw.path(), out.path()});
    EXPECT_EQ(extract.exit, cli::kExitOk) << extract.err;
    EXPECT_EQ(fixtures::ReadFileBytes(out.path()),
              Ppm8(width, height, fixtures::X3fRows(width, height, 0)))
        << std::hex << c.version;
  }
}

// Headers that ask for far more pixels than the file holds are refused before writing.
TEST(ExtractRgbPreviews, RefusePreviewsTheFileCannotHold) {
  const Bytes preview(64, 0x42);
  const Bytes files[] = {
      fixtures::MakeRollei(60000, 60000, preview),
      fixtures::MakeX3f(0x20002, 0, {{"CAMMANUF", "SIGMA"}, {"CAMMODEL", "SIGMA SD10"}},
                        fixtures::X3fImage(60000, 60000, 180000, preview)),
  };
  for (const Bytes& bytes : files) {
    const fixtures::TempFile raw(bytes, "raw");
    const fixtures::TempPath out("thumb");
    const testing::CliOutcome extract = RunVantrel({"extract", raw.path(), out.path()});
    EXPECT_EQ(extract.exit, cli::kExitFailure);
    EXPECT_EQ(extract.err, "vantrel: error 0x8007000E: Out of memory for transfer buffer\n");
    EXPECT_FALSE(fixtures::FileExists(out.path()));
  }
}

}  // namespace
}  // namespace vantrel
