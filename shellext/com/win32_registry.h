// The registry of the registration scripts, on the Windows registry under HKEY_CLASSES_ROOT.
#pragma once

#include "shellext/registry/registry.h"

namespace vantrel::shell {

class Win32Registry : public registry::Registry {
 public:
  HResult KeyExists(const std::wstring& path) override;
  HResult CreateKey(const std::wstring& path) override;
  HResult SetString(const std::wstring& path, const std::wstring& name,
                    const std::wstring& text) override;
  HResult DeleteValue(const std::wstring& path, const std::wstring& name) override;
  HResult DeleteKey(const std::wstring& path) override;
  HResult DeleteTree(const std::wstring& path) override;
};

}  // namespace vantrel::shell
