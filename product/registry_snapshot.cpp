#include "product/registry_snapshot.h"

#include "core/errors.h"
#include "core/texts.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"
#include "product/journal_file.h"

using dlx::String;

LONG TRegistrySnapshot::Read(HKEY key, TKey& into) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return result;
    TValue value;
    value.Name = dlx::FromW(name, nameLength);
    value.Type = type;
    value.Data.resize(size);
    nameLength = 16384;
    result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                           value.Data.empty() ? nullptr : value.Data.data(), &size);
    if (result != ERROR_SUCCESS) return result;
    value.Data.resize(size);
    into.Values.push_back(std::move(value));
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    const LONG result = RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return result;
    TKey sub;
    sub.Name = dlx::FromW(name, nameLength);
    dlx::TRegistryKey subKey;
    if (!subKey.Open(key, sub.Name, KEY_READ)) return dlx::TRegistryKey::LastStatus();
    const LONG subResult = Read(subKey.Get(), sub);
    if (subResult != ERROR_SUCCESS) return subResult;
    into.SubKeys.push_back(std::move(sub));
  }
  return ERROR_SUCCESS;
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
  TRegistrySnapshot snapshot = Missing(root, path);
  dlx::TRegistryKey key;
  LONG status = ERROR_SUCCESS;
  if (key.Open(root, path, KEY_READ)) {
    snapshot.key_.Name = path;
    status = Read(key.Get(), snapshot.key_);
    snapshot.exists_ = status == ERROR_SUCCESS;
  } else {
    status = dlx::TRegistryKey::LastStatus();
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) {
    dlx::Log(u"Cannot read the registry key \"" + path + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(status)) + u")");
    throw EInstallerInstallError(
        CommonText(u"E12", {path, dlx::platform::ErrorMessage(static_cast<uint32_t>(status))}));
  }
  return snapshot;
}

TRegistrySnapshot TRegistrySnapshot::Missing(HKEY root, const String& path) {
  TRegistrySnapshot snapshot;
  snapshot.root_ = root;
  snapshot.path_ = path;
  return snapshot;
}

void TRegistrySnapshot::AddRecords(const TKey& key, const String& relative,
                                   std::vector<std::vector<String>>& out) {
  out.push_back({u"regkey", relative});
  for (const TValue& value : key.Values)
    out.push_back({u"regvalue", relative, value.Name, dlx::IntToStr(static_cast<int64_t>(value.Type)),
                   HexOf(value.Data)});
  for (const TKey& sub : key.SubKeys)
    AddRecords(sub, relative.empty() ? sub.Name : relative + u"\\" + sub.Name, out);
}

std::vector<std::vector<String>> TRegistrySnapshot::Records() const {
  std::vector<std::vector<String>> records;
  if (exists_) AddRecords(key_, String(), records);
  return records;
}

bool TRegistrySnapshot::FromRecords(HKEY root, const String& path,
                                    const std::vector<std::vector<String>>& records,
                                    TRegistrySnapshot& snapshot) {
  snapshot = Missing(root, path);
  snapshot.key_.Name = path;
  // Each key by its relative path; a key's record comes before anything inside it.
  auto find = [&](const String& relative) -> TKey* {
    TKey* key = &snapshot.key_;
    if (relative.empty()) return key;
    size_t start = 0;
    for (;;) {
      const size_t end = relative.find(u'\\', start);
      const String name = relative.substr(start, end == String::npos ? String::npos : end - start);
      TKey* next = nullptr;
      for (TKey& sub : key->SubKeys)
        if (sub.Name == name) next = &sub;
      if (!next) return nullptr;
      key = next;
      if (end == String::npos) return key;
      start = end + 1;
    }
  };
  bool rootSeen = false;
  for (const std::vector<String>& record : records) {
    if (record.size() == 2 && record[0] == u"regkey") {
      if (record[1].empty()) {
        rootSeen = true;
        continue;
      }
      const size_t slash = record[1].rfind(u'\\');
      TKey* parent = find(slash == String::npos ? String() : record[1].substr(0, slash));
      if (!parent || !rootSeen) return false;
      TKey sub;
      sub.Name = slash == String::npos ? record[1] : record[1].substr(slash + 1);
      parent->SubKeys.push_back(std::move(sub));
    } else if (record.size() == 5 && record[0] == u"regvalue") {
      TKey* key = find(record[1]);
      int64_t type = 0;
      TValue value;
      if (!key || !rootSeen || !dlx::TryStrToInt(record[3], type) || !BytesOfHex(record[4], value.Data))
        return false;
      value.Name = record[2];
      value.Type = static_cast<DWORD>(type);
      key->Values.push_back(std::move(value));
    } else {
      return false;
    }
  }
  snapshot.exists_ = rootSeen;
  return rootSeen;
}

bool TRegistrySnapshot::Restore() const {
  if (dlx::TRegistryKey::KeyExists(root_, path_)) dlx::TRegistryKey::DeleteTree(root_, path_);
  if (!exists_) return !dlx::TRegistryKey::KeyExists(root_, path_);
  return Write(root_, key_);
}
