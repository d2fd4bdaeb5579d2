#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/extract.h"
#include "core/parse_state.h"
#include "parsers/ciff.h"
#include "tests/fixtures/ciff_builder.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"
#include "tests/support/raw_file.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::CiffHeap;
using fixtures::Endian;
using namespace fixtures;  // tags
using testing::CapturedReports;
using testing::OpenRawFile;
using testing::Report;

// Walks the root heap of a file made by MakeCiff, as the driver calls the walker.
ParseState Walk(const Bytes& file, ParseState state = {}) {
  OpenRawFile raw(file, state);
  state.byteOrder = file[0] == 'I' ? kLittleEndian : kBigEndian;
  const auto length = static_cast<std::int32_t>(file.size() - kCiffHeaderLength);
  EXPECT_EQ(ParseCiff(state, kCiffHeaderLength, length, 0), kSOk);
  return state;
}

std::int32_t Find(const Bytes& file, const Bytes& part) {
  const auto at = std::search(file.begin(), file.end(), part.begin(), part.end());
  return at == file.end() ? -1 : static_cast<std::int32_t>(at - file.begin());
}

const Bytes kJpeg = {0xFF, 0xD8, 0xFF, 0xDB, 'p', 'r', 'e', 'v', 'i', 'e', 'w', 0xFF, 0xD9};

// The usual tree: the preview in the root heap, the make and model three heaps down.
CiffHeap CanonTree(Endian endian, std::int32_t rotation) {
  CiffHeap camera;
  camera.Value(0x0810, ToBytes("owner name"))
      .Value(kCiffMakeModel, CiffMakeModel("Canon", "Canon EOS 300D DIGITAL"));
  CiffHeap cameraSpec;
  cameraSpec.Value(0x580B, Bytes(4, 1)).Heap(0x3004, camera);
  CiffHeap props;
  props.Value(0x5803, Bytes(4, 2))
      .Value(kCiffImageInfo, CiffImageInfo(endian, 3072, 2048, rotation))
      .Heap(kCiffCameraObject, cameraSpec);
  CiffHeap root;
  root.Value(0x2005, ToBytes("raw data")).Value(kCiffJpegImage, kJpeg).Heap(kCiffImageProps, props);
  return root;
}

TEST(ParseCiff, FindsMakeModelPreviewAndRotationInEitherByteOrder) {
  for (const Endian endian : {Endian::kLittle, Endian::kBig}) {
    const Bytes file = MakeCiff(CanonTree(endian, 90), endian);
    const ParseState s = Walk(file);
    EXPECT_STREQ(s.make, "Canon");
    EXPECT_STREQ(s.model, "Canon EOS 300D DIGITAL");
    EXPECT_EQ(s.thumbOffset, Find(file, kJpeg));
    EXPECT_EQ(s.thumbLength, static_cast<std::int32_t>(kJpeg.size()));
    EXPECT_EQ(s.rotation, 90);
  }
}

TEST(ParseCiff, RotationIsStoredAsASignedNumber) {
  for (const std::int32_t rotation : {0, 90, 180, 270, -90}) {
    EXPECT_EQ(Walk(MakeCiff(CanonTree(Endian::kLittle, rotation))).rotation, rotation);
  }
}

TEST(ParseCiff, NestedValueOffsetsAreRelativeToTheirHeap) {
  CiffHeap inner;
  inner.Value(0x0001, Bytes(40, 0xAA)).Value(kCiffJpegImage, kJpeg);
  CiffHeap root;
  root.Value(0x0002, Bytes(100, 0xBB)).Heap(kCiffImageProps, inner);
  const Bytes file = MakeCiff(root);
  EXPECT_EQ(Walk(file).thumbOffset, Find(file, kJpeg));
}

TEST(ParseCiff, LastPreviewInWalkOrderWins) {
  const Bytes nested = {0xFF, 0xD8, 'n', 'e', 's', 't', 'e', 'd'};
  const Bytes rooted = {0xFF, 0xD8, 'r', 'o', 'o', 't'};
  for (const bool rootFirst : {false, true}) {
    CiffHeap inner;
    inner.Value(kCiffJpegImage, nested);
    CiffHeap root;
    if (rootFirst) root.Value(kCiffJpegImage, rooted);
    root.Heap(kCiffImageProps, inner);
    if (!rootFirst) root.Value(kCiffJpegImage, rooted);
    const Bytes file = MakeCiff(root);
    const ParseState s = Walk(file);
    const Bytes& winner = rootFirst ? nested : rooted;
    EXPECT_EQ(s.thumbOffset, Find(file, winner)) << rootFirst;
    EXPECT_EQ(s.thumbLength, static_cast<std::int32_t>(winner.size())) << rootFirst;
  }
}

