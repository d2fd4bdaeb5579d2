#include "bench/bench_support.h"

#include <algorithm>

namespace vantrel::bench {

InputFile::InputFile(const fixtures::Bytes& bytes, const std::string& stem)
    : file_(bytes, stem), size_(static_cast<std::int32_t>(bytes.size())) {}

OpenState::OpenState(const InputFile& input) {
  state_.rawFile = std::fopen(input.path().c_str(), "rb");
  state_.fileSize = input.size();
}

OpenState::~OpenState() {
  if (state_.rawFile != nullptr) std::fclose(state_.rawFile);
}

void CopyBytes(std::FILE* in, std::FILE* out, std::size_t count) {
  unsigned char buffer[64 * 1024];
  while (count > 0) {
    const std::size_t got = std::fread(buffer, 1, std::min(count, sizeof buffer), in);
    if (got == 0) break;
    std::fwrite(buffer, 1, got, out);
    count -= got;
  }
}

void ReportPixelRate(benchmark::State& state, std::int64_t pixels) {
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace vantrel::bench
