// Drives the real ZUVASetup.exe or Uninstall.exe through their windows as a person would: finds
// the language dialog, the wizard and its message boxes among the desktop's windows, tells the
// pages apart by their titles, reads what the controls show and clicks, checks and types
// through window messages. Saves a picture of every window it meets into the pictures folder and
// prints the program's exit code last. The caller checks what the run left on disk.
//
//   zuva_wizard_driver.exe <scenario> <program> <folder> <language file> <pictures folder> <suffix>
//                          [<more arguments for the program>]
//
// Scenarios: install (German, typed folder, portable and back, one run-after-install program
// unchecked), uninstall (backups and content removed), cancel-options, cancel-install (a player that will not
// close keeps the work on its first step), auto (/AUTO=<folder> without /SILENT), update (over an
// installation of an older version in <folder>), locked-retry and locked-abort (an update while
// another program holds ZUVA.exe: the locked-file question, then Retry or Abort), probe (the benchmark's: how
// long the main thread keeps a message waiting during an unattended run's work), first-window (the
// benchmark's: how long after the start the program's first window shows; the program is then ended).
// "install", "uninstall" and "auto" expect a player started with /KEEPOPEN: they picture the work page while
// the setup waits for it, then end it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/ini_file.h"
#include "lib/ui/graphics.h"

using dlx::String;

namespace {

int gFailures = 0;
String gPictures, gSuffix;
dlx::TDLXIniFile gTexts;
DWORD gProcessId = 0;

void Check(bool condition, const std::string& what) {
  std::printf("%s: %s\n", condition ? "ok" : "FAIL", what.c_str());
  if (!condition) ++gFailures;
  std::fflush(stdout);
}

// A step the run cannot go on without.
struct TStepFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string U8(const String& text) {
  return dlx::ToUtf8(text);
}

// A text of the language file as the setup shows it ($NAME is the product's name).
String Text(const char16_t* section, const char16_t* key) {
  String text = gTexts.ReadString(section, key, u"");
  for (size_t at; (at = text.find(u"$NAME")) != String::npos;) text.replace(at, 5, u"ZUVA");
  return text;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(50);
  }
}

bool IsClass(HWND window, const wchar_t* windowClass) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpiW(name, windowClass) == 0;
}

