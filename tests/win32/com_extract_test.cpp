// Extract end to end, as the shell calls it: Load, GetLocation, Extract into an HBITMAP, with
// the stand-in ImageMagick component doing the image work. No temporary file may remain, and
// every failure is reported once with its message.
#include <gtest/gtest.h>

#include "render/render.h"
#include "tests/fixtures/kodak_builder.h"
#include "tests/fixtures/temp_file.h"
#include "tests/fixtures/tiff_builder.h"
#include "tests/support/captured_reports.h"
#include "tests/win32/com_support.h"
#include "tests/win32/wic_image.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::testing {
namespace {

constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);

class ExtractRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateExtractor(IID_IExtractImage2, extract_), S_OK);
    ASSERT_EQ(extract_->QueryInterface(IID_IPersistFile, persist_.OutVoid()), S_OK);
  }

  // Writes a raw file outside the temporary directory that the test watches.
  std::string RawFile(const char* name, const fixtures::Bytes& bytes) {
    const std::string path = files_.path() + "\\" + name;
    EXPECT_TRUE(fixtures::WriteFileBytes(path, bytes));
    return path;
  }

  // A NEF-like file: IFD0 names the camera, a SubIFD holds the JPEG preview.
  std::string TiffWithJpeg(const RgbImage& preview) {
    const fixtures::Bytes jpeg = EncodeJpeg(preview);
    EXPECT_FALSE(jpeg.empty());
    fixtures::TiffBuilder tiff(fixtures::Endian::kLittle);
    const std::uint32_t at = tiff.AddBlob(jpeg);
    auto& sub = tiff.NewIfd();
    sub.Long(fixtures::kJpegOffset, at)
        .Long(fixtures::kJpegLength, static_cast<std::uint32_t>(jpeg.size()));
    tiff.AddIfd()
        .Ascii(fixtures::kMake, "NIKON CORPORATION")
        .Ascii(fixtures::kModel, "NIKON D70")
        .SubIfds({&sub});
    return RawFile("preview.nef", tiff.Build());
  }

  // Load, GetLocation with `flags`, Extract. The bitmap, if any, goes to `bitmap_`.
  HRESULT Extract(const std::string& path, int width, int height, DWORD flags = 0) {
    EXPECT_EQ(persist_->Load(Wide(path).c_str(), STGM_READ), S_OK);
    const SIZE size = {width, height};
    DWORD priority = 0;
    extract_->GetLocation(nullptr, 0, &priority, &size, 32, &flags);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    const HRESULT hr = extract_->Extract(&bitmap);
    if (SUCCEEDED(hr)) {
      bitmap_.handle = bitmap;
    } else {
      EXPECT_EQ(bitmap, nullptr);
    }
    return hr;
  }

  SIZE BitmapSize() {
    BITMAP info = {};
    EXPECT_EQ(GetObject(static_cast<HBITMAP>(bitmap_.handle), sizeof info, &info),
              static_cast<int>(sizeof info));
    return {info.bmWidth, info.bmHeight};
  }

  void TearDown() override {
    platform::ReleaseNativeBitmap(bitmap_);
    EXPECT_TRUE(temp_.Files().empty())
        << "a temporary file outlived Extract: " << (temp_.Files().empty() ? "" : temp_.Files()[0]);
    EXPECT_TRUE(ThreadIsInApartment()) << "the conversion uninitialised the shell's COM";
  }

  ComApartment com_;  // the shell's threads are in a single-threaded apartment
  ScratchDirectory files_;
  ScopedTempDirectory temp_;
  CapturedReports reports_;
  Ref<IExtractImage2> extract_;
  Ref<IPersistFile> persist_;
  platform::Bitmap bitmap_;
};

TEST_F(ExtractRoad, AStoredJpegBecomesABitmapOfTheRequestedSizeOnWhite) {
  // A square red preview fitted into 120 x 80 leaves white bands left and right.
  const std::string raw = TiffWithJpeg(RgbImage::Filled(160, 160, 220, 20, 20));
  ASSERT_EQ(Extract(raw, 120, 80), S_OK);
  ASSERT_NE(bitmap_.handle, nullptr);
  const SIZE size = BitmapSize();
  EXPECT_EQ(size.cx, 120);
  EXPECT_EQ(size.cy, 80);
  ASSERT_TRUE(platform::ReadBitmapPixels(bitmap_));
  auto pixel = [&](int x, int y) { return bitmap_.rgb.data() + (y * 120 + x) * 3; };
  EXPECT_GT(pixel(60, 40)[0], 180);
  EXPECT_LT(pixel(60, 40)[1], 80);
  for (int x : {2, 117}) EXPECT_GT(pixel(x, 40)[1], 220) << x;
  EXPECT_TRUE(reports_.reports.empty());
}

