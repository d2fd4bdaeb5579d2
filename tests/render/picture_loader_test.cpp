#include <gtest/gtest.h>

#include "platform/picture_loader.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"
#include "tests/support/pictures.h"

namespace vantrel {
namespace {

using testing::CapturedReports;
using testing::Report;

TEST(PictureLoader, LoadsAJpegAtItsOwnSize) {
  const fixtures::Bytes jpeg = fixtures::MakeJpeg(123, 45);
  fixtures::TempFile file(jpeg, "picture.jpg");
  CapturedReports reports;
  platform::Bitmap bitmap;
  ASSERT_EQ(platform::LoadPicture(file.c_str(), bitmap), kSOk);
  EXPECT_TRUE(reports.reports.empty());
  testing::Picture expected;
  ASSERT_TRUE(testing::DecodeJpeg(jpeg, expected));
  EXPECT_EQ(bitmap.width, 123);
  EXPECT_EQ(bitmap.height, 45);
  EXPECT_EQ(bitmap.rgb, expected.rgb);
  EXPECT_TRUE(platform::ReadBitmapPixels(bitmap));
}

TEST(PictureLoader, EachFailureIsReportedAndLeavesTheBitmapAlone) {
  const fixtures::TempFile notJpeg(fixtures::ToBytes("P6 1 1 255\nabc"), "notjpeg");
  const fixtures::TempFile empty({}, "empty");
  fixtures::Bytes cut = fixtures::MakeJpeg(64, 64);
  cut.resize(20);
  const fixtures::TempFile truncated(cut, "cut");
  const struct {
    const char* name;
    std::string path;
    Report report;
  } cases[] = {
      {"missing", "/nonexistent-vantrel/picture.jpg", {kEUnexpected, "Couldn't open Image File."}},
      {"not a JPEG",
       notJpeg.path(),
       {static_cast<HResult>(0x800A01E1u), "OLE Load picture failed"}},
      {"empty", empty.path(), {static_cast<HResult>(0x800A01E1u), "OLE Load picture failed"}},
      {"cut after its header",
       truncated.path(),
       {static_cast<HResult>(0x800A01E1u), "OLE Load picture failed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedReports reports;
    platform::Bitmap bitmap;
    bitmap.width = 7;
    bitmap.rgb = {1, 2, 3};
    EXPECT_EQ(platform::LoadPicture(c.path.c_str(), bitmap), c.report.code);
    EXPECT_EQ(reports.reports, std::vector<Report>{c.report});
    EXPECT_EQ(bitmap.width, 7);
    EXPECT_EQ(bitmap.rgb, (std::vector<std::uint8_t>{1, 2, 3}));
  }
}

}  // namespace
}  // namespace vantrel
