// The render road on a full-size preview: a 6000 x 4000 JPEG, as many cameras store, made into a
// 256 x 256 thumbnail. The baseline is a plain full-size decode of the same JPEG, the least that
// a converter which does not scale while decoding would pay before any resizing. All report the
// preview's pixels per second.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <vector>

#include "bench/bench_support.h"
#include "platform/image_converter.h"
#include "render/render.h"
#include "shellext/extractor.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/tiff_builder.h"

namespace vantrel::bench {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kThumbnail = 256;

struct Preview {
  Preview()
      : jpeg(fixtures::MakeJpeg(kWidth, kHeight, 90)),
        thumbnailFile(jpeg, "preview.jpg"),
        raw(MakeRaw(jpeg), "preview.nef") {}
  static fixtures::Bytes MakeRaw(const fixtures::Bytes& jpeg) {
    fixtures::TiffBuilder tiff(fixtures::Endian::kBig);
    const std::uint32_t at = tiff.AddBlob(jpeg);
    tiff.AddIfd()
        .Ascii(fixtures::kMake, "NIKON CORPORATION")
        .Ascii(fixtures::kModel, "NIKON D800")
        .Long(fixtures::kJpegOffset, at)
        .Long(fixtures::kJpegLength, static_cast<std::uint32_t>(jpeg.size()));
    return tiff.Build();
  }
  fixtures::Bytes jpeg;
  InputFile thumbnailFile;
  InputFile raw;
};

const Preview& LargePreview() {
  static const Preview preview;
  return preview;
}

void BM_ConvertLargePreview(benchmark::State& state) {
  const Preview& preview = LargePreview();
  const fixtures::TempPath output("bench_thumb.jpg");
  ParseState parse;
  parse.requestWidth = parse.requestHeight = kThumbnail;
  const platform::ConvertArguments arguments =
      MakeConvertArguments(parse, preview.thumbnailFile.path().c_str(), output.c_str());
  for (auto _ : state) {
    if (Failed(platform::RunImageConverter(arguments).hr)) {
      state.SkipWithError("the conversion failed");
      break;
    }
  }
  ReportPixelRate(state, std::int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ConvertLargePreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractLargePreview(benchmark::State& state) {
  const Preview& preview = LargePreview();
  for (auto _ : state) {
    Extractor extractor;
    extractor.Load(preview.raw.path().c_str());
    std::uint32_t flags = 0;
    extractor.GetLocation(kThumbnail, kThumbnail, flags);
    platform::Bitmap bitmap;
    if (Failed(extractor.Extract(bitmap))) {
      state.SkipWithError("the extraction failed");
      break;
    }
    benchmark::DoNotOptimize(bitmap.rgb.data());
  }
  ReportPixelRate(state, std::int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ExtractLargePreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeFullSizeBaseline(benchmark::State& state) {
  const Preview& preview = LargePreview();
  std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
  tjhandle handle = tjInitDecompress();
  for (auto _ : state) {
    if (tjDecompress2(handle, preview.jpeg.data(), preview.jpeg.size(), pixels.data(), kWidth, 0,
                      kHeight, TJPF_RGB, 0) != 0) {
      state.SkipWithError("the decode failed");
      break;
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  tjDestroy(handle);
  ReportPixelRate(state, std::int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_DecodeFullSizeBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vantrel::bench
