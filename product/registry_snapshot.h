// A registry key with its values and subkeys, copied into memory so that it can be put back as it
// was (the rollback of a failed installation restores the previous uninstall entries this way).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/string_list.h"

class TRegistrySnapshot {
 public:
  // Copies the key below the root; Exists() tells whether there was one. A key that is there but
  // cannot be read whole raises EInstallerInstallError: a copy that misses part of it would
  // bring back less than there was.
  static TRegistrySnapshot Capture(HKEY root, const dlx::String& path);
  const dlx::String& Path() const { return path_; }

  // The copy as journal records: "regkey", relative key path, then per value "regvalue",
  // relative key path, name, type, data in hexadecimal. A key's record comes before its values
  // and subkeys.
  std::vector<std::vector<dlx::String>> Records() const;
  // The copy of a key that existed, rebuilt from its records; false when they do not fit.
  static bool FromRecords(HKEY root, const dlx::String& path,
                          const std::vector<std::vector<dlx::String>>& records, TRegistrySnapshot& snapshot);
  // The copy of a key that did not exist.
  static TRegistrySnapshot Missing(HKEY root, const dlx::String& path);
  bool Exists() const { return exists_; }
  // Makes the key what it was when captured: deletes whatever is there now and, when the key
  // existed, writes it back with all its values and subkeys. False when that fails.
  bool Restore() const;

 private:
  struct TValue {
    dlx::String Name;
    DWORD Type = 0;
    std::vector<uint8_t> Data;
  };
  struct TKey {
    dlx::String Name;
    std::vector<TValue> Values;
    std::vector<TKey> SubKeys;
  };
  // ERROR_SUCCESS, or the status of the first call that failed.
  static LONG Read(HKEY key, TKey& into);
  static void AddRecords(const TKey& key, const dlx::String& relative,
                         std::vector<std::vector<dlx::String>>& out);
  static bool Write(HKEY parent, const TKey& key);

  HKEY root_ = nullptr;
  dlx::String path_;
  bool exists_ = false;
  TKey key_;
};
