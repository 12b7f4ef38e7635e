// The installer material in setup/ fits together and fits the built product: every text the
// wizard and the actions look up exists in every language, format strings take the arguments
// their users pass, the install script names only entries that exist, and the pictures, icons
// and license documents are files the wizard can actually load.
#include <gtest/gtest.h>
#include <richedit.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/sample-product/sample_paths.h"

namespace {

using sample::FileExists;
using sample::HostPath;
using sample::ReadBytes;
using sample::ReadText;

std::wstring SetupFolder() {
  return HostPath(ZUVA_SOURCE_DIR) + L"\\setup\\";
}
std::wstring ProductFolder() {
  return HostPath(ZUVA_SAMPLE_PRODUCT_DIR) + L"\\";
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const std::string kBom = "\xEF\xBB\xBF";

// The installer's INI reading keeps lines as they are (no trimming, no comments) and decodes a
// file without byte-order mark as ANSI, so the material must carry the UTF-8 mark and plain
// key=value lines. Sections and keys are kept lower-cased, as they are matched without case.
struct Ini {
  std::map<std::string, std::map<std::string, std::string>> sections;
  std::vector<std::string> problems;

  std::string Get(const std::string& section, const std::string& key) const {
    auto s = sections.find(Lower(section));
    if (s == sections.end()) return {};
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? std::string() : k->second;
  }
  bool Has(const std::string& section, const std::string& key) const {
    auto s = sections.find(Lower(section));
    return s != sections.end() && s->second.count(Lower(key)) != 0;
  }
};

bool ValidUtf8(const std::string& text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                             nullptr, 0) > 0 ||
         text.empty();
}

Ini LoadIni(const std::wstring& path, bool sectioned = true) {
  Ini ini;
  std::string text = ReadText(path);
  if (text.compare(0, 3, kBom) != 0)
    ini.problems.push_back("no UTF-8 byte-order mark");
  else
    text.erase(0, 3);
  if (!ValidUtf8(text)) ini.problems.push_back("not valid UTF-8");
  std::string section = sectioned ? "" : "-";
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
      ini.problems.push_back("line break other than CR LF near: " + line.substr(0, 30));
    if (line.empty()) continue;
    if (sectioned && line[0] == '[') {
      section = Lower(line.substr(1, line.size() - 2));
      if (line.back() != ']') ini.problems.push_back("malformed header: " + line);
      continue;
    }
    if (section.empty()) {
      ini.problems.push_back("line before the first section is lost: " + line);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      ini.problems.push_back("not a key=value line: " + line);
      continue;
    }
    const std::string key = line.substr(0, eq);
    if (key != key.substr(key.find_first_not_of(' ')) || key.back() == ' ')
      ini.problems.push_back("blank around key (it would become part of it): " + key);
    if (!ini.sections[section].emplace(Lower(key), line.substr(eq + 1)).second)
      ini.problems.push_back("duplicate key " + key + " in [" + section + "]");
  }
  return ini;
}

// Every (section, key) that the wizard, the engine and the actions read.
const std::map<std::string, std::vector<std::string>>& RequiredKeys() {
  static const std::map<std::string, std::vector<std::string>> keys = {
      {"File", {"Name", "LangId", "Icon", "Author", "VersionId", "Family"}},
      {"Common",
       {"Caption", "bBack", "bNext", "bInstall", "bUninstall", "bFinish", "lBrowse", "lNewFolder", "lCancel",
        "lOk",     "QM",    "QM2",   "E1",       "E3",         "E4",      "A1",      "A2",         "A3",
        "A4",      "A5",    "A6",    "A7",       "A8",         "A9",      "E5",      "E6",         "E7",
        "E8",      "E9",    "E10",   "E11",      "E12",        "E13",     "R1",      "R2",         "R3",
        "R4",      "R5",    "R6",    "R7",       "R8",         "R9",      "R10",     "R11"}},
      {"PageWelcome", {"Title", "Description", "L1", "L2"}},
      {"PageLicense", {"Title", "Description", "L1"}},
      {"PageSetup",
       {"Title", "Description", "LB1", "Browse", "CB1", "CB4", "LB2", "CB3", "CB3Hint", "CB2", "W1", "W3",
        "W4"}},
      {"PageAddons", {"Title", "Description", "L0", "CB1", "CB2", "CB3", "L1", "L2"}},
      {"PageIntegration",
       {"Title", "Description", "LB1", "CB1", "CB2", "LB2", "CB4", "CB4Hint", "CB3", "CB5"}},
      {"PageReadyToInstall", {"Title", "Description"}},
      {"PageInstall", {"Title", "Description", "L1"}},
      {"PageUninstall", {"Title", "Description", "L1"}},
      // RunZUVA and ShowReadme: the captions the install script's actions name.
      {"PageFinish", {"Title", "Description", "L1", "L2", "L3", "E1", "E2", "RunZUVA", "ShowReadme"}},
      {"PageUninstallParams", {"Title", "Description", "CB1", "CB2"}},
      {"PageUninstallFinish", {"Title", "Description", "L1", "L2", "E1", "E2"}},
  };
  return keys;
}

