// The add-ons installer: its parameters for the three choices, and the private folder it is
// saved into before it is started.
#include "product/addons_action.h"

// clang-format off
#include <windows.h>
// clang-format on

#include "core/file_utils.h"
#include "core/resources.h"
#include "lib/platform/text.h"
#include "tests/product/product_test_env.h"

using namespace productenv;

namespace {

const char kAddonsList[] =
    "P4=ZUVAAddons.exe\r\nP1=/NOASSOC\r\nP2=/VIEWER\r\nP3=/SHORTCUTS\r\nCL=/LANG=RU %s\r\n";

class AddonsTest : public ProductTest {
 protected:
  void MakeWith(const std::string& list, int viewer, int extensions, int shortcuts) {
    Make(u"", {}, {}, {{u"addons.ini", list}, {u"ZUVAAddons.exe", "not a program"}});
    dlx::TDLXIniFile& settings = installer_->Settings();
    if (viewer >= 0) settings.WriteBool(u"Common", u"AddonsViewer", viewer);
    if (extensions >= 0) settings.WriteBool(u"Common", u"AddonsExtensions", extensions);
    if (shortcuts >= 0) settings.WriteBool(u"Common", u"AddonsShortcuts", shortcuts);
  }
};

TEST_F(AddonsTest, ParametersAndSummaryFollowTheChoices) {
  struct Case {
    const char* list;
    int viewer, extensions, shortcuts;  // -1: not written (off)
    const char* parameters;
    const char* summary;
  };
  const Case cases[] = {
      {kAddonsList, 0, 1, 0, "/LANG=RU ", "Add-ons\r\n    Extensions\r\n"},
      {kAddonsList, 1, 0, 0, "/LANG=RU /NOASSOC /VIEWER ", "Add-ons\r\n    Viewer\r\n"},
      {kAddonsList, 1, 1, 1, "/LANG=RU /VIEWER /SHORTCUTS ",
       "Add-ons\r\n    Viewer\r\n    Extensions\r\n    Add-on shortcuts\r\n"},
      {kAddonsList, -1, -1, -1, "/LANG=RU /NOASSOC ", ""},
      {"P1=/A\r\nCL=/FIXED\r\n", 0, 0, 0, "/FIXED", ""},
  };
  for (const Case& c : cases) {
    MakeWith(c.list, c.viewer, c.extensions, c.shortcuts);
    dlx::TDLXStringList list;
    list.SetText(dlx::FromUtf8(c.list));
    TInstallerActionAddonsInstall action;
    EXPECT_EQ(dlx::ToUtf8(action.BuildParameters(list)), c.parameters);
    TInstallerSummaryBuilder builder;
    action.BuildSummary(builder);
    EXPECT_EQ(dlx::ToUtf8(builder.ToString()), c.summary);
    installer_.reset();
  }
}

TEST_F(AddonsTest, NothingChosenNothingSaved) {
  MakeWith(kAddonsList, 0, 0, 0);
  TInstallerActionAddonsInstall action;
  action.Execute();
  EXPECT_TRUE(action.InstallerPath().empty());
}

TEST_F(AddonsTest, TheInstallerIsSavedIntoANewPrivateFolderOfTheSystemTemporaryFolder) {
  MakeWith(kAddonsList, 1, 0, 0);
  TInstallerActionAddonsInstall first, second;
  first.Execute();
  second.Execute();
  const String path = first.InstallerPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(dlx::ExtractFileName(path), u"ZUVAAddons.exe");
  EXPECT_EQ(extractenv::ReadAll(path), "not a program");
  const String folder = dlx::ExtractFilePath(path);
  // Not below the user's temporary folder, whose parent the user controls.
  EXPECT_TRUE(
      dlx::SameText(dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(folder)), AdminTempFolder()));
  EXPECT_FALSE(dlx::SameText(AdminTempFolder(), dlx::GetTempPath()));
  EXPECT_NE(dlx::ExtractFilePath(second.InstallerPath()), folder) << "each run gets a folder of its own";
  for (const String& file : {path, second.InstallerPath()}) {
    dlx::DeleteFile(file);
    dlx::RemoveDirectory(dlx::ExtractFilePath(file));
  }
}

}  // namespace
