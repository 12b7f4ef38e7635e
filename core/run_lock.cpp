#include "core/run_lock.h"

#include <sddl.h>
#include <windows.h>

#include "lib/log.h"
#include "lib/platform/fs.h"

using dlx::String;

namespace {

String ErrorText(DWORD code) {
  return dlx::IntToStr(static_cast<int64_t>(code)) + u" " + dlx::platform::ErrorMessage(code);
}

// SYSTEM and the administrators, whichever of them runs a setup: a run as SYSTEM (a management
// agent) and one by an administrator at the desktop must be able to open each other's mutex, or
// the second would not know of the first.
HANDLE CreateRunMutex(const String& name, DWORD& error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                       &descriptor, nullptr);
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  HANDLE mutex = CreateMutexW(descriptor ? &attributes : nullptr, FALSE, dlx::W(name));
  error = GetLastError();
  if (descriptor) LocalFree(descriptor);
  return mutex;
}

}  // namespace

String TInstallerRunLock::MutexName(const String& productName) {
  String name = u"Global\\ZUVASetup.Run." + productName;
  for (size_t i = 7; i < name.size(); ++i)
    if (name[i] == u'\\') name[i] = u'_';
  return name;
}

bool TInstallerRunLock::TryAcquire(const String& productName) {
  Release();
  const String name = MutexName(productName);
  DWORD error = 0;
  mutex_.Reset(CreateRunMutex(name, error));
  if (!mutex_) {
    if (error == ERROR_ACCESS_DENIED) {
      dlx::Log(u"Run lock \"" + name + u"\" exists and may not be opened: another run holds it");
      return false;
    }
    dlx::Log(u"Run lock \"" + name + u"\" cannot be created (" + ErrorText(error) + u"); running without it");
    return true;
  }
  const DWORD wait = WaitForSingleObject(mutex_.Get(), 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    held_ = true;
    dlx::Log(u"Run lock \"" + name + u"\" taken" +
             (wait == WAIT_ABANDONED ? String(u" (its last holder ended without releasing it)") : String()));
    return true;
  }
  mutex_.Reset();
  dlx::Log(u"Run lock \"" + name + u"\" is held by another run");
  return false;
}

void TInstallerRunLock::Release() {
  if (held_) ReleaseMutex(mutex_.Get());
  held_ = false;
  mutex_.Reset();
}

bool TInstallerRunLock::HeldElsewhere(const String& productName) {
  TInstallerRunLock probe;
  return !probe.TryAcquire(productName);
}
