// DllRegisterServer, DllUnregisterServer and the type information of IRawImageExtractor.
#include "shellext/com/registration.h"

#include <oleauto.h>

#include "shellext/com/guids.h"
#include "shellext/com/module.h"
#include "shellext/com/module_registration.h"

namespace vantrel::shell {
namespace {

// The type information, loaded once from the registered type library and shared by all objects.
SRWLOCK gTypeInfoLock = SRWLOCK_INIT;
ITypeInfo* gTypeInfo = nullptr;

}  // namespace

HRESULT GetExtractorTypeInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  HRESULT hr = S_OK;
  AcquireSRWLockExclusive(&gTypeInfoLock);
  if (gTypeInfo == nullptr) {
    ITypeLib* library = nullptr;
    hr = LoadRegTypeLib(kLibidVantrelLib, 1, 0, LOCALE_NEUTRAL, &library);
    if (SUCCEEDED(hr)) {
      hr = library->GetTypeInfoOfGuid(kIidRawImageExtractor, &gTypeInfo);
      library->Release();
    }
  }
  if (gTypeInfo != nullptr) {
    gTypeInfo->AddRef();
    *info = gTypeInfo;
  }
  ReleaseSRWLockExclusive(&gTypeInfoLock);
  return hr;
}

void ReleaseExtractorTypeInfo() {
  AcquireSRWLockExclusive(&gTypeInfoLock);
  ITypeInfo* info = gTypeInfo;
  gTypeInfo = nullptr;
  ReleaseSRWLockExclusive(&gTypeInfoLock);
  if (info != nullptr) info->Release();
}

}  // namespace vantrel::shell

STDAPI DllRegisterServer() {
  return vantrel::shell::RegisterModule(vantrel::shell::ModuleHandle());
}

STDAPI DllUnregisterServer() {
  return vantrel::shell::UnregisterModule(vantrel::shell::ModuleHandle());
}
