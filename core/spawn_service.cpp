#include "core/spawn_service.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
// clang-format on

#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

using dlx::String;

namespace {

const wchar_t kWindowClass[] = L"TInstallerSpawnService";
const wchar_t kSenderClass[] = L"TInstallerSpawnSender";
constexpr UINT kSendTimeoutMs = 30000;
constexpr size_t kTokenLength = 32;

struct TSpawnState {
  HWND handle = nullptr;
  bool ownsWindow = false;
  UINT tokenMessage = 0;
  String token;              // the secret every request starts with
  DWORD trustedProcess = 0;  // the launcher's elevated process
  TInstallerSpawnService::TStarter starter;
};

// The system's random generator (RtlGenRandom), exported by advapi32 under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

String RandomToken() {
  unsigned char random[kTokenLength / 2] = {};
  if (!SystemFunction036(random, sizeof random))
    throw dlx::EDLXException(u"Cannot make a token for the spawn service");
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  String token;
  for (const unsigned char byte : random) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 15];
  }
  return token;
}

DWORD ParentProcess(DWORD processId) {
  dlx::TScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry))
    if (entry.th32ProcessID == processId) return entry.th32ParentProcessID;
  return 0;
}

// The sender names a window of its own in wParam. Its process must be the one the launcher
// started, or a program that one started (the uninstaller's copy in the temporary folder): the
// started process is alive while the launcher serves requests, so its identifier is not reused.
bool FromTrustedProcess(HWND sender, DWORD trusted) {
  DWORD processId = 0;
  if (!sender || !GetWindowThreadProcessId(sender, &processId) || processId == 0 || trusted == 0)
    return false;
  return processId == trusted || ParentProcess(processId) == trusted;
}

TSpawnState& State() {
  static TSpawnState state;
  return state;
}

String ShellResultText(HINSTANCE result) {
  return dlx::IntToStr(static_cast<int64_t>(reinterpret_cast<INT_PTR>(result)));
}

void OpenWithShell(const String& command) {
  dlx::Log(u"Starting \"" + command + u"\" (shell open)");
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", dlx::W(command), nullptr, L"", SW_SHOW);
  if (reinterpret_cast<INT_PTR>(result) <= 32)
    dlx::Log(u"Cannot start \"" + command + u"\": shell error " + ShellResultText(result));
}

LRESULT CALLBACK SpawnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && lParam != 0) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const TSpawnState& state = State();
    if (state.tokenMessage != 0 && copy->dwData == state.tokenMessage) {
      String text;
      if (copy->cbData >= 2 && copy->lpData)
        text.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2);
      if (state.token.empty() || text.size() < kTokenLength ||
          text.compare(0, kTokenLength, state.token) != 0) {
        dlx::Log(u"Spawn request without the token refused");
        return DefWindowProcW(window, message, wParam, lParam);
      }
      if (!FromTrustedProcess(reinterpret_cast<HWND>(wParam), state.trustedProcess)) {
        dlx::Log(u"Spawn request from another process refused");
        return DefWindowProcW(window, message, wParam, lParam);
      }
      const String command = text.substr(kTokenLength);
      dlx::Log(u"Spawn request received: \"" + command + u"\"");
      // Nothing may unwind into the system's message dispatch, and the elevated sender is
      // blocked until this returns: a failure is only logged.
      try {
        if (state.starter)
          state.starter(command);
        else
          OpenWithShell(command);
      } catch (const std::exception& e) {
        dlx::Log(u"Spawn request failed: " + dlx::FromUtf8(e.what()));
      } catch (...) {
        dlx::Log(u"Spawn request failed");
      }
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateSpawnWindow() {
  HWND window = dlx::CreateMessageOnlyWindow(kWindowClass, &SpawnWindowProc);
  if (!window) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, u"Cannot create the spawn window (" + dlx::IntToStr(code) + u")");
  }
  return window;
}

}  // namespace

