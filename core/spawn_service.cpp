#include "core/spawn_service.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "lib/exceptions.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

using dlx::String;

namespace {

const wchar_t kWindowClass[] = L"TInstallerSpawnService";

struct TSpawnState {
  HWND handle = nullptr;
  bool ownsWindow = false;
  UINT tokenMessage = 0;
  TInstallerSpawnService::TStarter starter;
};

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
      String command;
      if (copy->cbData >= 2 && copy->lpData)
        command.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2);
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

void TInstallerSpawnService::Initialize(intptr_t partner) {
  TSpawnState& state = State();
  if (state.handle) throw dlx::EDLXException(u"SpawnService is already initialized");
  const UINT token = RegisterWindowMessageW(L"SpawnToken");
  if (partner != 0) {
    state.handle = reinterpret_cast<HWND>(partner);
    state.ownsWindow = false;
    dlx::Log(u"Spawn service: partner window " + dlx::IntToStr(partner));
  } else {
    if (!dlx::IsMainThread()) throw dlx::EDLXInvalidOperation(u"Cannot create window in non-main thread");
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
  const UINT token = RegisterWindowMessageW(L"SpawnToken");
  COPYDATASTRUCT copy{};
  copy.dwData = token;
  copy.cbData = static_cast<DWORD>(command.size() * sizeof(char16_t));
  copy.lpData = const_cast<char16_t*>(command.data());
  // SendMessageW has no failure result of its own; a window that is gone is detected beforehand.
  if (!partner || !IsWindow(partner)) return false;
  SendMessageW(partner, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  return true;
}

void TInstallerSpawnService::Spawn(const String& command) {
  const TSpawnState& state = State();
  if (!state.handle || state.ownsWindow) {
    if (dlx::IsWinVistaOrLater()) {
      // Explorer runs as the desktop user. The path is quoted so that Explorer takes it as one
      // argument even when it holds a comma, which Explorer otherwise treats as a separator.
      const String parameters = u"\"" + command + u"\"";
      dlx::Log(u"Starting \"" + command + u"\" through explorer.exe");
      const HINSTANCE result =
          ShellExecuteW(nullptr, L"open", L"explorer.exe", dlx::W(parameters), L"", SW_SHOW);
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
