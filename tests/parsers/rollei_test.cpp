#include <gtest/gtest.h>

#include <string>

#include "core/extract.h"
#include "core/parse_state.h"
#include "parsers/rollei.h"
#include "tests/fixtures/rollei_builder.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"
#include "tests/support/raw_file.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::RolleiHeader;
using testing::CapturedReports;
using testing::OpenRawFile;

// Fields before the parse: a key that is not recognised leaves them so.
constexpr std::int32_t kOffsetBefore = 11;
constexpr std::int32_t kWidthBefore = 22;
constexpr std::int32_t kHeightBefore = 33;

ParseState Parse(const Bytes& file) {
  ParseState state;
  state.thumbOffset = kOffsetBefore;
  state.thumbWidth = kWidthBefore;
  state.thumbHeight = kHeightBefore;
  OpenRawFile raw(file, state);
  EXPECT_EQ(ParseRollei(state), kSOk);
  return state;
}

TEST(ParseRollei, ReadsTheHeader) {
  const ParseState s =
      Parse(RolleiHeader({"HDR=1024", "X  =640", "Y  =480", "TX =160", "TY =120", "EOHD"}));
  EXPECT_EQ(s.thumbOffset, 1024);
  EXPECT_EQ(s.thumbWidth, 160);
  EXPECT_EQ(s.thumbHeight, 120);
  EXPECT_EQ(s.thumbLength, 160 * 120 * 2);
  EXPECT_STREQ(s.make, "Rollei");
  EXPECT_STREQ(s.model, "d530flex");
}

TEST(ParseRollei, KeyAndValueRules) {
  const struct {
    const char* what;
    std::vector<std::string> lines;
    std::int32_t offset, width, height;
  } cases[] = {
      {"TX without its space", {"TX=160", "EOHD"}, kOffsetBefore, kWidthBefore, kHeightBefore},
      {"TX with two spaces", {"TX  =160", "EOHD"}, kOffsetBefore, kWidthBefore, kHeightBefore},
      {"key alone on its line",
       {"HDR", "1024", "EOHD"},
       kOffsetBefore,
       kWidthBefore,
       kHeightBefore},
      {"other case", {"hdr=5", "tx =6", "EOHD"}, kOffsetBefore, kWidthBefore, kHeightBefore},
      {"space and a word after the number",
       {"HDR= 1024 bytes", "EOHD"},
       1024,
       kWidthBefore,
       kHeightBefore},
      {"signs", {"TX =-5", "TY =+7", "EOHD"}, kOffsetBefore, -5, 7},
      {"no digits give 0", {"HDR=abc", "TX =", "EOHD"}, 0, 0, kHeightBefore},
      {"the last occurrence wins", {"TY =1", "TY =2", "EOHD"}, kOffsetBefore, kWidthBefore, 2},
      {"the first = splits", {"TX =3=4", "EOHD"}, kOffsetBefore, 3, kHeightBefore},
      {"EOHD inside a value goes on",
       {"X  =EOHD", "TX =9", "EOHD"},
       kOffsetBefore,
       9,
       kHeightBefore},
      {"EOHD with a value ends", {"TX =1", "EOHD=1", "TX =2"}, kOffsetBefore, 1, kHeightBefore},
      {"EOHD and more ends", {"TX =1", "EOHDX", "TX =2"}, kOffsetBefore, 1, kHeightBefore},
      {"lines after EOHD are not read",
       {"EOHD", "HDR=7"},
       kOffsetBefore,
       kWidthBefore,
       kHeightBefore},
      {"carriage returns", {"TX =160\r", "EOHD\r"}, kOffsetBefore, 160, kHeightBefore},
      {"numbers beyond 32 bits wrap", {"HDR=4294967297", "EOHD"}, 1, kWidthBefore, kHeightBefore},
  };
  for (const auto& c : cases) {
    const ParseState s = Parse(RolleiHeader(c.lines));
    EXPECT_EQ(s.thumbOffset, c.offset) << c.what;
    EXPECT_EQ(s.thumbWidth, c.width) << c.what;
    EXPECT_EQ(s.thumbHeight, c.height) << c.what;
    EXPECT_EQ(s.thumbLength, static_cast<std::int32_t>(static_cast<std::uint32_t>(c.width) *
                                                       static_cast<std::uint32_t>(c.height) * 2))
        << c.what;
  }
}

TEST(ParseRollei, LongLinesArriveInPieces) {
  // 200 characters: the line reader gives 127, then the rest as a line of its own.
  const std::string filler(127, 'x');
  const ParseState s = Parse(RolleiHeader({filler + "TX =160", "EOHD"}));
  EXPECT_EQ(s.thumbWidth, 160);
  // A first piece that ends with a key is not followed by "=".
  const ParseState t = Parse(RolleiHeader({std::string(124, 'x') + "TX =7", "EOHD"}));
  EXPECT_EQ(t.thumbWidth, kWidthBefore);
}

TEST(ParseRollei, FileEndingBeforeEohdKeepsWhatWasRead) {
  for (const Bytes& file : {RolleiHeader({"HDR=512", "TX =4", "TY =2"}),
                            fixtures::ToBytes("DSC-Image\nHDR=512\nTX =4\nTY =2")}) {
    const ParseState s = Parse(file);
    EXPECT_EQ(s.thumbOffset, 512);
    EXPECT_EQ(s.thumbLength, 16);
    EXPECT_STREQ(s.model, "d530flex");
  }
}

TEST(ParseRollei, BinaryBytesInTheHeader) {
  // A NUL inside a line ends its text; the bytes after it up to the newline are dropped.
  Bytes file = RolleiHeader({"TY =5"});
  const Bytes tail = fixtures::ToBytes(std::string("TX\0 =9\nTX =8\nEOHD\n", 18));
  file.insert(file.end(), tail.begin(), tail.end());
  const ParseState s = Parse(file);
  EXPECT_EQ(s.thumbWidth, 8);
  EXPECT_EQ(s.thumbHeight, 5);
}

TEST(ParseRolleiDriver, RecognisedAndHandedToTheRolleiWriter) {
  const fixtures::TempFile raw(fixtures::MakeRollei(8, 4, fixtures::Rollei565Pixels(8, 4), 256),
                               "rdc");
  ParseState state;
  CapturedReports reports;
  ASSERT_EQ(ParseRawFile(state, raw.c_str()), kSOk);
  CloseRawFile(state);
  EXPECT_EQ(state.thumbOffset, 256);
  EXPECT_EQ(state.thumbLength, 64);
  EXPECT_EQ(ChooseWriter(state), ThumbnailWriter::kRollei);
  EXPECT_TRUE(reports.reports.empty());
}

TEST(ParseRolleiDriver, NoSizesMeansNoThumbnail) {
  const fixtures::TempFile raw(RolleiHeader({"HDR=512", "EOHD"}), "rdc");
  const fixtures::TempPath thumb("thumb");
  ParseState state;
  CapturedReports reports;
  EXPECT_EQ(ExtractThumbnail(state, raw.c_str(), thumb.c_str()), kENotImpl);
  EXPECT_EQ(reports.reports,
            (std::vector<testing::Report>{{kENotImpl, "Raw file format is not supported.."}}));
}

}  // namespace
}  // namespace vantrel
