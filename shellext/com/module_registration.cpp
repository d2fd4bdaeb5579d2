#include "shellext/com/module_registration.h"

#include <oleauto.h>

#include <string_view>
#include <vector>

#include "shellext/com/win32_registry.h"
#include "shellext/identifiers.h"
#include "shellext/registry/registry_script.h"

namespace vantrel::shell {
namespace {

std::wstring FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return out;
}

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The text of a REGISTRY resource, read in the ANSI code page.
HRESULT LoadScript(HMODULE module, WORD id, std::wstring& text) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (found == nullptr) return LastError();
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
  if (data == nullptr) return LastError();
  std::string_view bytes(static_cast<const char*>(data), SizeofResource(module, found));
  if (const std::size_t end = bytes.find('\0'); end != std::string_view::npos) {
    bytes = bytes.substr(0, end);
  }
  text = FromAnsi(bytes);
  return S_OK;
}

}  // namespace

HRESULT GetModulePath(HMODULE module, std::wstring& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, buffer, MAX_PATH);
  if (length == 0) return LastError();
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path = FromAnsi(std::string_view(buffer, length));
  return S_OK;
}

HRESULT RunModuleScript(HMODULE module, WORD scriptId, bool registering) {
  std::wstring modulePath;
  HRESULT hr = GetModulePath(module, modulePath);
  if (FAILED(hr)) return hr;
  std::wstring script;
  hr = LoadScript(module, scriptId, script);
  if (FAILED(hr)) return hr;
  const std::vector<registry::Replacement> replacements = {
      {L"MODULE", registry::QuoteForScript(modulePath)},
      {L"APPID", FromAnsi(kAppidText)},
  };
  Win32Registry windowsRegistry;
  registry::ScriptError error;
  hr = registry::RunRegistryScript(
      script, replacements,
      registering ? registry::ScriptMode::kRegister : registry::ScriptMode::kUnregister,
      windowsRegistry, &error);
  if (!error.message.empty()) {
    const std::string text = "VantrelRX: registry script " + std::to_string(scriptId) + ", line " +
                             std::to_string(error.line) + ": " + error.message + "\n";
    OutputDebugStringA(text.c_str());
  }
  return hr;
}

std::wstring HelpDirectoryOf(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"\\/:");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

HRESULT LoadModuleTypeLib(HMODULE module, ITypeLib** library, std::wstring& path) {
  *library = nullptr;
  HRESULT hr = GetModulePath(module, path);
  if (FAILED(hr)) return hr;
  hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
  if (SUCCEEDED(hr)) return hr;
  // The same path with its extension replaced by ".tlb".
  const std::size_t dot = path.find_last_of(L'.');
  const std::size_t separator = path.find_last_of(L"\\/:");
  if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)) {
    path.resize(dot);
  }
  path += L".tlb";
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT RegisterModule(HMODULE module) {
  HRESULT hr = RunModuleScript(module, kAppIdScriptId, true);
  if (FAILED(hr)) return hr;
  hr = RunModuleScript(module, kClassScriptId, true);
  if (FAILED(hr)) return hr;

  ITypeLib* library = nullptr;
  std::wstring path;
  hr = LoadModuleTypeLib(module, &library, path);
  if (FAILED(hr)) return hr;
  std::wstring helpDirectory = HelpDirectoryOf(path);
  hr = RegisterTypeLib(library, path.data(), helpDirectory.data());
  library->Release();
  return hr;
}

HRESULT UnregisterModule(HMODULE module) {
  HRESULT hr = RunModuleScript(module, kClassScriptId, false);
  if (FAILED(hr)) return hr;

  ITypeLib* library = nullptr;
  std::wstring path;
  hr = LoadModuleTypeLib(module, &library, path);
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = library->GetLibAttr(&attributes);
  if (SUCCEEDED(hr)) {
    hr = UnRegisterTypeLib(attributes->guid, 1, 0, 0, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
  if (FAILED(hr)) return hr;

  return RunModuleScript(module, kAppIdScriptId, false);
}

}  // namespace vantrel::shell
