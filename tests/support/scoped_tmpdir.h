// Points TMPDIR at a fresh empty directory for the life of the object, so that a test can see
// every temporary file that the code under test leaves behind.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/fixtures/temp_file.h"

namespace vantrel::testing {

class ScopedTmpDir {
 public:
  ScopedTmpDir() {
    std::string pattern = fixtures::TempDirectory() + "/vantrel_tmpdir_XXXXXX";
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    if (const char* old = getenv("TMPDIR")) previous_ = old;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (previous_) {
      setenv("TMPDIR", previous_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScopedTmpDir(const ScopedTmpDir&) = delete;
  ScopedTmpDir& operator=(const ScopedTmpDir&) = delete;

  const std::string& path() const { return path_; }

  // The names of the files in the directory.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::string path_;
  std::optional<std::string> previous_;
};

}  // namespace vantrel::testing
