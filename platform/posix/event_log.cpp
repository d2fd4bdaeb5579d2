#include "platform/event_log.h"

#include <syslog.h>

namespace vantrel::platform {

void WriteErrorEvent(HResult code, const char* message) {
  // Opened and closed per record, as the Windows side does with its event source, so that no
  // state outlives the call.
  openlog("Vantrel", LOG_PID, LOG_USER);
  syslog(LOG_ERR, "error 0x%08X: %s", static_cast<unsigned>(code), message);
  closelog();
}

}  // namespace vantrel::platform