struct Language {
  const wchar_t* file;
  int lang_id;
  const char* family;
};
const Language kLanguages[] = {
    {L"English.lng", 1033, "EN"}, {L"German.lng", 1031, "DE"}, {L"Russian.lng", 1049, "RU"}};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Language files

TEST(LanguageFileTest, EveryLanguageIsWellFormedAndHasEveryKeyTheProgramReads) {
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(sample::Narrow(lang.file));
    const Ini ini = LoadIni(SetupFolder() + lang.file);
    for (const auto& problem : ini.problems) ADD_FAILURE() << problem;
    for (const auto& [section, keys] : RequiredKeys())
      for (const auto& key : keys)
        EXPECT_FALSE(ini.Get(section, key).empty())
            << "[" << section << "] " << key << " is missing or empty";
    EXPECT_EQ(ini.Get("File", "LangId"), std::to_string(lang.lang_id));
    EXPECT_EQ(ini.Get("File", "Family"), lang.family);
  }
}

// The other direction: a text no code reads is a message that was renamed or forgotten, and a key
// the code reads must be in the table above. The code's [Common] keys are collected from its
// sources (the page texts are read through their page's own section).
TEST(LanguageFileTest, EveryKeyIsReadAndEveryKeyTheCodeReadsIsListed) {
  std::set<std::pair<std::string, std::string>> listed;
  for (const auto& [section, keys] : RequiredKeys())
    for (const auto& key : keys) listed.insert({Lower(section), Lower(key)});
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(sample::Narrow(lang.file));
    for (const auto& [section, keys] : LoadIni(SetupFolder() + lang.file).sections)
      for (const auto& [key, value] : keys)
        EXPECT_TRUE(listed.count({section, key})) << "[" << section << "] " << key << " is read by nothing";
  }
  const std::regex read(
      R"re((?:CommonText|GetCommonText|FormatCommonText)\(u"(\w+)"|GetString\(u"Common", u"(\w+)"\))re");
  size_t found = 0;
  for (const wchar_t* folder : {L"core\\", L"product\\", L"ui\\", L"ui\\form\\"}) {
    const std::wstring path = SetupFolder() + L"..\\" + folder;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"*.cpp").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << sample::Narrow(path);
    do {
      const std::string text = ReadText(path + data.cFileName);
      for (std::sregex_iterator m(text.begin(), text.end(), read), end; m != end; ++m) {
        const std::string key = (*m)[1].matched ? (*m)[1].str() : (*m)[2].str();
        ++found;
        EXPECT_TRUE(listed.count({"common", Lower(key)}))
            << sample::Narrow(data.cFileName) << " reads [Common] " << key << ", which the table lacks";
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  EXPECT_GT(found, 20u) << "the sources were read";
}

TEST(LanguageFileTest, TranslationsHaveExactlyTheKeysOfEnglish) {
  const Ini english = LoadIni(SetupFolder() + L"English.lng");
  ASSERT_FALSE(english.sections.empty());
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(sample::Narrow(lang.file));
    const Ini other = LoadIni(SetupFolder() + lang.file);
    EXPECT_EQ(other.sections.size(), english.sections.size());
    for (const auto& [section, keys] : english.sections)
      for (const auto& [key, value] : keys) EXPECT_TRUE(other.Has(section, key)) << section << "/" << key;
    for (const auto& [section, keys] : other.sections)
      for (const auto& [key, value] : keys) EXPECT_TRUE(english.Has(section, key)) << section << "/" << key;
    // A translation that still shows English text where the words differ is a forgotten one.
    if (std::wstring(lang.file) != L"English.lng") {
      EXPECT_NE(other.Get("PageWelcome", "L2"), english.Get("PageWelcome", "L2"));
    }
  }
}

