// Fuzzes the whole extraction driver over an in-memory raw file and checks the bounds that
// keep a thumbnail handler safe inside a file manager: whatever the input, the thumbnail file
// stays within a fixed multiple of the raw file's size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/extract.h"
#include "core/limits.h"
#include "core/report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantrel::DiscardReports drop;
  vantrel::ScopedReportSink scope(&drop);

  if (size == 0) return 0;  // fmemopen takes no empty buffer; the unit tests cover empty files
  std::FILE* raw = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (raw == nullptr) return 0;

  char* output = nullptr;
  std::size_t outputSize = 0;
  vantrel::ParseState state;
  const vantrel::HResult hr = vantrel::ParseRawStream(state, raw);
  if (vantrel::Succeeded(hr)) {
    vantrel::WriteThumbnailFile(state, [&] { return open_memstream(&output, &outputSize); });
  }
  if (state.rawFile != nullptr) std::abort();  // the driver closes the raw file on every path
  if (!vantrel::OutputWithinBound(static_cast<std::int64_t>(outputSize),
                                  static_cast<std::int32_t>(size))) {
    std::fprintf(stderr, "thumbnail file of %zu bytes from a raw file of %zu bytes\n", outputSize,
                 size);
    std::abort();
  }
  std::free(output);
  return 0;
}
