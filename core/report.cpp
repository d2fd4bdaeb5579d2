#include "core/report.h"

#include "platform/event_log.h"

namespace vantrel {
namespace {

thread_local ReportSink* tSink = nullptr;
thread_local bool tForward = false;

}  // namespace

void ReportError(HResult code, const char* message) {
  if (message == nullptr) message = "";
  if (tSink != nullptr) {
    tSink->OnReport(code, message);
    if (!tForward) return;
  }
  platform::WriteErrorEvent(code, message);
}

ScopedReportSink::ScopedReportSink(ReportSink* sink, bool forward)
    : previous_(tSink), previousForward_(tForward) {
  tSink = sink;
  tForward = forward;
}

ScopedReportSink::~ScopedReportSink() {
  tSink = previous_;
  tForward = previousForward_;
}

}  // namespace vantrel
