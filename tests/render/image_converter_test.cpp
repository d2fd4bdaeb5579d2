// The ImageMagick component as the render road uses it: the 11 arguments in, one JPEG of the
// canvas size out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/image_converter.h"
#include "render/render.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/pictures.h"
#include "tests/support/scoped_tmpdir.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using testing::Box;
using testing::ContentBox;
using testing::IsWhite;
using testing::MakePnm;
using testing::Picture;

struct Conversion {
  platform::ConversionOutcome outcome;
  Picture picture;
  bool outputExists = false;
};

Conversion ConvertFile(const char* input, int width, int height, int rotation,
                       const std::string& output) {
  ParseState state;
  state.requestWidth = width;
  state.requestHeight = height;
  state.rotation = rotation;
  Conversion result;
  result.outcome = platform::RunImageConverter(MakeConvertArguments(state, input, output.c_str()));
  result.outputExists = fixtures::FileExists(output);
  if (result.outputExists) {
    EXPECT_TRUE(testing::DecodeJpeg(fixtures::ReadFileBytes(output), result.picture))
        << "the output is no JPEG";
  }
  return result;
}

Conversion Convert(const Bytes& thumbnail, int width, int height, int rotation = 0) {
  fixtures::TempFile input(thumbnail, "thumb");
  fixtures::TempPath output("out.jpg");
  return ConvertFile(input.c_str(), width, height, rotation, output.path());
}

void ExpectCornersWhite(const Picture& picture) {
  const int right = picture.width - 1, bottom = picture.height - 1;
  EXPECT_TRUE(IsWhite(picture.At(0, 0)));
  EXPECT_TRUE(IsWhite(picture.At(right, 0)));
  EXPECT_TRUE(IsWhite(picture.At(0, bottom)));
  EXPECT_TRUE(IsWhite(picture.At(right, bottom)));
}

void ExpectCentred(const Picture& picture, const Box& box) {
  ASSERT_FALSE(box.empty());
  EXPECT_NEAR(box.left, picture.width - 1 - box.right, 2);
  EXPECT_NEAR(box.top, picture.height - 1 - box.bottom, 2);
}

TEST(ImageConverter, FitsThePictureIntoTheBoxCentredOnWhite) {
  const Conversion c = Convert(fixtures::MakeJpeg(400, 200), 256, 256);
  ASSERT_EQ(c.outcome.hr, kSOk) << c.outcome.description << "\n" << c.outcome.errorText;
  ASSERT_EQ(c.picture.width, 256);
  ASSERT_EQ(c.picture.height, 256);
  ExpectCornersWhite(c.picture);
  const Box box = ContentBox(c.picture);
  EXPECT_NEAR(box.width(), 256, 2);
  EXPECT_NEAR(box.height(), 128, 3);
  ExpectCentred(c.picture, box);
}

TEST(ImageConverter, EnlargesASmallPreviewToTheBox) {
  const Conversion c = Convert(fixtures::MakeJpeg(16, 8), 200, 200);
  ASSERT_EQ(c.outcome.hr, kSOk);
  const Box box = ContentBox(c.picture);
  EXPECT_NEAR(box.width(), 200, 2);
  EXPECT_NEAR(box.height(), 100, 3);
}

TEST(ImageConverter, EveryRotationGivesExactlyTheCanvas) {
  const Bytes jpeg = fixtures::MakeJpeg(300, 100);
  for (int rotation : {0, 90, 180, 270, -90, -180, 45, 1, 359, 450, 2147483647, -2147483647 - 1}) {
    SCOPED_TRACE(rotation);
    const Conversion c = Convert(jpeg, 120, 80, rotation);
    ASSERT_EQ(c.outcome.hr, kSOk) << c.outcome.description << "\n" << c.outcome.errorText;
    ASSERT_EQ(c.picture.width, 120);
    ASSERT_EQ(c.picture.height, 80);
    ExpectCornersWhite(c.picture);
    ExpectCentred(c.picture, ContentBox(c.picture));
  }
}

// Left half red, right half blue.
Bytes RedBlue(int width, int height) {
  const std::string header =
      "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  Bytes bytes(header.begin(), header.end());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool left = x < width / 2;
      bytes.insert(bytes.end(), {static_cast<std::uint8_t>(left ? 255 : 0), 0,
                                 static_cast<std::uint8_t>(left ? 0 : 255)});
    }
  }
  return bytes;
}