String TextOf(HWND window) {
  // WM_GETTEXT crosses processes; a rich edit answers its whole text.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return dlx::FromW(text.c_str());
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM data) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A visible top-level window of another process whose class is given and that passes the test.
HWND FindTopLevel(const wchar_t* windowClass, const std::function<bool(HWND)>& test = {}) {
  struct TSearch {
    const wchar_t* windowClass;
    const std::function<bool(HWND)>* test;
    HWND found = nullptr;
  } search{windowClass, &test};
  EnumWindows(
      [](HWND window, LPARAM data) {
        auto& s = *reinterpret_cast<TSearch*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        if (!IsClass(window, s.windowClass)) return TRUE;
        if (*s.test && !(*s.test)(window)) return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChild(HWND parent, const wchar_t* windowClass, const String& text, bool visibleOnly = true) {
  for (HWND child : Descendants(parent))
    if (IsClass(child, windowClass) && TextOf(child) == text && (!visibleOnly || IsWindowVisible(child)))
      return child;
  return nullptr;
}

bool HasChildOfClass(HWND parent, const wchar_t* windowClass) {
  for (HWND child : Descendants(parent))
    if (IsClass(child, windowClass)) return true;
  return false;
}

void Picture(HWND window, const char* name) {
  // The window must have painted what it shows.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(400);
  const String file = gPictures + u"wizard-" + dlx::FromUtf8(name) + u"-" + gSuffix + u".png";
  Check(dlx::SaveWindowToPng(window, file), std::string("picture of ") + name);
}

// ---- the wizard

HWND gForm = nullptr;

HWND WizardForm() {
  return FindTopLevel(L"DLXForm", [](HWND window) { return HasChildOfClass(window, L"ZUVAInstallerPage"); });
}

HWND ActivePage() {
  if (!gForm) return nullptr;
  for (HWND child : Descendants(gForm))
    if (IsClass(child, L"ZUVAInstallerPage") && IsWindowVisible(child)) return child;
  return nullptr;
}

// Waits for the wizard to show the page of the section. A page's window text is its title, as
// its accessible name is (Wine does not hand accessible objects from one process to another).
HWND WaitForPage(const char16_t* section, DWORD milliseconds = 30000) {
  const String title = Text(section, u"Title");
  HWND page = nullptr;
  const bool shown = WaitUntil(
      [&] {
        if (!gForm || !IsWindow(gForm)) gForm = WizardForm();
        page = ActivePage();
        return page && TextOf(page) == title;
      },
      milliseconds);
  if (!shown)
    throw TStepFailed("the page " + U8(section) + " (\"" + U8(title) + "\") does not appear; shown: \"" +
                      (page ? U8(TextOf(page)) : std::string("none")) + "\"");
  Sleep(200);
  return page;
}

HWND Button(const char16_t* key) {
  return FindChild(gForm, L"Button", Text(u"Common", key));
}

// The buttons a window shows, for a report of what was there instead.
std::string ButtonsOf(HWND window) {
  std::string list;
  for (HWND child : Descendants(window))
    if (IsClass(child, L"Button") && IsWindowVisible(child)) list += " \"" + U8(TextOf(child)) + "\"";
  return list;
}

void Click(HWND button, const std::string& what) {
  if (!button) throw TStepFailed("no button to click: " + what + "; shown:" + ButtonsOf(gForm));
  if (!IsWindowEnabled(button)) throw TStepFailed("the button is disabled: " + what);
  // Posted, so that a modal loop the click opens does not hold the driver.
  PostMessageW(button, BM_CLICK, 0, 0);
  Sleep(300);
}

void Next(const char16_t* captionKey = u"bNext") {
  HWND next = Button(captionKey);
  Check(next != nullptr, "Next says \"" + U8(Text(u"Common", captionKey)) + "\"");
  Click(next, "Next");
}

bool BackVisible() {
  return Button(u"bBack") != nullptr;
}

HWND PageControl(HWND page, const wchar_t* windowClass, const char16_t* section, const char16_t* key) {
  HWND control = FindChild(page, windowClass, Text(section, key), false);
  if (!control) throw TStepFailed("no control " + U8(section) + "/" + U8(key));
  return control;
}

bool Checked(HWND box) {
  return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TypeInto(HWND edit, const String& text) {
  // As typed: everything selected, then one character after the other.
  SendMessageW(edit, EM_SETSEL, 0, -1);
  for (char16_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
  Sleep(300);
}

bool CloseEnabled() {
  HMENU menu = GetSystemMenu(gForm, FALSE);
  return menu && !(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

// The message box the wizard opens over itself.
HWND WaitForQuestion() {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        box = FindTopLevel(L"#32770", [](HWND window) { return GetWindow(window, GW_OWNER) == gForm; });
        return box != nullptr;
      },
      10000);
  if (!box) throw TStepFailed("the close question does not appear");
  Sleep(300);
  return box;
}

void CloseWizard() {
  PostMessageW(gForm, WM_CLOSE, 0, 0);
}

void Answer(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (!button) throw TStepFailed("the question has no such button");
  PostMessageW(button, BM_CLICK, 0, 0);
  WaitUntil([&] { return !IsWindow(box); }, 5000);
}

// The language dialog: picks the entry of the language file's name and confirms.
void ChooseLanguage(bool picture) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        dialog = FindTopLevel(L"DLXForm", [](HWND window) { return HasChildOfClass(window, L"ComboBox"); });
        return dialog != nullptr;
      },
      30000);
  if (!dialog) throw TStepFailed("the language dialog does not appear");
  Sleep(300);
  HWND combo = nullptr;
  for (HWND child : Descendants(dialog))
    if (IsClass(child, L"ComboBox")) combo = child;
  const String name = gTexts.ReadString(u"File", u"Name", u"");
  const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(dlx::W(name)));
  Check(index != CB_ERR, "the language dialog offers " + U8(name));
  // As a choice in the list is made: the selection, then the notification to the dialog.
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  if (picture) Picture(dialog, "language");
  gForm = dialog;
  Click(FindChild(dialog, L"Button", u"OK"), "OK of the language dialog");
  gForm = nullptr;
  WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000);
}

