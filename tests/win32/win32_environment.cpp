#include "tests/win32/win32_environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace vantrel::testing {
namespace {

std::atomic<unsigned> gScratchCounter{0};

using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

// The stand-in is registered for the whole run and taken out again at its end.
class FakeMagickEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(RegisterFakeMagick(true), S_OK) << "registering fake_magick.dll";
  }
  void TearDown() override { RegisterFakeMagick(false); }
};

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new FakeMagickEnvironment);

}  // namespace

std::string ExecutableDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
  const char* old = std::getenv(name.c_str());
  had_ = old != nullptr;
  if (had_) old_ = old;
  _putenv((name + "=" + value).c_str());
  SetEnvironmentVariableA(name.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  _putenv((name_ + "=" + old_).c_str());
  SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

HRESULT RegisterFakeMagick(bool registered) {
  HMODULE module = LoadLibraryA((ExecutableDirectory() + "fake_magick.dll").c_str());
  if (module == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  auto function = reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(
      GetProcAddress(module, registered ? "DllRegisterServer" : "DllUnregisterServer")));
  const HRESULT hr = function != nullptr ? function() : E_FAIL;
  FreeLibrary(module);
  return hr;
}

FakeMagickUnregistered::FakeMagickUnregistered() { RegisterFakeMagick(false); }
FakeMagickUnregistered::~FakeMagickUnregistered() { RegisterFakeMagick(true); }

namespace {

std::string ScratchName(const char* stem) {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  return std::string(temp, length) + stem + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(gScratchCounter++);
}

}  // namespace

FakeMagickLog::FakeMagickLog()
    : path_(ScratchName("vantrel_fake_log_")), variable_("VANTREL_FAKE_MAGICK_LOG", path_) {}

FakeMagickLog::~FakeMagickLog() { DeleteFileA(path_.c_str()); }

std::vector<std::string> FakeMagickLog::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(path_, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ScratchDirectory::ScratchDirectory() : path_(ScratchName("vantrel_scratch_")) {
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory() {
  for (const std::string& name : Files()) DeleteFileA((path_ + "\\" + name).c_str());
  RemoveDirectoryA(path_.c_str());
}

std::vector<std::string> ScratchDirectory::Files() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

ScopedTempDirectory::ScopedTempDirectory()
    : tmp_("TMP", directory_.path()), temp_("TEMP", directory_.path()) {}

void RunOnNewThread(const std::function<void()>& body) { std::thread(body).join(); }

bool ThreadIsInApartment() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (hr == RPC_E_CHANGED_MODE) return true;
  if (SUCCEEDED(hr)) CoUninitialize();
  return false;
}

}  // namespace vantrel::testing
