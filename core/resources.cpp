#include "core/resources.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/errors.h"
#include "core/installer.h"
#include "core/package/package.h"
#include "core/product_info.h"
#include "core/product_package.h"
#include "core/script/install_script.h"
#include "core/uninstall_info.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"

using dlx::String;

TInstallerPackages::TInstallerPackages() = default;
TInstallerPackages::TInstallerPackages(std::unique_ptr<dlx::TCustomSetupPackage> setup,
                                       std::unique_ptr<dlx::TCustomSetupPackage> product)
    : Setup(std::move(setup)), Product(std::move(product)) {}
TInstallerPackages::TInstallerPackages(TInstallerPackages&&) noexcept = default;
TInstallerPackages& TInstallerPackages::operator=(TInstallerPackages&&) noexcept = default;
TInstallerPackages::~TInstallerPackages() = default;

namespace {

String TempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return u"C:\\";
  String path = dlx::FromW(buffer, length);
  if (path.back() != u'\\') path += u'\\';
  return path;
}

void ReplaceAll(String& text, dlx::StringView what, const String& with) {
  if (what.empty()) return;
  size_t position = 0;
  while ((position = text.find(what, position)) != String::npos) {
    text.replace(position, what.size(), with);
    position += with.size();
  }
}

String RemoveAll(String text, dlx::StringView what) {
  ReplaceAll(text, what, String());
  return text;
}

// The sanitizing step of ExpandPath. Only the backslash separates parts: a forward slash inside a
// script path is an invalid character and is dropped, so scripts must use backslashes.
String SanitizePath(dlx::StringView path) {
  if (path.substr(0, 4) == u"\\\\?\\") path.remove_prefix(4);
  size_t rootLength = 0;
  if (path.size() >= 2 && path[1] == u':' && dlx::AsciiUpper(path[0]) >= u'A' &&
      dlx::AsciiUpper(path[0]) <= u'Z') {
    rootLength = 2;
  } else if (path.substr(0, 2) == u"\\\\") {
    rootLength = path.find(u'\\', 2);
    if (rootLength == dlx::StringView::npos) rootLength = path.size();
  }
  String result(path.substr(0, rootLength));
  size_t start = rootLength;
  while (start < path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == dlx::StringView::npos) end = path.size();
    const String part = dlx::ValidateFileName(path.substr(start, end - start));
    if (!part.empty()) {
      if (!result.empty()) result += u'\\';
      result += part;
    }
    start = end + 1;
  }
  if (!path.empty() && path.back() == u'\\' && (result.empty() || result.back() != u'\\')) result += u'\\';
  return result;
}

}  // namespace

bool IsUninstallerExecutable() {
  return dlx::SameText(dlx::ExtractFileName(dlx::GetExeName()), u"Uninstall.exe");
}

String GetSpecialFolder(int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE) || buffer[0] == L'\0') return TempFolder();
  String path = dlx::FromW(buffer);
  if (path.back() != u'\\') path += u'\\';
  return path;
}

