// End to end: `vantrel extract` and `vantrel info` on raw files whose thumbnail is transcoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fixtures/kodak_builder.h"
#include "tests/fixtures/temp_file.h"
#include "tools/vantrel/cli.h"

namespace vantrel {
namespace {

using fixtures::Bytes;

struct CliResult {
  int exit = -1;
  std::string out;
  std::string err;
};

CliResult RunVantrel(const std::vector<std::string>& args) {
  fixtures::TempPath outPath("stdout"), errPath("stderr");
  std::FILE* out = std::fopen(outPath.c_str(), "w+b");
  std::FILE* err = std::fopen(errPath.c_str(), "w+b");
  CliResult result;
  result.exit = cli::Run(args, {out, err});
  std::fclose(out);
  std::fclose(err);
  const Bytes outBytes = fixtures::ReadFileBytes(outPath.path());
  const Bytes errBytes = fixtures::ReadFileBytes(errPath.path());
  result.out.assign(outBytes.begin(), outBytes.end());
  result.err.assign(errBytes.begin(), errBytes.end());
  return result;
}

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

    const CliResult info = RunVantrel({"info", raw.path()});
    EXPECT_EQ(info.exit, cli::kExitOk) << info.err;
    EXPECT_NE(info.out.find("\"thumbOffset\":" + std::to_string(dcs.thumbOffset) + ","),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"writer\":\"kodak-yuv\""), std::string::npos) << info.out;

    const CliResult extract = RunVantrel({"extract", raw.path(), out.path()});
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
  const CliResult extract = RunVantrel({"extract", raw.path(), out.path()});
  EXPECT_EQ(extract.exit, cli::kExitFailure);
  EXPECT_EQ(extract.err,
            "vantrel: error 0x8007000E: Couldn't allocate memory for KodakYuvDecode\n");
  EXPECT_FALSE(fixtures::FileExists(out.path()));
}

}  // namespace
}  // namespace vantrel
