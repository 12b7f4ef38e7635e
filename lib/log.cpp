#include "lib/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace dlx {
namespace {

struct LogState {
  std::mutex lock;
  std::FILE* file = nullptr;
  String fileName;
  std::atomic<bool> open{false};
};

LogState& State() {
  // Never destroyed: threads may still log while static destructors run at process exit.
  static LogState* state = new LogState;
  return *state;
}

unsigned long CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

unsigned long CurrentThreadId() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

std::FILE* OpenForAppend(const String& fileName) {
#ifdef _WIN32
  // The CRT opens with sharing that denies nothing, so the file can be read while it grows.
  return _wfopen(reinterpret_cast<const wchar_t*>(fileName.c_str()), L"ab");
#else
  return std::fopen(ToUtf8(fileName).c_str(), "ab");
#endif
}

std::string Timestamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char buffer[96];  // room for any int the fields could hold, so nothing is ever cut
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
  return buffer;
}

void WriteLine(std::string_view utf8Text) {
  LogState& state = State();
  if (!state.open.load(std::memory_order_acquire)) return;

  std::string line = Timestamp();
  char ids[48];
  std::snprintf(ids, sizeof ids, " [%lu:%lu] ", CurrentProcessId(), CurrentThreadId());
  line += ids;
  line.reserve(line.size() + utf8Text.size() + 2);
  for (size_t i = 0; i < utf8Text.size(); ++i) {
    const char c = utf8Text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < utf8Text.size() && utf8Text[i + 1] == '\n') ++i;
      line += " | ";
    } else {
      line += c;
    }
  }
  line += '\n';

  std::lock_guard<std::mutex> guard(state.lock);
  if (!state.file) return;
  std::fwrite(line.data(), 1, line.size(), state.file);
  std::fflush(state.file);
}

}  // namespace

bool TDLXLog::Open(const String& fileName) {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.file) {
    std::fclose(state.file);
    state.file = nullptr;
    state.open.store(false, std::memory_order_release);
  }
  state.fileName.clear();
  if (fileName.empty()) return false;
  std::FILE* file = OpenForAppend(fileName);
  if (!file) return false;
  state.file = file;
  state.fileName = fileName;
  state.open.store(true, std::memory_order_release);
  return true;
}

void TDLXLog::Close() {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.open.store(false, std::memory_order_release);
  if (state.file) std::fclose(state.file);
  state.file = nullptr;
  state.fileName.clear();
}

bool TDLXLog::IsOpen() {
  return State().open.load(std::memory_order_acquire);
}

String TDLXLog::FileName() {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.fileName;
}

void TDLXLog::Write(StringView text) {
  if (!IsOpen()) return;
  WriteLine(ToUtf8(text));
}

void TDLXLog::Write(std::string_view utf8Text) {
  WriteLine(utf8Text);
}

}  // namespace dlx