void TInstallerSpawnService::Initialize(intptr_t partner, const String& requestToken) {
  TSpawnState& state = State();
  if (state.handle) throw dlx::EDLXException(u"SpawnService is already initialized");
  const UINT token = RegisterWindowMessageW(L"SpawnToken");
  if (partner != 0) {
    state.handle = reinterpret_cast<HWND>(partner);
    state.ownsWindow = false;
    state.token = requestToken;
    dlx::Log(u"Spawn service: partner window " + dlx::IntToStr(partner));
  } else {
    if (!dlx::IsMainThread()) throw dlx::EDLXInvalidOperation(u"Cannot create window in non-main thread");
    state.token = RandomToken();
    state.handle = CreateSpawnWindow();
    state.ownsWindow = true;
    dlx::Log(u"Spawn service: own window " + dlx::IntToStr(reinterpret_cast<intptr_t>(state.handle)));
  }
  state.tokenMessage = token;
}

void TInstallerSpawnService::Finalize() {
  TSpawnState& state = State();
  if (state.ownsWindow && state.handle && IsWindow(state.handle)) DestroyWindow(state.handle);
  state.handle = nullptr;
  state.ownsWindow = false;
  state.tokenMessage = 0;
  state.token.clear();
  state.trustedProcess = 0;
}

const String& TInstallerSpawnService::RequestToken() {
  return State().token;
}

void TInstallerSpawnService::TrustProcess(unsigned long processId) {
  State().trustedProcess = processId;
}

bool TInstallerSpawnService::Initialized() {
  return State().handle != nullptr;
}

HWND TInstallerSpawnService::Handle() {
  return State().handle;
}

bool TInstallerSpawnService::OwnsWindow() {
  return State().ownsWindow;
}

UINT TInstallerSpawnService::SpawnTokenMessage() {
  return State().tokenMessage;
}

void TInstallerSpawnService::SetStarter(TStarter starter) {
  State().starter = std::move(starter);
}

bool TInstallerSpawnService::SendSpawnRequest(HWND partner, const String& command) {
  if (!partner || !IsWindow(partner)) return false;
  const String text = State().token + command;
  COPYDATASTRUCT copy{};
  copy.dwData = RegisterWindowMessageW(L"SpawnToken");
  copy.cbData = static_cast<DWORD>(text.size() * sizeof(char16_t));
  copy.lpData = const_cast<char16_t*>(text.data());
  // The partner checks the process of this window: it must be the one it started.
  const dlx::TWindowHandle sender(dlx::CreateMessageOnlyWindow(kSenderClass, &DefWindowProcW));
  DWORD_PTR result = 0;
  // A partner that hangs must not hold the installer forever.
  if (!SendMessageTimeoutW(partner, WM_COPYDATA, reinterpret_cast<WPARAM>(sender.Get()),
                           reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    dlx::Log(u"The spawn request was not delivered (" + dlx::IntToStr(static_cast<int64_t>(GetLastError())) +
             u")");
    return false;
  }
  return true;
}

void TInstallerSpawnService::Spawn(const String& command) {
  const TSpawnState& state = State();
  if (!state.handle || state.ownsWindow) {
    if (dlx::IsWinVistaOrLater()) {
      // Explorer runs as the desktop user. The path is quoted so that Explorer takes it as one
      // argument even when it holds a comma, which Explorer otherwise treats as a separator.
      const String parameters = u"\"" + command + u"\"";
      // By its full path: never an explorer.exe from the current folder or the search path.
      wchar_t windows[MAX_PATH + 1] = {};
      const UINT length = GetWindowsDirectoryW(windows, MAX_PATH + 1);
      const String explorer =
          dlx::IncludeTrailingPathDelimiter(dlx::FromW(windows, length <= MAX_PATH ? length : 0)) +
          u"explorer.exe";
      dlx::Log(u"Starting \"" + command + u"\" through " + explorer);
      const HINSTANCE result =
          ShellExecuteW(nullptr, L"open", dlx::W(explorer), dlx::W(parameters), L"", SW_SHOW);
      if (reinterpret_cast<INT_PTR>(result) <= 32)
        dlx::Log(u"Cannot start explorer.exe: shell error " + ShellResultText(result));
    } else {
      OpenWithShell(command);
    }
    return;
  }
  dlx::Log(u"Starting \"" + command + u"\" through the partner window " +
           dlx::IntToStr(reinterpret_cast<intptr_t>(state.handle)));
  if (!SendSpawnRequest(state.handle, command))
    dlx::Log(u"The partner window cannot be reached; \"" + command + u"\" is not started");
}
