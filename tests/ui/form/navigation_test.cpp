// The wizard's navigation walked through every kind of run with pages that behave as the real
// ones will, and the close question with events arriving while it is open.
#include "ui/form/navigation.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum PageId {
  Welcome,
  License,
  Setup,
  Addons,
  Integration,
  Ready,
  Install,
  Finish,
  UninstallParams,
  Uninstall,
  UninstallFinish
};
const char16_t* const ClassNames[] = {
    u"TInstallerPageWelcome",   u"TInstallerPageLicense",        u"TInstallerPageSetup",
    u"TInstallerPageAddons",    u"TInstallerPageIntegration",    u"TInstallerPageReadyToInstall",
    u"TInstallerPageInstall",   u"TInstallerPageFinish",         u"TInstallerPageUninstallParams",
    u"TInstallerPageUninstall", u"TInstallerPageUninstallFinish"};

// What the test run looks like to the pages and to the navigation.
struct World {
  TInstallerRunFacts run;
  bool addonsOffered = true, licenseAccepted = true, workFinished = false, lastPageStops = false;
  bool unavailable[11] = {};
  PageId throwsInPrepare = PageId(-1);
  std::vector<std::string> trace;
} world;

std::string Utf8(const dlx::String& text) {
  return std::string(text.begin(), text.end());
}

class TTestPage : public TInstallerCustomPage {
 public:
  explicit TTestPage(PageId id) : TInstallerCustomPage(ClassNames[id]), id_(id) {}
  bool CanGoBack() const override {
    return id_ != License && id_ != Install && id_ != Uninstall && id_ != Finish && id_ != UninstallFinish;
  }
  bool CanGoNext() const override {
    if (id_ == License) return world.licenseAccepted;
    if (id_ == Install || id_ == Uninstall) return world.workFinished;
    return !(world.lastPageStops && (id_ == Finish || id_ == UninstallFinish));
  }
  bool IsAvailable() const override {
    if (id_ == Integration &&
        (world.run.Options.Contains(ioUpdate) || world.run.Options.Contains(ioPortable)))
      return false;
    return !world.unavailable[id_];
  }
  void Prepare() override {
    world.trace.push_back("prepare " + Utf8(Name()));
    if (id_ == world.throwsInPrepare) throw std::runtime_error("DestPath is empty");
    if (Kind() != pkPage) world.run.State = isRunning;
  }
  bool IsFullScreen() const override { return id_ == Welcome || id_ == Finish || id_ == UninstallFinish; }
  TInstallerPageKind Kind() const override {
    return id_ == Install ? pkInstall : id_ == Uninstall ? pkUninstall : pkPage;
  }
  PageId Id() const { return id_; }

 private:
  PageId id_;
};

template <PageId Id>
std::unique_ptr<TInstallerCustomPage> Make() {
  return std::make_unique<TTestPage>(Id);
}

class TTestProduct : public TInstallerProductInfo {
 public:
  int enumPagesCalls = 0;
  bool CanUpdate() override { return false; }
  bool IsInstalledPortable() override { return false; }
  int GetInstalledVersion() override { return 0; }
  void LoadInstalledInfo() override {}
  void EnumActions(const std::function<void(TInstallerActionClass)>&) override {}
  void EnumPages(const std::function<void(TInstallerPageClass)>& callback) override {
    ++enumPagesCalls;
    if (world.run.Mode == imUninstall) return callback(&Make<UninstallParams>);
    for (auto page : {&Make<Welcome>, &Make<License>, &Make<Setup>}) callback(page);
    if (world.addonsOffered) callback(&Make<Addons>);
    callback(nullptr);  // names no class: ignored
    for (auto page : {&Make<Integration>, &Make<Ready>}) callback(page);
  }
};