TEST(ImageConverter, PositiveDegreesTurnClockwise) {
  // Where the red half of the picture ends up: 90 degrees clockwise takes the left side up.
  const struct {
    int rotation;
    int redX, redY, blueX, blueY;  // sample points, in quarters of the canvas
  } cases[] = {
      {0, 1, 2, 3, 2},   {90, 2, 1, 2, 3},  {180, 3, 2, 1, 2},
      {270, 2, 3, 2, 1}, {-90, 2, 3, 2, 1}, {-270, 2, 1, 2, 3},
  };
  const Bytes picture = RedBlue(64, 64);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rotation);
    const Conversion result = Convert(picture, 100, 100, c.rotation);
    ASSERT_EQ(result.outcome.hr, kSOk);
    const std::uint8_t* red = result.picture.At(c.redX * 25, c.redY * 25);
    const std::uint8_t* blue = result.picture.At(c.blueX * 25, c.blueY * 25);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[2], 60);
    EXPECT_GT(blue[2], 200);
    EXPECT_LT(blue[0], 60);
  }
}

TEST(ImageConverter, ReadsEveryKindOfThumbnailFile) {
  Bytes mrm = fixtures::MakeJpeg(64, 48);
  mrm[0] = 0xFF;  // what the MRM header byte stands in for
  const struct {
    const char* name;
    Bytes file;
    int r, g, b;  // expected centre colour, -1 for any
  } cases[] = {
      {"JPEG", fixtures::MakeJpeg(64, 48), -1, -1, -1},
      {"MRM JPEG", mrm, -1, -1, -1},
      {"PGM 8-bit", MakePnm(1, 40, 30, 255, {90}), 90, 90, 90},
      {"PGM 16-bit", MakePnm(1, 40, 30, 65535, {0x5A5A}), 90, 90, 90},
      {"PPM 8-bit", MakePnm(3, 40, 30, 255, {200, 50, 10}), 200, 50, 10},
      {"PPM 16-bit", MakePnm(3, 40, 30, 65535, {51400, 12850, 2570}), 200, 50, 10},
      {"PPM 12-bit", MakePnm(3, 40, 30, 4095, {3212, 803, 161}), 200, 50, 10},
      {"PPM 5-bit", MakePnm(3, 40, 30, 31, {31, 0, 0}), 255, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion result = Convert(c.file, 96, 96);
    ASSERT_EQ(result.outcome.hr, kSOk) << result.outcome.description << "\n"
                                       << result.outcome.errorText;
    ASSERT_EQ(result.picture.width, 96);
    ASSERT_EQ(result.picture.height, 96);
    ExpectCornersWhite(result.picture);
    if (c.r < 0) continue;
    const std::uint8_t* centre = result.picture.At(48, 48);
    EXPECT_NEAR(centre[0], c.r, 10);
    EXPECT_NEAR(centre[1], c.g, 10);
    EXPECT_NEAR(centre[2], c.b, 10);
  }
}

TEST(ImageConverter, ALargePgmIsAveragedNotSampled) {
  // Columns alternately black and white: any sampling shows stripes, averaging shows grey.
  const int width = 1200, height = 800;
  const std::string header = "P5 1200 800 255\n";
  Bytes file(header.begin(), header.end());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) file.push_back(x % 2 == 0 ? 0 : 255);
  const Conversion c = Convert(file, 256, 256);
  ASSERT_EQ(c.outcome.hr, kSOk);
  for (int x = 100; x < 156; ++x) {
    const std::uint8_t* pixel = c.picture.At(x, 128);
    EXPECT_NEAR(pixel[0], 128, 20) << x;
  }
}