TInstallerResources::TInstallerResources(TInstallerPackages packages) {
  script_ = std::make_unique<TInstallerScript>();
  langFiles_ = std::make_unique<dlx::TDLXStringList>();
  langFile_ = std::make_unique<dlx::TDLXIniFile>();

  const HMODULE module = GetModuleHandleW(nullptr);
  setupPackage_ = packages.Setup ? std::move(packages.Setup)
                                 : std::make_unique<dlx::TSetupPackageReader>(module, String(u"SETUP"));
  if (packages.Product) {
    productPackage_ = std::make_unique<TProductPackage>(std::move(packages.Product));
  } else if (IsUninstallerExecutable()) {
    const String data = dlx::ChangeFileExt(dlx::GetExeName(), u".dat");
    if (!dlx::FileExists(data))
      throw EInstallerGeneralError(FormatText(
          u"\"%s\" is missing. The uninstaller reads from it what the installation holds; without it, "
          u"nothing can be removed.",
          {data}));
    productPackage_ = std::make_unique<TProductPackage>(std::make_unique<dlx::TSetupPackageReader>(data));
  } else if (!FindResourceW(module, L"PRODUCT", RT_RCDATA)) {
    // The uninstaller the setup writes is built without the product: under another name it has
    // neither a product to install nor an installation to remove.
    throw EInstallerGeneralError(
        FormatText(u"\"%s\" is an uninstaller and holds no product to install. It runs only as %s in the "
                   u"installation folder, beside %s.",
                   {dlx::GetExeName(), kUninstallExeName, kUninstallDataName}));
  } else {
    productPackage_ = std::make_unique<TProductPackage>(module);
  }

  productIsUninstallLog_ = productPackage_->Has(kUninstallLogName);
  // The script may come with the product; it is looked for there first.
  script_->LoadFromStream(*GetFile(u"Install.xml"));

  const auto& table = setupPackage_->FileTable();
  for (int32_t i = 0; i < table.Count(); ++i) {
    const String& name = table.Items(i).Name;
    if (dlx::SameText(dlx::ExtractFileExt(name), u".lng")) langFiles_->Add(name);
  }
  langFiles_->Sort();

  desktopPath_ = GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  programFilesPath_ = GetSpecialFolder(CSIDL_PROGRAM_FILES);
  startMenuPath_ = GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
  programFilesAltPath_ = RemoveAll(programFilesPath_, u" (x86)");
}

TInstallerResources::~TInstallerResources() = default;

dlx::TCustomSetupPackage& TInstallerResources::ProductPackage() {
  return productPackage_->Get();
}

std::unique_ptr<dlx::TDLXMemoryStream> TInstallerResources::GetFile(const String& name) {
  std::unique_ptr<dlx::TDLXMemoryStream> stream;
  // The uninstaller's package lies in the installation folder, where others may have written:
  // it supplies the uninstall log and nothing of the setup's own material.
  const bool fromProduct = !productIsUninstallLog_ || dlx::SameText(name, kUninstallLogName);
  if (fromProduct && productPackage_->Has(name) && productPackage_->Get().Extract(name, stream))
    return stream;
  if (setupPackage_ && setupPackage_->Extract(name, stream)) return stream;
  throw EInstallerInstallError(FormatText(u"Cannot locate \"%s\" file in setup archive", {name}));
}

std::unique_ptr<dlx::TDLXStringList> TInstallerResources::GetStringList(const String& name) {
  auto stream = GetFile(name);
  auto list = std::make_unique<dlx::TDLXStringList>();
  list->LoadFromStream(*stream);
  return list;
}

String TInstallerResources::GetLangFamily() {
  return langFile_->ReadString(u"File", u"Family", u"EN");
}

std::unique_ptr<dlx::TDLXMemoryStream> TInstallerResources::GetLicenseStream() {
  TInstallerScriptFile* entry = nullptr;
  if (!script_->License().FindByLangFamily(GetLangFamily(), entry) &&
      !script_->License().FindByLangFamily(u"EN", entry))
    return nullptr;
  return GetFile(entry->Name);
}

std::vector<TInstallerScriptFile*> TInstallerResources::GetComponentFiles() {
  const String family = GetLangFamily();
  std::vector<TInstallerScriptFile*> files;
  const TInstallerScriptGroup& components = script_->Components();
  for (int i = 0; i < components.Count(); ++i) {
    TInstallerScriptFile* entry = components.Items(i);
    if (entry->MatchesLangFamily(family)) files.push_back(entry);
  }
  return files;
}

String TInstallerResources::GetString(const String& section, const String& key) {
  return ExpandVariables(langFile_->ReadString(section, key, String()));
}

