// A ParseState whose raw file holds given bytes, for testing parsers and writers directly.
#pragma once

#include <cstdio>

#include "core/parse_state.h"
#include "tests/fixtures/temp_file.h"

namespace vantrel::testing {

class OpenRawFile {
 public:
  explicit OpenRawFile(const fixtures::Bytes& bytes, ParseState& state)
      : file_(bytes), state_(state) {
    state_.rawFile = std::fopen(file_.c_str(), "rb");
    state_.fileSize = static_cast<std::int32_t>(bytes.size());
  }
  ~OpenRawFile() {
    if (state_.rawFile != nullptr) std::fclose(state_.rawFile);
    state_.rawFile = nullptr;
  }
  OpenRawFile(const OpenRawFile&) = delete;
  OpenRawFile& operator=(const OpenRawFile&) = delete;

 private:
  fixtures::TempFile file_;
  ParseState& state_;
};

}  // namespace vantrel::testing
