#include "tests/road/scripted_converter.h"

#include <cstdio>

#include "tests/fixtures/temp_file.h"

namespace vantrel {
namespace testing {

ConverterScript& Script() {
  static ConverterScript script;
  return script;
}

}  // namespace testing

namespace platform {

ConversionOutcome RunImageConverter(const ConvertArguments& arguments) {
  testing::ConverterScript& script = testing::Script();
  ++script.calls;
  script.arguments = arguments;
  script.inputExisted = fixtures::FileExists(arguments[4]);
  if (script.writeOutput) fixtures::WriteFileBytes(arguments[10], script.output);
  if (script.removeOutput) std::remove(arguments[10].c_str());
  return script.outcome;
}

}  // namespace platform
}  // namespace vantrel
