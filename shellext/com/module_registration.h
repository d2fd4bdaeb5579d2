// The steps of DllRegisterServer and DllUnregisterServer for a module that carries the
// registry scripts (REGISTRY 101 and 102) and the type library (TYPELIB 1) among its resources.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace vantrel::shell {

inline constexpr WORD kAppIdScriptId = 101;
inline constexpr WORD kClassScriptId = 102;

// The module's full path as the system reports it (ANSI, converted to UTF-16). Paths of 260
// characters or more give 0x8007007A (ERROR_INSUFFICIENT_BUFFER).
HRESULT GetModulePath(HMODULE module, std::wstring& path);

// Runs one of the module's registry scripts with %MODULE% (the module's path) and %APPID%.
HRESULT RunModuleScript(HMODULE module, WORD scriptId, bool registering);

// Loads the type library from the module's own file or else from the file beside it whose
// extension is ".tlb"; `path` names the file it came from.
HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** library, std::wstring& path);

// The directory part of a path: the path cut after its last '\', '/' or ':'.
std::wstring HelpDirectoryOf(const std::wstring& path);

// Writes the AppID entries, the class entries and the type library's registration, in that
// order, each step only after the ones before it succeeded.
HRESULT RegisterModule(HMODULE module);

// Removes the class entries, the type library's registration and the AppID entries, in that
// order, each step only after the ones before it succeeded.
HRESULT UnregisterModule(HMODULE module);

}  // namespace vantrel::shell
