// The installer's window onto its own material: the two packages the program carries, the install
// script, the language texts, the well-known folders, and the expansion of variables such as
// $DEST into real paths and messages.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/ini_file.h"
#include "lib/stream.h"
#include "lib/string_list.h"

namespace dlx {
class TCustomSetupPackage;
}
class TInstallerScript;
class TProductPackage;
class TInstallerScriptFile;

// The two packages, when the caller supplies them instead of the running module.
struct TInstallerPackages {
  std::unique_ptr<dlx::TCustomSetupPackage> Setup;
  std::unique_ptr<dlx::TCustomSetupPackage> Product;
  TInstallerPackages();
  TInstallerPackages(std::unique_ptr<dlx::TCustomSetupPackage> setup,
                     std::unique_ptr<dlx::TCustomSetupPackage> product);
  TInstallerPackages(TInstallerPackages&&) noexcept;
  TInstallerPackages& operator=(TInstallerPackages&&) noexcept;
  ~TInstallerPackages();
};

// True when the running module's file name is Uninstall.exe (ignoring case).
bool IsUninstallerExecutable();

class TInstallerResources {
 public:
  // Packages from the running module: the SETUP resource, and the PRODUCT resource or, as the
  // uninstaller, the .dat file beside the executable. A package missing from the argument is
  // opened from the module likewise.
  explicit TInstallerResources(TInstallerPackages packages = {});
  ~TInstallerResources();
  TInstallerResources(const TInstallerResources&) = delete;
  TInstallerResources& operator=(const TInstallerResources&) = delete;

  // The entry from the product package, else from the setup package; owned by the caller. The
  // uninstaller's package (the one holding Uninstall.ini) supplies only Uninstall.ini.
  std::unique_ptr<dlx::TDLXMemoryStream> GetFile(const dlx::String& name);
  std::unique_ptr<dlx::TDLXStringList> GetStringList(const dlx::String& name);
  dlx::String GetLangFamily();
  // The license document for the language family (or for "EN"); null when there is none.
  std::unique_ptr<dlx::TDLXMemoryStream> GetLicenseStream();
  // The script's components for the chosen language family, in script order.
  std::vector<TInstallerScriptFile*> GetComponentFiles();

  // A language text with its variables and "\n" line breaks expanded (ExpandVariables).
  dlx::String GetString(const dlx::String& section, const dlx::String& key);
  // $DEST, $TEMP, $LINK, $NAME, $VERSION, $DESKTOP, $STARTMENU, $PROGRAMS and "\n" (a line break)
  // replaced in one pass: inserted text is never scanned again.
  dlx::String ExpandVariables(const dlx::String& text);
  // A path: the folder variables replaced in one pass (never "\n", a path has no line breaks),
  // then each part validated (invalid and control characters dropped). Never apply it to a path
  // that was expanded already.
  dlx::String ExpandPath(const dlx::String& text);

  // Who picks the language file: a function answering a name from LangFiles ("English.lng" when
  // nothing is chosen). Without one, the choice is the language dialog's preselection, made
  // without a window; the setup program installs the language dialog (ui/language_dialog.h).
  using TLanguageChooser = dlx::String (*)(TInstallerResources& resources, bool showDialog);
  static void SetLanguageChooser(TLanguageChooser chooser);
  // Loads English and merges the chooser's language over it; the chooser shows its dialog unless
  // showDialog is false (a run with ioAuto).
  void ChooseAndInitializeLanguages(bool showDialog);
  // Loads English and merges the chosen language over it. The choice is the language dialog's
  // preselection (see SelectDefaultLanguage).
  void InitializeLanguages();
  // The same for a given user interface language instead of the user's.
  void InitializeLanguages(LANGID uiLanguage);
  // The index in LangFiles that the language dialog preselects for the given user interface
  // language: the first language (sorted by name) tagged with it, else the first tagged 1033,
  // else the first; -1 without languages.
  int SelectDefaultLanguage(LANGID uiLanguage);

  dlx::TDLXIniFile& LangFile() { return *langFile_; }
  const dlx::String& LangName() const { return langName_; }
  bool LanguageLoaded() const { return !langName_.empty(); }
  dlx::TDLXStringList& LangFiles() { return *langFiles_; }
  // The decoded product package (waits for its decode; raises its error).
  dlx::TCustomSetupPackage& ProductPackage();
  // Waits until the product package is decoded and checked; raises the error when it is damaged.
  void WaitForProduct() { ProductPackage(); }
  // Whether the product package is an uninstaller's (the one holding Uninstall.ini).
  bool IsUninstallerPackage() const { return productIsUninstallLog_; }
  dlx::TCustomSetupPackage& SetupPackage() { return *setupPackage_; }
  const dlx::String& DesktopPath() const { return desktopPath_; }
  const dlx::String& ProgramFilesPath() const { return programFilesPath_; }
  const dlx::String& ProgramFilesAltPath() const { return programFilesAltPath_; }
  const dlx::String& StartMenuPath() const { return startMenuPath_; }
  TInstallerScript& Script() { return *script_; }

 private:
  std::unique_ptr<dlx::TDLXIniFile> langFile_;
  dlx::String langName_;
  std::unique_ptr<dlx::TDLXStringList> langFiles_;
  std::unique_ptr<TProductPackage> productPackage_;
  std::unique_ptr<dlx::TCustomSetupPackage> setupPackage_;
  dlx::String desktopPath_;
  dlx::String programFilesPath_;
  dlx::String programFilesAltPath_;
  dlx::String startMenuPath_;
  std::unique_ptr<TInstallerScript> script_;
  bool productIsUninstallLog_ = false;

  dlx::String Expand(const dlx::String& text, bool lineBreaks);

  void LoadLanguages(const dlx::String& choice);
};

// A well-known folder (CSIDL) with a trailing backslash; the temporary folder when the system has
// none.
dlx::String GetSpecialFolder(int csidl);
