// Runs other programs (ImageMagick's command line, the `vantrel` tool) for the benchmarks, and
// measures their wall time and peak memory.
//
// A process started from a large one begins its life as a copy of it, and Linux counts that
// copy in its peak resident size. The benchmarks hold raw files of tens of megabytes, so the
// children are started by a launcher process forked before anything large was allocated: what
// a child inherits from the launcher is a few hundred kilobytes, far below what it measures.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantrel::bench {

struct ChildOutcome {
  bool started = false;  // the launcher answered
  int status = -1;       // the wait status
  double seconds = 0;    // wall time from fork to the end of the wait
  long maxRssKiB = 0;    // the child's peak resident size
  bool Succeeded() const;
};

class ChildLauncher {
 public:
  // Forks the launcher. Call it first thing in main, before large allocations and threads.
  static void Start();
  // Stops the launcher; later Run calls fail.
  static void Stop();
  // Runs `argv` (argv[0] an absolute path) with its standard output sent to /dev/null and
  // its standard error kept, and waits for it.
  static ChildOutcome Run(const std::vector<std::string>& argv);
};

}  // namespace vantrel::bench
