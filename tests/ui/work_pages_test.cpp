// The work page and the finish page inside the real form: showing the work page starts the run,
// the worker's status and progress reach the page, and the finish page reports how it ended and
// keeps the run-after-install choices in the settings.
#include <windows.h>
// After windows.h, which it needs.
#include <oleacc.h>

#include <fstream>
#include <iterator>

#include "core/errors.h"
#include "lib/file_system.h"
#include "tests/core/installer_fixture.h"
#include "ui/finish_pages.h"
#include "ui/installer_form.h"
#include "ui/work_pages.h"

using namespace testenv;
using dlx::String;

namespace {

class TReportingAction : public TInstallerAction {
 public:
  void Execute() override {
    ReportStatus(u"Copying the player");
    SetProgress(50);
  }
};

class TFailingAction : public TInstallerAction {
 public:
  void Execute() override { throw EInstallerInstallError(u"Disk is full"); }
};

std::string MaterialFile(const char* name) {
  std::ifstream file(std::string(ZUVA_SETUP_MATERIAL) + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Handles the queue (the worker's events arrive through it) until the condition holds.
bool PumpUntil(const std::function<bool()>& condition) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > 20000) return false;
    dlx::TDLXForm::ProcessMessages();
    Sleep(5);
  }
  return true;
}

// A page as a screen reader meets it: role, name and description of its client object.
std::string AccessiblePage(HWND window) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object))) ||
      !object)
    return "no accessible object";
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role{};
  BSTR name = nullptr, description = nullptr;
  object->get_accRole(self, &role);
  object->get_accName(self, &name);
  object->get_accDescription(self, &description);
  std::string facts = (role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_PROPERTYPAGE ? "page " : "other ") +
                      dlx::ToUtf8(dlx::FromW(name ? name : L"")) + " / " +
                      dlx::ToUtf8(dlx::FromW(description ? description : L""));
  SysFreeString(name);
  SysFreeString(description);
  object->Release();
  return facts;
}

class WorkPagesTest : public EngineTest {
 protected:
  std::unique_ptr<TInstaller> CreateInstaller() {
    auto setup = DefaultSetup();
    setup[1].bytes.insert(setup[1].bytes.find("[Common]\r\n") + 10, "bFinish=Done\r\n");
    setup[1].bytes +=
        "[PageFinish]\r\nL1=Ready\r\nE1=Failed\r\nE2=Because:\r\nRunProduct=Start the product\r\n"
        "[PageInstall]\r\nTitle=Installing\r\nDescription=Please wait.\r\n";
    std::erase_if(setup, [](const Entry& entry) { return entry.name == u"header.png"; });
    for (const char* name : {"header.png", "header_dark.png", "wizard_light.png", "wizard_dark.png"})
      setup.push_back({dlx::FromUtf8(name), MaterialFile(name)});
    auto installer = Create(u"", setup);
    installer->Resources().InitializeLanguages(0x0409);
    installer->SetDestPath(dlx::GetTempPath() + u"zuva-work-pages");
    return installer;
  }
};

TEST_F(WorkPagesTest, TheWorkPageRunsTheWorkAndTheFinishPageReportsIt) {
  struct Case {
    const char* name;
    std::vector<TInstallerActionClass> actions;
    bool fails;
  };
  const Case cases[] = {
      {"success", {&CreateAction<TReportingAction>}, false},
      {"failure", {&CreateAction<TReportingAction>, &CreateAction<TFailingAction>}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Product().actions = c.actions;
    auto installer = CreateInstaller();
    {
      auto form = dlx::TDLXForm::Create<TInstallerForm>(TInstallerFormPages{}, [](TInstallerPageList& pages) {
        pages.AddPage(&CreateInstallerPage<TInstallerPageInstall>);
        pages.AddPage(&CreateInstallerPage<TInstallerPageFinish>);
      });
      auto* work = dynamic_cast<TInstallerPageInstall*>(form->Pages().Items(0));
      auto* finish = dynamic_cast<TInstallerPageFinish*>(form->Pages().Items(1));
      ASSERT_TRUE(work && finish);
      EXPECT_EQ(installer->State(), isRunning) << "showing the work page starts the run";
      EXPECT_FALSE(form->BackButton().Visible());
      // The header is painted: the page is where a screen reader finds its texts.
      EXPECT_EQ(AccessiblePage(work->Handle()), "page Installing / Please wait.");
      ASSERT_TRUE(PumpUntil([&] { return form->Navigator().ActivePage() == finish; }))
          << "the end of the work does not lead to the finish page";

      EXPECT_TRUE(work->CanGoNext());
      EXPECT_EQ(work->StatusText(), u"Copying the player");
      // Two actions, the second failing at its start: half the work was done.
      EXPECT_EQ(work->GetProgress(), c.fails ? 50 : 100) << "the strip does not follow the overall progress";
      EXPECT_EQ(form->NextButton().Caption(), u"Done");
      EXPECT_EQ(finish->ShowsErrors(), c.fails);
      ASSERT_EQ(finish->RunBoxes().size(), 2u);
      dlx::TDLXCheckBox& runProduct = *finish->RunBoxes()[0];
      EXPECT_EQ(runProduct.Visible(), !c.fails) << "nothing new may be chosen after errors";
      if (c.fails) {
        EXPECT_NE(finish->ErrorReport().find(u"Disk is full"), String::npos);
        EXPECT_TRUE(installer->PostInstallCommands().empty());
      } else {
        EXPECT_EQ(runProduct.Caption(), u"Start the product");
        EXPECT_TRUE(installer->Settings().ReadBool(u"Actions", u"$DEST\\ReadMe.txt", false))
            << "the choices are stored as soon as the page is shown";
        SendMessageW(runProduct.Handle(), BM_CLICK, 0, 0);
        EXPECT_FALSE(runProduct.Checked());
        EXPECT_FALSE(installer->Settings().ReadBool(u"Actions", u"$DEST\\ZUVA.exe", true))
            << "an unchecked program is still started";
        ASSERT_EQ(installer->PostInstallCommands().size(), 1u);
        EXPECT_NE(installer->PostInstallCommands()[0].find(u"ReadMe.txt"), String::npos);
      }
    }
    installer->FreeThread();
    installer.reset();
  }
}

}  // namespace