TEST(ImageConverter, FailuresComeBackAsCodesWithDescriptions) {
  Bytes hugeJpeg = fixtures::MakeJpeg(16, 16);
  for (std::size_t i = 0; i + 8 < hugeJpeg.size(); ++i) {
    if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {  // SOF0: height and width at +5
      hugeJpeg[i + 5] = hugeJpeg[i + 7] = 0xFD;
      hugeJpeg[i + 6] = hugeJpeg[i + 8] = 0xE8;
      break;
    }
  }
  Bytes brokenJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x12, 0x34, 0x56};
  const struct {
    const char* name;
    Bytes file;
    std::uint32_t hr;
    const char* description;
  } cases[] = {
      {"text", fixtures::ToBytes("just some text"), 0x80004005u,
       "The thumbnail file is neither a JPEG nor a PGM/PPM picture"},
      {"empty", {}, 0x80004005u, "The thumbnail file is neither a JPEG nor a PGM/PPM picture"},
      {"broken JPEG", brokenJpeg, 0x80004005u, "Couldn't decode the JPEG thumbnail"},
      {"65000 x 65000 JPEG", hugeJpeg, 0x8007000Eu, "The thumbnail picture is too large"},
      {"PPM promising more than it holds", fixtures::ToBytes("P6 100000 100000 255\nabc"),
       0x80004005u, "The PGM/PPM thumbnail file is truncated"},
      {"PPM without maxval", fixtures::ToBytes("P6 12 10\n"), 0x80004005u,
       "Bad PGM/PPM header in the thumbnail file"},
      {"PPM with maxval 0", fixtures::ToBytes("P6 1 1 0\nabc"), 0x80004005u,
       "Bad PGM/PPM header in the thumbnail file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion result = Convert(c.file, 64, 64);
    EXPECT_EQ(static_cast<std::uint32_t>(result.outcome.hr), c.hr);
    EXPECT_EQ(result.outcome.description, c.description);
    EXPECT_FALSE(result.outcome.noInterface);
    EXPECT_FALSE(result.outputExists);
  }
}

TEST(ImageConverter, RefusesArgumentListsItDoesNotKnow) {
  fixtures::TempFile input(fixtures::MakeJpeg(32, 32), "thumb");
  fixtures::TempPath output("out.jpg");
  ParseState state;
  state.requestWidth = state.requestHeight = 64;
  const platform::ConvertArguments good =
      MakeConvertArguments(state, input.c_str(), output.c_str());
  const struct {
    std::size_t index;
    const char* text;
  } cases[] = {
      {0, "-sample"}, {1, "64"},      {1, "64x64+0+0"}, {3, "9999999999"}, {3, "4.5"}, {8, "0x64"},
      {8, "-64x64"},  {8, "4097x64"}, {1, "64x0"},      {9, "xc:black"},   {4, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + " " + c.text);
    platform::ConvertArguments arguments = good;
    arguments[c.index] = c.text;
    const platform::ConversionOutcome outcome = platform::RunImageConverter(arguments);
    EXPECT_EQ(static_cast<std::uint32_t>(outcome.hr), 0x80070057u);
    EXPECT_FALSE(outcome.description.empty());
    EXPECT_FALSE(fixtures::FileExists(output.path()));
  }
}

TEST(ImageConverter, FileErrorsCarryTheirSystemCodes) {
  fixtures::TempFile input(fixtures::MakeJpeg(32, 32), "thumb");
  fixtures::TempPath output("out.jpg");
  Conversion c = ConvertFile("/nonexistent-vantrel/thumb", 64, 64, 0, output.path());
  EXPECT_EQ(static_cast<std::uint32_t>(c.outcome.hr), 0x80070002u);
  EXPECT_EQ(c.outcome.description, "Couldn't open the thumbnail file");
  c = ConvertFile(input.c_str(), 64, 64, 0, "/nonexistent-vantrel/out.jpg");
  EXPECT_EQ(static_cast<std::uint32_t>(c.outcome.hr), 0x80070002u);
  EXPECT_EQ(c.outcome.description, "Couldn't write the converted JPEG");
}

TEST(ImageConverter, NeverWritesThroughALink) {
  fixtures::TempFile input(fixtures::MakeJpeg(32, 32), "thumb");
  fixtures::TempFile victim(fixtures::ToBytes("keep me"), "victim");
  fixtures::TempPath link("link.jpg");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ParseState state;
  state.requestWidth = state.requestHeight = 64;
  const platform::ConversionOutcome outcome =
      platform::RunImageConverter(MakeConvertArguments(state, input.c_str(), link.c_str()));
  EXPECT_TRUE(Failed(outcome.hr));
  EXPECT_EQ(fixtures::ReadFileBytes(victim.path()), fixtures::ToBytes("keep me"));
}

TEST(ImageConverter, LeavesOneJpegAndNothingElse) {
  testing::ScopedTmpDir tmp;
  const std::string input = tmp.path() + "/thumb";
  const std::string output = tmp.path() + "/out.jpg";
  ASSERT_TRUE(fixtures::WriteFileBytes(input, fixtures::MakeJpeg(640, 480)));
  const Conversion c = ConvertFile(input.c_str(), 128, 128, 45, output);
  ASSERT_EQ(c.outcome.hr, kSOk);
  std::vector<std::string> entries = tmp.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"out.jpg", "thumb"}));
}

}  // namespace
}  // namespace vantrel
