#include "shellext/com/win32_registry.h"

#include <windows.h>

namespace vantrel::shell {
namespace {

using registry::HResultFromWin32;

// Opens a key of HKEY_CLASSES_ROOT; the handle closes with the object.
class OpenKey {
 public:
  OpenKey(const std::wstring& path, REGSAM access)
      : status_(RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, access, &key_)) {}
  ~OpenKey() {
    if (status_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  LONG status() const { return status_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LONG status_;
};

// The empty name stands for the key's default value.
const wchar_t* ValueName(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

}  // namespace

HResult Win32Registry::KeyExists(const std::wstring& path) {
  OpenKey key(path, KEY_READ);
  if (key.status() == ERROR_FILE_NOT_FOUND) return kSFalse;
  return HResultFromWin32(static_cast<unsigned long>(key.status()));
}

HResult Win32Registry::CreateKey(const std::wstring& path) {
  HKEY key = nullptr;
  const LONG status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  return HResultFromWin32(static_cast<unsigned long>(status));
}

HResult Win32Registry::SetString(const std::wstring& path, const std::wstring& name,
                                 const std::wstring& text) {
  OpenKey key(path, KEY_SET_VALUE);
  if (key.status() != ERROR_SUCCESS) return HResultFromWin32(key.status());
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return HResultFromWin32(static_cast<unsigned long>(RegSetValueExW(
      key.get(), ValueName(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes)));
}

HResult Win32Registry::DeleteValue(const std::wstring& path, const std::wstring& name) {
  OpenKey key(path, KEY_SET_VALUE);
  if (key.status() != ERROR_SUCCESS) return HResultFromWin32(key.status());
  return HResultFromWin32(static_cast<unsigned long>(RegDeleteValueW(key.get(), ValueName(name))));
}

HResult Win32Registry::DeleteKey(const std::wstring& path) {
  // Refused with ERROR_ACCESS_DENIED while the key has subkeys.
  return HResultFromWin32(
      static_cast<unsigned long>(RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str())));
}

HResult Win32Registry::DeleteTree(const std::wstring& path) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return kSOk;
  return HResultFromWin32(static_cast<unsigned long>(status));
}

}  // namespace vantrel::shell
