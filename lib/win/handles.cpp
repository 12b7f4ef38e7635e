#include "lib/win/handles.h"

namespace dlx {

namespace {

thread_local LONG lastRegistryStatus = ERROR_SUCCESS;

// Keeps the status for LastStatus and tells whether the call succeeded.
bool Keep(LONG status) {
  lastRegistryStatus = status;
  return status == ERROR_SUCCESS;
}

}  // namespace

LONG TRegistryKey::LastStatus() noexcept {
  return lastRegistryStatus;
}

bool TRegistryKey::Open(HKEY root, const String& path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  if (!Keep(RegOpenKeyExW(root, W(path), 0, access, &key))) return false;
  key_ = key;
  return true;
}

bool TRegistryKey::Create(HKEY root, const String& path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  if (!Keep(RegCreateKeyExW(root, W(path), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                            nullptr)))
    return false;
  key_ = key;
  return true;
}

void TRegistryKey::Close() noexcept {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistryKey::ReadString(const String& name, String& value) const {
  value.clear();
  if (!key_) return false;
  // The value may change between the size query and the read: retry with the new size.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, W(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG result =
        RegQueryValueExW(key_, W(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    size_t length = read / sizeof(wchar_t);
    // Stop at the first NUL: stored strings usually count theirs, but need not.
    for (size_t i = 0; i < length; ++i)
      if (buffer[i] == L'\0') {
        length = i;
        break;
      }
    value = FromW(buffer.data(), length);
    return true;
  }
  return false;
}

bool TRegistryKey::ReadDword(const String& name, uint32_t& value) const {
  if (!key_) return false;
  DWORD type = 0, data = 0, size = sizeof data;
  if (RegQueryValueExW(key_, W(name), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data)
    return false;
  value = data;
  return true;
}

bool TRegistryKey::ValueExists(const String& name) const {
  return key_ && RegQueryValueExW(key_, W(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistryKey::WriteString(const String& name, const String& value) {
  if (!key_) return false;
  const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return Keep(RegSetValueExW(key_, W(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), size));
}

bool TRegistryKey::WriteDword(const String& name, uint32_t value) {
  if (!key_) return false;
  const DWORD data = value;
  return Keep(RegSetValueExW(key_, W(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data));
}

bool TRegistryKey::DeleteValue(const String& name) {
  return key_ && Keep(RegDeleteValueW(key_, W(name)));
}

std::vector<String> TRegistryKey::SubKeyNames() const {
  std::vector<String> names;
  if (!key_) return names;
  DWORD count = 0, maxLength = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, &maxLength, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> buffer(maxLength + 2);
  for (DWORD i = 0; i < count; ++i) {
    DWORD length = static_cast<DWORD>(buffer.size());
    if (RegEnumKeyExW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      names.push_back(FromW(buffer.data(), length));
  }
  return names;
}

bool TRegistryKey::DeleteTree(HKEY root, const String& path) {
  if (path.empty()) return false;  // never the root itself
  {
    TRegistryKey key;
    if (!key.Open(root, path, KEY_READ)) return false;
    const std::vector<String> children = key.SubKeyNames();
    key.Close();
    for (auto it = children.rbegin(); it != children.rend(); ++it) DeleteTree(root, path + u"\\" + *it);
  }
  return Keep(RegDeleteKeyW(root, W(path)));
}

bool TRegistryKey::KeyExists(HKEY root, const String& path) {
  TRegistryKey key;
  return key.Open(root, path, KEY_READ);
}

}  // namespace dlx
