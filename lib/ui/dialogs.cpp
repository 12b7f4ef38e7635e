#include "lib/ui/dialogs.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <vector>

#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/ui/form.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

bool gUseTaskDialogs = true;
std::function<void(bool)> gModalListener;

// Tells the listener around a modal dialog, also when the dialog fails.
class TModalScope {
 public:
  TModalScope() {
    if (gModalListener) gModalListener(true);
  }
  ~TModalScope() {
    if (gModalListener) gModalListener(false);
  }
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;
};

using TaskDialogIndirectProc = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectProc FindTaskDialog() {
  // Version 6 of the common controls has it; the program's manifest asks for that version.
  static HMODULE module = LoadSystemLibrary(u"comctl32.dll");
  if (!module) return nullptr;
  return reinterpret_cast<TaskDialogIndirectProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "TaskDialogIndirect")));
}

struct TBoxButtons {
  std::vector<int> Ids;
  bool CanCancel = false;
};

// The buttons of the flags, or none for a combination the table has no captions for.
TBoxButtons ButtonsOf(UINT flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OK:
      return {{IDOK}, true};
    case MB_OKCANCEL:
      return {{IDOK, IDCANCEL}, true};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, IDRETRY, IDIGNORE}, false};
    case MB_YESNOCANCEL:
      return {{IDYES, IDNO, IDCANCEL}, true};
    case MB_YESNO:
      return {{IDYES, IDNO}, false};
    case MB_RETRYCANCEL:
      return {{IDRETRY, IDCANCEL}, true};
    default:
      return {};
  }
}

const String& CaptionOfButton(int id) {
  const auto& captions = DialogStrings().ButtonCaptions;
  switch (id) {
    case IDYES:
      return captions[bcYes];
    case IDNO:
      return captions[bcNo];
    case IDCANCEL:
      return captions[bcCancel];
    case IDABORT:
      return captions[bcAbort];
    case IDRETRY:
      return captions[bcRetry];
    case IDIGNORE:
      return captions[bcIgnore];
    default:
      return captions[bcOk];
  }
}

TDLXMessageCaption CaptionKind(UINT flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONWARNING:
      return mcWarning;
    case MB_ICONERROR:
      return mcError;
    case MB_ICONINFORMATION:
      return mcInformation;
    case MB_ICONQUESTION:
      return mcConfirm;
    default:
      return mcNone;
  }
}

PCWSTR TaskDialogIcon(UINT flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONWARNING:
      return TD_WARNING_ICON;
    case MB_ICONERROR:
      return TD_ERROR_ICON;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:
      return TD_INFORMATION_ICON;
    default:
      return nullptr;
  }
}

}  // namespace

TDLXDialogStrings::TDLXDialogStrings()
    : ButtonCaptions{u"&Yes",    u"&No",  u"OK",         u"Cancel",      u"&Abort", u"&Retry",
                     u"&Ignore", u"&All", u"N&o to All", u"Yes to &All", u"&Help",  u"&Close"},
      MessageCaptions{u"Warning", u"Error", u"Information", u"Confirm", u""},
      Apply(u"Apply"),
      FolderDialogCaption(u"Browse Folder"),
      NewFolder(u"New folder"),
      IncludeSubFolders(u"Include sub-folders") {}

TDLXDialogStrings& DialogStrings() {
  static TDLXDialogStrings strings;
  return strings;
}

void SetUseTaskDialogs(bool use) {
  gUseTaskDialogs = use;
}

bool UseTaskDialogs() {
  return gUseTaskDialogs;
}

void SetModalDialogListener(std::function<void(bool starting)> listener) {
  gModalListener = std::move(listener);
}

int DLXMessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  if (!owner && TDLXForm::MainForm()) owner = TDLXForm::MainForm()->Handle();
  const String title = caption.empty() ? DialogStrings().MessageCaptions[CaptionKind(flags)] : caption;
  if (MessageBoxesSuppressed()) {
    Log(u"Message box not shown (" + title + u"): " + text);
    return SafeMessageBoxResult(flags);
  }
  TModalScope modal;
  const TBoxButtons buttons = ButtonsOf(flags);
  const TaskDialogIndirectProc taskDialog = gUseTaskDialogs ? FindTaskDialog() : nullptr;
  if (taskDialog && !buttons.Ids.empty()) {
    std::vector<TASKDIALOG_BUTTON> taskButtons;
    for (int id : buttons.Ids) taskButtons.push_back(TASKDIALOG_BUTTON{id, W(CaptionOfButton(id))});
    size_t defaultIndex = 0;
    if ((flags & MB_DEFMASK) == MB_DEFBUTTON2) defaultIndex = 1;
    if ((flags & MB_DEFMASK) == MB_DEFBUTTON3) defaultIndex = 2;
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner;
    config.dwFlags =
        TDF_POSITION_RELATIVE_TO_WINDOW | (buttons.CanCancel ? TDF_ALLOW_DIALOG_CANCELLATION : 0);
    config.pszWindowTitle = W(title);
    config.pszMainIcon = TaskDialogIcon(flags);
    config.pszContent = W(text);
    config.cButtons = static_cast<UINT>(taskButtons.size());
    config.pButtons = taskButtons.data();
    config.nDefaultButton = buttons.Ids[std::min(defaultIndex, buttons.Ids.size() - 1)];
    int pressed = 0;
    if (SUCCEEDED(taskDialog(&config, &pressed, nullptr, nullptr))) return pressed;
    Log(u"The task dialog failed; the message box shows the text instead");
  }
  return MessageBoxW(owner, W(text), W(title), flags);
}

bool TDLXShellFolderBrowser::Execute(String& folder, HWND owner) {
  static bool open = false;
  if (open) return false;
  open = true;
  struct TReset {
    ~TReset() { open = false; }
  } reset;
  TModalScope modal;
  const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  struct TUninitialize {
    bool Needed;
    ~TUninitialize() {
      if (Needed) CoUninitialize();
    }
  } uninitialize{SUCCEEDED(initialized)};

  // {DC1C5A9C-E88A-4DDE-A5A1-60F82A20AEF7}
  static const CLSID kFileOpenDialog = {
      0xDC1C5A9C, 0xE88A, 0x4DDE, {0xA5, 0xA1, 0x60, 0xF8, 0x2A, 0x20, 0xAE, 0xF7}};
  TComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(kFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                              dialog.AsOutParam()))) {
    Log(u"The folder dialog is not available");
    return false;
  }
  DWORD options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(W(DialogStrings().FolderDialogCaption));
  String ok = DialogStrings().ButtonCaptions[bcOk];
  dialog->SetOkButtonLabel(W(ok));
  // The nearest existing folder of the given path is where the dialog opens.
  using CreateItemProc = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
  const auto createItem = reinterpret_cast<CreateItemProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHCreateItemFromParsingName")));
  String start = folder;
  while (!start.empty() && !DirectoryExists(start)) {
    const size_t slash = start.find_last_of(u'\\', start.size() >= 2 ? start.size() - 2 : 0);
    start = slash == String::npos ? String() : start.substr(0, slash + 1);
  }
  if (createItem && !start.empty()) {
    TComPtr<IShellItem> item;
    if (SUCCEEDED(createItem(W(start), nullptr, __uuidof(IShellItem), item.AsOutParam())))
      dialog->SetFolder(item.Get());
  }
  if (!owner && TDLXForm::MainForm()) owner = TDLXForm::MainForm()->Handle();
  if (dialog->Show(owner) != S_OK) return false;
  TComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.GetAddressOf())) || !result) return false;
  PWSTR path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
  folder = FromW(path);
  CoTaskMemFree(path);
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return true;
}

}  // namespace dlx
