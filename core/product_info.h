// What the engine knows about the product it installs, reached through one object whose class the
// product module registers before the program starts; and the builder of the summary text.
#pragma once

#include <functional>
#include <memory>

#include "lib/dlx_string.h"

class TInstallerAction;
class TInstallerCustomPage;
class TInstallerResources;
class TInstallerScript;

// Class references: a factory of a new instance with the parameterless constructor.
using TInstallerActionClass = std::unique_ptr<TInstallerAction> (*)();
using TInstallerPageClass = std::unique_ptr<TInstallerCustomPage> (*)();

// The abstract base of the product information. The identity questions are answered from the
// install script's settings, looked up again on every call; the rest is the product module's.
class TInstallerProductInfo {
 public:
  TInstallerProductInfo() = default;
  virtual ~TInstallerProductInfo() = default;
  TInstallerProductInfo(const TInstallerProductInfo&) = delete;
  TInstallerProductInfo& operator=(const TInstallerProductInfo&) = delete;

  virtual dlx::String GetDefaultPath();
  virtual dlx::String GetDefaultPortablePath();
  virtual dlx::String GetHomePage();
  // An installed copy at DestPath may be updated by this installer.
  virtual bool CanUpdate() = 0;
  virtual bool IsInstalledPortable() = 0;
  // Version number (major * 1000 + minor * 10 + sub-release) of the copy at DestPath, 0 for none.
  virtual int GetInstalledVersion() = 0;
  // "ProductName"; EInstallerGeneralError when the script has none.
  virtual dlx::String GetName();
  virtual dlx::String GetPublisher();
  virtual dlx::String GetVersion();
  virtual int GetVersionId();
  virtual dlx::String GetFullVersion();
  // Reads what the copy at DestPath needs for CanUpdate, IsInstalledPortable and
  // GetInstalledVersion (called whenever the destination changes).
  virtual void LoadInstalledInfo() = 0;
  // Calls the callback once per action class of the run, in run order.
  virtual void EnumActions(const std::function<void(TInstallerActionClass)>& callback) = 0;
  // Calls the callback once per option page class, in page order.
  virtual void EnumPages(const std::function<void(TInstallerPageClass)>& callback) = 0;

  // "4.51" for 4511: major, a dot, the minor part with two digits.
  dlx::String GetInstalledVersionText();
  dlx::String GetVersionNo();

 protected:
  TInstallerResources& Resources();
  TInstallerScript& Script();
};

using TInstallerProductInfoClass = std::unique_ptr<TInstallerProductInfo> (*)();

// Registered by the product module before the installer object is created.
extern TInstallerProductInfoClass ProductInfoClass;

template <typename T>
std::unique_ptr<TInstallerProductInfo> CreateProductInfo() {
  return std::make_unique<T>();
}

// Collects the summary that the ready page shows: groups of indented lines, each under a header
// that is written only when a line follows it.
class TInstallerSummaryBuilder {
 public:
  void SetHeader(const dlx::String& text) { PendingHeader = text; }
  void SetHeaderText(const dlx::String& section, const dlx::String& key);
  void AddLine(const dlx::String& text);
  void AddLineText(const dlx::String& section, const dlx::String& key);
  const dlx::String& ToString() const { return Builder; }

 private:
  dlx::String Builder;
  dlx::String PendingHeader;
};

// Lets every action of the run describe itself into one builder (each action is created, asked
// and freed at once) and returns the text.
dlx::String BuildInstallerSummary();