class TTestHost : public IInstallerPageHost {
 public:
  bool answerOk = false;
  std::function<void()> whileAsking;
  TInstallerButtonState buttons;
  bool closed = false;
  TInstallerRunFacts RunFacts() override { return world.run; }
  void HidePage(TInstallerCustomPage& page) override { world.trace.push_back("hide " + Utf8(page.Name())); }
  void PlacePage(TInstallerCustomPage&) override {}
  void ShowPage(TInstallerCustomPage& page) override { world.trace.push_back("show " + Utf8(page.Name())); }
  void ApplyButtons(const TInstallerButtonState& state) override { buttons = state; }
  void PageChanged() override {}
  void Repaint() override { world.trace.push_back("repaint"); }
  void CloseForm() override { closed = true; }
  bool ConfirmClose() override {
    world.trace.push_back("ask");
    if (whileAsking) whileAsking();
    return answerOk;
  }
  void StopWork() override { world.trace.push_back("stop"); }
};

// One wizard over the test world: its pages, the form's side and the navigation.
struct Wizard {
  TTestProduct product;
  TInstallerPageList pages;
  TTestHost host;
  TInstallerNavigator navigator{pages, host};

  Wizard(TInstallerMode mode, TInstallerOptions options) {
    world.run.Mode = mode;
    world.run.Options = options;
    CreateInstallerPages(pages, product, world.run,
                         {&Make<Install>, &Make<Finish>, &Make<Uninstall>, &Make<UninstallFinish>});
    navigator.ShowFirstPage();
  }
  std::string Active() { return navigator.ActivePage() ? Utf8(navigator.ActivePage()->Name()) : "none"; }
  // The worker ends: the work page learns it first, then the form.
  void FinishWork(bool errors) {
    world.workFinished = true;
    world.run.State = isFinished;
    world.run.HasErrors = errors;
    navigator.Notify(ieFinished, 0);
  }
  // Clicks Next (or lets the work finish) until the form closes; one line per page shown: its
  // name, "back" when Back is shown, the Next caption key, "noclose" when Close is disabled.
  std::vector<std::string> Walk(bool errors) {
    std::vector<std::string> steps;
    for (int guard = 0; guard < 20 && !host.closed; ++guard) {
      const TInstallerButtonState state = navigator.ButtonState();
      EXPECT_EQ(host.buttons, state) << "the form shows what the navigation decided";
      steps.push_back(Active() + (state.BackVisible ? " back " : " ") + Utf8(state.NextCaptionKey) +
                      (state.CloseEnabled ? "" : " noclose"));
      if (navigator.ActivePage()->Kind() != pkPage) {
        EXPECT_FALSE(state.NextEnabled) << "Next while the work runs";
        FinishWork(errors);
      } else {
        EXPECT_TRUE(state.NextEnabled) << steps.back();
        navigator.NextClick();
      }
    }
    EXPECT_TRUE(host.closed);
    return steps;
  }
};

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override { world = World(); }
};

using Steps = std::vector<std::string>;

