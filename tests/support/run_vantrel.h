// Runs the `vantrel` command line in process and collects what it printed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tests/fixtures/temp_file.h"
#include "tools/vantrel/cli.h"

namespace vantrel::testing {

struct CliOutcome {
  int exit = -1;
  std::string out;
  std::string err;
};

inline CliOutcome RunVantrel(const std::vector<std::string>& args) {
  fixtures::TempPath outPath("stdout");
  fixtures::TempPath errPath("stderr");
  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  std::FILE* err = std::fopen(errPath.c_str(), "wb");
  CliOutcome outcome;
  outcome.exit = cli::Run(args, {out, err});
  std::fclose(out);
  std::fclose(err);
  const fixtures::Bytes o = fixtures::ReadFileBytes(outPath.path());
  const fixtures::Bytes e = fixtures::ReadFileBytes(errPath.path());
  outcome.out.assign(o.begin(), o.end());
  outcome.err.assign(e.begin(), e.end());
  return outcome;
}

}  // namespace vantrel::testing
