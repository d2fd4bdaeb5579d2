// Error reporting. Every failure on the road of an extraction is reported once, where it is
// found, as one error event; the failing operation then returns its code unchanged.
#pragma once

#include "core/hresult.h"

namespace vantrel {

// Writes one error event whose identifier is `code` and whose only text is `message`.
// Never fails and never changes what the caller returns.
void ReportError(HResult code, const char* message);

// Receives reports in place of the system's event log, on the thread that installed it.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  virtual void OnReport(HResult code, const char* message) = 0;
};

// Drops every report: for callers that judge failures by their codes alone.
class DiscardReports : public ReportSink {
 public:
  void OnReport(HResult, const char*) override {}
};

// Installs a sink for the current thread for the life of this object; the previous sink (or
// the event log) comes back when it ends. With `forward` set, reports also still reach the
// event log.
class ScopedReportSink {
 public:
  explicit ScopedReportSink(ReportSink* sink, bool forward = false);
  ~ScopedReportSink();
  ScopedReportSink(const ScopedReportSink&) = delete;
  ScopedReportSink& operator=(const ScopedReportSink&) = delete;

 private:
  ReportSink* previous_;
  bool previousForward_;
};

}  // namespace vantrel