// ---- the player that will not close, and the program under test

// Ends the stand-in player that ignores WM_CLOSE, so that the waiting setup goes on.
HWND WaitForPlayer() {
  HWND player = nullptr;
  WaitUntil([&] { return (player = FindWindowW(L"TZUVAMainForm", nullptr)) != nullptr; }, 30000);
  if (!player) throw TStepFailed("no player is running for the work page to wait for");
  return player;
}

void EndStubbornPlayer() {
  HWND player = WaitForPlayer();
  DWORD process = 0;
  GetWindowThreadProcessId(player, &process);
  HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
  if (!handle) throw TStepFailed("cannot end the player");
  TerminateProcess(handle, 0);
  WaitForSingleObject(handle, 10000);
  CloseHandle(handle);
}

HANDLE gProcess = nullptr;
String gMoreArguments;

void Launch(const String& program, const String& arguments) {
  std::wstring line =
      L"\"" + std::wstring(dlx::W(program)) + L"\" " + dlx::W(arguments) + L" " + dlx::W(gMoreArguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    throw TStepFailed("cannot start " + U8(program));
  CloseHandle(process.hThread);
  gProcess = process.hProcess;
  gProcessId = process.dwProcessId;
}

DWORD WaitForExit() {
  if (WaitForSingleObject(gProcess, 120000) != WAIT_OBJECT_0) {
    Check(false, "the program ends");
    TerminateProcess(gProcess, 3);
    return 3;
  }
  DWORD code = 3;
  GetExitCodeProcess(gProcess, &code);
  return code;
}

// ---- the scenarios

// The finish page of a successful installation: the player stays checked, the readme is
// unchecked (it would open in a viewer nobody closes); after Finish the player must start.
void FinishStartingThePlayer(bool picture) {
  HWND page = WaitForPage(u"PageFinish", 120000);
  Check(!BackVisible(), "finish: no Back");
  Check(!CloseEnabled(), "finish: the Close command is disabled");
  HWND run = PageControl(page, L"Button", u"PageFinish", u"RunZUVA");
  HWND readme = PageControl(page, L"Button", u"PageFinish", u"ShowReadme");
  Check(Checked(run) && Checked(readme), "finish: both programs offered, checked");
  Click(readme, "uncheck the readme");
  Check(!Checked(readme), "finish: the readme unchecked");
  if (picture) Picture(gForm, "finish");
  Next(u"bFinish");
  const DWORD code = WaitForExit();
  Check(code == 0, "the setup exits with 0");
  HWND player = nullptr;
  Check(WaitUntil([&] { return (player = FindWindowW(L"TZUVAMainForm", nullptr)) != nullptr; }, 20000),
        "the checked program was started");
  if (player) PostMessageW(player, WM_CLOSE, 0, 0);
  Check(FindWindowW(L"Notepad", nullptr) == nullptr, "the unchecked readme was not opened");
  std::printf("exit code %lu\n", code);
}

// From the welcome page to the setup page, checking the license page's hold on Next.
HWND UpToSetupPage(bool pictures) {
  HWND page = WaitForPage(u"PageWelcome");
  Check(!BackVisible(), "welcome: no Back");
  if (pictures) Picture(gForm, "welcome");
  Next();

  page = WaitForPage(u"PageLicense");
  Check(!BackVisible(), "license: no Back");
  Check(Button(u"bNext") && !IsWindowEnabled(Button(u"bNext")), "license: Next disabled until accepted");
  if (pictures) Picture(gForm, "license");
  HWND accept = PageControl(page, L"Button", u"PageLicense", u"L1");
  Click(accept, "accept the license");
  Check(Checked(accept) && IsWindowEnabled(Button(u"bNext")), "license: accepting enables Next");
  Next();
  return WaitForPage(u"PageSetup");
}

HWND PathEdit(HWND page) {
  for (HWND child : Descendants(page))
    if (IsClass(child, L"Edit") && IsWindowVisible(child)) return child;
  throw TStepFailed("the setup page has no path edit");
}

void Install(const String& setup, const String& folder) {
  WaitForPlayer();
  Launch(setup, u"");
  ChooseLanguage(true);
  gForm = nullptr;
  HWND page = UpToSetupPage(true);
  Check(BackVisible(), "setup: Back offered");
  HWND edit = PathEdit(page);
  TypeInto(edit, folder);
  Check(TextOf(edit) == folder, "setup: the typed folder stands in the edit");
  HWND portable = PageControl(page, L"Button", u"PageSetup", u"CB3");
  HWND normal = PageControl(page, L"Button", u"PageSetup", u"CB2");
  Click(portable, "portable");
  Check(Checked(portable) && !Checked(normal), "setup: portable chosen");
  // The edit shows the destination as the setup keeps it, with its trailing backslash.
  Check(TextOf(edit) == folder + u"\\", "setup: a folder chosen by hand stays when portable is chosen");
  Click(normal, "normal");
  Check(Checked(normal) && !Checked(portable) && TextOf(edit) == folder + u"\\",
        "setup: normal again, same folder");
  Picture(gForm, "setup-typed");
  Next();

  // No add-ons are offered in German: the integration page follows.
  WaitForPage(u"PageIntegration");
  Picture(gForm, "integration-page");
  Next();

  page = WaitForPage(u"PageReadyToInstall");
  String summary;
  for (HWND child : Descendants(page))
    if (IsClass(child, L"RICHEDIT50W") || IsClass(child, L"Edit")) summary += TextOf(child);
  Check(summary.find(folder) != String::npos, "ready: the summary names the folder");
  Picture(gForm, "ready-summary");
  Next(u"bInstall");

  page = WaitForPage(u"PageInstall");
  Check(!BackVisible() && !IsWindowEnabled(Button(u"bNext")),
        "install: no Back, Next disabled while working");
  Picture(gForm, "install");
  EndStubbornPlayer();

  FinishStartingThePlayer(true);
  // Read here: Wine's reg prints values in the OEM code page, which has no room for the folder's "ü".
  wchar_t registered[MAX_PATH] = {};
  DWORD size = sizeof registered;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUVA",
               L"InstallPath", RRF_RT_REG_SZ, nullptr, registered, &size);
  Check(dlx::FromW(registered) == folder + u"\\", "the list of installed programs names the folder");
}

