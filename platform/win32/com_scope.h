// COM initialised on the calling thread for the length of one operation.
#pragma once

#include <objbase.h>

namespace vantrel::platform {

// CoInitialize now; CoUninitialize at the end only when the initialisation succeeded (S_OK or
// S_FALSE), so the thread's count is balanced on every way out.
class ComScope {
 public:
  ComScope() : owed_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (owed_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool owed_;
};

}  // namespace vantrel::platform
