// Small owners of Win32 resources: each closes what it holds exactly once, can be moved but not
// copied, and can hand its resource over (Release) when another owner takes it.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "lib/dlx_string.h"

namespace dlx {

// A kernel handle (file, process, thread, event). Both "no handle" values of the API, null and
// INVALID_HANDLE_VALUE, count as empty, so results of CreateFileW and OpenProcess fit alike.
class TScopedHandle {
 public:
  TScopedHandle() = default;
  explicit TScopedHandle(HANDLE handle) : handle_(handle) {}
  ~TScopedHandle() { Reset(); }
  TScopedHandle(TScopedHandle&& other) noexcept : handle_(other.Release()) {}
  TScopedHandle& operator=(TScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TScopedHandle(const TScopedHandle&) = delete;
  TScopedHandle& operator=(const TScopedHandle&) = delete;

  HANDLE Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const noexcept { return Valid(); }
  HANDLE Release() noexcept { return std::exchange(handle_, nullptr); }
  void Reset(HANDLE handle = nullptr) noexcept {
    if (Valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A registry key with the read and write helpers the installer needs. Predefined roots
// (HKEY_LOCAL_MACHINE...) are never owned: only keys this object opened or created are closed.
class TRegistryKey {
 public:
  TRegistryKey() = default;
  ~TRegistryKey() { Close(); }
  TRegistryKey(TRegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  TRegistryKey& operator=(TRegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;

  // Each returns false (and leaves the object closed) when the system call fails.
  bool Open(HKEY root, const String& path, REGSAM access = KEY_READ);
  bool Create(HKEY root, const String& path, REGSAM access = KEY_ALL_ACCESS);
  void Close() noexcept;

  HKEY Get() const noexcept { return key_; }
  bool IsOpen() const noexcept { return key_ != nullptr; }

  // Text of a REG_SZ or REG_EXPAND_SZ value (not expanded); false for other types or a missing
  // value. A value stored without its terminating NUL is read correctly.
  bool ReadString(const String& name, String& value) const;
  bool ReadDword(const String& name, uint32_t& value) const;
  bool ValueExists(const String& name) const;
  // REG_SZ with the terminating NUL counted in the size, as Windows expects.
  bool WriteString(const String& name, const String& value);
  bool WriteDword(const String& name, uint32_t value);
  bool DeleteValue(const String& name);
  // Names of the direct subkeys, in the order the system lists them.
  std::vector<String> SubKeyNames() const;

  // Deletes a key with all its subkeys; false when it does not exist or cannot be deleted.
  static bool DeleteTree(HKEY root, const String& path);
  static bool KeyExists(HKEY root, const String& path);

  // The status (ERROR_...) the last opening, creating, writing or deleting registry call of the
  // calling thread returned: registry calls return their error instead of setting GetLastError.
  static LONG LastStatus() noexcept;

 private:
  HKEY key_ = nullptr;
};

// A window this code created; destroyed with DestroyWindow, which only works on the thread that
// created the window.
class TWindowHandle {
 public:
  TWindowHandle() = default;
  explicit TWindowHandle(HWND window) : window_(window) {}
  ~TWindowHandle() { Reset(); }
  TWindowHandle(TWindowHandle&& other) noexcept : window_(other.Release()) {}
  TWindowHandle& operator=(TWindowHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TWindowHandle(const TWindowHandle&) = delete;
  TWindowHandle& operator=(const TWindowHandle&) = delete;

  HWND Get() const noexcept { return window_; }
  explicit operator bool() const noexcept { return window_ != nullptr; }
  HWND Release() noexcept { return std::exchange(window_, nullptr); }
  void Reset(HWND window = nullptr) noexcept {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = window;
  }

 private:
  HWND window_ = nullptr;
};

// A loaded library, freed with FreeLibrary.
class TLibraryHandle {
 public:
  TLibraryHandle() = default;
  explicit TLibraryHandle(HMODULE module) : module_(module) {}
  ~TLibraryHandle() { Reset(); }
  TLibraryHandle(TLibraryHandle&& other) noexcept : module_(other.Release()) {}
  TLibraryHandle& operator=(TLibraryHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TLibraryHandle(const TLibraryHandle&) = delete;
  TLibraryHandle& operator=(const TLibraryHandle&) = delete;

  bool Load(const String& fileName) {
    Reset(LoadLibraryW(W(fileName)));
    return module_ != nullptr;
  }
  HMODULE Get() const noexcept { return module_; }
  explicit operator bool() const noexcept { return module_ != nullptr; }
  HMODULE Release() noexcept { return std::exchange(module_, nullptr); }
  void Reset(HMODULE module = nullptr) noexcept {
    if (module_) FreeLibrary(module_);
    module_ = module;
  }
  // The export as a function pointer of the caller's type, or null.
  template <typename F>
  F GetProc(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_ = nullptr;
};

// A counted COM interface pointer: one Release per reference this object holds.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes over a reference the caller already holds (as returned by CoCreateInstance).
  explicit TComPtr(T* pointer) : pointer_(pointer) {}
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  TComPtr& operator=(const TComPtr& other) {
    if (this != &other) {
      if (other.pointer_) other.pointer_->AddRef();
      Reset(other.pointer_);
    }
    return *this;
  }
  TComPtr(TComPtr&& other) noexcept : pointer_(other.Detach()) {}
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }

  T* Get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  // For out-parameters: drops the current reference first, so nothing leaks when reused.
  T** GetAddressOf() noexcept {
    Reset();
    return &pointer_;
  }
  void** AsOutParam() noexcept { return reinterpret_cast<void**>(GetAddressOf()); }
  T* Detach() noexcept { return std::exchange(pointer_, nullptr); }
  void Reset(T* pointer = nullptr) noexcept {
    T* old = std::exchange(pointer_, pointer);
    if (old) old->Release();
  }
  // QueryInterface into another smart pointer; the interface id is given by the caller.
  template <typename U>
  HRESULT As(REFIID iid, TComPtr<U>& target) const {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(iid, target.AsOutParam());
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace dlx
