// The wizard's navigation walked through every kind of run with pages that behave as the real
// ones will, a page failing to prepare, and the close question with events arriving under it.
#include "ui/form/navigation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// clang-format off
enum PageId { Welcome, License, Setup, Addons, Integration, Ready, Install, Finish, Params, Uninstall, UFinish };
// clang-format on
const char16_t* const ClassNames[] = {
    u"TInstallerPageWelcome",   u"TInstallerPageLicense",     u"TInstallerPageSetup",
    u"TInstallerPageAddons",    u"TInstallerPageIntegration", u"TInstallerPageReady",
    u"TInstallerPageInstall",   u"TInstallerPageFinish",      u"TInstallerPageParams",
    u"TInstallerPageUninstall", u"TInstallerPageUFinish"};

struct World {
  TInstallerRunFacts run;
  bool addons = true, licenseAccepted = true, workFinished = false, finishStops = false;
  bool unavailable[11] = {};
  int throwsInPrepare = -1;
  std::string trace;  // "verb Page|" per call of the form's side and of Prepare
} world;

std::string Utf8(const dlx::String& text) {
  return std::string(text.begin(), text.end());
}

// The real pages' answers (license: accept box; work pages: finished flag; integration: not for
// updates and portable copies; finish pages: no way back).
class TTestPage : public TInstallerCustomPage {
 public:
  explicit TTestPage(PageId id) : TInstallerCustomPage(ClassNames[id]), id_(id) {}
  bool CanGoBack() const override {
    return id_ != License && id_ != Finish && id_ != UFinish && Kind() == pkPage;
  }
  bool CanGoNext() const override {
    if (id_ == License) return world.licenseAccepted;
    return Kind() == pkPage ? !(world.finishStops && id_ == Finish) : world.workFinished;
  }
  bool IsAvailable() const override {
    const bool integrationOff =
        world.run.Options.Contains(ioUpdate) || world.run.Options.Contains(ioPortable);
    return !world.unavailable[id_] && !(id_ == Integration && integrationOff);
  }
  void Prepare() override {
    world.trace += "prepare " + Utf8(Name()) + "|";
    if (id_ == world.throwsInPrepare) throw std::runtime_error("DestPath is empty");
    if (Kind() != pkPage) world.run.State = isRunning;
  }
  TInstallerPageKind Kind() const override {
    return id_ == Install ? pkInstall : id_ == Uninstall ? pkUninstall : pkPage;
  }

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
    if (world.run.Mode == imUninstall) return callback(&Make<Params>);
    for (auto page : {&Make<Welcome>, &Make<License>, &Make<Setup>}) callback(page);
    callback(world.addons ? &Make<Addons> : nullptr);  // a missing class adds nothing
    for (auto page : {&Make<Integration>, &Make<Ready>}) callback(page);
  }
};

// The form's side, recording, with the close question's answer.
struct Wizard : IInstallerPageHost {
  TTestProduct product;
  TInstallerPageList pages;
  TInstallerNavigator navigator{pages, *this};
  TInstallerButtonState buttons;
  bool closed = false, answerOk = false;
  std::function<void()> whileAsking;

  Wizard(TInstallerMode mode, TInstallerOptions options) {
    world.run.Mode = mode;
    world.run.Options = options;
    CreateInstallerPages(pages, product, world.run,
                         {&Make<Install>, &Make<Finish>, &Make<Uninstall>, &Make<UFinish>});
    navigator.ShowFirstPage();
  }
  TInstallerRunFacts RunFacts() override { return world.run; }
  void HidePage(TInstallerCustomPage& page) override { world.trace += "hide " + Utf8(page.Name()) + "|"; }
  void PlacePage(TInstallerCustomPage&) override {}
  void ShowPage(TInstallerCustomPage& page) override { world.trace += "show " + Utf8(page.Name()) + "|"; }
  void ApplyButtons(const TInstallerButtonState& state) override { buttons = state; }
  void PageChanged() override {}
  void Repaint() override { world.trace += "repaint|"; }
  void CloseForm() override { closed = true; }
  bool ConfirmClose() override {
    world.trace += "ask|";
    if (whileAsking) whileAsking();
    return answerOk;
  }
  void StopWork() override { world.trace += "stop|"; }