void Uninstall(const String& uninstaller) {
  WaitForPlayer();
  Launch(uninstaller, u"");
  ChooseLanguage(false);
  gForm = nullptr;
  HWND page = WaitForPage(u"PageUninstallParams");
  Check(!BackVisible(), "uninstall options: no Back");
  HWND backups = PageControl(page, L"Button", u"PageUninstallParams", u"CB1");
  HWND content = PageControl(page, L"Button", u"PageUninstallParams", u"CB2");
  Check(!Checked(backups) && !Checked(content), "uninstall options: nothing extra removed by default");
  // Both: the whole folder goes, the configuration and what the product wrote beside it too.
  Click(backups, "remove backups");
  Click(content, "remove the user's content");
  Check(Checked(backups) && Checked(content), "uninstall options: backups and content to be removed");
  Picture(gForm, "uninstall-options-checked");
  Next(u"bUninstall");

  WaitForPage(u"PageUninstall");
  Picture(gForm, "uninstall");
  EndStubbornPlayer();
  WaitForPage(u"PageUninstallFinish", 120000);
  Check(!CloseEnabled(), "uninstall finish: the Close command is disabled");
  Picture(gForm, "uninstall-finish");
  Next(u"bFinish");
  const DWORD code = WaitForExit();
  Check(code == 0, "Uninstall.exe exits with 0");
  std::printf("exit code %lu\n", code);
}

