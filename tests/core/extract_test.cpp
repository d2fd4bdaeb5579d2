#include <gtest/gtest.h>

#include <cstring>

#include "core/extract.h"
#include "tests/fixtures/containers.h"
#include "tests/fixtures/temp_file.h"
#include "tests/fixtures/tiff_builder.h"
#include "tests/support/captured_reports.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::ByteWriter;
using fixtures::Endian;
using fixtures::TempFile;
using fixtures::TempPath;
using fixtures::TiffBuilder;
using testing::CapturedReports;
using testing::Report;

const Report kNotSupported{kENotImpl, "Raw file format is not supported."};
const Report kNoThumbnail{kENotImpl, "Raw file format is not supported.."};
const Report kNoTransferBuffer{kEOutOfMemory, "Out of memory for transfer buffer"};

Bytes Filler(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

// A little-endian TIFF naming a camera, with a stored JPEG-like preview of `preview` bytes.
Bytes TiffWithPreview(const char* make, const char* model, const Bytes& preview) {
  TiffBuilder tiff;
  const std::uint32_t at = tiff.AddBlob(preview);
  auto& ifd = tiff.AddIfd();
  if (make != nullptr) ifd.Ascii(fixtures::kMake, make);
  if (model != nullptr) ifd.Ascii(fixtures::kModel, model);
  ifd.Long(fixtures::kJpegOffset, at).Long(fixtures::kJpegLength, preview.size());
  return tiff.Build();
}

struct Extraction {
  HResult hr;
  std::vector<Report> reports;
  Bytes output;
  bool outputExists;
  ParseState state;
};

Extraction Extract(const Bytes& raw) {
  TempFile in(raw);
  TempPath out("thumb");
  Extraction result;
  CapturedReports reports;
  result.hr = ExtractThumbnail(result.state, in.c_str(), out.c_str());
  result.reports = reports.reports;
  result.outputExists = fixtures::FileExists(out.path());
  result.output = fixtures::ReadFileBytes(out.path());
  EXPECT_EQ(result.state.rawFile, nullptr) << "the raw file is closed on every path";
  return result;
}

TEST(ExtractThumbnail, FilesThatMatchNoParserAreNotSupported) {
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"shorter than the head", fixtures::ToBytes("FOV")},
      {"unknown signature", fixtures::ToBytes("GIF89a not a raw file at all, but long enough")},
      // Begins with "MM" but the RawT signature comes first: no parser runs.
      {"MMMMRawT",
       [] {
         Bytes b = TiffWithPreview("Mamiya", "ZD", Filler(64, 1));
         fixtures::Overwrite(b, 0, fixtures::ToBytes("MMMMRawT"));
         return b;
       }()},
      {"TIFF without a model", TiffWithPreview("NIKON", nullptr, Filler(64, 1))},
  };
  for (const auto& c : cases) {
    const Extraction e = Extract(c.bytes);
    EXPECT_EQ(e.hr, kENotImpl) << c.name;
    EXPECT_EQ(e.reports, std::vector<Report>{kNotSupported}) << c.name;
    EXPECT_FALSE(e.outputExists) << c.name;
  }
}

TEST(ExtractThumbnail, ModelWithoutThumbnailIsNotSupportedWithTwoStops) {
  TiffBuilder tiff;
  tiff.AddIfd().Ascii(fixtures::kMake, "NIKON").Ascii(fixtures::kModel, "D1");
  const Extraction e = Extract(tiff.Build());
  EXPECT_EQ(e.hr, kENotImpl);
  EXPECT_EQ(e.reports, std::vector<Report>{kNoThumbnail});
  EXPECT_FALSE(e.outputExists);
}

TEST(ExtractThumbnail, MissingRawFileCannotBeOpened) {
  ParseState state;
  CapturedReports reports;
  TempPath missing("missing");
  TempPath out("thumb");
  EXPECT_EQ(ExtractThumbnail(state, missing.c_str(), out.c_str()), kEUnexpected);
  EXPECT_EQ(reports.reports,
            (std::vector<Report>{{kEUnexpected, "Couldn't open raw image file."}}));
  EXPECT_EQ(state.rawFile, nullptr);
}