TEST_F(ExtractRoad, AnAsynchronousRequestStillSetsTheSize) {
  const std::string raw = TiffWithJpeg(RgbImage::Filled(64, 48, 10, 200, 10));
  ASSERT_EQ(Extract(raw, 96, 200, 0x1), S_OK);
  const SIZE size = BitmapSize();
  EXPECT_EQ(size.cx, 96);
  EXPECT_EQ(size.cy, 200);
}

TEST_F(ExtractRoad, ATranscodedPpmThumbnail) {
  const fixtures::RgbPicture picture = fixtures::MakeLandscape(60, 40);
  const fixtures::KodakDcsFile file =
      fixtures::MakeKodakDcs(picture.width, picture.height, fixtures::EncodeKodakRgb(picture));
  ASSERT_EQ(Extract(RawFile("kodak.dcr", file.bytes), 80, 80), S_OK);
  const SIZE size = BitmapSize();
  EXPECT_EQ(size.cx, 80);
  EXPECT_EQ(size.cy, 80);
  EXPECT_TRUE(reports_.reports.empty());
}

TEST_F(ExtractRoad, ARealCameraFile) {
  const std::string sample = WindowsPath(VANTREL_SAMPLES_DIR "/fujifilm-s5pro.raf");
  if (!fixtures::FileExists(sample)) GTEST_SKIP() << "no sample at " << sample;
  ASSERT_EQ(Extract(sample, 120, 80), S_OK);
  const SIZE size = BitmapSize();
  EXPECT_EQ(size.cx, 120);
  EXPECT_EQ(size.cy, 80);
}

TEST_F(ExtractRoad, AnUnsupportedFile) {
  EXPECT_EQ(Extract(RawFile("text.nef", fixtures::Bytes(200, 'x')), 120, 80), E_NOTIMPL);
  const std::vector<Report> expected = {{E_NOTIMPL, "Raw file format is not supported."}};
  EXPECT_EQ(reports_.reports, expected);
}

TEST_F(ExtractRoad, AMissingFile) {
  EXPECT_EQ(Extract(files_.path() + "\\missing.nef", 120, 80), E_UNEXPECTED);
  const std::vector<Report> expected = {{E_UNEXPECTED, "Couldn't open raw image file."}};
  EXPECT_EQ(reports_.reports, expected);
}

TEST_F(ExtractRoad, EveryFailureOfTheComponent) {
  const std::string raw = TiffWithJpeg(RgbImage::Filled(32, 32, 0, 0, 200));
  const HRESULT custom = static_cast<HRESULT>(0x80041234u);
  struct Case {
    const char* mode;
    HRESULT hr;
    std::string message;  // a description of "" stands for the one of a bare COM error
  };
  const Case cases[] = {
      {"no-interface", E_UNEXPECTED, "Couldn't access ImageMagickObject"},
      {"create-fails", E_ACCESSDENIED, "\n" + ConversionErrorText(E_ACCESSDENIED)},
      {"fail:80041234", custom, "\nIDispatch error #4148"},
      {"fail-info:80041234", custom,
       std::string(kFakeFailureDescription) + "\nIDispatch error #4148"},
      {"no-output", E_UNEXPECTED, "Couldn't open Image File."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    reports_.reports.clear();
    FakeMagickMode mode(c.mode);
    EXPECT_EQ(Extract(raw, 120, 80), c.hr);
    ASSERT_EQ(reports_.reports.size(), 1u);
    EXPECT_EQ(reports_.reports[0].code, E_UNEXPECTED);
    const std::string& message = reports_.reports[0].message;
    if (c.message[0] == '\n') {
      // A bare COM error: some first line, then the error's text.
      ASSERT_GT(message.size(), c.message.size());
      EXPECT_EQ(message.substr(message.size() - c.message.size()), c.message);
      EXPECT_NE(message[0], '\n');
    } else {
      EXPECT_EQ(message, c.message);
    }
    EXPECT_TRUE(temp_.Files().empty());
  }
}

TEST_F(ExtractRoad, TheComponentIsNotInstalled) {
  const std::string raw = TiffWithJpeg(RgbImage::Filled(32, 32, 0, 0, 200));
  FakeMagickUnregistered unregistered;
  EXPECT_EQ(Extract(raw, 120, 80), kClassNotRegistered);
  ASSERT_EQ(reports_.reports.size(), 1u);
  EXPECT_EQ(reports_.reports[0].code, E_UNEXPECTED);
  const std::string text = "\n" + ConversionErrorText(kClassNotRegistered);
  const std::string& message = reports_.reports[0].message;
  ASSERT_GT(message.size(), text.size());
  EXPECT_EQ(message.substr(message.size() - text.size()), text);
}

}  // namespace
}  // namespace vantrel::testing
