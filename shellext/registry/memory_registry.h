// A registry kept in memory, for tests of the registration scripts. It answers like the
// Windows registry: names compare without regard to case and keep the case they were created
// with, and a key with subkeys cannot be deleted on its own.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shellext/registry/names.h"
#include "shellext/registry/registry.h"

namespace vantrel::registry {

class MemoryRegistry : public Registry {
 public:
  HResult KeyExists(const std::wstring& path) override;
  HResult CreateKey(const std::wstring& path) override;
  HResult SetString(const std::wstring& path, const std::wstring& name,
                    const std::wstring& text) override;
  HResult DeleteValue(const std::wstring& path, const std::wstring& name) override;
  HResult DeleteKey(const std::wstring& path) override;
  HResult DeleteTree(const std::wstring& path) override;

  // Makes every later operation that writes or deletes at `path` fail with `code`.
  void FailWritesAt(const std::wstring& path, HResult code);

  bool HasKey(const std::wstring& path) const;
  std::optional<std::wstring> Value(const std::wstring& path, const std::wstring& name) const;

  // Every key and value, one line each, in sorted order:
  //   CLSID\{...}
  //   CLSID\{...} @ = 'RawImageExtractor Class'       (the default value)
  //   CLSID\{...} AppID = '{...}'
  std::vector<std::wstring> Dump() const;

 private:
  struct Key {
    std::wstring name;  // as created
    std::map<std::wstring, std::unique_ptr<Key>, LessNoCase> subkeys;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>, LessNoCase> values;  // name, text
  };

  const Key* Find(const std::wstring& path) const;
  Key* Find(const std::wstring& path);
  HResult InjectedFailure(const std::wstring& path) const;
  static void DumpKey(const Key& key, const std::wstring& path, std::vector<std::wstring>& out);

  Key root_;
  std::map<std::wstring, HResult, LessNoCase> failures_;
};

}  // namespace vantrel::registry