String TInstallerResources::Expand(const String& text, bool lineBreaks) {
  TInstallerProductInfo& info = Installer->ProductInfo();
  // Every value is computed whether or not its variable occurs, so a script without a product
  // name fails on the first expansion, not on some later one.
  const std::pair<dlx::StringView, String> variables[] = {
      {u"$DEST", Installer->DestPath()},    {u"$TEMP", TempFolder()},
      {u"$LINK", info.GetHomePage()},       {u"$NAME", info.GetName()},
      {u"$VERSION", info.GetFullVersion()}, {u"$DESKTOP", desktopPath_},
      {u"$STARTMENU", startMenuPath_},      {u"$PROGRAMS", programFilesPath_},
  };
  // One pass: what a variable inserts is never scanned again, so a folder named "C:\$TEMP\x" or
  // "C:\newdemo" stays what it is.
  String result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const dlx::StringView rest = dlx::StringView(text).substr(i);
    if (lineBreaks && rest.substr(0, 2) == u"\\n") {
      result += u"\r\n";
      i += 2;
      continue;
    }
    bool replaced = false;
    if (rest[0] == u'$') {
      for (const auto& [name, value] : variables) {
        if (rest.substr(0, name.size()) != name) continue;
        result += value;
        i += name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) result += text[i++];
  }
  return result;
}

String TInstallerResources::ExpandVariables(const String& text) {
  return Expand(text, true);
}

String TInstallerResources::ExpandPath(const String& text) {
  return SanitizePath(Expand(text, false));
}

int TInstallerResources::SelectDefaultLanguage(LANGID uiLanguage) {
  struct Item {
    String name;
    int langId;
    int index;
  };
  std::vector<Item> items;
  dlx::TDLXIniFile ini;
  for (int i = 0; i < langFiles_->Count(); ++i) {
    std::unique_ptr<dlx::TDLXMemoryStream> stream;
    if (!setupPackage_->Extract(langFiles_->Strings(i), stream)) continue;
    ini.LoadFromStream(*stream);
    Item item{ini.ReadString(u"File", u"Name", String()), ini.ReadInteger(u"File", u"LangId", 0), i};
    // Sorted by name as the dialog lists them; equal names keep their order.
    size_t at = items.size();
    while (at > 0 && dlx::CompareTextIgnoreCase(item.name, items[at - 1].name) < 0) --at;
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  }
  for (const Item& item : items)
    if (item.langId == uiLanguage) return item.index;
  for (const Item& item : items)
    if (item.langId == 1033) return item.index;
  return items.empty() ? -1 : items.front().index;
}

void TInstallerResources::InitializeLanguages() {
  InitializeLanguages(GetUserDefaultUILanguage());
}

namespace {
TInstallerResources::TLanguageChooser gLanguageChooser = nullptr;
}  // namespace

void TInstallerResources::SetLanguageChooser(TLanguageChooser chooser) {
  gLanguageChooser = chooser;
}

void TInstallerResources::ChooseAndInitializeLanguages(bool showDialog) {
  if (!gLanguageChooser) {
    InitializeLanguages();
    return;
  }
  // English first: a missing English.lng ends the run before any window opens.
  langFile_->LoadFromStream(*GetFile(u"English.lng"));
  LoadLanguages(gLanguageChooser(*this, showDialog));
}

void TInstallerResources::InitializeLanguages(LANGID uiLanguage) {
  langFile_->LoadFromStream(*GetFile(u"English.lng"));
  // Without the language dialog: its preselection is the choice.
  const int selected = SelectDefaultLanguage(uiLanguage);
  LoadLanguages(selected >= 0 ? langFiles_->Strings(selected) : String(u"English.lng"));
}

void TInstallerResources::LoadLanguages(const String& choice) {
  dlx::TDLXIniFile chosen;
  chosen.LoadFromStream(*GetFile(choice));
  langName_ = dlx::ExtractFileNameWithoutExt(dlx::ExtractFileName(choice));
  langFile_->Merge(chosen, true);
  dlx::Log(u"Language: " + langName_ + u" (family " + GetLangFamily() + u")");
}
