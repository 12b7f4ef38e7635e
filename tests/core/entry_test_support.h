// Shared pieces of the start-up tests: temporary folders, files, and a message-only window that
// records the spawn requests it receives.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/spawn_service.h"
#include "lib/dlx_string.h"
#include "lib/file_system.h"

namespace entrytest {

using dlx::String;

// A new folder in the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(const String& name) {
    static int counter = 0;
    path_ = dlx::IncludeTrailingPathDelimiter(dlx::GetTempPath()) + u"zuva-entry-test-" + name + u"-" +
            dlx::IntToStr(GetCurrentProcessId()) + u"-" + dlx::IntToStr(++counter) + u"\\";
    dlx::DeleteDirectory(path_, true);
    EXPECT_TRUE(dlx::ForceDirectories(path_));
  }
  ~TempFolder() { dlx::DeleteDirectory(path_, true); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // With a trailing backslash.
  const String& Path() const { return path_; }

 private:
  String path_;
};

inline void WriteFile(const String& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(std::wstring(dlx::W(path))), std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const String& path) {
  std::ifstream in(std::filesystem::path(std::wstring(dlx::W(path))), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folders directly inside folder whose names start with prefix.
inline std::vector<String> SubFolders(const String& folder, const String& prefix) {
  std::vector<String> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(dlx::W(folder + prefix + u"*"), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(dlx::FromW(data.cFileName));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// A message-only window of the test process that keeps every WM_COPYDATA it receives.
class CopyDataRecorder {
 public:
  struct Message {
    WPARAM wParam;
    ULONG_PTR tag;
    DWORD bytes;
    String text;
  };

  CopyDataRecorder() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZUVAEntryTestRecorder";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"ZUVAEntryTestRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CopyDataRecorder() {
    if (window_) DestroyWindow(window_);
  }
  CopyDataRecorder(const CopyDataRecorder&) = delete;
  CopyDataRecorder& operator=(const CopyDataRecorder&) = delete;

  HWND Window() const { return window_; }
  void Destroy() {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  const std::vector<Message>& Messages() const { return messages_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CopyDataRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_COPYDATA && lParam) {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      String text;
      if (copy->lpData) text.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2);
      self->messages_.push_back({wParam, copy->dwData, copy->cbData, text});
      return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  std::vector<Message> messages_;
};

// Leaves the process-wide spawn state as it found it: uninitialized.
struct SpawnServiceReset {
  SpawnServiceReset() { TInstallerSpawnService::Finalize(); }
  ~SpawnServiceReset() {
    TInstallerSpawnService::Finalize();
    TInstallerSpawnService::SetStarter(nullptr);
  }
};

}  // namespace entrytest
