// DllRegisterServer, DllUnregisterServer and the type information of IRawImageExtractor.
#include "shellext/com/registration.h"

namespace vantrel::shell {

HRESULT GetExtractorTypeInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return E_NOTIMPL;
}

}  // namespace vantrel::shell

STDAPI DllRegisterServer() { return E_NOTIMPL; }

STDAPI DllUnregisterServer() { return E_NOTIMPL; }
