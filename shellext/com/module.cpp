#include "shellext/com/module.h"

#include <atomic>

#include "shellext/com/class_factory.h"
#include "shellext/com/guids.h"

namespace vantrel::shell {
namespace {

std::atomic<long> gLockCount{0};

// The class object cache, filled once under the module's lock object.
std::atomic<IUnknown*> gClassObject{nullptr};
SRWLOCK gCacheLock = SRWLOCK_INIT;

}  // namespace

void LockModule() { gLockCount.fetch_add(1); }
void UnlockModule() { gLockCount.fetch_sub(1); }
long ModuleLockCount() { return gLockCount.load(); }

HMODULE ModuleHandle() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ModuleHandle), &module);
  return module;
}

void ReleaseClassObjectCache() {
  IUnknown* object = gClassObject.exchange(nullptr);
  if (object != nullptr) object->Release();
}

}  // namespace vantrel::shell

using vantrel::shell::gCacheLock;
using vantrel::shell::gClassObject;

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, vantrel::shell::kClsidRawImageExtractor)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  IUnknown* object = gClassObject.load(std::memory_order_acquire);
  if (object == nullptr) {
    AcquireSRWLockExclusive(&gCacheLock);
    object = gClassObject.load(std::memory_order_relaxed);
    HRESULT made = S_OK;
    if (object == nullptr) {
      made = vantrel::shell::ClassFactory::Create(IID_IUnknown, reinterpret_cast<void**>(&object));
      if (SUCCEEDED(made)) gClassObject.store(object, std::memory_order_release);
    }
    ReleaseSRWLockExclusive(&gCacheLock);
    if (FAILED(made)) return made;
  }
  return object->QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return vantrel::shell::ModuleLockCount() == 0 ? S_OK : S_FALSE; }
