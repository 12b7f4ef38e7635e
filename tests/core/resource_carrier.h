// Programs that carry given RCDATA resources, as a built setup carries its packages: a copy of
// the test program with the resources added, loaded as data the way the setup reads its own.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "core/package/package.h"
#include "lib/file_system.h"
#include "tests/core/installer_fixture.h"

using testenv::PackageBytes;

class TCarrier {
 public:
  // Module() is null when the copy could not be made.
  TCarrier(const dlx::String& path, const std::vector<std::pair<dlx::String, std::string>>& resources) {
    if (!dlx::CopyFile(dlx::GetExeName(), path, false)) return;
    HANDLE update = BeginUpdateResourceW(dlx::W(path), FALSE);
    if (!update) return;
    bool added = true;
    for (const auto& [name, bytes] : resources)
      added =
          added && UpdateResourceW(update, RT_RCDATA, dlx::W(name), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                   const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    if (!EndUpdateResourceW(update, !added) || !added) return;
    module_ = LoadLibraryExW(dlx::W(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~TCarrier() {
    if (module_) FreeLibrary(module_);
  }
  TCarrier(const TCarrier&) = delete;
  TCarrier& operator=(const TCarrier&) = delete;
  HMODULE Module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};
