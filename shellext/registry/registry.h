// The registry as the registration scripts see it: keys under HKEY_CLASSES_ROOT named by their
// path ("CLSID\{...}\InprocServer32", components joined by backslashes) and text values. One
// implementation writes the Windows registry, another keeps a tree in memory for tests.
#pragma once

#include <string>

#include "core/hresult.h"

namespace vantrel::registry {

// HRESULT forms of the Windows error codes that registry operations answer with.
inline constexpr HResult kErrorFileNotFound = static_cast<HResult>(0x80070002u);
inline constexpr HResult kErrorAccessDenied = static_cast<HResult>(0x80070005u);
inline constexpr HResult kErrorInvalidData = static_cast<HResult>(0x8007000Du);
inline constexpr HResult kErrorInsufficientBuffer = static_cast<HResult>(0x8007007Au);

// The HRESULT form of a Windows error code (0 stays S_OK).
constexpr HResult HResultFromWin32(unsigned long code) {
  return code == 0 ? kSOk : static_cast<HResult>((code & 0xFFFFu) | 0x80070000u);
}

class Registry {
 public:
  virtual ~Registry() = default;

  // S_OK when the key exists, S_FALSE when it does not, or the failure.
  virtual HResult KeyExists(const std::wstring& path) = 0;

  // Opens the key, creating it and any missing parent when needed.
  virtual HResult CreateKey(const std::wstring& path) = 0;

  // Sets a text (REG_SZ) value of an existing key; the empty name is the key's default value.
  virtual HResult SetString(const std::wstring& path, const std::wstring& name,
                            const std::wstring& text) = 0;

  // Deletes one value; kErrorFileNotFound when the key or the value does not exist.
  virtual HResult DeleteValue(const std::wstring& path, const std::wstring& name) = 0;

  // Deletes a key that has no subkeys (its values go with it): kErrorAccessDenied when it still
  // has subkeys, kErrorFileNotFound when it does not exist.
  virtual HResult DeleteKey(const std::wstring& path) = 0;

  // Deletes a key with all its subkeys and values; S_OK when it does not exist.
  virtual HResult DeleteTree(const std::wstring& path) = 0;
};

}  // namespace vantrel::registry
