// Loading the converted JPEG as a bitmap that the caller owns.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/picture_loader.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"
#include "tests/win32/wic_image.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::platform {
namespace {

using testing::CapturedReports;
using testing::Report;
using testing::RgbImage;

class PictureLoader : public ::testing::Test {
 protected:
  testing::ComApartment com_;
  CapturedReports reports_;
};

TEST_F(PictureLoader, AJpegBecomesABitmapOfItsOwnSize) {
  RgbImage image = RgbImage::Filled(37, 23, 0, 0, 255);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 18; ++x) *image.At(x, y) = 255, image.At(x, y)[2] = 0;  // left half red
  }
  fixtures::TempFile jpeg(testing::EncodeJpeg(image), "picture.jpg");

  Bitmap bitmap;
  ASSERT_EQ(LoadPicture(jpeg.c_str(), bitmap), kSOk);
  ASSERT_NE(bitmap.handle, nullptr);
  EXPECT_EQ(bitmap.width, 37);
  EXPECT_EQ(bitmap.height, 23);
  EXPECT_TRUE(reports_.reports.empty());

  // The copy outlives the picture object, and its pixels are the JPEG's.
  BITMAP info = {};
  ASSERT_EQ(GetObject(static_cast<HBITMAP>(bitmap.handle), sizeof info, &info),
            static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 37);
  EXPECT_EQ(info.bmHeight, 23);
  ASSERT_TRUE(ReadBitmapPixels(bitmap));
  const std::uint8_t* left = bitmap.rgb.data() + (11 * 37 + 4) * 3;
  const std::uint8_t* right = bitmap.rgb.data() + (11 * 37 + 32) * 3;
  EXPECT_GT(left[0], 200);
  EXPECT_LT(left[2], 60);
  EXPECT_LT(right[0], 60);
  EXPECT_GT(right[2], 200);

  HBITMAP handle = static_cast<HBITMAP>(bitmap.handle);
  ReleaseNativeBitmap(bitmap);
  EXPECT_EQ(bitmap.handle, nullptr);
  EXPECT_EQ(GetObject(handle, sizeof info, &info), 0) << "the bitmap was deleted";
}

TEST_F(PictureLoader, FailuresAreReportedAndLeaveTheOutputAlone) {
  fixtures::TempPath missing;
  fixtures::TempFile notAPicture(fixtures::Bytes(300, 0x5A), "text.jpg");
  fixtures::TempFile empty(fixtures::Bytes{}, "empty.jpg");

  Bitmap bitmap;
  bitmap.width = 5;
  EXPECT_EQ(LoadPicture(missing.c_str(), bitmap), kEUnexpected);
  const HResult garbage = LoadPicture(notAPicture.c_str(), bitmap);
  EXPECT_LT(garbage, 0);
  const HResult nothing = LoadPicture(empty.c_str(), bitmap);
  EXPECT_LT(nothing, 0);
  EXPECT_EQ(bitmap.width, 5);
  EXPECT_EQ(bitmap.handle, nullptr);

  const std::vector<Report> expected = {{kEUnexpected, "Couldn't open Image File."},
                                        {garbage, "OLE Load picture failed"},
                                        {nothing, "OLE Load picture failed"}};
  EXPECT_EQ(reports_.reports, expected);
}

}  // namespace
}  // namespace vantrel::platform