TEST(ExtractThumbnail, UncreatableOutputFileFails) {
  TempFile in(TiffWithPreview("NIKON", "D70", Filler(64, 1)));
  const std::string out = fixtures::TempDirectory() + "/no-such-dir/thumb";
  ParseState state;
  CapturedReports reports;
  EXPECT_EQ(ExtractThumbnail(state, in.c_str(), out.c_str()), kEUnexpected);
  EXPECT_EQ(reports.reports, (std::vector<Report>{{kEUnexpected, "Couldn't create output file."}}));
  EXPECT_EQ(state.rawFile, nullptr);
}

TEST(ExtractThumbnail, CopiesTheStoredPreviewByteForByte) {
  for (Endian endian : {Endian::kLittle, Endian::kBig}) {
    const Bytes preview = Filler(5000, 3);
    TiffBuilder tiff(endian);
    const std::uint32_t at = tiff.AddBlob(preview);
    auto& sub = tiff.NewIfd();
    sub.Long(fixtures::kJpegOffset, at).Long(fixtures::kJpegLength, preview.size());
    tiff.AddIfd().Ascii(fixtures::kMake, "NIKON").Ascii(fixtures::kModel, "D70").SubIfds({&sub});
    const Extraction e = Extract(tiff.Build());
    EXPECT_EQ(e.hr, kSOk);
    EXPECT_TRUE(e.reports.empty());
    EXPECT_EQ(e.output, preview);
  }
}

// The extractor's temporary names exist, empty, before the extraction; a user's output may
// hold an older, longer file. Either way the file ends up holding the thumbnail file alone.
TEST(ExtractThumbnail, ReplacesWhateverTheOutputHeld) {
  const Bytes preview = Filler(5000, 9);
  const TempFile in(TiffWithPreview("NIKON", "D70", preview));
  const struct {
    const char* name;
    bool exists;
    Bytes before;
  } cases[] = {{"absent", false, {}}, {"empty", true, {}}, {"longer", true, Filler(20000, 1)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TempPath out("thumb");
    if (c.exists) {
      ASSERT_TRUE(fixtures::WriteFileBytes(out.path(), c.before));
    }
    ParseState state;
    EXPECT_EQ(ExtractThumbnail(state, in.c_str(), out.c_str()), kSOk);
    EXPECT_EQ(fixtures::ReadFileBytes(out.path()), preview);
  }
}

TEST(ExtractThumbnail, PreviewRunningPastTheEndIsZeroFilled) {
  // The preview is the file's last 20 bytes, but its length entry claims 30.
  const auto build = [](std::uint32_t offset, std::uint32_t length) {
    TiffBuilder tiff;
    tiff.AddIfd()
        .Ascii(fixtures::kModel, "D70")
        .Long(fixtures::kJpegOffset, offset)
        .Long(fixtures::kJpegLength, length);
    return tiff.Build();
  };
  const std::size_t size = build(0, 0).size();
  const Bytes raw = build(static_cast<std::uint32_t>(size - 20), 30);
  const Extraction e = Extract(raw);
  ASSERT_EQ(e.hr, kSOk);
  Bytes expected = Slice(raw, size - 20, 20);
  expected.resize(30, 0);
  EXPECT_EQ(e.output, expected);
}

TEST(ExtractThumbnail, RefusesLengthsTheFileCannotHold) {
  // A 2 GiB preview claimed by a file of a few hundred bytes: no gigabyte buffer, no output.
  for (std::uint32_t length : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u}) {
    TiffBuilder tiff;
    tiff.AddIfd()
        .Ascii(fixtures::kModel, "D70")
        .Long(fixtures::kJpegOffset, 8)
        .Long(fixtures::kJpegLength, length);
    const Extraction e = Extract(tiff.Build());
    EXPECT_EQ(e.hr, kEOutOfMemory) << length;
    EXPECT_EQ(e.reports, std::vector<Report>{kNoTransferBuffer}) << length;
    EXPECT_TRUE(e.output.empty()) << "left to the caller, but nothing written";
  }
}

