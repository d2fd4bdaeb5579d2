#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fixtures/temp_file.h"
#include "tests/fixtures/tiff_builder.h"
#include "tests/support/run_vantrel.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::TempFile;
using fixtures::TempPath;
using fixtures::TiffBuilder;

using testing::RunVantrel;

Bytes NikonWithPreview(const Bytes& preview) {
  TiffBuilder tiff;
  const std::uint32_t at = tiff.AddBlob(preview);
  tiff.AddIfd()
      .Ascii(fixtures::kMake, "NIKON CORPORATION")
      .Ascii(fixtures::kModel, "NIKON D70")
      .Long(fixtures::kJpegOffset, at)
      .Long(fixtures::kJpegLength, static_cast<std::uint32_t>(preview.size()));
  return tiff.Build();
}

TEST(CliExtract, WritesTheThumbnailFile) {
  const Bytes preview = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
  TempFile raw(NikonWithPreview(preview));
  TempPath out("out.jpg");
  const testing::CliOutcome r = RunVantrel({"extract", raw.path(), out.path()});
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(fixtures::ReadFileBytes(out.path()), preview);
}

TEST(CliExtract, FailurePrintsEveryReportAndRemovesOut) {
  TempFile raw(fixtures::ToBytes("definitely not a raw file, but longer than its head"));
  TempPath out("out.jpg");
  fixtures::WriteFileBytes(out.path(), {1, 2, 3});  // a stale file from an earlier run
  const testing::CliOutcome r = RunVantrel({"extract", raw.path(), out.path()});
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err, "vantrel: error 0x80004001: Raw file format is not supported.\n");
  EXPECT_FALSE(fixtures::FileExists(out.path()));

  TempPath missing("missing");
  const testing::CliOutcome m = RunVantrel({"extract", missing.path(), out.path()});
  EXPECT_EQ(m.exit, 1);
  EXPECT_EQ(m.err, "vantrel: error 0x8000FFFF: Couldn't open raw image file.\n");
}

TEST(CliInfo, PrintsOneJsonObject) {
  TempFile raw(NikonWithPreview(Bytes(40, 7)));
  const testing::CliOutcome r = RunVantrel({"info", raw.path()});
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out,
            "{\"status\":\"0x00000000\",\"make\":\"NIKON CORPORATION\",\"model\":\"NIKON D70\","
            "\"thumbHead\":\"\",\"thumbOffset\":8,\"thumbLength\":40,\"rotation\":0,"
            "\"thumbWidth\":0,\"thumbHeight\":0,\"planarRgb\":0,\"byteOrder\":18761,"
            "\"foveonVersion\":0,\"rowPadding\":0,\"writer\":\"copy\"}\n");
}

TEST(CliInfo, EscapesTextAndReportsFailures) {
  // Strip pixels: the header text ends in a line feed; quotes and bytes above 0x7E escape.
  TiffBuilder tiff;
  tiff.AddIfd()
      .Ascii(fixtures::kMake, "Ma\"k\\e\xE9")
      .Ascii(fixtures::kModel, "M")
      .Long(fixtures::kImageWidth, 4)
      .Long(fixtures::kImageLength, 2)
      .Short(fixtures::kBitsPerSample, 8)
      .Long(fixtures::kStripOffsets, 8);
  TempFile raw(tiff.Build());
  const testing::CliOutcome r = RunVantrel({"info", raw.path()});
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.out.find("\"make\":\"Ma\\\"k\\\\e\\u00E9\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"thumbHead\":\"P6 4 2 255\\u000A\""), std::string::npos) << r.out;

  TempPath missing("missing");
  const testing::CliOutcome m = RunVantrel({"info", missing.path()});
  EXPECT_EQ(m.exit, 1);
  EXPECT_EQ(m.out.rfind("{\"status\":\"0x8000FFFF\"", 0), 0u) << m.out;
  EXPECT_EQ(m.err, "vantrel: error 0x8000FFFF: Couldn't open raw image file.\n");
}

TEST(CliUsage, HelpVersionAndUsageErrors) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* outHas;
    const char* errHas;
  } cases[] = {
      {{}, 2, "", "no command"},
      {{"--help"}, 0, "Usage: vantrel COMMAND", ""},
      {{"--version"}, 0, "vantrel 1.0.29", ""},
      {{"extract", "--help"}, 0, "Usage: vantrel extract RAW OUT", ""},
      {{"info", "-h"}, 0, "Usage: vantrel info RAW", ""},
      {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
      {{"extract", "only-one"}, 2, "", "wrong number of arguments"},
      {{"info", "a", "b"}, 2, "", "wrong number of arguments"},
      {{"extract", "--fast", "a", "b"}, 2, "", "unknown option '--fast'"},
  };
  for (const auto& c : cases) {
    const testing::CliOutcome r = RunVantrel(c.args);
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(r.exit, c.status) << what;
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << what << ": " << r.out;
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << what << ": " << r.err;
  }
}

}  // namespace
}  // namespace vantrel
