// Fuzzes the ImageMagick component's reading of thumbnail files (JPEG, PGM and PPM of 8 and
// 16 bits): whatever the file, it either fails cleanly or leaves a JPEG of the canvas size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/render_fuzzer_support.h"
#include "platform/image_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string in = vantrel::fuzz::ScratchPath("thumb");
  static const std::string out = vantrel::fuzz::ScratchPath("out.jpg");
  if (!vantrel::fuzz::WriteScratch(in, data, size)) return 0;
  // The input's length picks one of the rotations the parsers can produce.
  static const char* const kRotations[] = {"0", "90", "180", "270", "-90", "45"};
  const char* rotation = kRotations[size % 6];
  const bool turned = rotation[0] == '9' || rotation[0] == '2';
  const vantrel::platform::ConvertArguments arguments = {"-resize", turned ? "48x64" : "64x48",
                                                         "-rotate", rotation,
                                                         in,        "-gravity",
                                                         "center",  "-size",
                                                         "64x48",   "xc:white",
                                                         out};
  const vantrel::platform::ConversionOutcome outcome =
      vantrel::platform::RunImageConverter(arguments);
  if (vantrel::Succeeded(outcome.hr)) {
    std::FILE* f = std::fopen(out.c_str(), "rb");
    if (f == nullptr) std::abort();  // success must leave a file
    unsigned char soi[2] = {};
    const std::size_t got = std::fread(soi, 1, 2, f);
    std::fclose(f);
    if (got != 2 || soi[0] != 0xFF || soi[1] != 0xD8) std::abort();  // and it is a JPEG
  }
  std::remove(out.c_str());
  std::remove(in.c_str());
  return 0;
}
