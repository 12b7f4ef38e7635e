#include "product/registry_snapshot.h"

#include "lib/win/handles.h"

using dlx::String;

bool TRegistrySnapshot::Read(HKEY key, TKey& into) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    TValue value;
    value.Name = dlx::FromW(name, nameLength);
    value.Type = type;
    value.Data.resize(size);
    nameLength = 16384;
    result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                           value.Data.empty() ? nullptr : value.Data.data(), &size);
    if (result != ERROR_SUCCESS) return false;
    value.Data.resize(size);
    into.Values.push_back(std::move(value));
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    const LONG result = RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    TKey sub;
    sub.Name = dlx::FromW(name, nameLength);
    dlx::TRegistryKey subKey;
    if (!subKey.Open(key, sub.Name, KEY_READ) || !Read(subKey.Get(), sub)) return false;
    into.SubKeys.push_back(std::move(sub));
  }
  return true;
}

bool TRegistrySnapshot::Write(HKEY parent, const TKey& key) {
  dlx::TRegistryKey created;
  if (!created.Create(parent, key.Name, KEY_ALL_ACCESS)) return false;
  for (const TValue& value : key.Values)
    if (RegSetValueExW(created.Get(), dlx::W(value.Name), 0, value.Type, value.Data.data(),
                       static_cast<DWORD>(value.Data.size())) != ERROR_SUCCESS)
      return false;
  for (const TKey& sub : key.SubKeys)
    if (!Write(created.Get(), sub)) return false;
  return true;
}

TRegistrySnapshot TRegistrySnapshot::Capture(HKEY root, const String& path) {
  TRegistrySnapshot snapshot;
  snapshot.root_ = root;
  snapshot.path_ = path;
  dlx::TRegistryKey key;
  if (key.Open(root, path, KEY_READ)) {
    snapshot.key_.Name = path;
    snapshot.exists_ = Read(key.Get(), snapshot.key_);
  }
  return snapshot;
}

bool TRegistrySnapshot::Restore() const {
  if (dlx::TRegistryKey::KeyExists(root_, path_)) dlx::TRegistryKey::DeleteTree(root_, path_);
  if (!exists_) return !dlx::TRegistryKey::KeyExists(root_, path_);
  return Write(root_, key_);
}
