#include "product/shell_link.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
// clang-format on

#include <vector>

#include "lib/log.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

// CLSID_ShellLink, spelled out so that no import library of interface ids is needed.
constexpr CLSID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// COM for the lifetime of one call. A thread that already runs COM in another apartment model
// keeps it: shell links work in both.
class TComScope {
 public:
  TComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  HRESULT result_;
};

String HResultText(HRESULT result) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  String text = u"0x";
  const auto value = static_cast<uint32_t>(result);
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 15];
  return text;
}

bool CreateLink(dlx::TComPtr<IShellLinkW>& link) {
  const HRESULT result = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                          __uuidof(IShellLinkW), link.AsOutParam());
  if (FAILED(result)) dlx::Log(u"Cannot create a shell link object (" + HResultText(result) + u")");
  return SUCCEEDED(result);
}

}  // namespace

bool ReadShellLinkTarget(const String& linkPath, String& target) {
  TComScope com;
  dlx::TComPtr<IShellLinkW> link;
  if (!CreateLink(link)) return false;
  dlx::TComPtr<IPersistFile> file;
  if (FAILED(link.As(__uuidof(IPersistFile), file))) return false;
  if (FAILED(file->Load(dlx::W(linkPath), STGM_READ))) return false;
  std::vector<wchar_t> buffer(32768, L'\0');
  if (FAILED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, 0))) return false;
  target = dlx::FromW(buffer.data());
  return true;
}

bool WriteShellLink(const String& linkPath, const String& target) {
  TComScope com;
  dlx::TComPtr<IShellLinkW> link;
  if (!CreateLink(link)) return false;
  HRESULT result = link->SetPath(dlx::W(target));
  dlx::TComPtr<IPersistFile> file;
  if (SUCCEEDED(result)) result = link.As(__uuidof(IPersistFile), file);
  if (SUCCEEDED(result)) result = file->Save(dlx::W(linkPath), TRUE);
  if (FAILED(result)) {
    dlx::Log(u"Cannot write the shortcut \"" + linkPath + u"\" to \"" + target + u"\" (" +
             HResultText(result) + u")");
    return false;
  }
  dlx::Log(u"Created the shortcut \"" + linkPath + u"\" to \"" + target + u"\"");
  return true;
}