TEST(LanguageFileTest, FormatStringsTakeTheArgumentsTheirUsersPassAndVariablesAreKnown) {
  // key -> number of "%s" its user formats in; no other '%' may appear in these.
  const std::vector<std::tuple<std::string, std::string, size_t>> formats = {
      {"Common", "E1", 1},    {"Common", "E3", 1},  {"Common", "QM2", 1}, {"Common", "E5", 1},
      {"Common", "E6", 2},    {"Common", "E7", 2},  {"Common", "E8", 4},  {"Common", "E9", 2},
      {"Common", "E10", 3},   {"Common", "E11", 1}, {"Common", "E12", 2}, {"Common", "E13", 0},
      {"Common", "R1", 2},    {"Common", "R2", 1},  {"Common", "R3", 1},  {"Common", "R4", 0},
      {"Common", "R5", 2},    {"Common", "R6", 1},  {"Common", "R7", 1},  {"Common", "R8", 1},
      {"Common", "R9", 1},    {"Common", "R10", 1}, {"Common", "R11", 1}, {"PageAddons", "L1", 1},
      {"PageAddons", "L2", 2}};
  const std::regex variable(R"(\$([A-Za-z]*))");
  const std::set<std::string> known = {"DEST",    "TEMP",    "LINK",      "NAME",
                                       "VERSION", "DESKTOP", "STARTMENU", "PROGRAMS"};
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(sample::Narrow(lang.file));
    const Ini ini = LoadIni(SetupFolder() + lang.file);
    for (const auto& [section, key, args] : formats) {
      const std::string value = ini.Get(section, key);
      EXPECT_EQ(Count(value, "%s"), args) << section << "/" << key << ": " << value;
      EXPECT_EQ(Count(value, "%"), args) << section << "/" << key << ": " << value;
    }
    for (const auto& [section, keys] : ini.sections) {
      if (section == "file") continue;
      for (const auto& [key, value] : keys)
        for (std::sregex_iterator m(value.begin(), value.end(), variable), end; m != end; ++m)
          EXPECT_TRUE(known.count((*m)[1].str())) << section << "/" << key << " uses $" << (*m)[1].str();
    }
    // The add-ons notes carry the formatted label's markup: every tag opened is closed.
    for (const char* key : {"L1", "L2"}) {
      const std::string value = ini.Get("PageAddons", key);
      for (const char* tag : {"B", "I", "U", "S", "URL", "COLOR"}) {
        const std::regex open("\\[" + std::string(tag) + "(=[^\\]]*)?\\]");
        const std::ptrdiff_t opened =
            std::distance(std::sregex_iterator(value.begin(), value.end(), open), std::sregex_iterator());
        EXPECT_EQ(static_cast<size_t>(opened), Count(value, "[/" + std::string(tag) + "]"))
            << key << " " << tag;
      }
    }
  }
}

TEST(LanguageFileTest, IconsAreSixteenPixelIconFilesInHexadecimal) {
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(sample::Narrow(lang.file));
    const std::string hex = LoadIni(SetupFolder() + lang.file).Get("File", "Icon");
    ASSERT_EQ(hex.size() % 2, 0u);
    ASSERT_TRUE(std::all_of(hex.begin(), hex.end(),
                            [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }));
    std::vector<uint8_t> ico;
    for (size_t i = 0; i < hex.size(); i += 2)
      ico.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    ASSERT_GE(ico.size(), 22u + 40u);
    uint16_t reserved, type, count;
    std::memcpy(&reserved, &ico[0], 2);
    std::memcpy(&type, &ico[2], 2);
    std::memcpy(&count, &ico[4], 2);
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(type, 1);  // icon, not cursor
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ico[6], 16);
    EXPECT_EQ(ico[7], 16);
    uint32_t bytes, offset;
    std::memcpy(&bytes, &ico[14], 4);
    std::memcpy(&offset, &ico[18], 4);
    EXPECT_EQ(offset + bytes, ico.size());
    // Windows must be able to turn it into an icon handle, as the language dialog does.
    HICON icon = CreateIconFromResourceEx(ico.data() + offset, bytes, TRUE, 0x00030000, 16, 16, 0);
    EXPECT_NE(icon, nullptr);
    if (icon) DestroyIcon(icon);
  }
}

// ---------------------------------------------------------------------------------------------
// Package entries

