// The commands of `vantrel` and what they share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/report.h"
#include "tools/vantrel/cli.h"

namespace vantrel::cli {

struct Command {
  const char* name;
  const char* arguments;    // positional arguments, for the usage line
  const char* summary;      // one line for the command list
  const char* description;  // the rest of the command's help
  const char* options;      // options for the usage line, or null
  std::size_t minArgs;
  std::size_t maxArgs;
  int (*run)(const std::vector<std::string>& positional, Console console);
  // A command with options of its own parses its arguments itself.
  int (*parse)(const struct Command& self, const std::vector<std::string>& args,
               Console console) = nullptr;
};

// Prints every report of its lifetime on stderr and still sends it to the system log.
class StderrReports : public ReportSink {
 public:
  explicit StderrReports(Console console);
  void OnReport(HResult code, const char* message) override;
  // After a failure: says so when no report explained it.
  void Finish(HResult hr);

 private:
  Console console_;
  ScopedReportSink scope_;
  int count_ = 0;
};

int CommandUsageError(const Command& command, Console console, const std::string& what);

// `vantrel thumbnail`, or null when this build has no rendering.
const Command* ThumbnailCommand();

}  // namespace vantrel::cli
