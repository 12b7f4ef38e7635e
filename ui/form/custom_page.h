// The contract every wizard page fulfils towards the installer form: the questions the form's
// navigation asks (may the user leave backwards or forwards, does the page take part in this run,
// how much of its strip segment is filled) and the one call it makes (Prepare, just before the
// page is shown).
//
// How the form uses it: the form keeps its pages in a TInstallerPageList and lets a
// TInstallerNavigator decide which page is shown and what the buttons say; it asks Kind() and
// IsFullScreen() where it needs to know what sort of page it deals with (the Next caption, the page
// area). The class stays free of windows: the page base TInstallerPage (ui/page.h) adds the
// control of the skinned library beside it, and the form reaches that control by a cross cast.
#pragma once

#include <cstdint>
#include <memory>

#include "core/product_info.h"
#include "lib/dlx_string.h"

// What a page is to the navigation. The Next button leading to an install or uninstall page says
// so, and such a page starts the work when it is shown.
enum TInstallerPageKind : uint8_t {
  pkPage = 0,
  pkInstall = 1,
  pkUninstall = 2,
};

class TInstallerCustomPage {
 public:
  virtual ~TInstallerCustomPage() = default;
  TInstallerCustomPage(const TInstallerCustomPage&) = delete;
  TInstallerCustomPage& operator=(const TInstallerCustomPage&) = delete;

  // The share (0..100) of this page's segment of the progress strip that is filled.
  virtual int GetProgress() const { return 0; }
  // Whether the user may leave this page backwards, and forwards.
  virtual bool CanGoBack() const { return true; }
  virtual bool CanGoNext() const { return true; }
  // Whether the page takes part in this run; navigation skips it when false.
  virtual bool IsAvailable() const { return true; }
  // Called every time the page becomes the active page, just before it is shown.
  virtual void Prepare() {}

  // The full-screen pages (welcome, finish) cover the header and the progress strip.
  virtual bool IsFullScreen() const { return false; }
  virtual TInstallerPageKind Kind() const { return pkPage; }

  // The class name without its leading "TInstaller" ("PageSetup"): the page's component name and
  // its section in the language files.
  const dlx::String& Name() const { return name_; }

  // Tells the form (through the installer object's event iePageStateChanged) that what CanGoNext
  // or the Next caption would answer has changed. Does nothing without an installer object.
  void NotifyStateChanged();

 protected:
  // Every page class passes its own class name, as u"TInstallerPageSetup".
  explicit TInstallerCustomPage(const char16_t* className);

 private:
  dlx::String name_;
};

// The component name of a page class: its name from the eleventh character on, so without the
// leading "TInstaller" of every page class; a shorter name gives an empty text.
dlx::String PageNameFromClassName(dlx::StringView className);

// The class reference of a page class, for EnumPages and the form's own pages.
template <typename T>
std::unique_ptr<TInstallerCustomPage> CreatePage() {
  return std::make_unique<T>();
}
