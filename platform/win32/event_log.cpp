#include "platform/event_log.h"

#include <windows.h>

namespace vantrel::platform {

void WriteErrorEvent(HResult code, const char* message) {
  HANDLE source = RegisterEventSourceA(nullptr, "Vantrel");
  if (source == nullptr) return;
  const char* strings[1] = {message};
  ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, static_cast<DWORD>(code), nullptr, 1, 0, strings,
               nullptr);
  DeregisterEventSource(source);
}

}  // namespace vantrel::platform
