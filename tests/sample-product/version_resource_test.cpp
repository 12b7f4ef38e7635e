// The built ZUVASetup.exe says in its version resource what its install script says, the way
// Explorer, inventory and reputation tools read it (GetFileVersionInfo, VerQueryValue).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/script/install_script.h"
#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "tests/sample-product/sample_paths.h"

#ifdef ZUVA_SETUP_EXE

namespace {

using dlx::String;

class VersionResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> bytes =
        sample::ReadBytes(sample::HostPath(ZUVA_SOURCE_DIR) + L"\\setup\\Install.xml");
    dlx::TDLXMemoryStream stream(bytes.data(), bytes.size());
    script_.LoadFromStream(stream);
    const std::wstring setup = sample::HostPath(ZUVA_SETUP_EXE);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(setup.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "the setup has no version resource";
    info_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(setup.c_str(), 0, size, info_.data()));
  }
  String Text(const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(info_.data(), path.c_str(), &value, &length) || !value) return u"(missing)";
    std::wstring text(static_cast<const wchar_t*>(value));
    return String(text.begin(), text.end());
  }

  TInstallerScript script_;
  std::vector<unsigned char> info_;
};

TEST_F(VersionResourceTest, TextsAreTheScriptsIdentity) {
  const String version = script_.GetValue(u"ProductVersionNo");
  const String year = script_.GetValue(u"BuildDate").substr(0, 4);
  const struct {
    const wchar_t* name;
    String expected;
  } texts[] = {
      {L"CompanyName", script_.GetValue(u"Publisher")},
      {L"ProductName", script_.GetValue(u"ProductName")},
      {L"FileDescription", u"ZUVA Setup"},
      {L"FileVersion", version},
      {L"ProductVersion", version},
      {L"OriginalFilename", u"ZUVASetup.exe"},
      {L"LegalCopyright", u"Copyright (C) " + year + u" " + script_.GetValue(u"Publisher")},
  };
  for (const auto& text : texts)
    EXPECT_EQ(dlx::ToUtf8(Text(text.name)), dlx::ToUtf8(text.expected)) << sample::Narrow(text.name);
}

TEST_F(VersionResourceTest, NumbersAreTheVersionAndBuildOfTheScript) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // "5.05.0.1207" is 5,5,0,1207: each part a number of its own.
  std::vector<DWORD> parts;
  const std::string version = dlx::ToUtf8(script_.GetValue(u"ProductVersionNo"));
  for (size_t at = 0; at <= version.size();) {
    const size_t dot = std::min(version.find('.', at), version.size());
    parts.push_back(static_cast<DWORD>(std::stoul(version.substr(at, dot - at))));
    at = dot + 1;
  }
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(fixed->dwFileVersionMS, parts[0] << 16 | parts[1]);
  EXPECT_EQ(fixed->dwFileVersionLS, parts[2] << 16 | parts[3]);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

}  // namespace

#endif