  std::string Active() { return navigator.ActivePage() ? Utf8(navigator.ActivePage()->Name()) : "none"; }
  // The worker ends: the work page learns it first, then the form.
  void FinishWork(bool errors) {
    world.workFinished = true;
    world.run.State = isFinished;
    world.run.HasErrors = errors;
    navigator.Notify(ieFinished, 0);
  }
  // Next (or the work's end) until the form closes; per page: its name, "<" when Back is shown,
  // the Next caption key, "x" when Close is disabled.
  std::string Walk(bool errors) {
    std::string steps;
    for (int guard = 0; guard < 20 && !closed; ++guard) {
      EXPECT_EQ(buttons, navigator.ButtonState()) << "the form shows what the navigation decided";
      steps += Active() + (buttons.BackVisible ? " < " : " ") + Utf8(buttons.NextCaptionKey) +
               (buttons.CloseEnabled ? "|" : " x|");
      const bool working = navigator.ActivePage()->Kind() != pkPage;
      EXPECT_EQ(buttons.NextEnabled, !working) << steps;
      working ? FinishWork(errors) : navigator.NextClick();
    }
    EXPECT_TRUE(closed);
    return steps;
  }
};

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override { world = World(); }
};

TEST_F(NavigationTest, EveryKindOfRunShowsItsPagesWithTheirButtons) {
  struct Case {
    const char* name;
    TInstallerMode mode;
    TInstallerOptions options;
    bool addons, errors, suppressed;
    std::string steps;
  };
  const std::string head = "PageWelcome bNext|PageLicense bNext|PageSetup < bNext|";
  const std::string tail = "PageReady < bInstall|PageInstall bNext|PageFinish bFinish x|";
  const std::string integration = "PageIntegration < bNext|";
  // clang-format off
  const Case cases[] = {
      {"install", imInstall, {}, true, false, false, head + "PageAddons < bNext|" + integration + tail},
      {"no add-ons", imInstall, {}, false, false, false, head + integration + tail},
      {"update", imInstall, {ioUpdate}, true, false, false, head + "PageAddons < bNext|" + tail},
      {"portable", imInstall, {ioPortable}, false, false, false, head + tail},
      {"failing", imInstall, {}, false, true, true, head + integration + tail},
      {"auto", imInstall, {ioAuto, ioUpdate}, true, false, false, "PageInstall bNext|"},
      {"auto failing", imInstall, {ioAuto}, true, true, false, "PageInstall bNext|PageFinish bFinish x|"},
      {"auto failing, no boxes", imInstall, {ioAuto}, true, true, true, "PageInstall bNext|"},
      {"uninstall", imUninstall, {}, true, false, false, "PageParams bUninstall|PageUninstall bNext|PageUFinish bFinish x|"},
      {"uninstall auto", imUninstall, {ioAuto}, true, false, false, "PageUninstall bNext|"},
      {"uninstall auto failing", imUninstall, {ioAuto}, true, true, false, "PageUninstall bNext|PageUFinish bFinish x|"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world = World();
    world.addons = c.addons;
    world.run.MessageBoxesSuppressed = c.suppressed;
    Wizard wizard(c.mode, c.options);
    EXPECT_EQ(wizard.product.enumPagesCalls, c.options.Contains(ioAuto) ? 0 : 1);
    EXPECT_EQ(wizard.Walk(c.errors), c.steps);
  }
}

TEST_F(NavigationTest, BackAndNextSkipPagesThatTakeNoPartAndTheLastStepAlwaysFinishes) {
  world.licenseAccepted = false;
  Wizard wizard(imInstall, {ioUpdate});
  wizard.navigator.NextClick();
  wizard.navigator.NextClick();  // not accepted: stays
  EXPECT_EQ(wizard.Active() + (wizard.buttons.NextEnabled ? " on" : " off"), "PageLicense off");
  world.licenseAccepted = true;  // the box is checked and the page says so
  wizard.navigator.Notify(iePageStateChanged, 0);
  EXPECT_TRUE(wizard.buttons.NextEnabled);
  for (int i = 0; i < 3; ++i) wizard.navigator.NextClick();
  EXPECT_EQ(wizard.Active(), "PageReady");  // integration skipped
  for (auto expected : {"PageAddons", "PageSetup", "PageLicense", "PageLicense"}) {
    wizard.navigator.BackClick();
    EXPECT_EQ(wizard.Active(), expected);
  }
  EXPECT_FALSE(wizard.buttons.BackVisible);

  // A finish page that refuses Next, or no page after the active one taking part: Next reads
  // Finish, is enabled and closes the form.
  for (int unavailable : {-1, int(Finish)}) {
    world = World();
    world.finishStops = true;
    if (unavailable >= 0) world.unavailable[unavailable] = true;
    Wizard stops(imInstall, {ioAuto});
    stops.FinishWork(true);
    EXPECT_EQ(stops.Active(), unavailable >= 0 ? "PageInstall" : "PageFinish");
    EXPECT_EQ(stops.buttons, (TInstallerButtonState{false, true, u"bFinish", false}));
    stops.navigator.NextClick();
    EXPECT_TRUE(stops.closed);
  }

  world = World();
  world.unavailable[Welcome] = true;
  EXPECT_EQ(Wizard(imInstall, {}).Active(), "PageLicense");  // the first page taking part opens
}

TEST_F(NavigationTest, APageThatFailsToPrepareLeavesTheWizardOnThePageBefore) {
  world.throwsInPrepare = Install;
  Wizard wizard(imInstall, {});
  for (int i = 0; i < 5; ++i) wizard.navigator.NextClick();
  world.trace.clear();
  EXPECT_THROW(wizard.navigator.NextClick(), std::runtime_error);
  EXPECT_EQ(world.trace, "hide PageReady|prepare PageInstall|hide PageInstall|show PageReady|");
  EXPECT_EQ(wizard.Active(), "PageReady");
  EXPECT_EQ(wizard.buttons, (TInstallerButtonState{true, true, u"bInstall", true}));
}

TEST_F(NavigationTest, ClosingAsksWhileWorkIsPendingAndTheAnswerComesFirst) {
  struct Case {
    const char* name;
    TInstallerState state;
    bool answerOk, finishesWhileAsking, allowed;
    std::string after;        // the trace of the close request, then the page shown
    bool suppressed = false;  // message boxes: nobody reads a finish page
  };
  const Case cases[] = {
      {"option page, Cancel", isIdle, false, false, false, "ask|PageSetup"},
      {"option page, OK", isIdle, true, false, true, "ask|PageSetup"},
      {"installing, Cancel", isRunning, false, false, false, "ask|PageInstall"},
      {"installing, OK", isRunning, true, false, false, "ask|stop|PageInstall"},
      {"installing, OK, no message boxes", isRunning, true, false, false, "ask|stop|PageInstall", true},
      {"finished", isFinished, false, false, true, "PageInstall"},
      {"finishes under the question, Cancel", isRunning, false, true, false,
       "ask|hide PageInstall|prepare PageFinish|show PageFinish|PageFinish"},
      {"finishes under the question, OK", isRunning, true, true, true, "ask|PageInstall"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world = World();
    world.run.MessageBoxesSuppressed = c.suppressed;
    Wizard wizard(imInstall, {});
    for (int i = 0; i < (c.state == isIdle ? 2 : 6); ++i) wizard.navigator.NextClick();
    world.run.State = c.state;
    wizard.answerOk = c.answerOk;
    if (c.finishesWhileAsking) {
      wizard.whileAsking = [&] {
        wizard.FinishWork(false);
        EXPECT_FALSE(wizard.navigator.CloseQuery()) << "a second close request under the question";
      };
    }
    world.trace.clear();
    EXPECT_EQ(wizard.navigator.CloseQuery(), c.allowed);
    EXPECT_EQ(world.trace + wizard.Active(), c.after);
    if (c.state == isRunning && c.answerOk && !c.finishesWhileAsking) {
      EXPECT_FALSE(wizard.navigator.CloseQuery()) << "a second close request while the work stops";
      // The stopped work's last event leads to the finish page with what the rollback did, or,
      // without message boxes, closes the form.
      wizard.FinishWork(true);
      EXPECT_EQ(world.trace + wizard.Active(),
                c.suppressed ? "ask|stop|PageInstall"
                             : "ask|stop|hide PageInstall|prepare PageFinish|show PageFinish|PageFinish");
      EXPECT_EQ(wizard.closed, c.suppressed);
      EXPECT_TRUE(wizard.navigator.CloseQuery()) << "the close that follows is allowed";
    }
  }
}

}  // namespace
