// A folder link for tests: a junction where the system makes them, a Linux symbolic link under
// Wine (which shows it as a linked folder).
#pragma once

// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <vector>

#include "core/paths.h"
#include "lib/dlx_string.h"

namespace {

using dlx::String;

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Starts a program and waits up to five seconds for done to hold. Under Wine a Linux program
// (Z:\bin\ln) starts this way too, but without a process handle to wait on.
template <typename Done>
bool RunIn(const String& folder, const String& program, const String& commandLine, Done done) {
  std::wstring line(commandLine.begin(), commandLine.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(dlx::W(program), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dlx::W(folder),
                      &startup, &info))
    return false;
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
  return done();
}

// A folder link named name in folder, leading to target (a sibling folder): a junction where the
// system makes them; under Wine, which makes neither junctions nor symbolic links, a Linux
// symbolic link, which Wine shows as a linked folder.
class TFolderLink {
 public:
  TFolderLink(const String& folder, const String& name, const String& targetName)
      : folder_(folder), name_(name) {
    if (RunsUnderWine()) {
      // Linux programs started from a Windows test have been seen to leave a later test of the
      // same program hanging under Wine 8 (about one full run in three), so this part runs only
      // when asked for: ZUVA_WINE_LINK_TEST=1.
      wchar_t wanted[4] = {};
      if (GetEnvironmentVariableW(L"ZUVA_WINE_LINK_TEST", wanted, 4) == 0 || wanted[0] != L'1') return;
      unix_ = RunIn(folder, u"Z:\\bin\\ln", u"ln -s ../" + targetName + u" " + name,
                    [this] { return Present(); });
      made_ = unix_;
      return;
    }
    const String link = folder + name;
    if (!CreateDirectoryW(dlx::W(link), nullptr)) return;
    HANDLE handle = CreateFileW(dlx::W(link), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const std::wstring substitute =
        L"\\??\\" + std::wstring(dlx::W(CanonicalPath(folder + u"..\\" + targetName)));
    std::vector<unsigned char> buffer(16 + (substitute.size() + 2) * sizeof(wchar_t));
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(buffer.size() - 8);                          // data length
    words[5] = static_cast<WORD>(substitute.size() * sizeof(wchar_t));        // substitute name length
    words[6] = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));  // print name offset
    std::copy(substitute.begin(), substitute.end(), reinterpret_cast<wchar_t*>(buffer.data() + 16));
    DWORD returned = 0;
    made_ = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                            nullptr, 0, &returned, nullptr) != 0;
    CloseHandle(handle);
  }
  ~TFolderLink() {
    if (unix_) RunIn(folder_, u"Z:\\bin\\rm", u"rm -f " + name_, [this] { return !Present(); });
  }
  TFolderLink(const TFolderLink&) = delete;
  TFolderLink& operator=(const TFolderLink&) = delete;
  bool Made() const { return made_; }
  bool Present() const { return GetFileAttributesW(dlx::W(folder_ + name_)) != INVALID_FILE_ATTRIBUTES; }

 private:
  String folder_, name_;
  bool made_ = false, unix_ = false;
};

}  // namespace
