// `vantrel thumbnail` end to end, in process, on the generated samples.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/fixtures/samples.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/pictures.h"
#include "tests/support/run_vantrel.h"
#include "tests/support/scoped_tmpdir.h"
#include "tools/vantrel/cli.h"

namespace vantrel {
namespace {

using testing::CliOutcome;
using testing::RunVantrel;

testing::Picture ReadPng(const std::string& path) {
  testing::Picture picture;
  std::string error;
  EXPECT_TRUE(testing::DecodePng(fixtures::ReadFileBytes(path), picture, error)) << error;
  return picture;
}

TEST(ThumbnailCommand, MakesAPngOfEverySample) {
  for (const fixtures::Sample& sample : fixtures::MakeSamples()) {
    SCOPED_TRACE(sample.name);
    fixtures::TempFile raw(sample.bytes, sample.name);
    fixtures::TempPath png("thumb.png");
    testing::ScopedTmpDir tmp;
    const CliOutcome o = RunVantrel({"thumbnail", raw.path(), png.path()});
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    const testing::Picture picture = ReadPng(png.path());
    ASSERT_EQ(picture.width, 256);
    ASSERT_EQ(picture.height, 256);
    EXPECT_TRUE(testing::IsWhite(picture.At(0, 0)));
    EXPECT_TRUE(testing::IsWhite(picture.At(255, 255)));
    const testing::Box box = testing::ContentBox(picture);
    EXPECT_NEAR(box.top, 255 - box.bottom, 2);
    EXPECT_NEAR(box.width(), 256, 2);
    EXPECT_EQ(tmp.Entries(), std::vector<std::string>{});
  }
}

TEST(ThumbnailCommand, SizesAndJpegOutput) {
  fixtures::TempFile raw(fixtures::MakeSamples().front().bytes, "raw.nef");
  fixtures::TempPath png("box.png");
  EXPECT_EQ(
      RunVantrel({"thumbnail", "--width", "300", "--height", "120", raw.path(), png.path()}).exit,
      0);
  const testing::Picture box = ReadPng(png.path());
  EXPECT_EQ(box.width, 300);
  EXPECT_EQ(box.height, 120);

  fixtures::TempPath jpg("small.JPG");
  EXPECT_EQ(RunVantrel({"thumbnail", "-s", "64", raw.path(), jpg.path()}).exit, 0);
  testing::Picture picture;
  ASSERT_TRUE(testing::DecodeJpeg(fixtures::ReadFileBytes(jpg.path()), picture));
  EXPECT_EQ(picture.width, 64);
  EXPECT_EQ(picture.height, 64);
}

TEST(ThumbnailCommand, VerbosePrintsTheArgumentsAndTemporaryFiles) {
  fixtures::TempFile raw(fixtures::MakeSamples().front().bytes, "raw.nef");
  fixtures::TempPath png("thumb.png");
  testing::ScopedTmpDir tmp;
  const CliOutcome o = RunVantrel({"thumbnail", "-v", "-s", "100", raw.path(), png.path()});
  ASSERT_EQ(o.exit, 0) << o.err;
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = o.err.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(o.err.substr(at, end - at));
  ASSERT_EQ(lines.size(), 13u) << o.err;
  const std::string thumb = tmp.path() + "/vantrel_temp_";
  EXPECT_EQ(lines[0].rfind("thumbnail-file: " + thumb, 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("jpeg-file: " + thumb, 0), 0u) << lines[1];
  const std::string thumbPath = lines[0].substr(16);
  const std::string jpegPath = lines[1].substr(11);
  const std::string expected[11] = {"-resize", "100x100",  "-rotate", "0",
                                    thumbPath, "-gravity", "center",  "-size",
                                    "100x100", "xc:white", jpegPath};
  for (int i = 0; i < 11; ++i)
    EXPECT_EQ(lines[2 + i], "convert-arg[" + std::to_string(i) + "]: " + expected[i]);
}

TEST(ThumbnailCommand, FailuresPrintTheReportAndLeaveNoOutput) {
  fixtures::TempFile unsupported(fixtures::ToBytes("not a raw file at all"), "raw");
  fixtures::TempFile stale(fixtures::ToBytes("old thumbnail"), "stale.png");
  const CliOutcome o = RunVantrel({"thumbnail", unsupported.path(), stale.path()});
  EXPECT_EQ(o.exit, 1);
  EXPECT_EQ(o.err, "vantrel: error 0x80004001: Raw file format is not supported.\n");
  EXPECT_FALSE(fixtures::FileExists(stale.path()));

  fixtures::TempFile raw(fixtures::MakeSamples().front().bytes, "raw.nef");
  const CliOutcome unwritable =
      RunVantrel({"thumbnail", raw.path(), "/nonexistent-vantrel/out.png"});
  EXPECT_EQ(unwritable.exit, 1);
  EXPECT_EQ(unwritable.err.rfind("vantrel: cannot write /nonexistent-vantrel/out.png: ", 0), 0u)
      << unwritable.err;
}

TEST(ThumbnailCommand, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"thumbnail"},
      {"thumbnail", "raw"},
      {"thumbnail", "raw", "out", "extra"},
      {"thumbnail", "-s", "0", "raw", "out"},
      {"thumbnail", "-s", "4097", "raw", "out"},
      {"thumbnail", "-s", "12x", "raw", "out"},
      {"thumbnail", "-s"},
      {"thumbnail", "--width", "100", "raw", "out"},
      {"thumbnail", "-s", "100", "--width", "100", "--height", "100", "raw", "out"},
      {"thumbnail", "--frobnicate", "raw", "out"},
  };
  for (const auto& args : cases) {
    const CliOutcome o = RunVantrel(args);
    EXPECT_EQ(o.exit, 2) << ::testing::PrintToString(args);
    EXPECT_NE(o.err.find("Usage: vantrel thumbnail"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantrel
