// Collects the error reports of a test instead of sending them to the system log.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/report.h"

namespace vantrel::testing {

struct Report {
  HResult code;
  std::string message;
  bool operator==(const Report&) const = default;
};

class CapturedReports : public ReportSink {
 public:
  CapturedReports() : scope_(this) {}
  void OnReport(HResult code, const char* message) override { reports.push_back({code, message}); }
  std::vector<Report> reports;

 private:
  ScopedReportSink scope_;
};

}  // namespace vantrel::testing
