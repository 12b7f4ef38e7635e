// The stand-in product programs do what the installer relies on: the integration program
// records its command line beside itself, the shell-menu libraries have the right pointer size
// and callable, undecorated registration exports, and the player's main window can be found by
// its class and closed with WM_CLOSE.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sample-product/sample_paths.h"

namespace {

using sample::FileExists;
using sample::HostPath;
using sample::ReadBytes;
using sample::ReadText;

// Upper limit for Wine to start a process or for a window to appear. Not a timing assertion:
// the tests only fail when the thing never happens.
constexpr DWORD kPatienceMs = 60000;

// A fresh folder in the temporary folder, removed with its files at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    for (unsigned n = GetCurrentProcessId() * 1000u;; ++n) {
      path_ = std::wstring(base) + L"zuva-sample-" + std::to_wstring(n) + L"\\";
      if (CreateDirectoryW(path_.c_str(), nullptr)) break;
      if (GetLastError() != ERROR_ALREADY_EXISTS) {
        path_.clear();
        break;
      }
    }
  }
  ~TempFolder() {
    if (path_.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path_ + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          DeleteFileW((path_ + data.cFileName).c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(path_.c_str());
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

std::wstring FileName(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

// Copies a built program into the folder; tests work on copies so their traces stay private.
std::wstring CopyInto(const TempFolder& folder, const char* built, const wchar_t* name = nullptr) {
  const std::wstring source = HostPath(built);
  const std::wstring target = folder.path() + (name ? std::wstring(name) : FileName(source));
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return {};
  return target;
}

struct RunResult {
  bool started = false;
  bool ended = false;
  DWORD exit_code = 0;
};

RunResult RunProgram(const std::wstring& command_line, const std::wstring& current_folder) {
  RunResult result;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring buffer = command_line;
  result.started = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  current_folder.empty() ? nullptr : current_folder.c_str(), &si, &pi);
  if (!result.started) return result;
  result.ended = WaitForSingleObject(pi.hProcess, kPatienceMs) == WAIT_OBJECT_0;
  if (!result.ended) TerminateProcess(pi.hProcess, 99);
  GetExitCodeProcess(pi.hProcess, &result.exit_code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

// ---------------------------------------------------------------------------------------------
// Registrar.exe and the add-ons installer

TEST(CommandLoggerTest, RegistrarAppendsEachCommandLineBesideItselfNotInTheCurrentFolder) {
  TempFolder program_folder, elsewhere;
  ASSERT_FALSE(program_folder.path().empty());
  ASSERT_FALSE(elsewhere.path().empty());
  const std::wstring registrar = CopyInto(program_folder, ZUVA_SAMPLE_REGISTRAR);
  ASSERT_FALSE(registrar.empty());
  EXPECT_EQ(FileName(registrar), L"Registrar.exe");

  // The integration action's form: the path unquoted, each switch preceded by one space.
  const std::wstring first = registrar + L" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI";
  const std::wstring second = registrar + L" /REG=U";
  RunResult r1 = RunProgram(first, elsewhere.path());
  ASSERT_TRUE(r1.started) << GetLastError();
  ASSERT_TRUE(r1.ended);
  EXPECT_EQ(r1.exit_code, 0u);
  RunResult r2 = RunProgram(second, elsewhere.path());
  ASSERT_TRUE(r2.ended);
  EXPECT_EQ(r2.exit_code, 0u);

  const std::string log = ReadText(program_folder.path() + L"Registrar.log");
  EXPECT_EQ(log, sample::Narrow(first) + "\r\n" + sample::Narrow(second) + "\r\n");
  EXPECT_FALSE(FileExists(elsewhere.path() + L"Registrar.log"));
}

TEST(CommandLoggerTest, NonAsciiArgumentsAreLoggedAsUtf8AndTheLogIsNamedAfterTheProgram) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  // The add-ons installer is the same program under another name; its log follows the name.
  const std::wstring addons = CopyInto(folder, ZUVA_SAMPLE_ADDONS);
  ASSERT_FALSE(addons.empty());
  EXPECT_EQ(FileName(addons), L"ZUVAAddons.exe");

  const std::wstring command = L"\"" + addons + L"\" /LANG=RU \u041f\u0440\u0438\u0432\u0435\u0442 /VIEWER ";
  RunResult r = RunProgram(command, L"");
  ASSERT_TRUE(r.ended);
  EXPECT_EQ(r.exit_code, 0u);
  const std::string log = ReadText(folder.path() + L"ZUVAAddons.log");
  EXPECT_EQ(log, sample::Narrow(command) + "\r\n");
  EXPECT_NE(log.find("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"), std::string::npos);  // "Привет"
  EXPECT_FALSE(FileExists(folder.path() + L"Registrar.log"));
}

// ---------------------------------------------------------------------------------------------
// Shell-menu libraries

// What the installer needs to know of a library without loading it: its machine and the names
// it exports. Parsed from the file so the library of the other pointer size can be checked too.
struct PeFacts {
  bool valid = false;
  uint16_t machine = 0;
  bool dll = false;
  std::vector<std::string> exports;
};

template <typename T>
bool ReadAt(const std::vector<uint8_t>& bytes, size_t offset, T& value) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return true;
}

PeFacts ReadPeFacts(const std::vector<uint8_t>& bytes) {
  PeFacts facts;
  uint16_t mz = 0;
  uint32_t pe_offset = 0, signature = 0;
  if (!ReadAt(bytes, 0, mz) || mz != 0x5A4D || !ReadAt(bytes, 0x3C, pe_offset)) return facts;
  if (!ReadAt(bytes, pe_offset, signature) || signature != 0x00004550) return facts;
  IMAGE_FILE_HEADER header;
  if (!ReadAt(bytes, pe_offset + 4, header)) return facts;
  facts.machine = header.Machine;
  facts.dll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
  const size_t optional = pe_offset + 4 + sizeof(IMAGE_FILE_HEADER);
  uint16_t magic = 0;
  if (!ReadAt(bytes, optional, magic)) return facts;
  IMAGE_DATA_DIRECTORY export_dir{};
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    IMAGE_OPTIONAL_HEADER32 oh;
    if (!ReadAt(bytes, optional, oh)) return facts;
    export_dir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 oh;
    if (!ReadAt(bytes, optional, oh)) return facts;
    export_dir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else {
    return facts;
  }
  const size_t sections = optional + header.SizeOfOptionalHeader;
  auto to_offset = [&](uint32_t rva, size_t& out) {
    for (unsigned i = 0; i < header.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER s;
      if (!ReadAt(bytes, sections + i * sizeof(IMAGE_SECTION_HEADER), s)) return false;
      const uint32_t extent = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + extent) {
        out = rva - s.VirtualAddress + s.PointerToRawData;
        return true;
      }
    }
    return false;
  };
  facts.valid = true;
  if (export_dir.VirtualAddress == 0) return facts;
  size_t dir_offset = 0;
  IMAGE_EXPORT_DIRECTORY dir;
  if (!to_offset(export_dir.VirtualAddress, dir_offset) || !ReadAt(bytes, dir_offset, dir)) return facts;
  size_t names = 0;
  if (!to_offset(dir.AddressOfNames, names)) return facts;
  for (DWORD i = 0; i < dir.NumberOfNames; ++i) {
    uint32_t name_rva = 0;
    size_t name_offset = 0;
    if (!ReadAt(bytes, names + i * 4, name_rva) || !to_offset(name_rva, name_offset)) break;
    std::string name;
    while (name_offset < bytes.size() && bytes[name_offset] != 0)
      name += static_cast<char>(bytes[name_offset++]);
    facts.exports.push_back(name);
  }
  return facts;
}

bool Exports(const PeFacts& facts, const char* name) {
  for (const auto& e : facts.exports)
    if (e == name) return true;
  return false;
}

uint16_t MachineForName(const std::wstring& file_name) {
  if (file_name == L"zuva_menu32.dll") return IMAGE_FILE_MACHINE_I386;
  if (file_name == L"zuva_menu64.dll") return IMAGE_FILE_MACHINE_AMD64;
  return 0;
}

TEST(ShellMenuLibraryTest, BothLibrariesHaveThePointerSizeTheirNameSaysAndUndecoratedExports) {
  const std::wstring own = HostPath(ZUVA_SAMPLE_MENU_OWN);
  const std::wstring other = HostPath(ZUVA_SAMPLE_MENU_OTHER);
  ASSERT_FALSE(std::string(ZUVA_SAMPLE_MENU_OTHER).empty())
      << "the other pointer size's library was not built";
  std::vector<std::wstring> names;
  for (const std::wstring& path : {own, other}) {
    SCOPED_TRACE(sample::Narrow(path));
    names.push_back(FileName(path));
    const PeFacts facts = ReadPeFacts(ReadBytes(path));
    ASSERT_TRUE(facts.valid);
    EXPECT_TRUE(facts.dll);
    EXPECT_NE(MachineForName(FileName(path)), 0) << "unexpected library name";
    EXPECT_EQ(facts.machine, MachineForName(FileName(path)));
    // GetProcAddress with the plain name must find them, also in the 32-bit library.
    EXPECT_TRUE(Exports(facts, "DllUnregisterServer"));
    EXPECT_TRUE(Exports(facts, "DllRegisterServer"));
  }
  EXPECT_NE(names[0], names[1]);
}

TEST(ShellMenuLibraryTest, UnregisterAndRegisterLeaveOneMarkerLinePerCallBesideTheLibrary) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::wstring library = CopyInto(folder, ZUVA_SAMPLE_MENU_OWN);
  ASSERT_FALSE(library.empty());
  const std::wstring base = library.substr(0, library.rfind(L'.'));
  const std::wstring unregister_marker = base + L".DllUnregisterServer.marker";
  const std::wstring register_marker = base + L".DllRegisterServer.marker";

  HMODULE module = LoadLibraryW(library.c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  // Loading alone leaves no trace.
  EXPECT_FALSE(FileExists(unregister_marker));
  EXPECT_FALSE(FileExists(register_marker));

  using Export = HRESULT(WINAPI*)();
  auto unregister_server =
      reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  auto register_server =
      reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  ASSERT_NE(unregister_server, nullptr);
  ASSERT_NE(register_server, nullptr);

  EXPECT_EQ(unregister_server(), S_OK);
  EXPECT_EQ(ReadText(unregister_marker), "DllUnregisterServer\r\n");
  EXPECT_FALSE(FileExists(register_marker));
  EXPECT_EQ(register_server(), S_OK);
  EXPECT_EQ(unregister_server(), S_OK);
  FreeLibrary(module);

  EXPECT_EQ(ReadText(unregister_marker), "DllUnregisterServer\r\nDllUnregisterServer\r\n");
  EXPECT_EQ(ReadText(register_marker), "DllRegisterServer\r\n");
  // The marker goes beside the library, not into the test's current folder.
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring stray = std::wstring(current) + L"\\" + FileName(unregister_marker);
  EXPECT_FALSE(FileExists(stray));
  // The library can still be deleted afterwards, as the uninstall does.
  EXPECT_TRUE(DeleteFileW(library.c_str()));
}

// ---------------------------------------------------------------------------------------------
// ZUVA.exe

struct FoundWindow {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindProcessMainForm(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<FoundWindow*>(param);
  wchar_t name[64];
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == found->process_id && GetClassNameW(window, name, 64) && std::wstring(name) == L"TZUVAMainForm") {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

TEST(PlayerTest, MainWindowIsFoundByClassLeadsToTheProgramAndClosesOnWmClose) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::wstring player = CopyInto(folder, ZUVA_SAMPLE_PLAYER);
  ASSERT_FALSE(player.empty());
  EXPECT_EQ(FileName(player), L"ZUVA.exe");

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + player + L"\"";
  ASSERT_TRUE(
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);

  // The window exists between its creation and ShowWindow; wait until it is shown as well.
  FoundWindow found{pi.dwProcessId, nullptr};
  const ULONGLONG give_up = GetTickCount64() + kPatienceMs;
  while (GetTickCount64() < give_up) {
    found.window = nullptr;
    EnumWindows(FindProcessMainForm, reinterpret_cast<LPARAM>(&found));
    if (found.window && IsWindowVisible(found.window)) break;
    Sleep(50);
  }
  if (!found.window) TerminateProcess(pi.hProcess, 99);
  ASSERT_NE(found.window, nullptr) << "no top-level window of class TZUVAMainForm appeared";
  EXPECT_TRUE(IsWindowVisible(found.window));

  // The installer looks for the class with any title and goes from the window to the program.
  EXPECT_NE(FindWindowW(L"TZUVAMainForm", nullptr), nullptr);
  HANDLE query = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pi.dwProcessId);
  ASSERT_NE(query, nullptr);
  wchar_t image[MAX_PATH];
  DWORD size = MAX_PATH;
  ASSERT_TRUE(QueryFullProcessImageNameW(query, 0, image, &size));
  CloseHandle(query);
  EXPECT_EQ(CompareStringOrdinal(image, -1, player.c_str(), -1, TRUE), CSTR_EQUAL)
      << sample::Narrow(image) << " vs " << sample::Narrow(player);

  // Closing is synchronous, as the close-applications action sends it.
  SendMessageW(found.window, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(pi.hProcess, kPatienceMs) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(pi.hProcess, 99);
  DWORD exit_code = 1;
  GetExitCodeProcess(pi.hProcess, &exit_code);
  CloseHandle(pi.hProcess);
  EXPECT_TRUE(ended);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_FALSE(IsWindow(found.window));
}

// ---------------------------------------------------------------------------------------------
// Staged package entries

TEST(ProductStagingTest, GeneratedDataFileHasTheConfiguredSizeAndIsNotFiller) {
  const std::wstring stage = HostPath(ZUVA_SAMPLE_PRODUCT_DIR) + L"\\";
  const std::vector<uint8_t> data = ReadBytes(stage + L"zuva_media.dat");
  ASSERT_EQ(data.size(), static_cast<size_t>(ZUVA_SAMPLE_DATA_SIZE));
  ASSERT_GE(data.size(), 16u);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 8), "ZUVAMLIB");
  uint64_t recorded = 0;
  std::memcpy(&recorded, data.data() + 8, 8);
  EXPECT_EQ(recorded, data.size());
  // Random blocks alternate with text blocks: both byte kinds must be present.
  size_t high = 0, text = 0;
  for (uint8_t b : data) {
    if (b >= 0x80) ++high;
    if (b == '|') ++text;
  }
  EXPECT_GT(high, data.size() / 8);
  EXPECT_GT(text, data.size() / 1000);
}

}  // namespace
