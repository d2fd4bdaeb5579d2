// Fuzzes the picture loader: the converted JPEG read whole and decoded from memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/report.h"
#include "fuzz/render_fuzzer_support.h"
#include "platform/picture_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = vantrel::fuzz::ScratchPath("picture.jpg");
  if (!vantrel::fuzz::WriteScratch(path, data, size)) return 0;
  vantrel::DiscardReports drop;
  vantrel::ScopedReportSink scope(&drop);
  vantrel::platform::Bitmap bitmap;
  if (vantrel::Succeeded(vantrel::platform::LoadPicture(path.c_str(), bitmap))) {
    const auto expected = static_cast<std::size_t>(bitmap.width) * bitmap.height * 3;
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.rgb.size() != expected) std::abort();
  }
  vantrel::platform::ReleaseNativeBitmap(bitmap);
  std::remove(path.c_str());
  return 0;
}
