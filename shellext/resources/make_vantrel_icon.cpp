// Build tool: writes the Vantrel icon to the .ico file named on the command line.
#include <cstdio>

#include "shellext/resources/vantrel_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-vantrel-icon OUT.ico\n");
    return 2;
  }
  const std::vector<std::uint8_t> ico = vantrel::icon::MakeVantrelIcon();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(ico.data(), 1, ico.size(), out) == ico.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
