#include "shellext/registry/memory_registry.h"

#include <algorithm>

namespace vantrel::registry {
namespace {

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(L'\\', start), path.size());
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The parent's path and the last component.
std::pair<std::wstring, std::wstring> SplitLast(const std::wstring& path) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return {L"", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

const MemoryRegistry::Key* MemoryRegistry::Find(const std::wstring& path) const {
  const Key* key = &root_;
  if (path.empty()) return key;
  for (const std::wstring& part : SplitPath(path)) {
    auto it = key->subkeys.find(part);
    if (it == key->subkeys.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

MemoryRegistry::Key* MemoryRegistry::Find(const std::wstring& path) {
  return const_cast<Key*>(static_cast<const MemoryRegistry*>(this)->Find(path));
}

HResult MemoryRegistry::InjectedFailure(const std::wstring& path) const {
  auto it = failures_.find(path);
  return it == failures_.end() ? kSOk : it->second;
}

void MemoryRegistry::FailWritesAt(const std::wstring& path, HResult code) {
  failures_[path] = code;
}

HResult MemoryRegistry::KeyExists(const std::wstring& path) {
  return Find(path) != nullptr ? kSOk : kSFalse;
}

HResult MemoryRegistry::CreateKey(const std::wstring& path) {
  if (path.empty()) return kErrorAccessDenied;
  if (Failed(InjectedFailure(path))) return InjectedFailure(path);
  Key* key = &root_;
  for (const std::wstring& part : SplitPath(path)) {
    if (part.empty()) return kErrorInvalidData;
    auto& slot = key->subkeys[part];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = part;
    }
    key = slot.get();
  }
  return kSOk;
}

HResult MemoryRegistry::SetString(const std::wstring& path, const std::wstring& name,
                                  const std::wstring& text) {
  if (Failed(InjectedFailure(path))) return InjectedFailure(path);
  Key* key = Find(path);
  if (key == nullptr) return kErrorFileNotFound;
  auto it = key->values.find(name);
  if (it == key->values.end()) {
    key->values.emplace(name, std::make_pair(name, text));
  } else {
    it->second.second = text;
  }
  return kSOk;
}

HResult MemoryRegistry::DeleteValue(const std::wstring& path, const std::wstring& name) {
  if (Failed(InjectedFailure(path))) return InjectedFailure(path);
  Key* key = Find(path);
  if (key == nullptr || key->values.erase(name) == 0) return kErrorFileNotFound;
  return kSOk;
}

HResult MemoryRegistry::DeleteKey(const std::wstring& path) {
  if (path.empty()) return kErrorAccessDenied;
  if (Failed(InjectedFailure(path))) return InjectedFailure(path);
  const auto [parentPath, name] = SplitLast(path);
  Key* parent = Find(parentPath);
  if (parent == nullptr) return kErrorFileNotFound;
  auto it = parent->subkeys.find(name);
  if (it == parent->subkeys.end()) return kErrorFileNotFound;
  if (!it->second->subkeys.empty()) return kErrorAccessDenied;
  parent->subkeys.erase(it);
  return kSOk;
}

HResult MemoryRegistry::DeleteTree(const std::wstring& path) {
  if (path.empty()) return kErrorAccessDenied;
  if (Failed(InjectedFailure(path))) return InjectedFailure(path);
  const auto [parentPath, name] = SplitLast(path);
  Key* parent = Find(parentPath);
  if (parent != nullptr) parent->subkeys.erase(name);
  return kSOk;
}

bool MemoryRegistry::HasKey(const std::wstring& path) const { return Find(path) != nullptr; }

std::optional<std::wstring> MemoryRegistry::Value(const std::wstring& path,
                                                  const std::wstring& name) const {
  const Key* key = Find(path);
  if (key == nullptr) return std::nullopt;
  auto it = key->values.find(name);
  if (it == key->values.end()) return std::nullopt;
  return it->second.second;
}

void MemoryRegistry::DumpKey(const Key& key, const std::wstring& path,
                             std::vector<std::wstring>& out) {
  if (!path.empty()) out.push_back(path);
  for (const auto& [folded, value] : key.values) {
    const std::wstring& name = value.first.empty() ? L"@" : value.first;
    out.push_back(path + L" " + name + L" = '" + value.second + L"'");
  }
  for (const auto& [folded, subkey] : key.subkeys) {
    DumpKey(*subkey, path.empty() ? subkey->name : path + L"\\" + subkey->name, out);
  }
}

std::vector<std::wstring> MemoryRegistry::Dump() const {
  std::vector<std::wstring> out;
  DumpKey(root_, L"", out);
  return out;
}

}  // namespace vantrel::registry
