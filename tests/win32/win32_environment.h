// What the Windows tests share: the stand-in ImageMagick component, registered for the whole
// run, the environment it reads, and small Win32 helpers.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vantrel::testing {

// The directory of the test executable (where VantrelRX.dll and fake_magick.dll lie too), with
// a final backslash.
std::string ExecutableDirectory();

// Sets an environment variable for both the Win32 environment and the C run-time's copy, and
// puts the old value back at the end of the scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_;
};

// The behaviour of the stand-in for the scope (see fake_magick.cpp): "ok", "create-fails",
// "no-interface", "fail:HEX", "fail-info:HEX", "no-output".
class FakeMagickMode : public ScopedEnvironment {
 public:
  explicit FakeMagickMode(const std::string& mode)
      : ScopedEnvironment("VANTREL_FAKE_MAGICK", mode) {}
};

// The description that the stand-in gives with "fail-info:".
inline constexpr char kFakeFailureDescription[] = "Stand-in conversion failed as asked";

// Registers or unregisters the stand-in (HKCR\CLSID\{ImageMagickObject}).
HRESULT RegisterFakeMagick(bool registered);

// Takes the stand-in out of the registry for the scope.
class FakeMagickUnregistered {
 public:
  FakeMagickUnregistered();
  ~FakeMagickUnregistered();
  FakeMagickUnregistered(const FakeMagickUnregistered&) = delete;
  FakeMagickUnregistered& operator=(const FakeMagickUnregistered&) = delete;
};

// The arguments that the stand-in received, through VANTREL_FAKE_MAGICK_LOG for the scope.
class FakeMagickLog {
 public:
  FakeMagickLog();
  ~FakeMagickLog();
  FakeMagickLog(const FakeMagickLog&) = delete;
  FakeMagickLog& operator=(const FakeMagickLog&) = delete;
  std::vector<std::string> Lines() const;

 private:
  std::string path_;
  ScopedEnvironment variable_;
};

// A new, empty directory that is removed with its content at the end of the scope.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }
  std::vector<std::string> Files() const;

 private:
  std::string path_;
};

// The run time's temporary directory (TMP and TEMP) pointed at a scratch directory for the
// scope, so that a test sees every temporary file that the code under test leaves.
class ScopedTempDirectory {
 public:
  ScopedTempDirectory();
  const std::string& path() const { return directory_.path(); }
  std::vector<std::string> Files() const { return directory_.Files(); }

 private:
  ScratchDirectory directory_;
  ScopedEnvironment tmp_;
  ScopedEnvironment temp_;
};

// Runs `body` on a new thread and waits for it: a thread whose COM state is fresh.
void RunOnNewThread(const std::function<void()>& body);

// Whether the calling thread is in a single-threaded apartment: CoInitializeEx for the
// multithreaded one is then refused. Leaves the thread's COM state as it found it.
bool ThreadIsInApartment();

// CoInitialize for the scope, as the shell's threads are.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace vantrel::testing
