// The ImageMagick component: the ImageMagickObject COM server on Windows, MagickWand in
// process on POSIX systems.
#pragma once

#include <array>
#include <string>

#include "core/hresult.h"

namespace vantrel::platform {

// The ImageMagick command-line argument list that makes one thumbnail.
using ConvertArguments = std::array<std::string, 11>;

struct ConversionOutcome {
  HResult hr = kSOk;
  // The component could not be reached through its image interface (E_NOINTERFACE on the
  // way to it): the caller reports "Couldn't access ImageMagickObject".
  bool noInterface = false;
  // The error's description, when the component gave one.
  std::string description;
  // The error text; when empty the caller asks ErrorText(hr).
  std::string errorText;
};

// Runs the component on `arguments` (unchanged). On success it has left a JPEG at the output
// path (the last argument). Reports nothing itself.
ConversionOutcome RunImageConverter(const ConvertArguments& arguments);

// The system's text for `hr` (FormatMessageA on Windows), without a final line break; empty
// when the system has none.
std::string SystemErrorText(HResult hr);

}  // namespace vantrel::platform
