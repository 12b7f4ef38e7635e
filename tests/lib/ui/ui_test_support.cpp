#include "tests/lib/ui/ui_test_support.h"

#include <cstdio>
#include <thread>

#include "lib/ui/form.h"

namespace uitest {

void MakeDpiAware() {
  using SetContextProc = BOOL(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<SetContextProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 is (HANDLE)-4.
  if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
  SetProcessDPIAware();
}

bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!dlx::TDLXForm::IsFormMessage(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    if (condition && condition()) return true;
    if (GetTickCount() - start >= milliseconds) return condition ? condition() : true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD milliseconds) {
  PumpUntil(nullptr, milliseconds);
}

namespace {

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

}  // namespace

void SendKeyStroke(WORD key, bool control, bool alt, bool shift) {
  if (control) SendKey(VK_CONTROL, false);
  if (alt) SendKey(VK_MENU, false);
  if (shift) SendKey(VK_SHIFT, false);
  SendKey(key, false);
  SendKey(key, true);
  if (shift) SendKey(VK_SHIFT, true);
  if (alt) SendKey(VK_MENU, true);
  if (control) SendKey(VK_CONTROL, true);
}

void PressKey(WORD key, bool control, bool alt, bool shift) {
  SendKeyStroke(key, control, alt, shift);
  PumpFor(60);
}

namespace {

std::vector<std::function<void()>> gSteps;
size_t gNextStep = 0;
UINT_PTR gStepTimer = 0;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (gNextStep >= gSteps.size()) {
    StopSteps();
    return;
  }
  // The step may run a nested loop: take it first so it does not run twice.
  auto step = std::move(gSteps[gNextStep++]);
  step();
}

}  // namespace

void StartSteps(std::vector<std::function<void()>> steps, UINT interval) {
  StopSteps();
  gSteps = std::move(steps);
  gNextStep = 0;
  gStepTimer = SetTimer(nullptr, 0, interval, &StepTimer);
}

void StopSteps() {
  if (gStepTimer) KillTimer(nullptr, gStepTimer);
  gStepTimer = 0;
}

void TypeText(const wchar_t* text) {
  for (; *text; ++text) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wScan = input[1].ki.wScan = static_cast<WORD>(*text);
    input[0].ki.dwFlags = KEYEVENTF_UNICODE;
    input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    PumpFor(20);
  }
}

void StartWatchdog(DWORD milliseconds) {
  std::thread([milliseconds] {
    Sleep(milliseconds);
    std::fprintf(stderr, "watchdog: the test ran longer than %lu ms and is stopped\n",
                 static_cast<unsigned long>(milliseconds));
    std::fflush(stderr);
    ExitProcess(3);
  }).detach();
}

}  // namespace uitest