TEST(ParseCiff, TagsMatchExactlyAndHeapsByHighByte) {
  const struct {
    std::uint16_t tag;
    bool acted;
  } cases[] = {
      // A nested heap holding a preview.
      {0x2800, true}, {0x2807, true},  {0x28FF, true},  {0x3000, true},  {0x300A, true},
      {0x30FF, true}, {0x6807, false}, {0xA80A, false}, {0x2907, false}, {0x0028, false},
  };
  for (const auto& c : cases) {
    CiffHeap inner;
    inner.Value(kCiffJpegImage, kJpeg);
    CiffHeap root;
    root.Heap(c.tag, inner);
    EXPECT_EQ(Walk(MakeCiff(root)).thumbLength != 0, c.acted) << std::hex << c.tag;
  }
  // Values under tags that differ from the acted-on ones in their low byte or their top bits:
  // taken as a make, a preview or image information, this value would show.
  for (const std::uint16_t tag : {0x2008, 0x20FF, 0x6007, 0x1811, 0x5810, 0x080B, 0x480A}) {
    CiffHeap root;
    root.Value(tag, CiffImageInfo(Endian::kLittle, 1, 1, 90));
    const ParseState s = Walk(MakeCiff(root));
    EXPECT_EQ(s.thumbLength, 0) << std::hex << tag;
    EXPECT_EQ(s.rotation, 0) << std::hex << tag;
    EXPECT_STREQ(s.make, "") << std::hex << tag;
  }
}

TEST(ParseCiff, EveryEntryIsReadAfterANestedHeap) {
  CiffHeap inner;
  inner.Value(0x0001, Bytes(30, 0x11))
      .Value(kCiffImageInfo, CiffImageInfo(Endian::kLittle, 1, 1, 180));
  CiffHeap root;
  root.Heap(kCiffImageProps, inner).Value(kCiffMakeModel, CiffMakeModel("Canon", "PowerShot G5"));
  root.Value(kCiffJpegImage, kJpeg);
  const ParseState s = Walk(MakeCiff(root));
  EXPECT_EQ(s.rotation, 180);
  EXPECT_STREQ(s.model, "PowerShot G5");
  EXPECT_EQ(s.thumbLength, static_cast<std::int32_t>(kJpeg.size()));
}

TEST(ParseCiff, MakeAndModelTexts) {
  const std::string longMake(64, 'M');
  const struct {
    const char* what;
    Bytes value;
    std::string make;
    std::string model;
  } cases[] = {
      // 20 bytes: each 64-byte read runs past the value, into the directory.
      {"short texts", CiffMakeModel("Canon", "EOS 10D ABCDE"), "Canon", "EOS 10D ABCDE"},
      {"empty make", CiffMakeModel("", "EOS D30"), "", "EOS D30"},
      // No NUL in the make's 64 bytes: the make ends there, the model starts one byte later.
      {"unterminated make", ToBytes(longMake + "X" + std::string("Model\0", 6)), longMake, "Model"},
      {"unterminated model", CiffMakeModel("Canon", std::string(70, 'D')), "Canon",
       std::string(64, 'D')},
  };
  for (const auto& c : cases) {
    CiffHeap root;
    root.Value(kCiffMakeModel, c.value);
    ParseState before;
    std::fill(std::begin(before.make), std::end(before.make), 'Z');
    std::fill(std::begin(before.model), std::end(before.model), 'Z');
    const ParseState s = Walk(MakeCiff(root), before);
    EXPECT_EQ(std::string(s.make), c.make) << c.what;
    EXPECT_EQ(std::string(s.model), c.model) << c.what;
  }
}

