// The ImageMagickObject conversation, against the stand-in component: the argument list on the
// COM boundary, the outcomes of every way out, and COM initialisation balanced on each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/image_converter.h"
#include "tests/fixtures/temp_file.h"
#include "tests/win32/wic_image.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::platform {
namespace {

using testing::FakeMagickLog;
using testing::FakeMagickMode;
using testing::RgbImage;
using testing::ScratchDirectory;

constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005u);
constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154u);

ConvertArguments Arguments(const std::string& in, const std::string& out,
                           const char* box = "120x80", const char* rotation = "0") {
  return {"-resize", box,     "-rotate", rotation,   in, "-gravity",
          "center",  "-size", "120x80",  "xc:white", out};
}

// Runs the conversion on a fresh thread, once outside any apartment and once inside one, and
// checks that neither run changes the thread's COM state.
ConversionOutcome ConvertChecked(const ConvertArguments& arguments) {
  ConversionOutcome outcome;
  testing::RunOnNewThread([&] {
    outcome = RunImageConverter(arguments);
    EXPECT_FALSE(testing::ThreadIsInApartment()) << "CoInitialize left unbalanced";
  });
  testing::RunOnNewThread([&] {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const ConversionOutcome again = RunImageConverter(arguments);
    EXPECT_EQ(again.hr, outcome.hr);
    EXPECT_TRUE(testing::ThreadIsInApartment()) << "CoUninitialize called once too often";
    CoUninitialize();
    EXPECT_FALSE(testing::ThreadIsInApartment()) << "CoInitialize left unbalanced";
  });
  return outcome;
}

class ImageConverter : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ComApartment com;
    const auto jpeg = testing::EncodeJpeg(RgbImage::Filled(64, 32, 200, 30, 30));
    ASSERT_FALSE(jpeg.empty());
    ASSERT_TRUE(fixtures::WriteFileBytes(input_, jpeg));
  }
  std::string Output() const { return scratch_.path() + "\\out.jpg"; }

  ScratchDirectory scratch_;
  std::string input_ = scratch_.path() + "\\thumb";
};

TEST_F(ImageConverter, PassesTheElevenStringsAsALockedArrayOfVariants) {
  FakeMagickLog log;
  const ConversionOutcome outcome = ConvertChecked(Arguments(input_, Output(), "80x120", "-90"));
  EXPECT_EQ(outcome.hr, kSOk);
  EXPECT_FALSE(outcome.noInterface);

  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 24u);  // two runs of a shape line and 11 entries
  EXPECT_EQ(lines[0], "dims=1 vartype=12 lbound=0 count=11 locked=1");
  const ConvertArguments expected = Arguments(input_, Output(), "80x120", "-90");
  for (int i = 0; i < 11; ++i) EXPECT_EQ(lines[1 + i], "8 " + expected[i]) << i;  // VT_BSTR
}

TEST_F(ImageConverter, TheComponentLeavesAJpegOfTheCanvasSize) {
  const ConversionOutcome outcome = ConvertChecked(Arguments(input_, Output()));
  ASSERT_EQ(outcome.hr, kSOk);
  testing::ComApartment com;
  RgbImage picture;
  ASSERT_TRUE(testing::DecodeImage(fixtures::ReadFileBytes(Output()), picture));
  EXPECT_EQ(picture.width, 120);
  EXPECT_EQ(picture.height, 80);
}

TEST_F(ImageConverter, EveryWayOutOfTheConversation) {
  struct Case {
    const char* mode;
    HResult hr;
    bool noInterface;
    std::string description;
  };
  const Case cases[] = {
      {"create-fails", kAccessDenied, false, ""},
      {"no-interface", kEUnexpected, true, ""},
      {"fail:80041234", static_cast<HResult>(0x80041234u), false, ""},
      {"fail-info:80041234", static_cast<HResult>(0x80041234u), false,
       testing::kFakeFailureDescription},
      {"fail-info:80004005", kEFail, false, testing::kFakeFailureDescription},
      {"no-output", kSOk, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    FakeMagickMode mode(c.mode);
    const ConversionOutcome outcome = ConvertChecked(Arguments(input_, Output()));
    EXPECT_EQ(outcome.hr, c.hr);
    EXPECT_EQ(outcome.noInterface, c.noInterface);
    EXPECT_EQ(outcome.description, c.description);
    EXPECT_FALSE(fixtures::FileExists(Output()));
  }
}

TEST_F(ImageConverter, ComponentNotRegistered) {
  testing::FakeMagickUnregistered unregistered;
  const ConversionOutcome outcome = ConvertChecked(Arguments(input_, Output()));
  EXPECT_EQ(outcome.hr, kClassNotRegistered);
  EXPECT_FALSE(outcome.noInterface);
  EXPECT_EQ(outcome.description, "");
}

}  // namespace
}  // namespace vantrel::platform
