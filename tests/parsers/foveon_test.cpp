#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/extract.h"
#include "core/parse_state.h"
#include "parsers/foveon.h"
#include "tests/fixtures/temp_file.h"
#include "tests/fixtures/x3f_builder.h"
#include "tests/support/captured_reports.h"
#include "tests/support/raw_file.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::ByteWriter;
using fixtures::X3fBuilder;
using fixtures::X3fProperty;
using namespace fixtures;
using testing::CapturedReports;
using testing::OpenRawFile;
using testing::Report;

constexpr std::int32_t kV1 = 0x20001;
constexpr std::int32_t kV2 = 0x20002;

const std::vector<X3fProperty> kSigma = {{"CAMMANUF", "SIGMA"}, {"CAMMODEL", "SIGMA SD10"}};

struct Parsed {
  HResult hr;
  ParseState state;
};

// Runs ParseFaveon over `file`, starting from `state` (the driver has cleared its fields).
Parsed Parse(const Bytes& file, ParseState state = {}) {
  OpenRawFile raw(file, state);
  const HResult hr = ParseFaveon(state);
  return {hr, state};
}

std::int32_t Find(const Bytes& file, const Bytes& part) {
  const auto at = std::search(file.begin(), file.end(), part.begin(), part.end());
  return at == file.end() ? -1 : static_cast<std::int32_t>(at - file.begin());
}

Bytes Preview(std::uint32_t width, std::uint32_t height, std::uint32_t rowLength) {
  return X3fImage(width, height, rowLength, X3fRows(width, height, rowLength - 3 * width));
}

TEST(ParseFaveon, VersionDecidesHowThePreviewIsDescribed) {
  const struct {
    std::int32_t version;
    std::uint32_t rowLength;
    std::int32_t width;
    const char* head;
    std::int32_t rowPadding;  // 77: left as it was
  } cases[] = {
      // 0x20001: the rows are copied whole, so the width comes from the row length.
      {kV1, 1926, 642, "P6 642 3 255\n", 77},
      {kV1, 1922, 640, "P6 640 3 255\n", 77},
      {kV2, 1926, 640, "", 6},
      {kV2, 1920, 640, "", 0},
      {0x20000, 1926, 640, "", 6},  // lower versions take the same road as higher ones
      {0x30000, 1926, 640, "", 6},
  };
  for (const auto& c : cases) {
    const Bytes file =
        MakeX3f(static_cast<std::uint32_t>(c.version), 90, kSigma, Preview(640, 3, c.rowLength));
    ParseState before;
    before.rowPadding = 77;
    before.byteOrder = kBigEndian;
    const auto [hr, s] = Parse(file, before);
    ASSERT_EQ(hr, kSOk) << std::hex << c.version;
    EXPECT_EQ(s.byteOrder, kLittleEndian);
    EXPECT_EQ(s.foveonVersion, c.version);
    EXPECT_EQ(s.rotation, 90);
    EXPECT_STREQ(s.make, "SIGMA");
    EXPECT_STREQ(s.model, "SIGMA SD10");
    EXPECT_EQ(s.thumbWidth, c.width) << std::hex << c.version << " " << std::dec << c.rowLength;
    EXPECT_EQ(s.thumbHeight, 3);
    EXPECT_STREQ(s.thumbHead, c.head);
    EXPECT_EQ(s.rowPadding, c.rowPadding);
    // The pixels start right after the row-length word.
    EXPECT_EQ(s.thumbOffset, Find(file, Preview(640, 3, c.rowLength)) + 28);
    EXPECT_EQ(s.thumbLength, 3 * c.width * 3);
  }
}

TEST(ParseFaveon, PreviewSizesWrapAt32Bits) {
  const auto [hr, s] = Parse(MakeX3f(kV2, 0, kSigma, X3fImage(0x80000000u, 2, 5, {})));
  ASSERT_EQ(hr, kSOk);
  EXPECT_EQ(s.thumbWidth, INT32_MIN);
  EXPECT_EQ(s.rowPadding, static_cast<std::int32_t>(5u - 3u * 0x80000000u));
  EXPECT_EQ(s.thumbLength, 0);  // 3 x 2^31 x 2 wraps
}