TEST(ParseCiff, TextsPastTheEndOfTheFileAreEmpty) {
  CiffHeap root;
  root.Raw(kCiffMakeModel, 20, 0x100000);
  ParseState before;
  SetText(before.make, "Old");
  const ParseState s = Walk(MakeCiff(root), before);
  EXPECT_STREQ(s.make, "");
  EXPECT_STREQ(s.model, "");
}

TEST(ParseCiff, EmptyDirectoryLeavesTheDriversFields) {
  const ParseState s = Walk(MakeCiff(CiffHeap()));
  EXPECT_STREQ(s.make, "");
  EXPECT_EQ(s.thumbLength, 0);
  EXPECT_EQ(s.rotation, 0);
}

// Bounds: a tree that contains itself, or fans out, ends; real trees are walked in full.

TEST(ParseCiffBounds, HeapsThatContainThemselvesEnd) {
  // Directly: a nested heap entry for the very heap that holds it.
  {
    CiffHeap inner;
    inner.Value(kCiffImageInfo, CiffImageInfo(Endian::kLittle, 1, 1, 270)).Itself(0x3004);
    CiffHeap root;
    root.Value(kCiffMakeModel, CiffMakeModel("Canon", "Loop")).Heap(kCiffImageProps, inner);
    root.Value(kCiffJpegImage, kJpeg);
    const ParseState s = Walk(MakeCiff(root));
    EXPECT_STREQ(s.model, "Loop");
    EXPECT_EQ(s.rotation, 270);
    EXPECT_EQ(s.thumbLength, static_cast<std::int32_t>(kJpeg.size()));
  }
  // Through another heap: the root's first value is a heap whose entry leads back to the root.
  {
    const auto build = [](std::uint32_t rootLength) {
      CiffHeap inner;
      inner.Raw(kCiffImageProps, rootLength, 0);  // the inner heap starts where the root does
      CiffHeap root;
      root.Heap(kCiffCameraObject, inner).Value(kCiffMakeModel, CiffMakeModel("Canon", "Ring"));
      return MakeCiff(root);
    };
    const Bytes first = build(0);
    const Bytes file = build(static_cast<std::uint32_t>(first.size() - kCiffHeaderLength));
    EXPECT_STREQ(Walk(file).model, "Ring");
  }
}

TEST(ParseCiffBounds, FullDirectoriesOfSelfReferencesEnd) {
  // 65535 entries that each lead back into the heap: 65535^depth heaps if walked in full.
  CiffHeap root;
  root.Value(kCiffMakeModel, CiffMakeModel("Canon", "Fan"));
  for (int i = 0; i < 65534; ++i) root.Itself(kCiffImageProps);
  EXPECT_STREQ(Walk(MakeCiff(root)).model, "Fan");
}

TEST(ParseCiffBounds, DeepestRealNestingIsWalked) {
  // CanonTree keeps its make and model three heaps below the root.
  const ParseState s = Walk(MakeCiff(CanonTree(Endian::kLittle, 0)));
  EXPECT_STREQ(s.model, "Canon EOS 300D DIGITAL");
}

// The driver recognises the file and copies the preview as stored.
TEST(ParseCiffDriver, ThumbnailFileIsTheStoredJpeg) {
  const fixtures::TempFile raw(MakeCiff(CanonTree(Endian::kBig, 180), Endian::kBig), "crw");
  const fixtures::TempPath thumb("thumb");
  ParseState state;
  CapturedReports reports;
  ASSERT_EQ(ExtractThumbnail(state, raw.c_str(), thumb.c_str()), kSOk);
  EXPECT_EQ(fixtures::ReadFileBytes(thumb.path()), kJpeg);
  EXPECT_EQ(state.rotation, 180);
  EXPECT_EQ(ChooseWriter(state), ThumbnailWriter::kCopy);
  EXPECT_TRUE(reports.reports.empty());
}

TEST(ParseCiffDriver, NoModelIsNotSupported) {
  CiffHeap root;
  root.Value(kCiffJpegImage, kJpeg);
  const fixtures::TempFile raw(MakeCiff(root), "crw");
  ParseState state;
  CapturedReports reports;
  EXPECT_EQ(ParseRawFile(state, raw.c_str()), kENotImpl);
  EXPECT_EQ(reports.reports,
            (std::vector<Report>{{kENotImpl, "Raw file format is not supported."}}));
}

}  // namespace
}  // namespace vantrel
