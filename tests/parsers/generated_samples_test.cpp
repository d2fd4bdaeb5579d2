// The sample files that the main job and the benchmarks use: each is recognised and goes to
// the writer meant for it, with the preview where the parser says it is.
#include <gtest/gtest.h>

#if VANTREL_HAVE_SAMPLES

#include <string>

#include "core/extract.h"
#include "core/parse_state.h"
#include "tests/fixtures/samples.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/captured_reports.h"

namespace vantrel {
namespace {

TEST(GeneratedSamples, EachIsRecognisedWithItsWriter) {
  const struct {
    const char* name;
    const char* model;
    ThumbnailWriter writer;
    bool jpeg;  // the preview is a stored JPEG
  } expected[] = {
      {"vantrel-tiff.nef", "NIKON D70", ThumbnailWriter::kCopy, true},
      {"vantrel-minolta.mrm", "DiMAGE A2", ThumbnailWriter::kCopy, false},
      {"vantrel-fujifilm.raf", "FinePix S5Pro", ThumbnailWriter::kCopy, true},
      {"vantrel-kodak-dcspro.dcr", "DCS Pro 14N", ThumbnailWriter::kKodakYuv, false},
      {"vantrel-canon.crw", "Canon EOS DIGITAL REBEL", ThumbnailWriter::kCopy, true},
      {"vantrel-sigma-sd9.x3f", "SIGMA SD9", ThumbnailWriter::kCopy, false},
      {"vantrel-sigma-sd10.x3f", "SIGMA SD10", ThumbnailWriter::kFoveon, false},
      {"vantrel-rollei.rdc", "d530flex", ThumbnailWriter::kRollei, false},
  };
  const std::vector<fixtures::Sample> samples = fixtures::MakeSamples();
  ASSERT_EQ(samples.size(), std::size(expected));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const fixtures::Sample& sample = samples[i];
    EXPECT_EQ(sample.name, expected[i].name);
    const fixtures::TempFile raw(sample.bytes, "sample");
    ParseState state;
    testing::CapturedReports reports;
    ASSERT_EQ(ParseRawFile(state, raw.c_str()), kSOk) << sample.name;
    CloseRawFile(state);
    EXPECT_STREQ(state.model, expected[i].model) << sample.name;
    EXPECT_EQ(ChooseWriter(state), expected[i].writer) << sample.name;
    EXPECT_EQ(state.rotation, 0) << sample.name;
    ASSERT_GT(state.thumbLength, 0) << sample.name;
    if (expected[i].writer == ThumbnailWriter::kKodakYuv) continue;  // a coded length
    ASSERT_LE(std::int64_t{state.thumbOffset} + state.thumbLength,
              static_cast<std::int64_t>(sample.bytes.size()))
        << sample.name;
    if (expected[i].jpeg) {
      // SOI at the start, EOI at the end.
      const auto at = static_cast<std::size_t>(state.thumbOffset);
      const auto end = at + static_cast<std::size_t>(state.thumbLength);
      EXPECT_EQ(sample.bytes[at], 0xFF) << sample.name;
      EXPECT_EQ(sample.bytes[at + 1], 0xD8) << sample.name;
      EXPECT_EQ(sample.bytes[end - 2], 0xFF) << sample.name;
      EXPECT_EQ(sample.bytes[end - 1], 0xD9) << sample.name;
    }
    EXPECT_TRUE(reports.reports.empty()) << sample.name;
  }
}

}  // namespace
}  // namespace vantrel

#endif