TEST(PackageEntryTest, PackagesShareNoEntryNameSinceTheProductPackageIsSearchedFirst) {
  const std::set<std::string> product = sample::FilesIn(ProductFolder());
  ASSERT_FALSE(product.empty());
  std::set<std::string> setup = sample::FilesIn(SetupFolder());
  setup.insert(sample::Narrow(HostPath(ZUVA_SAMPLE_ADDONS))
                   .substr(sample::Narrow(HostPath(ZUVA_SAMPLE_ADDONS)).find_last_of('\\') + 1));
  for (const auto& name : product) {
    for (const auto& s : setup) EXPECT_NE(Lower(name), Lower(s));
    EXPECT_NE(Lower(name.substr(name.size() > 4 ? name.size() - 4 : 0)), ".lng") << name;
  }
}

// ---------------------------------------------------------------------------------------------
// addons.ini, pictures, license documents

TEST(AddonsListTest, NamesTheAddonsProgramAPictureAndAPatternWithOneArgument) {
  const Ini list = LoadIni(SetupFolder() + L"addons.ini", /*sectioned=*/false);
  for (const auto& problem : list.problems) ADD_FAILURE() << problem;
  for (const char* key : {"P1", "P2", "P3", "P4", "CL", "I0", "L0", "L1", "L2"})
    EXPECT_FALSE(list.Get("-", key).empty()) << key;
  EXPECT_EQ(Count(list.Get("-", "CL"), "%s"), 1u);
  EXPECT_EQ(Count(list.Get("-", "CL"), "%"), 1u);
  EXPECT_TRUE(FileExists(SetupFolder() + sample::Widen(list.Get("-", "I0"))));
  const std::wstring addons = HostPath(ZUVA_SAMPLE_ADDONS);
  EXPECT_EQ(list.Get("-", "P4"), sample::Narrow(addons.substr(addons.find_last_of(L'\\') + 1)));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t BigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The wizard draws its pictures through GDI+, loaded at run time; so does this check.
class GdiPlus {
 public:
  GdiPlus() : module_(LoadLibraryW(L"gdiplus.dll")) {
    if (!module_) return;
    startup_ = Get<Startup>("GdiplusStartup");
    shutdown_ = Get<Shutdown>("GdiplusShutdown");
    from_file_ = Get<FromFile>("GdipCreateBitmapFromFile");
    width_ = Get<Size>("GdipGetImageWidth");
    height_ = Get<Size>("GdipGetImageHeight");
    pixel_ = Get<Pixel>("GdipBitmapGetPixel");
    dispose_ = Get<Dispose>("GdipDisposeImage");
    struct {
      UINT32 version = 1;
      void* debug_callback = nullptr;
      BOOL no_background_thread = FALSE, no_external_codecs = FALSE;
    } input;
    ready_ = startup_ && shutdown_ && from_file_ && width_ && height_ && pixel_ && dispose_ &&
             startup_(&token_, &input, nullptr) == 0;
  }
  ~GdiPlus() {
    if (ready_) shutdown_(token_);
    if (module_) FreeLibrary(module_);
  }
  bool ready() const { return ready_; }

  // Decodes the file; answers its size and the ARGB colour of one pixel.
  bool Decode(const std::wstring& path, UINT x, UINT y, UINT& width, UINT& height, uint32_t& argb) {
    void* bitmap = nullptr;
    if (from_file_(path.c_str(), &bitmap) != 0 || !bitmap) return false;
    const bool ok = width_(bitmap, &width) == 0 && height_(bitmap, &height) == 0 &&
                    pixel_(bitmap, static_cast<INT>(x), static_cast<INT>(y), &argb) == 0;
    dispose_(bitmap);
    return ok;
  }

 private:
  using Startup = int(WINAPI*)(ULONG_PTR*, const void*, void*);
  using Shutdown = void(WINAPI*)(ULONG_PTR);
  using FromFile = int(WINAPI*)(const WCHAR*, void**);
  using Size = int(WINAPI*)(void*, UINT*);
  using Pixel = int(WINAPI*)(void*, INT, INT, uint32_t*);
  using Dispose = int(WINAPI*)(void*);
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_;
  Startup startup_ = nullptr;
  Shutdown shutdown_ = nullptr;
  FromFile from_file_ = nullptr;
  Size width_ = nullptr, height_ = nullptr;
  Pixel pixel_ = nullptr;
  Dispose dispose_ = nullptr;
  ULONG_PTR token_ = 0;
  bool ready_ = false;
};

TEST(PictureTest, PicturesAreIntactPngFilesOfTheWizardsSizesThatGdiPlusDecodes) {
  // A probe pixel each: the logo's accent colour, the play button's white, or transparency.
  const struct {
    const wchar_t* name;
    uint32_t width, height;
    UINT x, y;
    uint32_t argb;
  } pictures[] = {{L"header.png", 640, 53, 44, 12, 0xFFDE8C33},
                  {L"header_dark.png", 640, 53, 44, 12, 0xFFAC671C},
                  {L"wizard_light.png", 188, 435, 94, 140, 0xFFFFFFFF},
                  {L"wizard_dark.png", 188, 435, 94, 140, 0xFFF0F0F0},
                  {L"addons.png", 256, 88, 0, 0, 0x00000000}};
  GdiPlus gdiplus;
  ASSERT_TRUE(gdiplus.ready());
  for (const auto& picture : pictures) {
    SCOPED_TRACE(sample::Narrow(picture.name));
    const std::vector<uint8_t> png = ReadBytes(SetupFolder() + picture.name);
    ASSERT_GT(png.size(), 33u);
    ASSERT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(std::memcmp(png.data() + 12, "IHDR", 4), 0);
    // Walk the chunks: each CRC right, ending with IEND exactly at the end of the file.
    size_t pos = 8;
    std::string last;
    while (pos + 12 <= png.size()) {
      const uint32_t length = BigEndian(&png[pos]);
      ASSERT_LE(pos + 12 + length, png.size());
      last.assign(reinterpret_cast<const char*>(&png[pos + 4]), 4);
      EXPECT_EQ(Crc32(&png[pos + 4], length + 4), BigEndian(&png[pos + 8 + length])) << last;
      pos += 12 + length;
    }
    EXPECT_EQ(last, "IEND");
    EXPECT_EQ(pos, png.size());

    UINT width = 0, height = 0;
    uint32_t argb = 0x12345678;
    ASSERT_TRUE(gdiplus.Decode(SetupFolder() + picture.name, picture.x, picture.y, width, height, argb));
    EXPECT_EQ(width, picture.width);
    EXPECT_EQ(height, picture.height);
    if (picture.argb >> 24 == 0) {
      EXPECT_EQ(argb >> 24, 0u);
    } else {
      EXPECT_EQ(argb, picture.argb) << std::hex << argb;
    }
  }
}

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
  auto* source = reinterpret_cast<std::pair<const std::vector<uint8_t>*, size_t>*>(cookie);
  const size_t left = source->first->size() - source->second;
  const size_t n = std::min(left, static_cast<size_t>(wanted));
  std::memcpy(buffer, source->first->data() + source->second, n);
  source->second += n;
  *got = static_cast<LONG>(n);
  return 0;
}