TEST(ParseFaveon, PropertyNamesMatchExactly) {
  const std::string long200(200, 'L');
  const struct {
    const char* what;
    std::vector<X3fProperty> properties;
    const char* make;
    std::string model;
  } cases[] = {
      {"both", kSigma, "SIGMA", "SIGMA SD10"},
      {"among others",
       {{"ISO", "100"}, {"CAMMODEL", "SIGMA SD9"}, {"LENSMODEL", "x"}},
       "",
       "SIGMA SD9"},
      {"one more letter", {{"CAMMANUFX", "A"}, {"CAMMODELS", "B"}}, "", ""},
      {"one letter less", {{"CAMMANU", "A"}, {"CAMMODE", "B"}}, "", ""},
      {"other case", {{"cammodel", "B"}}, "", ""},
      {"the last one wins", {{"CAMMODEL", "first"}, {"CAMMODEL", "second"}}, "", "second"},
      {"cut to 127", {{"CAMMODEL", long200}}, "", long200.substr(0, 127)},
      {"empty value", {{"CAMMODEL", ""}, {"CAMMANUF", "SIGMA"}}, "SIGMA", ""},
  };
  for (const auto& c : cases) {
    const auto [hr, s] = Parse(MakeX3f(kV2, 0, c.properties, Preview(4, 4, 12)));
    EXPECT_EQ(hr, kSOk) << c.what;
    EXPECT_STREQ(s.make, c.make) << c.what;
    EXPECT_EQ(std::string(s.model), c.model) << c.what;
  }
}

// A property list holding `text` as it is, in the usual file.
Bytes WithPropertyText(std::string_view text, std::uint8_t highByte = 0) {
  X3fBuilder x3f(kV2);
  const Bytes preview = Preview(4, 4, 12);
  const std::uint32_t previewAt = x3f.AddSection(preview);
  const Bytes list = X3fPropertyText(3, text, highByte);
  const std::uint32_t listAt = x3f.AddSection(list);
  x3f.Entry(0, 0, "CAMF").Entry(listAt, 0, "PROP").Entry(0, 0, "IMA2").Entry(previewAt, 0, "IMA2");
  return x3f.Build();
}

TEST(ParseFaveon, PropertyTextEdges) {
  using namespace std::string_view_literals;
  const struct {
    const char* what;
    std::string_view text;
    std::uint8_t highByte;
    const char* make;
    const char* model;
  } cases[] = {
      {"high bytes are dropped", "CAMMANUF\0SIGMA\0CAMMODEL\0SD14\0"sv, 0x41, "SIGMA", "SD14"},
      {"an empty name ends the list", "CAMMANUF\0SIGMA\0\0CAMMODEL\0SD14\0"sv, 0, "SIGMA", ""},
      // Cut short: a name or value that the characters end before its NUL is not used.
      {"unterminated name", "CAMMANUF\0SIGMA\0CAMMODEL"sv, 0, "SIGMA", ""},
      {"unterminated value", "CAMMANUF\0SIGMA\0CAMMODEL\0SD14"sv, 0, "SIGMA", ""},
      {"name ends at the last character", "CAMMANUF\0SIGMA\0CAMMODEL\0"sv, 0, "SIGMA", ""},
      {"unterminated first name", "CAMMANUF"sv, 0, "", ""},
  };
  for (const auto& c : cases) {
    const auto [hr, s] = Parse(WithPropertyText(c.text, c.highByte));
    EXPECT_EQ(hr, kSOk) << c.what;
    EXPECT_STREQ(s.make, c.make) << c.what;
    EXPECT_STREQ(s.model, c.model) << c.what;
  }
}

// The usual file whose property list is `cut` bytes shorter than its index: its text then
// starts `cut` bytes after the directory.
Bytes WithTextStartingAfterTheDirectory(std::size_t cut) {
  X3fBuilder x3f(kV2);
  const std::uint32_t previewAt = x3f.AddSection(Preview(4, 4, 12));
  Bytes list = X3fPropertyText(2, "");
  list.resize(list.size() - cut);
  const std::uint32_t listAt = x3f.AddSection(list);
  x3f.Entry(0, 0, "CAMF").Entry(listAt, 0, "PROP").Entry(0, 0, "IMA2").Entry(previewAt, 0, "IMA2");
  return x3f.Build();
}

TEST(ParseFaveon, CharacterCountEdges) {
  // At the directory or one byte after it: no characters, and make and model stay.
  for (const std::size_t cut : {0, 1}) {
    ParseState before;
    SetText(before.make, "Kept");
    SetText(before.model, "Kept too");
    CapturedReports reports;
    const auto [hr, s] = Parse(WithTextStartingAfterTheDirectory(cut), before);
    EXPECT_EQ(hr, kSOk) << cut;
    EXPECT_STREQ(s.make, "Kept") << cut;
    EXPECT_STREQ(s.model, "Kept too") << cut;
    EXPECT_EQ(s.thumbLength, 3 * 4 * 4) << cut;
    EXPECT_TRUE(reports.reports.empty());
  }
  // Two or more bytes after it: a negative count, which no allocation can meet.
  for (const std::size_t cut : {2, 8}) {
    CapturedReports reports;
    const auto [hr, s] = Parse(WithTextStartingAfterTheDirectory(cut));
    EXPECT_EQ(hr, kEOutOfMemory) << cut;
    EXPECT_EQ(s.thumbLength, 0) << cut;
    EXPECT_EQ(reports.reports,
              (std::vector<Report>{{kEOutOfMemory, "Couldn't allocate memory for ParseFaveon"}}));
  }
}

