#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "platform/temp_files.h"
#include "shellext/extractor.h"
#include "tests/fixtures/samples.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"
#include "tests/support/pictures.h"
#include "tests/support/scoped_tmpdir.h"

namespace vantrel {
namespace {

using testing::CapturedReports;
using testing::Report;

TEST(Extractor, GetLocationSettlesTheCacheFlag) {
  const struct {
    std::uint32_t in;
    std::uint32_t out;
    HResult hr;
    bool stampIsNow;
  } cases[] = {
      {0x00, 0x02, kSOk, false},                // neither screen nor original size: cache
      {0x02, 0x02, kSOk, false},                //
      {0x20, 0x20, kSOk, true},                 // a screen picture: not cached, stamped now
      {0x22, 0x20, kSOk, true},                 //
      {0x60, 0x62, kSOk, false},                // screen at original size: cache
      {0x40, 0x42, kSOk, false},                //
      {0x01, 0x03, kEPending, false},           // asynchronous: pending, flags settled all the same
      {0x21, 0x21, kEPending, true},            //
      {0x80000004u, 0x80000006u, kSOk, false},  // other bits stay as they were
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    Extractor extractor;
    std::uint32_t flags = c.in;
    EXPECT_EQ(extractor.GetLocation(120, 80, flags), c.hr);
    EXPECT_EQ(flags, c.out);
    EXPECT_EQ(extractor.state().stampIsNow, c.stampIsNow);
    EXPECT_EQ(extractor.state().requestWidth, 120);
    EXPECT_EQ(extractor.state().requestHeight, 80);
  }
}

TEST(Extractor, OnlyLoadClearsTheScreenStamp) {
  Extractor extractor;
  std::uint32_t flags = kIeiFlagScreen;
  extractor.GetLocation(10, 10, flags);
  flags = 0;
  extractor.GetLocation(20, 30, flags);
  EXPECT_TRUE(extractor.state().stampIsNow);
  EXPECT_EQ(extractor.state().requestWidth, 20);
  EXPECT_EQ(extractor.Load("/some/file.nef"), kSOk);
  EXPECT_FALSE(extractor.state().stampIsNow);
  EXPECT_STREQ(extractor.state().sourcePath, "/some/file.nef");
}

TEST(Extractor, DateStampIsTheFileTimeOrNowAfterAScreenRequest) {
  fixtures::TempFile file(fixtures::ToBytes("raw"), "stamped");
  // 2001-02-03 04:05:06.789 UTC, 100 ns units since 1601.
  const timespec times[2] = {{981173106, 789000000}, {981173106, 789000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  const std::uint64_t expected = (981173106ULL + 11644473600ULL) * 10000000ULL + 7890000ULL;

  Extractor extractor;
  extractor.Load(file.c_str());
  std::uint64_t stamp = 0;
  ASSERT_EQ(extractor.GetDateStamp(stamp), kSOk);
  EXPECT_EQ(stamp, expected);

  std::uint32_t flags = kIeiFlagScreen;
  extractor.GetLocation(96, 96, flags);
  const std::uint64_t before = platform::CurrentFileTime();
  ASSERT_EQ(extractor.GetDateStamp(stamp), kSOk);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, platform::CurrentFileTime());

  extractor.Load(file.c_str());
  ASSERT_EQ(extractor.GetDateStamp(stamp), kSOk);
  EXPECT_EQ(stamp, expected);
}

TEST(Extractor, DateStampOfAMissingFileFailsEvenForTheScreen) {
  for (const std::uint32_t request : {0u, kIeiFlagScreen}) {
    Extractor extractor;
    extractor.Load("/nonexistent-vantrel/raw.nef");
    std::uint32_t flags = request;
    extractor.GetLocation(96, 96, flags);
    std::uint64_t stamp = 42;
    EXPECT_EQ(extractor.GetDateStamp(stamp), kEFail);
    EXPECT_EQ(stamp, 42u);
  }
}

TEST(Extractor, APathTooLongForTheFieldIsNotCutButDropped) {
  // Cutting would name another file; the whole path in the field would not fit.
  const std::string fits(kPathChars - 1, 'a');
  const std::string tooLong(kPathChars, 'a');
  Extractor extractor;
  extractor.Load(fits.c_str());
  EXPECT_EQ(extractor.state().sourcePath, fits);
  extractor.Load(tooLong.c_str());
  EXPECT_STREQ(extractor.state().sourcePath, "");

  testing::ScopedTmpDir tmp;
  std::uint32_t flags = 0;
  extractor.GetLocation(96, 96, flags);
  CapturedReports reports;
  platform::Bitmap bitmap;
  EXPECT_EQ(extractor.Extract(bitmap), kEUnexpected);
  EXPECT_EQ(reports.reports,
            (std::vector<Report>{{kEUnexpected, "Couldn't open raw image file."}}));
  std::uint64_t stamp = 0;
  EXPECT_EQ(extractor.GetDateStamp(stamp), kEFail);
  EXPECT_TRUE(tmp.Entries().empty());
}

TEST(Extractor, ExtractsEverySampleToTheRequestedSizeLeavingNoFile) {
  for (const fixtures::Sample& sample : fixtures::MakeSamples()) {
    SCOPED_TRACE(sample.name);
    fixtures::TempFile raw(sample.bytes, sample.name);
    testing::ScopedTmpDir tmp;
    Extractor extractor;
    extractor.Load(raw.c_str());
    std::uint32_t flags = 0;
    extractor.GetLocation(160, 160, flags);
    CapturedReports reports;
    platform::Bitmap bitmap;
    ASSERT_EQ(extractor.Extract(bitmap), kSOk);
    EXPECT_TRUE(reports.reports.empty());
    ASSERT_TRUE(platform::ReadBitmapPixels(bitmap));
    EXPECT_EQ(bitmap.width, 160);
    EXPECT_EQ(bitmap.height, 160);
    EXPECT_TRUE(testing::IsWhite(&bitmap.rgb[0]));  // landscape previews leave white above
    EXPECT_EQ(tmp.Entries(), std::vector<std::string>{});
  }
}

TEST(Extractor, ARealCameraFileWithAWholePreviewRenders) {
  Extractor extractor;
  extractor.Load(VANTREL_SAMPLES_DIR "/fujifilm-s5pro.raf");
  std::uint32_t flags = 0;
  extractor.GetLocation(64, 64, flags);
  CapturedReports reports;
  platform::Bitmap bitmap;
  ASSERT_EQ(extractor.Extract(bitmap), kSOk);
  EXPECT_EQ(bitmap.width, 64);
  EXPECT_EQ(bitmap.height, 64);
}

TEST(Extractor, APreviewCutDownToAFewBytesFailsAtRendering) {
  testing::ScopedTmpDir tmp;
  Extractor extractor;
  extractor.Load(VANTREL_SAMPLES_DIR "/nikon-d70.nef");
  std::uint32_t flags = 0;
  extractor.GetLocation(64, 64, flags);
  CapturedReports reports;
  platform::Bitmap bitmap;
  EXPECT_TRUE(Failed(extractor.Extract(bitmap)));
  ASSERT_EQ(reports.reports.size(), 1u);
  EXPECT_EQ(reports.reports[0].code, kEUnexpected);
  EXPECT_EQ(tmp.Entries(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vantrel
