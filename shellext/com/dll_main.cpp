// The entry point of VantrelRX.dll. Loading does nothing of its own; unloading drops the cached
// class object and type information.
#include <windows.h>

#include "shellext/com/module.h"
#include "shellext/com/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // At process exit (reserved not null) the process is going away with everything in it.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    vantrel::shell::ReleaseClassObjectCache();
    vantrel::shell::ReleaseExtractorTypeInfo();
  }
  return TRUE;
}
