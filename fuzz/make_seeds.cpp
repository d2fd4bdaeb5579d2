// vantrel-fuzz-seeds DIR: writes the fuzzers' seed corpus, one small well-formed file for each
// container and thumbnail writer.
#include <cstdio>
#include <filesystem>

#include "tests/fixtures/seeds.h"
#include "tests/fixtures/temp_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: vantrel-fuzz-seeds DIR\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  for (const auto& seed : vantrel::fixtures::MakeSeeds()) {
    const std::string path = std::string(argv[1]) + "/" + seed.name;
    if (!vantrel::fixtures::WriteFileBytes(path, seed.bytes)) return 1;
  }
  return 0;
}