TEST(ParseFaveon, CountsBeyondWhatTheFileHoldsAreRefused) {
  // An entry count that wraps the text's start far below 0: about a gigabyte of characters
  // asked for by a file of a few hundred bytes.
  for (const std::uint32_t below : {0x7FFF0000u, 0x00100000u}) {
    X3fBuilder x3f(kV2);
    const std::uint32_t previewAt = x3f.AddSection(Preview(4, 4, 12));
    const std::uint32_t listAt = x3f.AddSection(X3fPropertyText(0, ""));
    const std::uint32_t textAt = 0u - below + ((listAt + 24) & 7);
    ByteWriter list;
    list.Text("SECp").U32(0).U32((textAt - listAt - 24) / 8).U32(0).U32(0).U32(0);
    X3fBuilder crafted(kV2);
    crafted.AddSection(Preview(4, 4, 12));
    ASSERT_EQ(crafted.AddSection(list.bytes()), listAt);
    crafted.Entry(0, 0, "CAMF").Entry(listAt, 0, "PROP").Entry(previewAt, 0, "IMA2");
    CapturedReports reports;
    const auto [hr, s] = Parse(crafted.Build());
    EXPECT_EQ(hr, kEOutOfMemory) << std::hex << below;
    EXPECT_EQ(reports.reports,
              (std::vector<Report>{{kEOutOfMemory, "Couldn't allocate memory for ParseFaveon"}}));
  }
}

TEST(ParseFaveon, MarkerSearch) {
  const Bytes preview = Preview(4, 4, 12);
  const Bytes other = Preview(8, 2, 24);
  const struct {
    const char* what;
    std::int32_t version;
    // Directory words: "P", "A" and "B" stand for the offsets of the property list and of the
    // two image sections; four characters are written as they are.
    std::vector<std::string_view> words;
    std::size_t skew;  // bytes written before the words
    HResult hr;
    const char* model;
    std::int32_t width;
  } cases[] = {
      {"the word after the marker", kV2, {"SECd", "CAMF", "P", "IMA2", "A"}, 0, kSOk, "SD10", 4},
      {"only the first image marker counts",
       kV2,
       {"CAMF", "P", "IMA2", "A", "IMA2", "B"},
       0,
       kSOk,
       "SD10",
       4},
      {"0x20001 looks for IMAG", kV1, {"CAMF", "P", "IMA2", "A", "IMAG", "B"}, 0, kSOk, "SD10", 8},
      {"others look for IMA2", kV2, {"CAMF", "P", "IMAG", "A", "IMA2", "B"}, 0, kSOk, "SD10", 8},
      {"no IMAG", kV1, {"CAMF", "P", "IMA2", "A"}, 0, kENotImpl, "SD10", 0},
      {"no IMA2", kV2, {"CAMF", "P", "IMAG", "A"}, 0, kENotImpl, "SD10", 0},
      {"no CAMF", kV2, {"PROP", "P", "IMA2", "A"}, 0, kSOk, "", 0},
      {"words are 4 bytes apart from D", kV2, {"CAMF", "P", "IMA2", "A"}, 2, kSOk, "", 0},
  };
  for (const auto& c : cases) {
    X3fBuilder x3f(static_cast<std::uint32_t>(c.version), 0);
    const std::uint32_t a = x3f.AddSection(preview);
    const std::uint32_t b = x3f.AddSection(other);
    const std::uint32_t p = x3f.AddSection(X3fPropertyList({{"CAMMODEL", "SD10"}}));
    ByteWriter directory;
    directory.Zeros(c.skew);
    for (const std::string_view word : c.words) {
      if (word.size() == 4) {
        directory.Text(word);
      } else {
        directory.U32(word == "P" ? p : word == "A" ? a : b);
      }
    }
    x3f.Directory(directory.Take());
    const auto [hr, s] = Parse(x3f.Build());
    EXPECT_EQ(hr, c.hr) << c.what;
    EXPECT_STREQ(s.model, c.model) << c.what;
    EXPECT_EQ(s.thumbWidth, c.width) << c.what;
    if (c.width == 0) {
      EXPECT_EQ(s.thumbLength, 0) << c.what;
    }
  }
}

TEST(ParseFaveon, WithoutCamfOnlyTheHeaderIsRead) {
  X3fBuilder x3f(kV2, 270);
  x3f.AddSection(X3fPropertyList(kSigma));
  const auto [hr, s] = Parse(x3f.Build());
  EXPECT_EQ(hr, kSOk);
  EXPECT_EQ(s.foveonVersion, kV2);
  EXPECT_EQ(s.rotation, 270);
  EXPECT_STREQ(s.model, "");
  EXPECT_EQ(s.thumbLength, 0);
}

