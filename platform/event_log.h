// The system's error log: the Windows event log, or syslog on POSIX systems.
#pragma once

#include "core/hresult.h"

namespace vantrel::platform {

// Writes one error record under the source "Vantrel". A failure to write is silent.
void WriteErrorEvent(HResult code, const char* message);

}  // namespace vantrel::platform
