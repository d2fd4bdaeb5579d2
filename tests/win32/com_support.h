// Helpers for the tests of the COM server linked into the test program.
#pragma once

#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shellext/com/guids.h"

namespace vantrel::testing {

// A COM interface pointer released at the end of the scope.
template <typename T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T** Out() {
    Reset();
    return &pointer_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
};

inline HRESULT GetFactory(IClassFactory** factory) {
  return DllGetClassObject(shell::kClsidRawImageExtractor, IID_IClassFactory,
                           reinterpret_cast<void**>(factory));
}

// A new RawImageExtractor, asked for `riid`.
template <typename T>
HRESULT CreateExtractor(REFIID riid, Ref<T>& object) {
  Ref<IClassFactory> factory;
  const HRESULT hr = GetFactory(factory.Out());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, riid, object.OutVoid());
}

inline std::uint64_t Join(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// A Windows path for a path that the build gave in Unix form (Wine maps Z: to /).
inline std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace vantrel::testing
