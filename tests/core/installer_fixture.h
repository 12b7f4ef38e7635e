// Shared set-up of the engine tests: packages built in memory, a product information whose
// answers each test chooses, and action classes that record what they do.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/action.h"
#include "core/installer.h"
#include "core/package/package.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/script/install_script.h"
#include "lib/dlx_string.h"

namespace testenv {

using dlx::String;

struct Entry {
  String name;
  std::string bytes;
};

// The bytes of a package holding the entries, as the build packs them.
std::string PackageBytes(const std::vector<Entry>& entries);
// A package holding the entries, read back through the real reader.
std::unique_ptr<dlx::TCustomSetupPackage> MakePackage(const std::vector<Entry>& entries);

// The answers of the test product information.
struct ProductState {
  bool canUpdate = false;
  bool portable = false;
  int installedVersion = 0;
  int loadCalls = 0;
  std::vector<TInstallerActionClass> actions;
};
ProductState& Product();

class TTestProductInfo : public TInstallerProductInfo {
 public:
  bool CanUpdate() override { return Product().canUpdate; }
  bool IsInstalledPortable() override { return Product().portable; }
  int GetInstalledVersion() override { return Product().installedVersion; }
  void LoadInstalledInfo() override { ++Product().loadCalls; }
  void EnumActions(const std::function<void(TInstallerActionClass)>& callback) override {
    for (auto actionClass : Product().actions) callback(actionClass);
  }
  void EnumPages(const std::function<void(TInstallerPageClass)>&) override {}
};

// What the recording actions did, in order ("run A", "cancel B", ...).
std::vector<std::string> Trace();
void TraceAdd(const std::string& line);

// A script with the product's identity, three components (one for every language, one German,
// one Russian), two post-install actions and licenses for EN and DE.
std::string DefaultScript();
std::string EnglishLng();
std::string GermanLng();
std::string RussianLng();

// Resets the product state and the trace; registers TTestProductInfo.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new installer over setup material (script and languages) and a product package.
  std::unique_ptr<TInstaller> Create(const String& args, std::vector<Entry> setup = {},
                                     std::vector<Entry> product = {});
  static std::vector<Entry> DefaultSetup();
};

// ---- definitions

inline std::mutex gTraceLock;
inline std::vector<std::string> gTrace;

inline std::string PackageBytes(const std::vector<Entry>& entries) {
  dlx::TSetupPackageBuilder builder(dlx::SetupPackageKey);
  for (const auto& entry : entries) {
    dlx::TDLXMemoryStream data(entry.bytes.data(), entry.bytes.size());
    data.SetPosition(0);
    builder.Add(data, entry.name);
  }
  dlx::TDLXMemoryStream package;
  builder.Commit(package, 1);
  return std::string(reinterpret_cast<const char*>(package.Memory()), package.Size());
}

inline std::unique_ptr<dlx::TCustomSetupPackage> MakePackage(const std::vector<Entry>& entries) {
  const std::string bytes = PackageBytes(entries);
  dlx::TDLXMemoryStream package(bytes.data(), bytes.size());
  package.SetPosition(0);
  return std::make_unique<dlx::TSetupPackageReader>(package);
}

inline ProductState& Product() {
  static ProductState state;
  return state;
}

inline std::vector<std::string> Trace() {
  std::lock_guard<std::mutex> guard(gTraceLock);
  return gTrace;
}

inline void TraceAdd(const std::string& line) {
  std::lock_guard<std::mutex> guard(gTraceLock);
  gTrace.push_back(line);
}

inline std::string DefaultScript() {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<Install>
  <setup>
    <license>
      <File name="License_EN.rtf" lang-family="EN"/>
      <File name="License_DE.rtf" lang-family="DE"/>
    </license>
  </setup>
  <product>
    <Settings>
      <Item name="ProductName" value="ZUVA Test"/>
      <Item name="Publisher" value="ZUVA Team"/>
      <Item name="ProductVersion" value="5.03"/>
      <Item name="ProductVersionId" value="5030"/>
      <Item name="ProductVersionNo" value="5.0.3"/>
      <Item name="BuildDate" value="2026-11-30"/>
      <Item name="HomePage" value="https://zuva.example/"/>
    </Settings>
    <Components>
      <File name="$DEST\ZUVA.exe"/>
      <File name="$DEST\Lang\German.txt" lang-family="DE">de.txt</File>
      <File name="$DEST\Lang\Russian.txt" lang-family="RU">ru.txt</File>
    </Components>
    <Actions>
      <File name="$DEST\ZUVA.exe">RunProduct</File>
      <File name="$DEST\ReadMe.txt">ShowReadMe</File>
    </Actions>
  </product>
</Install>
)";
}

inline std::string EnglishLng() {
  return "[File]\r\nFamily=EN\r\nName=English\r\nLangId=1033\r\n"
         "[Common]\r\nE4=Installation was cancelled\r\nA4=Copying files...\r\n"
         "Dest=Installing into $DEST now\r\nOnlyEnglish=From English\r\n"
         "[Ready]\r\nHeader=Ready to install $NAME\r\nLine=Destination: $DEST\r\n";
}

inline std::string GermanLng() {
  return "[File]\r\nFamily=DE\r\nName=Deutsch\r\nLangId=1031\r\n"
         "[Common]\r\nE4=Installation abgebrochen\r\nA4=Dateien werden kopiert...\r\n";
}

inline std::string RussianLng() {
  return "\xEF\xBB\xBF[File]\r\nFamily=RU\r\nName="
         "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9\r\n"
         "LangId=1049\r\n[Common]\r\nE4=\xD0\x9E\xD1\x82\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB0\r\n";
}

inline std::vector<Entry> EngineTest::DefaultSetup() {
  return {{u"Install.xml", DefaultScript()},  {u"English.lng", EnglishLng()},
          {u"German.lng", GermanLng()},       {u"Russian.LNG", RussianLng()},
          {u"License_EN.rtf", "{\\rtf1 EN}"}, {u"License_DE.rtf", "{\\rtf1 DE}"},
          {u"header.png", "not a language"}};
}

inline void EngineTest::SetUp() {
  Product() = ProductState{};
  {
    std::lock_guard<std::mutex> guard(gTraceLock);
    gTrace.clear();
  }
  ProductInfoClass = &CreateProductInfo<TTestProductInfo>;
}

inline void EngineTest::TearDown() {
  EXPECT_EQ(Installer, nullptr) << "every test frees its installer";
}

inline std::unique_ptr<TInstaller> EngineTest::Create(const String& args, std::vector<Entry> setup,
                                                      std::vector<Entry> product) {
  if (setup.empty()) setup = DefaultSetup();
  return std::make_unique<TInstaller>(args, TInstallerPackages(MakePackage(setup), MakePackage(product)));
}

}  // namespace testenv