TEST(ExtractThumbnail, ModelRulesOverrideWhatTheParserFound) {
  const Bytes body = Filler(20000, 5);
  const struct {
    const char* model;
    std::size_t offset;
  } cases[] = {{"C5050Z", 4096}, {"C8080WZ", 5508}};
  for (const auto& c : cases) {
    TiffBuilder tiff;
    tiff.AddBlob(body);
    tiff.AddIfd()
        .Ascii(fixtures::kModel, c.model)
        .Long(fixtures::kJpegOffset, 8)
        .Long(fixtures::kJpegLength, 16);
    const Bytes raw = tiff.Build();
    const Extraction e = Extract(raw);
    ASSERT_EQ(e.hr, kSOk) << c.model;
    EXPECT_EQ(e.output, Slice(raw, c.offset, 11264)) << c.model;
  }
}

TEST(ExtractThumbnail, MinoltaMrmReplacesTheFirstPreviewByte) {
  // The maker note puts the preview at 48 + 0xFD0 = 0x1000; the block length is 0x5000.
  TiffBuilder tiff(Endian::kBig);
  auto& exif = tiff.NewIfd();
  exif.MakerNote(fixtures::MinoltaMakerNote(Endian::kBig, {{0x81, 0xFD0}}));
  tiff.AddIfd()
      .Ascii(fixtures::kMake, "Minolta Co., Ltd.")
      .Ascii(fixtures::kModel, "DiMAGE 7")
      .Exif(exif);
  Bytes raw = fixtures::MakeMrm(0x5000, tiff.Build(), 0x5000);
  fixtures::Overwrite(raw, 0x1000, Filler(0x4000, 11));
  const Extraction e = Extract(raw);
  ASSERT_EQ(e.hr, kSOk);
  Bytes expected{0xFF};
  const Bytes rest = Slice(raw, 0x1001, 0x5000 - 0x1001);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(e.output, expected);
}

TEST(ExtractThumbnail, MinoltaMrmWithNegativeLengthIsRefused) {
  // The preview starts beyond the block's end: the length arithmetic goes negative.
  TiffBuilder tiff(Endian::kBig);
  auto& exif = tiff.NewIfd();
  exif.MakerNote(fixtures::MinoltaMakerNote(Endian::kBig, {{0x88, 0x2000}}));
  tiff.AddIfd().Ascii(fixtures::kMake, "Minolta").Ascii(fixtures::kModel, "DiMAGE A1").Exif(exif);
  const Extraction e = Extract(fixtures::MakeMrm(0x100, tiff.Build(), 0x3000));
  EXPECT_EQ(e.hr, kEOutOfMemory);
  EXPECT_EQ(e.reports, std::vector<Report>{kNoTransferBuffer});
}

TEST(ExtractThumbnail, FujifilmTakesTheEmbeddedJpeg) {
  TiffBuilder exif(Endian::kBig);
  exif.AddIfd().Ascii(fixtures::kMake, "FUJIFILM").Ascii(fixtures::kModel, "FinePix S2Pro");
  Bytes raw = fixtures::MakeFujifilm(exif.Build(), Filler(0x3000, 2), 0x94);
  // The length at 88 says 0x3000 bytes, whatever the JPEG's real size.
  fixtures::Overwrite(raw, 88, {0x00, 0x00, 0x30, 0x00});
  const Extraction e = Extract(raw);
  ASSERT_EQ(e.hr, kSOk);
  EXPECT_STREQ(e.state.make, "FUJIFILM");
  EXPECT_STREQ(e.state.model, "FinePix S2Pro");
  EXPECT_EQ(e.output, Slice(raw, 0x94, 0x3000));
}

TEST(ExtractThumbnail, KodakPlanarStripsAreInterleaved) {
  // 2 x 1 pixels, 8 bits, one BitsPerSample value: planar R0 R1 G0 G1 B0 B1.
  TiffBuilder tiff;
  const std::uint32_t at = tiff.AddBlob({'R', 'r', 'G', 'g', 'B', 'b'});
  tiff.AddIfd()
      .Ascii(fixtures::kMake, "KODAK")
      .Ascii(fixtures::kModel, "DCS520C")
      .Long(fixtures::kImageWidth, 2)
      .Long(fixtures::kImageLength, 1)
      .Short(fixtures::kBitsPerSample, 8)
      .Long(fixtures::kStripOffsets, at);
  const Extraction e = Extract(tiff.Build());
  ASSERT_EQ(e.hr, kSOk);
  EXPECT_EQ(e.output, fixtures::ToBytes("P6 2 1 255\nRGBrgb"));
}

