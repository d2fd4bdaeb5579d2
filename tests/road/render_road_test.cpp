// The road from Extract to the bitmap with a scripted component in place of ImageMagick, so
// that every way out of it can be taken: reports, codes and, above all, that no temporary
// file outlives the call.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "render/render.h"
#include "shellext/extractor.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/samples.h"
#include "tests/fixtures/temp_file.h"
#include "tests/road/scripted_converter.h"
#include "tests/support/captured_reports.h"
#include "tests/support/scoped_tmpdir.h"

namespace vantrel {
namespace {

using testing::CapturedReports;
using testing::Report;
using testing::Script;

constexpr HResult kInvalidPicture = static_cast<HResult>(0x800A01E1u);

class RenderRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    Script() = {};
    Script().output = fixtures::MakeJpeg(96, 64);
    raw_ = fixtures::TempDirectory() + "/vantrel_road_" + std::to_string(getpid()) + ".nef";
    ASSERT_TRUE(fixtures::WriteFileBytes(raw_, fixtures::MakeSamples().front().bytes));
  }
  void TearDown() override { std::remove(raw_.c_str()); }

  // Runs Load, GetLocation and Extract on `path` with TMPDIR at an empty directory, and checks
  // that the directory is empty again afterwards.
  HResult Extract(const std::string& path, platform::Bitmap& out) {
    testing::ScopedTmpDir tmp;
    Extractor extractor;
    extractor.Load(path.c_str());
    std::uint32_t flags = 0;
    extractor.GetLocation(96, 64, flags);
    const HResult hr = extractor.Extract(out);
    EXPECT_EQ(tmp.Entries(), std::vector<std::string>{}) << "temporary files left behind";
    if (Script().calls > 0) {
      const std::string prefix = tmp.path() + "/" + kTempPrefix;
      EXPECT_EQ(Script().arguments[4].rfind(prefix, 0), 0u) << Script().arguments[4];
      EXPECT_EQ(Script().arguments[10].rfind(prefix, 0), 0u) << Script().arguments[10];
      EXPECT_TRUE(Script().inputExisted);
    }
    return hr;
  }

  std::string raw_;
};

TEST_F(RenderRoad, SuccessHandsOverTheBitmapAndRemovesBothFiles) {
  CapturedReports reports;
  platform::Bitmap bitmap;
  EXPECT_EQ(Extract(raw_, bitmap), kSOk);
  EXPECT_TRUE(reports.reports.empty());
  EXPECT_EQ(bitmap.width, 96);
  EXPECT_EQ(bitmap.height, 64);
  const std::string& jpg = Script().arguments[10];
  EXPECT_EQ(jpg.substr(jpg.size() - 4), ".jpg");
}

TEST_F(RenderRoad, APositiveCodeFromTheComponentCountsAsSuccess) {
  Script().outcome.hr = kSFalse;
  platform::Bitmap bitmap;
  EXPECT_EQ(Extract(raw_, bitmap), kSOk);
  EXPECT_EQ(bitmap.width, 96);
}

TEST_F(RenderRoad, EveryFailureIsReportedOnceAndLeavesNoFile) {
  platform::ConversionOutcome noInterface;
  noInterface.hr = kENoInterface;
  noInterface.noInterface = true;
  platform::ConversionOutcome bare;
  bare.hr = static_cast<HResult>(0x80040201u);
  platform::ConversionOutcome described;
  described.hr = kEFail;
  described.description = "Magick says no";
  described.errorText = "because";
  platform::ConversionOutcome classMissing;
  classMissing.hr = static_cast<HResult>(0x80040154u);
  classMissing.description = "ImageMagickObject";

  const struct {
    const char* name;
    platform::ConversionOutcome outcome;
    bool writeOutput;
    fixtures::Bytes output;
    HResult hr;
    Report report;
    bool removeOutput = false;
  } cases[] = {
      {"component out of reach",
       noInterface,
       false,
       {},
       kEUnexpected,
       {kEUnexpected, "Couldn't access ImageMagickObject"}},
      {"failure without description",
       bare,
       false,
       {},
       static_cast<HResult>(0x80040201u),
       {kEUnexpected, "ImageMagick conversion failed\nIDispatch error #1"}},
      {"failure with description and text",
       described,
       true,
       fixtures::ToBytes("partial"),
       kEFail,
       {kEUnexpected, "Magick says no\nbecause"}},
      {"failure with the system's text",
       classMissing,
       false,
       {},
       static_cast<HResult>(0x80040154u),
       {kEUnexpected, "ImageMagickObject\nClass not registered"}},
      // The JPEG's name is created empty, so a component that writes nothing leaves no picture.
      {"success without output",
       {},
       false,
       {},
       kInvalidPicture,
       {kInvalidPicture, "OLE Load picture failed"}},
      {"success that took its output away",
       {},
       false,
       {},
       kEUnexpected,
       {kEUnexpected, "Couldn't open Image File."},
       true},
      {"success with no picture",
       {},
       true,
       fixtures::ToBytes("not a picture"),
       kInvalidPicture,
       {kInvalidPicture, "OLE Load picture failed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script().outcome = c.outcome;
    Script().writeOutput = c.writeOutput;
    Script().output = c.output;
    Script().removeOutput = c.removeOutput;
    CapturedReports reports;
    platform::Bitmap bitmap;
    EXPECT_EQ(Extract(raw_, bitmap), c.hr);
    EXPECT_EQ(reports.reports, std::vector<Report>{c.report});
    EXPECT_EQ(bitmap.width, 0);
    EXPECT_TRUE(bitmap.rgb.empty());
  }
}

TEST_F(RenderRoad, AnUnsupportedFileNeverReachesTheComponent) {
  fixtures::TempFile unsupported(fixtures::ToBytes("neither TIFF nor anything else"), "raw");
  CapturedReports reports;
  platform::Bitmap bitmap;
  EXPECT_EQ(Extract(unsupported.path(), bitmap), kENotImpl);
  EXPECT_EQ(reports.reports,
            (std::vector<Report>{{kENotImpl, "Raw file format is not supported."}}));
  EXPECT_EQ(Script().calls, 0);
}

TEST_F(RenderRoad, AMissingFileFailsBeforeAnythingIsWritten) {
  CapturedReports reports;
  platform::Bitmap bitmap;
  EXPECT_EQ(Extract("/nonexistent-vantrel/raw.nef", bitmap), kEUnexpected);
  EXPECT_EQ(reports.reports,
            (std::vector<Report>{{kEUnexpected, "Couldn't open raw image file."}}));
}

TEST_F(RenderRoad, RenderThumbnailClearsTheBitmapFirst) {
  testing::ScopedTmpDir tmp;
  Script().outcome.hr = kEFail;
  ParseState state;
  state.requestWidth = state.requestHeight = 32;
  std::strcpy(state.thumbPath, (tmp.path() + "/thumb").c_str());
  ASSERT_TRUE(fixtures::WriteFileBytes(state.thumbPath, fixtures::MakeJpeg(8, 8)));
  CapturedReports reports;
  platform::Bitmap bitmap;
  bitmap.width = 5;
  bitmap.rgb = {9};
  EXPECT_EQ(RenderThumbnail(state, bitmap), kEFail);
  EXPECT_EQ(bitmap.width, 0);
  EXPECT_TRUE(bitmap.rgb.empty());
  EXPECT_TRUE(tmp.Entries().empty());
}

}  // namespace
}  // namespace vantrel
