#include "product/setup_page.h"

#include <algorithm>

#include "core/installer.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/ui/dialogs.h"
#include "product/product_info_zuva.h"

using dlx::String;

namespace {

// Clears a flag when the scope ends, also when an exception leaves it.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

String TInstallerPageSetup::BrowsedDestination(const String& folder, const String& productName) {
  const String chosen = dlx::IncludeTrailingPathDelimiter(folder);
  const String lastName = dlx::ExtractFileName(dlx::ExcludeTrailingPathDelimiter(chosen));
  if (dlx::SameText(lastName, productName)) return chosen;
  return chosen + productName;
}

void TInstallerPageSetup::CreateControls() {
  CreateHeading({40, 30, 540, 20}, u"LB1");
  pathEdit_ = &CreateControl<dlx::TDLXEdit>({60, 70, 540, 21}, u"PathEdit");
  pathEdit_->OnChange = [this] { TypedPath(); };
  pathEdit_->AddButton(GetText(u"Browse"), 100).OnClick = [this] { Browse(); };
  updateBox_ = &CreateCheckBox({60, 100, 540, 17}, u"CB1", [this] { UpdateBoxesChanged(); });
  backupBox_ = &CreateCheckBox({60, 120, 540, 17}, u"CB4", [this] { UpdateBoxesChanged(); });
  CreateHeading({40, 150, 540, 20}, u"LB2");
  // The radios are made one after the other so that they form one dialog group (the arrow keys
  // move between them); the hint between them on screen is made after them.
  portableRadio_ = &CreateRadioBox({60, 190, 540, 16}, u"CB3", [this] { ModeChanged(); });
  normalRadio_ = &CreateRadioBox({60, 248, 540, 16}, u"CB2", [this] { ModeChanged(); });
  CreateLabel({79, 212, 500, 48}, u"CB3Hint", true).SetEnabled(false);
}

void TInstallerPageSetup::Localize() {
  // The edit is named, so the inherited pass would give it the (missing) text of its name.
  {
    TFlagScope writing(writingEdit_);
    TInstallerPage::Localize();
  }
  SetEditText(Installer->DestPath());
}

RECT TInstallerPageSetup::AlignArea() {
  RECT area = TInstallerPage::AlignArea();
  area.left += ScaleValue(40);
  area.right -= ScaleValue(40);
  area.top += ScaleValue(20);
  area.bottom -= ScaleValue(20);
  return area;
}

bool TInstallerPageSetup::CanGoNext() const {
  // A refused folder leaves no destination, so this holds Next back for it too.
  return !Installer->DestPath().empty();
}

void TInstallerPageSetup::Prepare() {
  Refresh();
}

void TInstallerPageSetup::SetEditText(const String& text) {
  if (!pathEdit_ || pathEdit_->Text() == text) return;
  TFlagScope writing(writingEdit_);
  pathEdit_->SetText(text);
}

void TInstallerPageSetup::Refresh() {
  NotifyStateChanged();
  TProductInfoZUVA& info = ProductInfoZUVA();
  // A refused folder stays in the edit, so the user can correct it.
  if (!editing_) SetEditText(refusal_.empty() ? Installer->DestPath() : refusedFolder_);

  const bool update = Installer->HasOption(ioUpdate);
  updateBox_->SetChecked(update);
  updateBox_->SetVisible(info.CanUpdate());
  backupBox_->SetChecked(!Installer->HasOption(ioNoBackup));
  backupBox_->SetVisible(update);

  // An update keeps the mode of the installation it updates.
  const bool portableMode = update ? info.IsInstalledPortable() : Installer->HasOption(ioPortable);
  const bool portable = portableMode && !Installer->IsDestUnderProgramFiles();
  portableRadio_->SetChecked(portable);
  normalRadio_->SetChecked(!portable);
  portableRadio_->SetEnabled(!update);
  normalRadio_->SetEnabled(!update);

  warnings_.clear();
  if (!refusal_.empty()) AddWarning(refusal_, dlx::TDLXValidationKind::vliError);
  if (update) AddWarning(GetText(u"W1"), dlx::TDLXValidationKind::vliWarning);
  if (info.HasPreviousInstallation()) AddWarning(GetText(u"W3"), dlx::TDLXValidationKind::vliWarning);
  if (info.RecoveredRun()) AddWarning(GetText(u"W4"), dlx::TDLXValidationKind::vliWarning);
  Realign();
  Invalidate();
}

void TInstallerPageSetup::AddWarning(const String& text, dlx::TDLXValidationKind kind) {
  auto label = std::make_unique<dlx::TDLXValidationLabel>(*this, text, kind);
  // As wide as the page's inset area, as high as its (wrapped) text.
  label->SetBounds(0, 0, std::max(1, Width() - 80), 17);
  label->SetTransparent(true);
  label->SetWordWrap(true);
  dlx::TDLXFont font = label->Font();
  font.Bold = true;
  label->SetFont(font);
  label->SetMargins({0, 4, 0, 0});
  label->SetAutoSize(true);
  label->SetAlign(dlx::TDLXAlign::alBottom);
  warnings_.push_back(std::move(label));
}

void TInstallerPageSetup::ChangeDestination(const String& folder) {
  refusedFolder_.clear();
  refusal_.clear();
  try {
    Installer->SetDestPath(folder);
  } catch (const dlx::EDLXException& error) {
    // No destination rather than the previous one: the boxes, the warnings and the summary
    // must not describe a folder the edit no longer shows.
    dlx::Log(u"Destination not taken: " + error.Message());
    refusedFolder_ = folder;
    refusal_ = error.Message();
    Installer->SetDestPath(String());
  }
}

void TInstallerPageSetup::SetPath(const String& text) {
  if (text == Installer->DestPath()) {
    // Back to the folder that was taken before the refused one.
    if (!refusal_.empty()) {
      refusedFolder_.clear();
      refusal_.clear();
      Refresh();
    }
    return;
  }
  ChangeDestination(text);
  Refresh();
}

void TInstallerPageSetup::TypedPath() {
  if (writingEdit_) return;
  TFlagScope editing(editing_);
  SetPath(pathEdit_->Text());
}

void TInstallerPageSetup::Browse() {
  String folder = Installer->DestPath();
  if (!dlx::TDLXShellFolderBrowser::Execute(folder, Handle()) || folder.empty()) return;
  SetPath(BrowsedDestination(folder, Installer->ProductInfo().GetName()));
}

void TInstallerPageSetup::UpdateBoxesChanged() {
  Installer->SetOption(ioNoBackup, !backupBox_->Checked());
  Installer->SetOption(ioUpdate, updateBox_->Checked());
  Refresh();
}

void TInstallerPageSetup::ModeChanged() {
  TInstallerProductInfo& info = Installer->ProductInfo();
  const String& dest = Installer->DestPath();
  if (!portableRadio_->Checked()) {
    if (dlx::SameText(dest, info.GetDefaultPortablePath())) ChangeDestination(info.GetDefaultPath());
  } else if (Installer->IsDestUnderProgramFiles()) {
    ChangeDestination(info.GetDefaultPortablePath());
  }
  Installer->SetOption(ioPortable, portableRadio_->Checked());
  Refresh();
}
