// A registry key with its values and subkeys, copied into memory so that it can be put back as it
// was (the rollback of a failed installation restores the previous uninstall entries this way).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/dlx_string.h"

class TRegistrySnapshot {
 public:
  // Copies the key below the root; Exists() tells whether there was one.
  static TRegistrySnapshot Capture(HKEY root, const dlx::String& path);
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
  static bool Read(HKEY key, TKey& into);
  static bool Write(HKEY parent, const TKey& key);

  HKEY root_ = nullptr;
  dlx::String path_;
  bool exists_ = false;
  TKey key_;
};