TEST(ParseFaveon, DirectoryOffsetOutsideTheFile) {
  for (const std::uint32_t directory : {0xFFFFFFF0u, 0x00100000u}) {
    Bytes file = MakeX3f(kV2, 0, kSigma, Preview(4, 4, 12));
    ByteWriter last;
    last.U32(directory);
    std::copy(last.bytes().begin(), last.bytes().end(), file.end() - 4);
    const auto [hr, s] = Parse(file);
    EXPECT_EQ(hr, kSOk);
    EXPECT_STREQ(s.model, "");
  }
}

// Driver-level: recognition, the writer chosen and the failures reported.

struct Extracted {
  HResult hr;
  ParseState state;
  std::vector<Report> reports;
};

Extracted RunParse(const Bytes& file) {
  const fixtures::TempFile raw(file, "x3f");
  Extracted out{};
  CapturedReports reports;
  out.hr = ParseRawFile(out.state, raw.c_str());
  CloseRawFile(out.state);
  out.reports = reports.reports;
  return out;
}

TEST(ParseFaveonDriver, Version20001IsCopiedWithItsHeader) {
  const Bytes rows = X3fRows(4, 2, 3);  // three bytes of padding: one more pixel a row
  const fixtures::TempFile raw(MakeX3f(kV1, 0, kSigma, X3fImage(4, 2, 15, rows)), "x3f");
  const fixtures::TempPath thumb("thumb");
  ParseState state;
  CapturedReports reports;
  ASSERT_EQ(ExtractThumbnail(state, raw.c_str(), thumb.c_str()), kSOk);
  EXPECT_EQ(ChooseWriter(state), ThumbnailWriter::kCopy);
  Bytes expected = ToBytes("P6 5 2 255\n");
  expected.insert(expected.end(), rows.begin(), rows.end());
  EXPECT_EQ(fixtures::ReadFileBytes(thumb.path()), expected);
  EXPECT_TRUE(reports.reports.empty());
}

TEST(ParseFaveonDriver, WriterChoice) {
  const struct {
    std::int32_t version;
    const char* make;
    ThumbnailWriter writer;
  } cases[] = {
      {kV1, "SIGMA", ThumbnailWriter::kCopy},       {kV2, "SIGMA", ThumbnailWriter::kFoveon},
      {0x20003, "SIGMA", ThumbnailWriter::kFoveon}, {0x20000, "SIGMA", ThumbnailWriter::kCopy},
      {kV2, "SIGMA ", ThumbnailWriter::kCopy},      {kV2, "Sigma", ThumbnailWriter::kCopy},
  };
  for (const auto& c : cases) {
    const Extracted e =
        RunParse(MakeX3f(static_cast<std::uint32_t>(c.version), 0,
                         {{"CAMMANUF", c.make}, {"CAMMODEL", "SD10"}}, Preview(4, 4, 14)));
    ASSERT_EQ(e.hr, kSOk);
    EXPECT_EQ(ChooseWriter(e.state), c.writer) << std::hex << c.version << " " << c.make;
  }
}

TEST(ParseFaveonDriver, Failures) {
  // No property list: no model.
  X3fBuilder noCamf(kV2);
  noCamf.Entry(noCamf.AddSection(Preview(4, 4, 12)), 0, "IMA2");
  const Extracted unsupported = RunParse(noCamf.Build());
  EXPECT_EQ(unsupported.hr, kENotImpl);
  EXPECT_EQ(unsupported.reports,
            (std::vector<Report>{{kENotImpl, "Raw file format is not supported."}}));
  // No preview section: the parser's status, reported by no one.
  X3fBuilder noImage(kV2);
  const std::uint32_t list = noImage.AddSection(X3fPropertyList(kSigma));
  noImage.Entry(0, 0, "CAMF").Entry(list, 0, "PROP");
  const Extracted missing = RunParse(noImage.Build());
  EXPECT_EQ(missing.hr, kENotImpl);
  EXPECT_TRUE(missing.reports.empty());
  EXPECT_STREQ(missing.state.model, "SIGMA SD10");
  // A character count that cannot be met: reported once, by the parser.
  const Extracted memory = RunParse(WithTextStartingAfterTheDirectory(4));
  EXPECT_EQ(memory.hr, kEOutOfMemory);
  EXPECT_EQ(memory.reports,
            (std::vector<Report>{{kEOutOfMemory, "Couldn't allocate memory for ParseFaveon"}}));
}

}  // namespace
}  // namespace vantrel