void CancelOnOptions(const String& setup) {
  Launch(setup, u"");
  ChooseLanguage(false);
  UpToSetupPage(false);
  CloseWizard();
  HWND box = WaitForQuestion();
  Check(TextOf(box).find(Text(u"Common", u"QM")) != String::npos || HasChildOfClass(box, L"Static"),
        "the close question is asked");
  Answer(box, IDCANCEL);
  Check(WaitUntil([] { return ActivePage() != nullptr; }, 3000) && IsWindow(gForm) &&
            TextOf(ActivePage()) == Text(u"PageSetup", u"Title"),
        "Cancel keeps the wizard on its page");
  CloseWizard();
  Answer(WaitForQuestion(), IDOK);
  const DWORD code = WaitForExit();
  Check(code == 1602, "closing before the work exits with 1602 (" + std::to_string(code) + ")");
  std::printf("exit code %lu\n", code);
}

// What the visible edit controls of the page show (the finish page's error list).
String EditTexts(HWND page) {
  String text;
  for (HWND child : Descendants(page))
    if (IsClass(child, L"Edit") && IsWindowVisible(child)) text += TextOf(child);
  return text;
}

// The finish page after a run that did not complete: the error list names what happened, and
// Finish ends the program with the code expected.
void FinishWithErrors(const String& expected, const char* picture, DWORD expectedCode) {
  HWND page = WaitForPage(u"PageFinish", 120000);
  const String errors = EditTexts(page);
  Check(errors.find(expected) != String::npos, std::string(picture) + ": the finish page says \"" +
                                                   U8(expected) + "\" (shown: \"" + U8(errors) + "\")");
  Check(!CloseEnabled(), std::string(picture) + ": the Close command is disabled");
  Picture(gForm, picture);
  Next(u"bFinish");
  const DWORD code = WaitForExit();
  Check(code == expectedCode, std::string(picture) + ": the setup exits with " +
                                  std::to_string(expectedCode) + " (" + std::to_string(code) + ")");
  std::printf("exit code %lu\n", code);
}

void CancelDuringInstall(const String& setup) {
  WaitForPlayer();
  Launch(setup, u"");
  ChooseLanguage(false);
  UpToSetupPage(false);
  Next();
  WaitForPage(u"PageIntegration");
  Next();
  WaitForPage(u"PageReadyToInstall");
  Next(u"bInstall");
  WaitForPage(u"PageInstall");
  CloseWizard();
  HWND box = WaitForQuestion();
  Picture(box, "close-question");
  Answer(box, IDOK);
  FinishWithErrors(Text(u"Common", u"E4"), "cancel-finish", 1602);
}

// The update page sequence up to the install page, for a folder holding an older installation.
void StartUpdate(const String& setup, const String& folder) {
  Launch(setup, u"");
  ChooseLanguage(false);
  HWND page = UpToSetupPage(false);
  TypeInto(PathEdit(page), folder);
  Check(Checked(PageControl(page, L"Button", u"PageSetup", u"CB1")), "locked: an update is offered");
  Next();
  WaitForPage(u"PageReadyToInstall");
  Next(u"bInstall");
  WaitForPage(u"PageInstall");
}

// The locked-file question over the wizard: a message box it owns with the question's text.
HWND WaitForLockedQuestion() {
  const String question = Text(u"Common", u"QM2");
  const String start = question.substr(0, question.find(u'%'));
  HWND box = nullptr;
  WaitUntil(
      [&] {
        box = FindTopLevel(L"#32770", [&](HWND window) {
          if (GetWindow(window, GW_OWNER) != gForm) return false;
          for (HWND child : Descendants(window))
            if (IsClass(child, L"Static") && TextOf(child).find(start) != String::npos) return true;
          return false;
        });
        return box != nullptr;
      },
      60000);
  if (!box) throw TStepFailed("the locked-file question does not appear over the wizard");
  Sleep(300);
  return box;
}

