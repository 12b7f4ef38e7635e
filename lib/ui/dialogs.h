// The library's dialogs: the dialog string table, the message box and the folder picker.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "lib/dlx_string.h"

namespace dlx {

// Texts of the library's own dialogs. Programs replace them with their language's texts (the
// wizard sets the OK and Cancel captions, the folder dialog's caption and its new-folder button).
struct TDLXDialogStrings {
  // "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All",
  // "Yes to &All", "&Help", "&Close"
  std::array<String, 12> ButtonCaptions;
  // "Warning", "Error", "Information", "Confirm", and the empty caption of a box without icon
  std::array<String, 5> MessageCaptions;
  String Apply;
  String FolderDialogCaption;
  String NewFolder;
  String IncludeSubFolders;

  TDLXDialogStrings();
};

enum TDLXButtonCaption : int {
  bcYes,
  bcNo,
  bcOk,
  bcCancel,
  bcAbort,
  bcRetry,
  bcIgnore,
  bcAll,
  bcNoToAll,
  bcYesToAll,
  bcHelp,
  bcClose
};
enum TDLXMessageCaption : int { mcWarning, mcError, mcInformation, mcConfirm, mcNone };

// The process's table.
TDLXDialogStrings& DialogStrings();

// Whether message boxes are task dialogs (when the system has them) or MessageBoxW.
void SetUseTaskDialogs(bool use);
bool UseTaskDialogs();

// Told when a modal dialog of the library starts (true) and ends (false): an application that
// runs timers or animations can pause them.
void SetModalDialogListener(std::function<void(bool starting)> listener);

// The message box: owner (the main form's window when null), text, caption (the icon kind's
// message caption when empty), MessageBoxW flags; answers the standard button id. With message
// boxes suppressed (lib/win/system.h) nothing is shown and the safe answer is given at once.
int DLXMessageBox(HWND owner, const String& text, const String& caption, UINT flags);

// The folder picker: the system's folder dialog, titled with the table's folder-dialog caption,
// its OK button captioned from the table. `folder` is where it starts and, when the user
// confirmed, the chosen folder. Only one is open at a time; a second call answers false.
class TDLXShellFolderBrowser {
 public:
  static bool Execute(String& folder, HWND owner);
};

}  // namespace dlx