TEST(LicenseTest, RichEditShowsEachLicenseAsTextInItsLanguage) {
  HMODULE msftedit = LoadLibraryW(L"MSFTEDIT.DLL");
  ASSERT_NE(msftedit, nullptr);
  const struct {
    const wchar_t* file;
    const wchar_t* title_word;
  } licenses[] = {
      {L"License_EN.rtf", L"License Agreement"},
      {L"License_DE.rtf", L"Lizenzvertrag"},
      {L"License_RU.rtf", L"\u041b\u0438\u0446\u0435\u043d\u0437\u0438\u043e\u043d\u043d\u043e\u0435"}};
  for (const auto& license : licenses) {
    SCOPED_TRACE(sample::Narrow(license.file));
    HWND edit = CreateWindowExW(0, L"RICHEDIT50W", L"", WS_POPUP | ES_MULTILINE | ES_READONLY, 0, 0, 400, 300,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    const std::vector<uint8_t> rtf = ReadBytes(SetupFolder() + license.file);
    std::pair<const std::vector<uint8_t>*, size_t> source{&rtf, 0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, StreamIn};
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(stream.dwError, 0u);
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    DestroyWindow(edit);
    EXPECT_GT(text.size(), 500u);
    EXPECT_NE(text.find(license.title_word), std::wstring::npos);
    EXPECT_NE(text.find(L"ZUVA"), std::wstring::npos);
    // Nothing of the markup may leak into the shown text.
    EXPECT_EQ(text.find(L"rtf1"), std::wstring::npos);
    EXPECT_EQ(text.find(L"\\"), std::wstring::npos);
    EXPECT_EQ(text.find(L"?"), std::wstring::npos) << "a character fell back to its replacement";
  }
  FreeLibrary(msftedit);
}

}  // namespace
