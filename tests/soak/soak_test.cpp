// One process runs thousands of extractions and thumbnail renderings over good, truncated and
// hostile raw files, the way a file manager's thumbnailer lives for a whole session, and then
// checks that nothing piled up: no file descriptor, no heap growth beyond a small allowance,
// no temporary file.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/extract.h"
#include "core/report.h"
#include "platform/bitmap.h"
#include "shellext/extractor.h"
#include "tests/fixtures/samples.h"
#include "tests/fixtures/seeds.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/scoped_tmpdir.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using fixtures::Sample;

constexpr int kOperations = 2000;                // extractions, and as many renderings
constexpr std::size_t kHeapAllowance = 1 << 20;  // bytes

class DropReports : public ReportSink {
 public:
  void OnReport(HResult, const char*) override { ++count; }
  long count = 0;
};

// Deterministic damage: the same hostile files on every run.
class Damage {
 public:
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  Bytes Mutate(Bytes bytes) {
    if (bytes.size() < 8) return bytes;
    for (int i = 0; i < 12; ++i) {
      const std::size_t at = Next() % (bytes.size() - 4);
      const std::uint32_t kind = Next() % 3;
      const std::uint32_t value = kind == 0 ? 0xFFFFFFFFu : kind == 1 ? 0x7FFFFFFFu : Next();
      for (int b = 0; b < 4; ++b) bytes[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return bytes;
  }

 private:
  std::uint32_t state_ = 0x2545F491u;
};

std::vector<Sample> Corpus() {
  std::vector<Sample> good = fixtures::MakeSeeds();
  for (Sample& sample : fixtures::MakeSamples()) good.push_back(std::move(sample));
  std::vector<Sample> all;
  Damage damage;
  for (const Sample& sample : good) {
    const Bytes& b = sample.bytes;
    all.push_back(sample);
    for (std::size_t cut : {b.size() / 3, 2 * b.size() / 3, std::min<std::size_t>(b.size(), 50)})
      all.push_back(
          {"cut-" + std::to_string(cut) + "-" + sample.name, Bytes(b.begin(), b.begin() + cut)});
    for (int i = 0; i < 3; ++i)
      all.push_back({"hostile-" + std::to_string(i) + "-" + sample.name, damage.Mutate(b)});
  }
  return all;
}

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

std::size_t HeapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

TEST(Soak, ThousandsOfThumbnailsLeaveNothingBehind) {
  const std::string inputs = fixtures::TempDirectory() + "/vantrel_soak_inputs";
  std::filesystem::create_directories(inputs);
  std::vector<std::string> paths;
  for (const Sample& sample : Corpus()) {
    paths.push_back(inputs + "/" + sample.name);
    ASSERT_TRUE(fixtures::WriteFileBytes(paths.back(), sample.bytes));
  }

  testing::ScopedTmpDir tmp;
  DropReports reports;
  ScopedReportSink scope(&reports);
  int extractions = 0;
  int renderings = 0;
  int rendered = 0;
  const auto round = [&] {
    for (const std::string& path : paths) {
      ParseState state;
      const std::string out = tmp.path() + "/vantrel_temp_soak";
      ExtractThumbnail(state, path.c_str(), out.c_str());
      std::remove(out.c_str());
      ++extractions;

      Extractor extractor;
      std::uint32_t flags = 0;
      extractor.Load(path.c_str());
      extractor.GetLocation(96, 96, flags);
      platform::Bitmap bitmap;
      if (Succeeded(extractor.Extract(bitmap))) {
        ++rendered;
        EXPECT_EQ(bitmap.width, 96);
        EXPECT_EQ(bitmap.height, 96);
      }
      platform::ReleaseNativeBitmap(bitmap);
      ++renderings;
    }
  };

  round();  // warm up: first-use caches of the libraries are not leaks
  const std::size_t descriptors = OpenDescriptors();
  const std::size_t heap = HeapInUse();
  while (extractions < kOperations) round();

  EXPECT_EQ(OpenDescriptors(), descriptors);
  const std::size_t heapAfter = HeapInUse();
  EXPECT_LE(heapAfter, heap + kHeapAllowance) << "heap grew from " << heap << " to " << heapAfter;
  EXPECT_TRUE(tmp.Entries().empty()) << tmp.Entries().front();
  EXPECT_GT(rendered, 0);
  EXPECT_GT(reports.count, 0);  // the damaged files did fail
  std::printf("%d extractions, %d renderings (%d bitmaps), %ld reports\n", extractions, renderings,
              rendered, reports.count);
  std::filesystem::remove_all(inputs);
}

}  // namespace
}  // namespace vantrel
