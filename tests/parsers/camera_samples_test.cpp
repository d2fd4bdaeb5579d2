// The real camera files: each one is recognised and its parser finds the camera and the
// preview. Their image data and most previews were cut down to a few bytes by their
// publisher, so lengths are small.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/extract.h"
#include "core/parse_state.h"
#include "tests/support/captured_reports.h"

namespace vantrel {
namespace {

TEST(CameraSamples, EveryFileIsRecognised) {
  const std::filesystem::path folder = VANTREL_SAMPLES_DIR;
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no samples at " << folder;
  const struct {
    const char* file;
    const char* make;
    const char* model;
    std::int32_t thumbOffset;
    std::int32_t thumbLength;
    ThumbnailWriter writer;
  } cases[] = {
      {"canon-eos300d.crw", "Canon", "Canon EOS DIGITAL REBEL", 48, 29, ThumbnailWriter::kCopy},
      {"canon-eos350d.cr2", "Canon", "Canon EOS 350D DIGITAL", 8620, 28, ThumbnailWriter::kCopy},
      // No JPEG entries: the 8 x 8 RGB strip of its first IFD.
      {"canon-eos350d-converted.dng", "Canon", "Canon EOS 350D DIGITAL", 13470, 192,
       ThumbnailWriter::kCopy},
      {"fujifilm-s5pro.raf", "FUJIFILM", "FinePix S5Pro  ", 148, 12167, ThumbnailWriter::kCopy},
      {"leaf-credo40.iiq", "Leaf", "Credo 40", 3360, 3, ThumbnailWriter::kCopy},
      // The MRM branch: 0xFF, then the preview from one byte past its stored start.
      {"minolta-dimage-a2.mrw", "Konica Minolta Camera, Inc.", "DiMAGE A2", 2131, 441,
       ThumbnailWriter::kCopy},
      {"nikon-d70.nef", "NIKON CORPORATION", "NIKON D70", 1120, 29, ThumbnailWriter::kCopy},
      // Its preview is a JPEG under the Panasonic tag 0x002E of IFD0, which no rule of the TIFF
      // walker reads; IFD0 has no JPEG entries, no ImageWidth, ImageLength or BitsPerSample,
      // and StripOffsets 0xFFFFFFFF, so the strip fallback gives length 0 at offset -1.
      {"panasonic-lx3.rw2", "Panasonic", "DMC-LX3", -1, 0, ThumbnailWriter::kCopy},
      // The word after the first "IMA2" is the next directory entry's offset.
      {"sigma-sd10.x3f", "SIGMA", "SIGMA SD10", 356, 71442, ThumbnailWriter::kFoveon},
      {"sigma-dp2.x3f", "SIGMA", "SIGMA DP2", 2996, 196608, ThumbnailWriter::kFoveon},
  };
  for (const auto& c : cases) {
    const std::string path = (folder / c.file).string();
    ParseState state;
    testing::CapturedReports reports;
    EXPECT_EQ(ParseRawFile(state, path.c_str()), kSOk) << c.file;
    CloseRawFile(state);
    EXPECT_STREQ(state.make, c.make) << c.file;
    EXPECT_STREQ(state.model, c.model) << c.file;
    EXPECT_EQ(state.thumbOffset, c.thumbOffset) << c.file;
    EXPECT_EQ(state.thumbLength, c.thumbLength) << c.file;
    EXPECT_EQ(ChooseWriter(state), c.writer) << c.file;
    EXPECT_TRUE(reports.reports.empty()) << c.file;
  }
}

}  // namespace
}  // namespace vantrel
