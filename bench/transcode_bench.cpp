// The Kodak YUV decoder on a large coded thumbnail, next to a plain copy of its coded bytes.
// Both report decoded pixels per second (for the copy: the rate at which the decoder would
// have to turn out pixels to keep up with it) and coded bytes per second, over CPU time, which
// other work on a shared machine disturbs less than the wall-clock time shown beside it.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "tests/fixtures/kodak_builder.h"
#include "transcode/kodak_yuv.h"

namespace vantrel::bench {
namespace {

constexpr std::uint32_t kWidth = 1500;
constexpr std::uint32_t kHeight = 1000;

// A DCS Pro file with a 1500 x 1000 thumbnail coded from the fixtures' landscape.
struct KodakThumbnail {
  KodakThumbnail()
      : KodakThumbnail(fixtures::EncodeKodakRgb(fixtures::MakeLandscape(kWidth, kHeight))) {}
  explicit KodakThumbnail(const fixtures::Bytes& coded)
      : codedBytes(coded.size()),
        dcs(fixtures::MakeKodakDcs(kWidth, kHeight, coded)),
        file(dcs.bytes, "kodak_dcs_pro.dcr") {}
  std::size_t codedBytes;
  fixtures::KodakDcsFile dcs;
  InputFile file;
};

const KodakThumbnail& Thumbnail() {
  static const KodakThumbnail thumbnail;
  return thumbnail;
}

void BM_KodakYuvDecode(benchmark::State& state) {
  const KodakThumbnail& thumbnail = Thumbnail();
  OpenState raw(thumbnail.file);
  ScratchOutput output;
  for (auto _ : state) {
    std::FILE* out = output.Create();
    if (!raw.ok() || out == nullptr) {
      state.SkipWithError("cannot open the input or the output");
      break;
    }
    ParseState& parse = raw.state();
    parse.thumbOffset = static_cast<std::int32_t>(thumbnail.dcs.thumbOffset);
    parse.thumbWidth = kWidth;
    parse.thumbHeight = kHeight;
    if (Failed(KodakYuvDecode(parse, out))) state.SkipWithError("the decoder failed");
    std::fclose(out);
  }
  ReportPixelRate(state, std::int64_t{kWidth} * kHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(thumbnail.codedBytes));
}
BENCHMARK(BM_KodakYuvDecode)->Unit(benchmark::kMillisecond);

void BM_CopyCodedBytes(benchmark::State& state) {
  const KodakThumbnail& thumbnail = Thumbnail();
  OpenState raw(thumbnail.file);
  ScratchOutput output;
  for (auto _ : state) {
    std::FILE* out = output.Create();
    if (!raw.ok() || out == nullptr) {
      state.SkipWithError("cannot open the input or the output");
      break;
    }
    SeekTo(raw.state().rawFile, static_cast<std::int32_t>(thumbnail.dcs.thumbOffset));
    CopyBytes(raw.state().rawFile, out, thumbnail.codedBytes);
    std::fclose(out);
  }
  ReportPixelRate(state, std::int64_t{kWidth} * kHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(thumbnail.codedBytes));
}
BENCHMARK(BM_CopyCodedBytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel::bench