// An update over an installation whose ZUVA.exe another program holds open until the file
// "<folder>.release" appears. With retry: Retry while it is held asks again, Retry after it let go
// installs. Otherwise: Abort, and the finish page says the previous installation is back.
void LockedUpdate(const String& setup, const String& folder, bool retry) {
  StartUpdate(setup, folder);
  HWND box = WaitForLockedQuestion();
  Check(true, "locked: the question appears over the wizard");
  if (!retry) {
    Picture(box, "locked-question");
    Answer(box, IDABORT);
    const String restored = Text(u"Common", u"R1");
    FinishWithErrors(restored.substr(0, restored.find(u'%')), "locked-abort-finish", 1603);
    return;
  }
  Answer(box, IDRETRY);
  box = WaitForLockedQuestion();
  Check(true, "locked: Retry while the file is held asks again");
  HANDLE release =
      CreateFileW(dlx::W(folder + u".release"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  Check(release != INVALID_HANDLE_VALUE, "locked: the holder is told to let go");
  if (release != INVALID_HANDLE_VALUE) CloseHandle(release);
  Sleep(2000);
  Answer(box, IDRETRY);
  FinishStartingThePlayer(false);
}

void Auto(const String& setup, const String& folder) {
  WaitForPlayer();
  Launch(setup, u"\"/AUTO=" + folder + u"\"");
  WaitForPage(u"PageInstall");
  Check(!BackVisible(), "auto: the install page alone, no Back");
  Picture(gForm, "auto-install");
  EndStubbornPlayer();
  bool finishSeen = false;
  while (WaitForSingleObject(gProcess, 50) == WAIT_TIMEOUT) {
    HWND page = ActivePage();
    if (page && TextOf(page) == Text(u"PageFinish", u"Title")) finishSeen = true;
  }
  Check(!finishSeen, "auto: no finish page after a run without errors");
  const DWORD code = WaitForExit();
  Check(code == 0, "auto: the wizard closes by itself with 0");
  std::printf("exit code %lu\n", code);
}

void Update(const String& setup, const String& folder, bool portableCopy) {
  Launch(setup, u"");
  ChooseLanguage(false);
  HWND page = UpToSetupPage(false);
  TypeInto(PathEdit(page), folder);
  HWND update = PageControl(page, L"Button", u"PageSetup", u"CB1");
  HWND backup = PageControl(page, L"Button", u"PageSetup", u"CB4");
  HWND portable = PageControl(page, L"Button", u"PageSetup", u"CB3");
  HWND normal = PageControl(page, L"Button", u"PageSetup", u"CB2");
  Check(IsWindowVisible(update) && Checked(update), "update: the update box shown and checked");
  Check(IsWindowVisible(backup) && Checked(backup), "update: the backup box shown and checked");
  Check(!IsWindowEnabled(portable) && !IsWindowEnabled(normal) && Checked(portableCopy ? portable : normal) &&
            !Checked(portableCopy ? normal : portable),
        std::string("update: the radios disabled, showing the ") +
            (portableCopy ? "portable copy" : "normal installation") + " found");
  Check(FindChild(page, L"Static", Text(u"PageSetup", u"W1")) != nullptr, "update: warning W1 shown");
  Picture(gForm, portableCopy ? "setup-update-found-portable" : "setup-update-found");
  Next();
  WaitForPage(u"PageReadyToInstall");
  Check(true, "update: the integration page is skipped");
  Next(u"bInstall");
  FinishStartingThePlayer(false);
}

// How long the wizard's main thread keeps a message waiting while the work runs: a WM_NULL is sent
// to the form again and again until the program ends (for the benchmark; it checks nothing).
void Probe(const String& setup, const String& folder) {
  Launch(setup, u"\"/AUTO=" + folder + u"\" /SUPPRESSMSGBOXES");
  WaitForPage(u"PageInstall", 120000);
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  double longest = 0;
  int probes = 0;
  while (WaitForSingleObject(gProcess, 5) == WAIT_TIMEOUT) {
    DWORD_PTR result = 0;
    QueryPerformanceCounter(&before);
    const bool answered = SendMessageTimeoutW(gForm, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
    QueryPerformanceCounter(&after);
    // The last probe may meet a window that is being destroyed: that wait is not the form's.
    if (!IsWindow(gForm)) break;
    // A probe that timed out counts with its whole wait: a hung form must show in the figure.
    longest = std::max(longest, 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                                    static_cast<double>(frequency.QuadPart));
    ++probes;
    if (!answered) break;
  }
  const DWORD code = WaitForExit();
  Check(code == 0, "the installation exits with 0");
  std::printf("probes %d, longest wait %.1f ms\n", probes, longest);
  std::printf("exit code %lu\n", code);
}

// The time from the start of the program to its first visible top-level window. Nothing has changed
// on the machine while the first window (the language dialog) waits: the program is ended there.
void FirstWindow(const String& setup) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  Launch(setup, u"");
  const auto elapsedMs = [&] {
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
  };
  HWND window = nullptr;
  while (!window && elapsedMs() < 120000 && WaitForSingleObject(gProcess, 5) == WAIT_TIMEOUT) {
    EnumWindows(
        [](HWND candidate, LPARAM found) {
          DWORD process = 0;
          GetWindowThreadProcessId(candidate, &process);
          if (process != gProcessId || !IsWindowVisible(candidate)) return TRUE;
          *reinterpret_cast<HWND*>(found) = candidate;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&window));
  }
  const double shown = elapsedMs();
  Check(window != nullptr, "the program shows a window");
  if (window) std::printf("first window after %.0f ms\n", shown);
  TerminateProcess(gProcess, 0);
  WaitForSingleObject(gProcess, 10000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 7) {
    std::fprintf(
        stderr,
        "usage: zuva_wizard_driver <scenario> <program> <folder> <language file> <pictures> <suffix>\n");
    return 2;
  }
  const String scenario = dlx::FromW(argv[1]), program = dlx::FromW(argv[2]), folder = dlx::FromW(argv[3]);
  gTexts.LoadFromFile(dlx::FromW(argv[4]));
  gPictures = dlx::FromW(argv[5]);
  if (!gPictures.empty() && gPictures.back() != u'\\') gPictures += u'\\';
  gSuffix = dlx::FromW(argv[6]);
  if (argc > 7) gMoreArguments = dlx::FromW(argv[7]);
  try {
    if (scenario == u"install")
      Install(program, folder);
    else if (scenario == u"uninstall")
      Uninstall(program);
    else if (scenario == u"cancel-options")
      CancelOnOptions(program);
    else if (scenario == u"cancel-install")
      CancelDuringInstall(program);
    else if (scenario == u"auto")
      Auto(program, folder);
    else if (scenario == u"update" || scenario == u"update-portable")
      Update(program, folder, scenario == u"update-portable");
    else if (scenario == u"locked-retry" || scenario == u"locked-abort")
      LockedUpdate(program, folder, scenario == u"locked-retry");
    else if (scenario == u"probe")
      Probe(program, folder);
    else if (scenario == u"first-window")
      FirstWindow(program);
    else
      throw TStepFailed("unknown scenario " + U8(scenario));
  } catch (const std::exception& e) {
    Check(false, e.what());
    if (gProcess && WaitForSingleObject(gProcess, 0) == WAIT_TIMEOUT) TerminateProcess(gProcess, 3);
  }
  std::printf("%s: %d failure(s)\n", U8(scenario).c_str(), gFailures);
  return gFailures ? 1 : 0;
}
