// The wizard's first question: where the product goes, whether an installation found there is
// updated (and backed up first), and whether the new one is portable. Every choice acts on the
// installer object at once, so the pages after this one (the integration page, the summary)
// follow it while the user is still here.
#pragma once

#include <memory>
#include <vector>

#include "lib/ui/edit.h"
#include "ui/page.h"

class TInstallerPageSetup : public TInstallerPage {
 public:
  TInstallerPageSetup() : TInstallerPage(u"TInstallerPageSetup") {}

  // A destination is needed.
  bool CanGoNext() const override;
  void Prepare() override;
  void Localize() override;

  // The destination for a folder chosen in the folder picker: the folder itself when its last
  // name already is the product's (in any letter case), otherwise the product's folder inside it.
  static dlx::String BrowsedDestination(const dlx::String& folder, const dlx::String& productName);

 protected:
  void CreateControls() override;
  // The warnings stack along the bottom of the page, inside its margins.
  RECT AlignArea() override;

 private:
  void Refresh();
  void SetPath(const dlx::String& text);
  void TypedPath();
  void Browse();
  void UpdateBoxesChanged();
  void ModeChanged();
  // Sets the destination; a folder the installer object refuses leaves none, and the reason is
  // shown instead (the page must never let an exception out of a window message).
  void ChangeDestination(const dlx::String& folder);
  void SetEditText(const dlx::String& text);
  void AddWarning(const dlx::String& text, dlx::TDLXValidationKind kind);

  dlx::TDLXEdit* pathEdit_ = nullptr;
  // Set while the user's typing is being applied: the edit's text is not rewritten meanwhile.
  bool editing_ = false;
  // Set while the page itself writes the edit's text: that is no typing.
  bool writingEdit_ = false;
  dlx::TDLXCheckBox* backupBox_ = nullptr;
  dlx::TDLXCheckBox* updateBox_ = nullptr;
  dlx::TDLXRadioBox* normalRadio_ = nullptr;
  dlx::TDLXRadioBox* portableRadio_ = nullptr;
  std::vector<std::unique_ptr<dlx::TDLXValidationLabel>> warnings_;
  // The folder the installer object refused, and why; empty when the destination was taken.
  dlx::String refusedFolder_;
  dlx::String refusal_;
};
