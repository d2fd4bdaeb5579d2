// Module-wide state of the COM server: the lock count that decides unloading, and the one
// class object of RawImageExtractor.
#pragma once

#include <windows.h>

namespace vantrel::shell {

// The lock count: every living object, every LockServer(TRUE) and every client of the class
// object holds one. Changed atomically.
void LockModule();
void UnlockModule();
long ModuleLockCount();

// The module that holds this code (the DLL, or the executable it is linked into).
HMODULE ModuleHandle();

// Drops the class object cache's reference; called when the module is unloaded.
void ReleaseClassObjectCache();

}  // namespace vantrel::shell
