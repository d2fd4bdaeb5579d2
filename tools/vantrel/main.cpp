#include <cstdio>
#include <string>
#include <vector>

#include "tools/vantrel/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vantrel::cli::Run(args, {stdout, stderr});
}
