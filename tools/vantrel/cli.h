// The `vantrel` command line, callable in process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/hresult.h"

namespace vantrel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The streams a command writes to.
struct Console {
  std::FILE* out;
  std::FILE* err;
};

// Runs `vantrel` with `args` (the program name not included).
int Run(const std::vector<std::string>& args, Console console);

// Prints the stderr line for a failure that no report explained.
void PrintUnreportedFailure(Console console, HResult hr);

}  // namespace vantrel::cli
