// Helpers of the control library's tests and gallery: message pumping with time limits, real
// keyboard input, and a watchdog that ends a test program that would otherwise wait forever.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace uitest {

// Per-monitor (v2) DPI awareness, as the setup's manifest declares it.
void MakeDpiAware();
// Delivers messages (with the library's dialog keys) for the given time.
void PumpFor(DWORD milliseconds);
// Delivers messages until the condition holds or the time is up; answers the condition.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds);
// Types a key through SendInput (with Ctrl, Alt or Shift held when asked) and delivers the
// resulting messages.
void PressKey(WORD key, bool control = false, bool alt = false, bool shift = false);
void TypeText(const wchar_t* text);
// Sends a key through SendInput without delivering messages (for steps inside a modal loop).
void SendKeyStroke(WORD key, bool control = false, bool alt = false, bool shift = false);
// Runs the steps one after another from a timer while something (a modal loop) delivers
// messages, one step per interval; after the last step the timer stops. Call StopSteps when the
// loop ends early.
void StartSteps(std::vector<std::function<void()>> steps, UINT interval = 100);
void StopSteps();

// Ends the process with exit code 3 when it runs longer than the limit: a window test never
// waits for a person.
void StartWatchdog(DWORD milliseconds);

}  // namespace uitest
