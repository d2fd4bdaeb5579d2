// The class object of RawImageExtractor.
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace vantrel::shell {

class ClassFactory final : public IClassFactory {
 public:
  // Makes a class object and asks it for `riid`; E_OUTOFMEMORY when it cannot be allocated.
  static HRESULT Create(REFIID riid, void** ppv);

  // IUnknown. The count moves under the object's own lock, together with the module lock:
  // going from 1 to 2 (a client beyond the cache) locks the module, going back unlocks it.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ClassFactory() = default;
  ~ClassFactory() = default;

  SRWLOCK lock_ = SRWLOCK_INIT;
  ULONG references_ = 0;
};

}  // namespace vantrel::shell
