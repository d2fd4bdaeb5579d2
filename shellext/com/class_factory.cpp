#include "shellext/com/class_factory.h"

#include <new>

#include "shellext/com/module.h"
#include "shellext/com/raw_image_extractor.h"

namespace vantrel::shell {

HRESULT ClassFactory::Create(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  ClassFactory* factory = new (std::nothrow) ClassFactory;
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  if (FAILED(hr)) delete factory;
  return hr;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
  AcquireSRWLockExclusive(&lock_);
  const ULONG count = ++references_;
  if (count == 2) LockModule();
  ReleaseSRWLockExclusive(&lock_);
  return count;
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  AcquireSRWLockExclusive(&lock_);
  const ULONG count = --references_;
  if (count == 1) UnlockModule();
  ReleaseSRWLockExclusive(&lock_);
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  // An aggregate hands out the inner IUnknown only; anything else would lose the identity.
  if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return RawImageExtractor::Create(outer, riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

}  // namespace vantrel::shell