TEST_F(NavigationTest, EveryKindOfRunShowsItsPagesWithTheirButtons) {
  struct Case {
    const char* name;
    TInstallerMode mode;
    TInstallerOptions options;
    bool addons, errors, suppressed;
    Steps steps;
  };
  const std::string head = "PageWelcome bNext|PageLicense bNext|PageSetup back bNext|";
  const std::string tail = "PageReadyToInstall back bInstall|PageInstall bNext|PageFinish bFinish noclose";
  auto split = [](const std::string& text) {
    Steps steps;
    for (size_t from = 0, bar; from <= text.size(); from = bar + 1) {
      bar = text.find('|', from);
      if (bar == std::string::npos) bar = text.size();
      steps.push_back(text.substr(from, bar - from));
    }
    return steps;
  };
  const Case cases[] = {
      {"install",
       imInstall,
       {},
       true,
       false,
       false,
       split(head + "PageAddons back bNext|PageIntegration back bNext|" + tail)},
      {"install without add-ons",
       imInstall,
       {},
       false,
       false,
       false,
       split(head + "PageIntegration back bNext|" + tail)},
      {"update", imInstall, {ioUpdate}, true, false, false, split(head + "PageAddons back bNext|" + tail)},
      {"portable", imInstall, {ioPortable}, false, false, false, split(head + tail)},
      {"failing install",
       imInstall,
       {},
       false,
       true,
       false,
       split(head + "PageIntegration back bNext|" + tail)},
      {"auto", imInstall, {ioAuto}, true, false, false, {"PageInstall bNext"}},
      {"auto failing",
       imInstall,
       {ioAuto},
       true,
       true,
       false,
       {"PageInstall bNext", "PageFinish bFinish noclose"}},
      {"auto failing, no boxes", imInstall, {ioAuto}, true, true, true, {"PageInstall bNext"}},
      {"auto update", imInstall, {ioAuto, ioUpdate}, true, false, false, {"PageInstall bNext"}},
      {"uninstall",
       imUninstall,
       {},
       true,
       false,
       false,
       {"PageUninstallParams bUninstall", "PageUninstall bNext", "PageUninstallFinish bFinish noclose"}},
      {"uninstall auto", imUninstall, {ioAuto}, true, false, false, {"PageUninstall bNext"}},
      {"uninstall auto failing",
       imUninstall,
       {ioAuto},
       true,
       true,
       false,
       {"PageUninstall bNext", "PageUninstallFinish bFinish noclose"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world = World();
    world.addonsOffered = c.addons;
    world.run.MessageBoxesSuppressed = c.suppressed;
    Wizard wizard(c.mode, c.options);
    EXPECT_EQ(wizard.product.enumPagesCalls, c.options.Contains(ioAuto) ? 0 : 1);
    EXPECT_EQ(wizard.Walk(c.errors), c.steps);
    // Every page was prepared right before it was shown, once per visit.
    for (size_t i = 0; i + 1 < world.trace.size(); ++i)
      if (world.trace[i].rfind("prepare ", 0) == 0) {
        EXPECT_EQ(world.trace[i + 1], "show " + world.trace[i].substr(8));
      }
  }
}

TEST_F(NavigationTest, BackAndNextSkipPagesThatTakeNoPartAndTheLastStepAlwaysFinishes) {
  world.run.Options = {ioUpdate};
  world.unavailable[Addons] = true;
  world.licenseAccepted = false;
  Wizard wizard(imInstall, {ioUpdate});
  wizard.navigator.NextClick();
  EXPECT_EQ(wizard.Active(), "PageLicense");
  EXPECT_FALSE(wizard.host.buttons.NextEnabled);
  wizard.navigator.NextClick();  // not accepted: stays
  EXPECT_EQ(wizard.Active(), "PageLicense");
  world.licenseAccepted = true;  // the box is checked and the page says so
  wizard.navigator.Notify(iePageStateChanged, 0);
  EXPECT_TRUE(wizard.host.buttons.NextEnabled);
  wizard.navigator.NextClick();
  wizard.navigator.NextClick();
  EXPECT_EQ(wizard.Active(), "PageReadyToInstall");  // add-ons and integration skipped
  wizard.navigator.BackClick();
  EXPECT_EQ(wizard.Active(), "PageSetup");
  wizard.navigator.BackClick();  // Setup may return to the license, which lets nobody go back further
  EXPECT_EQ(wizard.Active(), "PageLicense");
  EXPECT_FALSE(wizard.host.buttons.BackVisible);
  wizard.navigator.BackClick();
  EXPECT_EQ(wizard.Active(), "PageLicense");

  // A finish page that says no to Next and pages after the active one that take no part: Next
  // still reads Finish, is enabled and closes the form.
  world = World();
  world.lastPageStops = true;
  world.unavailable[Finish] = true;
  Wizard stops(imInstall, {ioAuto});
  stops.FinishWork(true);
  EXPECT_EQ(stops.Active(), "PageInstall");
  EXPECT_EQ(stops.host.buttons.NextCaptionKey, u"bFinish");
  EXPECT_TRUE(stops.host.buttons.NextEnabled);
  EXPECT_FALSE(stops.host.buttons.CloseEnabled);
  stops.navigator.NextClick();
  EXPECT_TRUE(stops.host.closed);

  // The first page taking no part: the wizard opens on the next one.
  world = World();
  world.unavailable[Welcome] = true;
  Wizard opens(imInstall, {});
  EXPECT_EQ(opens.Active(), "PageLicense");
}

TEST_F(NavigationTest, APageThatFailsToPrepareLeavesTheWizardOnThePageBefore) {
  world.throwsInPrepare = Install;
  Wizard wizard(imInstall, {});
  for (int i = 0; i < 5; ++i) wizard.navigator.NextClick();
  ASSERT_EQ(wizard.Active(), "PageReadyToInstall");
  world.trace.clear();
  EXPECT_THROW(wizard.navigator.NextClick(), std::runtime_error);
  EXPECT_EQ(wizard.Active(), "PageReadyToInstall");
  EXPECT_EQ(world.trace, (Steps{"hide PageReadyToInstall", "prepare PageInstall", "hide PageInstall",
                                "show PageReadyToInstall"}));
  EXPECT_EQ(wizard.host.buttons, wizard.navigator.ButtonState());
  EXPECT_TRUE(wizard.host.buttons.BackVisible);
  EXPECT_EQ(wizard.host.buttons.NextCaptionKey, u"bInstall");
}

TEST_F(NavigationTest, ClosingAsksWhileWorkIsPendingAndTheAnswerComesFirst) {
  struct Case {
    const char* name;
    TInstallerState state;
    bool answerOk, finishesWhileAsking;
    bool allowed;
    std::string after;  // the trace after the close request, and the page then shown
  };
  const Case cases[] = {
      {"option page, Cancel", isIdle, false, false, false, "ask|PageSetup"},
      {"option page, OK", isIdle, true, false, true, "ask|stop|PageSetup"},
      {"installing, OK", isRunning, true, false, true, "ask|stop|PageInstall"},
      {"installing, Cancel", isRunning, false, false, false, "ask|PageInstall"},
      {"finished", isFinished, false, false, true, "PageInstall"},
      {"finishes while asked, Cancel", isRunning, false, true, false,
       "ask|hide PageInstall|prepare PageFinish|show PageFinish|PageFinish"},
      {"finishes while asked, OK", isRunning, true, true, true, "ask|stop|PageInstall"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world = World();
    Wizard wizard(imInstall, {});
    const int clicks = c.state == isIdle ? 2 : 6;
    for (int i = 0; i < clicks; ++i) wizard.navigator.NextClick();
    world.run.State = c.state;
    wizard.host.answerOk = c.answerOk;
    if (c.finishesWhileAsking) {
      wizard.host.whileAsking = [&] {
        wizard.FinishWork(false);
        EXPECT_EQ(wizard.Active(), "PageInstall") << "no page change under the question";
        EXPECT_FALSE(wizard.navigator.CloseQuery()) << "a second close request while asking";
      };
    }
    world.trace.clear();
    EXPECT_EQ(wizard.navigator.CloseQuery(), c.allowed);
    std::string after;
    for (const std::string& line : world.trace) after += line + "|";
    EXPECT_EQ(after + wizard.Active(), c.after);
    // Once closing is confirmed, the worker's last event moves nothing.
    if (c.allowed && c.state != isFinished) {
      wizard.FinishWork(true);
      EXPECT_FALSE(wizard.host.closed);
      EXPECT_EQ(wizard.Active(), c.state == isIdle ? "PageSetup" : "PageInstall");
    }
  }
}

TEST_F(NavigationTest, PagesAreNamedAfterTheirClassAndRepaintsReachTheForm) {
  EXPECT_EQ(PageNameFromClassName(u"TInstallerPageSetup"), u"PageSetup");
  EXPECT_EQ(PageNameFromClassName(u"TInstaller"), u"");
  EXPECT_EQ(PageNameFromClassName(u"TPage"), u"");
  Wizard wizard(imUninstall, {});
  world.trace.clear();
  wizard.navigator.Notify(ieRepaint, 0);
  wizard.navigator.Notify(ieProgress, 0x00320019);
  EXPECT_EQ(world.trace, Steps{"repaint"});
  TInstallerPageList list;
  EXPECT_EQ(list.AddPage(nullptr), nullptr);
  EXPECT_EQ(list.NextAvailable(nullptr), nullptr);
  EXPECT_FALSE(list.CanGoNextFrom(nullptr));
}

}  // namespace
