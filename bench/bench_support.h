// What the benchmark programs share: input raw files made in TMPDIR, parse states opened on
// them as the driver opens them, scratch outputs and the plain-copy baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/parse_state.h"
#include "tests/fixtures/temp_file.h"

namespace vantrel::bench {

// A raw file written once in TMPDIR and removed when the object goes.
class InputFile {
 public:
  InputFile(const fixtures::Bytes& bytes, const std::string& stem);
  const std::string& path() const { return file_.path(); }
  std::int32_t size() const { return size_; }

 private:
  fixtures::TempFile file_;
  std::int32_t size_;
};

// A ParseState whose `rawFile` is `input`, open for reading, with `fileSize` set.
class OpenState {
 public:
  explicit OpenState(const InputFile& input);
  ~OpenState();
  OpenState(const OpenState&) = delete;
  OpenState& operator=(const OpenState&) = delete;
  ParseState& state() { return state_; }
  bool ok() const { return state_.rawFile != nullptr; }

 private:
  ParseState state_;
};

// A thumbnail file in TMPDIR, created afresh for every iteration and removed at the end.
class ScratchOutput {
 public:
  ScratchOutput() : path_("bench_out") {}
  // Creates (or truncates) the file; null when it cannot be created.
  std::FILE* Create() const { return std::fopen(path_.c_str(), "wb"); }

 private:
  fixtures::TempPath path_;
};

// Copies `count` bytes from the position of `in` to `out` through the streams, in blocks:
// the least that any writer of a thumbnail file does with its input.
void CopyBytes(std::FILE* in, std::FILE* out, std::size_t count);

// Reports `pixels` per iteration as a rate, "pixels/s".
void ReportPixelRate(benchmark::State& state, std::int64_t pixels);

}  // namespace vantrel::bench
