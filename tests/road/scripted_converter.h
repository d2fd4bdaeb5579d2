// A scripted ImageMagick component for the road tests: it stands in for the real one at link
// time, records what it was given and does what the test asks.
#pragma once

#include "platform/image_converter.h"
#include "tests/fixtures/byte_writer.h"

namespace vantrel::testing {

struct ConverterScript {
  platform::ConversionOutcome outcome;  // what the call returns
  bool writeOutput = true;              // write `output` at the output path
  fixtures::Bytes output;
  bool removeOutput = false;  // remove whatever is at the output path
  // What the call saw.
  int calls = 0;
  platform::ConvertArguments arguments;
  bool inputExisted = false;
};

// The script of the current test; reset to a JPEG-writing success before each test.
ConverterScript& Script();

}  // namespace vantrel::testing
