// Set-up shared by the extraction and uninstall-log tests: a destination folder of its own per
// test, install scripts with chosen components, language files with the texts these steps use,
// and small file helpers.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/extract_helper.h"
#include "core/installer.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "tests/core/installer_fixture.h"

namespace extractenv {

using dlx::String;
using testenv::Entry;

struct Component {
  Component(String name, String source = {}, String langFamily = {})
      : name(std::move(name)), source(std::move(source)), langFamily(std::move(langFamily)) {}
  String name;        // the target, e.g. "$DEST\\a.txt"
  String source;      // the package entry, empty for the target's file name
  String langFamily;  // empty for every family
};

inline std::string Utf8(const String& text) {
  return dlx::ToUtf8(text);
}

inline std::string ScriptWith(const std::vector<Component>& components,
                              const String& productName = u"ZUVA Test") {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Install>\n <product>\n  <Settings>\n"
      "   <Item name=\"ProductName\" value=\"" +
      Utf8(productName) +
      "\"/>\n"
      "   <Item name=\"Publisher\" value=\"ZUVA Team\"/>\n"
      "   <Item name=\"ProductVersion\" value=\"5.03\"/>\n"
      "   <Item name=\"ProductVersionId\" value=\"5030\"/>\n"
      "   <Item name=\"ProductVersionNo\" value=\"5.0.3\"/>\n"
      "   <Item name=\"HomePage\" value=\"https://zuva.example/\"/>\n"
      "  </Settings>\n  <Components>\n";
  for (const auto& c : components) {
    xml += "   <File name=\"" + Utf8(c.name) + "\"";
    if (!c.langFamily.empty()) xml += " lang-family=\"" + Utf8(c.langFamily) + "\"";
    xml += c.source.empty() ? "/>\n" : ">" + Utf8(c.source) + "</File>\n";
  }
  xml += "  </Components>\n </product>\n</Install>\n";
  return xml;
}

inline std::string EnglishTexts() {
  return "[File]\r\nFamily=EN\r\nName=English\r\nLangId=1033\r\n"
         "[Common]\r\nCaption=$NAME Setup\r\nE1=Stopped at \"%s\"\r\nE3=No folder \"%s\"\r\n"
         "E4=Cancelled\r\nQM2=In use: \"%s\"\r\nA4=Copying files...\r\nA7=Registering...\r\n";
}

inline std::string GermanTexts() {
  return "[File]\r\nFamily=DE\r\nName=Deutsch\r\nLangId=1031\r\n[Common]\r\nA4=Kopieren...\r\n";
}

inline std::vector<Entry> SetupWith(const std::string& script) {
  return {{u"Install.xml", script}, {u"English.lng", EnglishTexts()}, {u"German.lng", GermanTexts()}};
}

inline bool Exists(const String& path) {
  return dlx::FileExists(path);
}

inline std::string ReadAll(const String& path) {
  std::string bytes;
  HANDLE file =
      CreateFileW(dlx::W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

inline bool WriteAll(const String& path, const std::string& bytes) {
  HANDLE file =
      CreateFileW(dlx::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

// Holds a file open the way a running program does; share is the sharing the holder grants.
class TFileLock {
 public:
  TFileLock(const String& path, DWORD share)
      : handle_(CreateFileW(dlx::W(path), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~TFileLock() { Release(); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// A fresh folder (trailing backslash) in the temporary folder, removed again by the destructor.
class TScratchFolder {
 public:
  TScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = dlx::GetTempPath() + u"zuva-g-" + dlx::IntToStr(GetCurrentProcessId()) + u"-" +
            dlx::IntToStr(++counter) + u"\\";
    dlx::DeleteDirectory(path_, true);
    dlx::ForceDirectories(path_);
  }
  ~TScratchFolder() { dlx::DeleteDirectory(path_, true); }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  const String& Path() const { return path_; }

 private:
  String path_;
};

// An installer over the given components and package entries, installing into a scratch folder
// (portable unless stated otherwise, so that nothing is registered), with the language chosen.
class ExtractTest : public testenv::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    dest_ = std::make_unique<TScratchFolder>();
  }
  void TearDown() override {
    installer_.reset();
    dest_.reset();
    EngineTest::TearDown();
  }

  TInstaller& Make(const std::vector<Component>& components, std::vector<Entry> product,
                   LANGID language = 1033, const String& extraArgs = u" /PORTABLE",
                   const String& productName = u"ZUVA Test") {
    installer_ = Create(u"/AUTO=\"" + dlx::ExcludeTrailingPathDelimiter(Dest()) + u"\"" + extraArgs,
                        SetupWith(ScriptWith(components, productName)), std::move(product));
    installer_->Resources().InitializeLanguages(language);
    return *installer_;
  }
  const String& Dest() const { return dest_->Path(); }
  TInstallerExtractHelper& Helper() { return installer_->ExtractHelper(); }

  std::unique_ptr<TScratchFolder> dest_;
  std::unique_ptr<TInstaller> installer_;
};

}  // namespace extractenv
