#include "bench/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace vantrel::bench {
namespace {

int gToLauncher = -1;
int gFromLauncher = -1;
pid_t gLauncher = -1;

struct Answer {
  std::int32_t status;
  std::int64_t maxRssKiB;
  double seconds;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = write(fd, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t done = read(fd, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The launcher's loop: a request is a length and the arguments, each ended by a NUL.
[[noreturn]] void Serve(int in, int out) {
  for (;;) {
    std::uint32_t length = 0;
    if (!ReadAll(in, &length, sizeof length) || length == 0 || length > (1u << 20)) _exit(0);
    std::vector<char> text(length);
    if (!ReadAll(in, text.data(), length) || text.back() != '\0') _exit(0);
    std::vector<char*> argv;
    for (std::size_t at = 0; at < text.size(); at += std::strlen(&text[at]) + 1)
      argv.push_back(&text[at]);
    argv.push_back(nullptr);

    Answer answer{-1, 0, 0};
    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, STDOUT_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (child > 0) {
      int status = 0;
      rusage usage{};
      pid_t done;
      do {
        done = wait4(child, &status, 0, &usage);
      } while (done < 0 && errno == EINTR);
      answer.seconds = Now() - start;
      if (done == child) {
        answer.status = status;
        answer.maxRssKiB = usage.ru_maxrss;
      }
    }
    if (!WriteAll(out, &answer, sizeof answer)) _exit(0);
  }
}

}  // namespace

bool ChildOutcome::Succeeded() const {
  return started && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ChildLauncher::Start() {
  int request[2], reply[2];
  if (pipe2(request, O_CLOEXEC) != 0) return;
  if (pipe2(reply, O_CLOEXEC) != 0) {
    close(request[0]);
    close(request[1]);
    return;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(request[1]);
    close(reply[0]);
    Serve(request[0], reply[1]);
  }
  close(request[0]);
  close(reply[1]);
  if (pid < 0) {
    close(request[1]);
    close(reply[0]);
    return;
  }
  gLauncher = pid;
  gToLauncher = request[1];
  gFromLauncher = reply[0];
}

void ChildLauncher::Stop() {
  if (gLauncher < 0) return;
  close(gToLauncher);
  close(gFromLauncher);
  waitpid(gLauncher, nullptr, 0);
  gLauncher = gToLauncher = gFromLauncher = -1;
}

ChildOutcome ChildLauncher::Run(const std::vector<std::string>& argv) {
  ChildOutcome outcome;
  if (gLauncher < 0 || argv.empty()) return outcome;
  std::string text;
  for (const std::string& argument : argv) {
    text += argument;
    text += '\0';
  }
  const auto length = static_cast<std::uint32_t>(text.size());
  Answer answer{};
  if (!WriteAll(gToLauncher, &length, sizeof length) ||
      !WriteAll(gToLauncher, text.data(), text.size()) ||
      !ReadAll(gFromLauncher, &answer, sizeof answer)) {
    return outcome;
  }
  outcome.started = answer.status != -1;
  outcome.status = answer.status;
  outcome.seconds = answer.seconds;
  outcome.maxRssKiB = static_cast<long>(answer.maxRssKiB);
  return outcome;
}

}  // namespace vantrel::bench
