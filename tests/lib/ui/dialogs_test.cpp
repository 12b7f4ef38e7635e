// The message box with the dialog string table's captions, read off the box the system shows.
#include "lib/ui/dialogs.h"

#include <gtest/gtest.h>

#include <vector>

#include "lib/win/system.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

struct TSeenBox {
  String Title;
  std::vector<String> Buttons;
};

String WindowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return FromW(text);
}

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM context) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM context) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  if (lstrcmpiW(name, L"Button") == 0 && IsWindowVisible(child))
    reinterpret_cast<TSeenBox*>(context)->Buttons.push_back(WindowText(child));
  return TRUE;
}

// The dialog box (#32770) of this thread that is visible, if any.
HWND FindBox() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Shows the box; a timer reads it and presses the button with the given id.
int ShowAndRead(const String& caption, UINT flags, int press, TSeenBox& seen) {
  std::vector<std::function<void()>> steps;
  for (int attempt = 0; attempt < 40; ++attempt) {
    steps.push_back([&seen, press] {
      HWND box = FindBox();
      if (!box || !seen.Title.empty()) return;
      seen.Title = WindowText(box);
      EnumChildWindows(box, &CollectButton, reinterpret_cast<LPARAM>(&seen));
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
    });
  }
  uitest::StartSteps(std::move(steps), 50);
  const int result = DLXMessageBox(nullptr, u"Something went wrong.", caption, flags);
  uitest::StopSteps();
  return result;
}

TEST(MessageBox, CaptionsComeFromTheStringTable) {
  TDLXDialogStrings saved = DialogStrings();
  DialogStrings().ButtonCaptions[bcYes] = u"Ja";
  DialogStrings().ButtonCaptions[bcNo] = u"Nein";
  DialogStrings().MessageCaptions[mcError] = u"Fehler";
  DialogStrings().MessageCaptions[mcConfirm] = u"Frage";
  int starts = 0, ends = 0;
  SetModalDialogListener([&](bool starting) { ++(starting ? starts : ends); });

  for (bool taskDialogs : {true, false}) {
    SetUseTaskDialogs(taskDialogs);
    TSeenBox seen;
    EXPECT_EQ(ShowAndRead(String(), MB_YESNO | MB_ICONQUESTION, IDNO, seen), IDNO);
    // The caption of the icon's kind when none is given.
    EXPECT_EQ(seen.Title, u"Frage") << (taskDialogs ? "task dialog" : "message box");
    if (taskDialogs) {
      // Only the task dialog carries the table's button captions.
      for (const String caption : {u"Ja", u"Nein"})
        EXPECT_NE(std::find(seen.Buttons.begin(), seen.Buttons.end(), caption), seen.Buttons.end());
    }
    TSeenBox named;
    EXPECT_EQ(ShowAndRead(u"Setup", MB_OK | MB_ICONERROR, IDOK, named), IDOK);
    EXPECT_EQ(named.Title, u"Setup");
  }
  EXPECT_EQ(starts, 4);
  EXPECT_EQ(ends, 4);

  // With message boxes suppressed nothing is shown and the safe answer comes at once.
  SetSuppressMessageBoxes(true);
  EXPECT_EQ(DLXMessageBox(nullptr, u"Retry?", String(), MB_RETRYCANCEL), IDCANCEL);
  SetSuppressMessageBoxes(false);
  SetModalDialogListener(nullptr);
  SetUseTaskDialogs(true);
  DialogStrings() = saved;
}

TEST(FolderPicker, TitledFromTheTableOneAtATime) {
  TDLXDialogStrings saved = DialogStrings();
  DialogStrings().FolderDialogCaption = u"Ordner w\u00e4hlen";
  String title;
  bool secondOpened = true;
  std::vector<std::function<void()>> steps;
  for (int attempt = 0; attempt < 60; ++attempt) {
    steps.push_back([&] {
      HWND box = FindBox();
      if (!box || !title.empty()) return;
      title = WindowText(box);
      String other = u"C:\\";
      secondOpened = TDLXShellFolderBrowser::Execute(other, nullptr);
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
  }
  uitest::StartSteps(std::move(steps), 100);
  String folder = u"C:\\windows\\";
  const bool chosen = TDLXShellFolderBrowser::Execute(folder, nullptr);
  uitest::StopSteps();
  EXPECT_FALSE(chosen);
  EXPECT_EQ(folder, u"C:\\windows\\") << "a cancelled picker leaves the folder alone";
  EXPECT_EQ(title, u"Ordner w\u00e4hlen");
  EXPECT_FALSE(secondOpened);
  DialogStrings() = saved;
}

}  // namespace