TEST(InterleavePlanes, LengthsThatAreNotMultiplesOfThree) {
  const unsigned char in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  unsigned char out[8] = {};
  InterleavePlanes(in, out, 8);  // m = 2: byte 6 overwrites byte 1 at 3, position 7 stays 0
  EXPECT_EQ(Bytes(out, out + 8), (Bytes{1, 3, 5, 7, 4, 6, 8, 0}));

  unsigned char shortOut[2] = {};
  InterleavePlanes(in, shortOut, 2);  // cannot hold three planes: unchanged
  EXPECT_EQ(Bytes(shortOut, shortOut + 2), (Bytes{1, 2}));
}

TEST(ChooseWriter, FirstMatchingRuleDecides) {
  const struct {
    const char* make;
    const char* model;
    std::int32_t foveonVersion;
    ThumbnailWriter writer;
  } cases[] = {
      {"KODAK", "DCS Pro 14N", 0, ThumbnailWriter::kKodakYuv},
      {"Rollei", "DCS Pro", 0, ThumbnailWriter::kKodakYuv},
      {"Kodak", "DCS Pr", 0, ThumbnailWriter::kCopy},
      {"Rollei", "d530flex", 0, ThumbnailWriter::kRollei},
      {"Rollei ", "d530flex", 0, ThumbnailWriter::kCopy},
      {"ROLLEI", "d530flex", 0, ThumbnailWriter::kCopy},
      {"SIGMA", "SD10", 0x20002, ThumbnailWriter::kFoveon},
      {"SIGMA", "SD9", 0x20001, ThumbnailWriter::kCopy},
      {"SIGMA", "SD9", -1, ThumbnailWriter::kCopy},
      {"SIGMAX", "DP2", 0x30000, ThumbnailWriter::kCopy},
      {"NIKON", "D70", 0x30000, ThumbnailWriter::kCopy},
  };
  for (const auto& c : cases) {
    ParseState state;
    SetText(state.make, c.make);
    SetText(state.model, c.model);
    state.foveonVersion = c.foveonVersion;
    EXPECT_EQ(ChooseWriter(state), c.writer) << c.make << " / " << c.model;
  }
  EXPECT_STREQ(WriterName(ThumbnailWriter::kKodakYuv), "kodak-yuv");
}

TEST(ExtractThumbnail, RgbWritersAreRefusedBeyondWhatTheFileCanHold) {
  // The X3F version survives from an earlier extraction; these TIFFs name SIGMA and claim
  // previews of gigabytes. No such PPM may be streamed; sides near 2^31 once overflowed the
  // size check itself (found by fuzzing).
  for (std::uint32_t side : {100000u, 0x7FFFFFFFu, 0x79700000u}) {
    ParseState state;
    state.foveonVersion = 0x20002;
    TiffBuilder tiff;
    tiff.AddIfd()
        .Ascii(fixtures::kMake, "SIGMA")
        .Ascii(fixtures::kModel, "SD14")
        .Long(fixtures::kImageWidth, side)
        .Long(fixtures::kImageLength, side)
        .Long(fixtures::kJpegOffset, 8)
        .Long(fixtures::kJpegLength, 16);
    TempFile in(tiff.Build());
    TempPath out("thumb");
    CapturedReports reports;
    EXPECT_EQ(ExtractThumbnail(state, in.c_str(), out.c_str()), kEOutOfMemory) << side;
    EXPECT_EQ(reports.reports, std::vector<Report>{kNoTransferBuffer}) << side;
    EXPECT_LE(fixtures::ReadFileBytes(out.path()).size(), 64u) << side;
  }
}

}  // namespace
}  // namespace vantrel
