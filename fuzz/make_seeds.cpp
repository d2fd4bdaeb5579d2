// vantrel-fuzz-seeds DIR: writes the fuzzers' seed corpora, built by the fixture library:
//   DIR/raw      one small well-formed raw file for each container and thumbnail writer;
//   DIR/thumb    the thumbnail files that the driver makes of them (JPEG, PGM/PPM of 8 and 16
//                bits), the inputs of the ImageMagick component;
//   DIR/jpeg     JPEG pictures, the inputs of the picture loader.
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/extract.h"
#include "core/report.h"
#include "tests/fixtures/jpeg_maker.h"
#include "tests/fixtures/seeds.h"
#include "tests/fixtures/temp_file.h"

namespace {

bool Write(const std::string& dir, const std::string& name, const vantrel::fixtures::Bytes& bytes) {
  std::filesystem::create_directories(dir);
  return vantrel::fixtures::WriteFileBytes(dir + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: vantrel-fuzz-seeds DIR\n");
    return 2;
  }
  const std::string root = argv[1];
  vantrel::DiscardReports drop;
  vantrel::ScopedReportSink scope(&drop);
  for (const auto& seed : vantrel::fixtures::MakeSeeds()) {
    if (!Write(root + "/raw", seed.name, seed.bytes)) return 1;
    const std::string raw = root + "/raw/" + seed.name;
    const std::string thumb = root + "/thumb/" + seed.name + ".thumb";
    std::filesystem::create_directories(root + "/thumb");
    vantrel::ParseState state;
    if (vantrel::Failed(vantrel::ExtractThumbnail(state, raw.c_str(), thumb.c_str())))
      std::remove(thumb.c_str());
  }
  const std::string pgm16 = "P5 3 2 65535\n";
  vantrel::fixtures::Bytes pgm(pgm16.begin(), pgm16.end());
  for (int i = 0; i < 12; ++i) pgm.push_back(static_cast<std::uint8_t>(i * 20));
  if (!Write(root + "/thumb", "grey16.pgm", pgm)) return 1;
  for (const auto& [w, h] : {std::pair{8, 8}, std::pair{33, 17}, std::pair{200, 120}}) {
    const auto jpeg = vantrel::fixtures::MakeJpeg(w, h, 60);
    const std::string name = std::to_string(w) + "x" + std::to_string(h) + ".jpg";
    if (!Write(root + "/jpeg", name, jpeg) || !Write(root + "/thumb", name, jpeg)) return 1;
  }
  return 0;
}
