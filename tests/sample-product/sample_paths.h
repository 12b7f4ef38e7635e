// Paths of the built sample product and of the source tree, as the test program sees them.
// The build hands over host paths; under Wine the Linux root is drive Z:, so "/work/x" is
// reached as "Z:\work\x". On Windows itself the paths only need backslashes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace sample {

inline std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

inline std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

// A build path as a Windows path: "/a/b" -> "Z:\a\b" (Wine's mapping of the Linux root).
inline std::wstring HostPath(const char* path) {
  std::wstring out = Widen(path);
  for (auto& c : out)
    if (c == L'/') c = L'\\';
  if (!out.empty() && out[0] == L'\\' && (out.size() < 2 || out[1] != L'\\')) out = L"Z:" + out;
  return out;
}

inline bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
    bytes.resize(got);
  }
  CloseHandle(file);
  return bytes;
}

inline std::string ReadText(const std::wstring& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Names of the files (not folders) directly in a folder ending with a backslash, as UTF-8.
inline std::set<std::string> FilesIn(const std::wstring& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(Narrow(data.cFileName));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

}  // namespace sample
