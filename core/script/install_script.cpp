#include "core/script/install_script.h"

#include "lib/file_system.h"
#include "lib/platform/text.h"

using namespace dlx;

// ---- TInstallerScriptFile -----------------------------------------------------------------------

String TInstallerScriptFile::GetSourceName() const {
  return Text.empty() ? ExtractFileName(Name) : Text;
}

bool TInstallerScriptFile::MatchesLangFamily(StringView family) const {
  return LangFamily.empty() || SameText(LangFamily, family);
}

// ---- TInstallerScriptGroup ----------------------------------------------------------------------

TInstallerScriptFile* TInstallerScriptGroup::Add() {
  items_.push_back(std::make_unique<TInstallerScriptFile>());
  return items_.back().get();
}

TInstallerScriptFile* TInstallerScriptGroup::Items(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

bool TInstallerScriptGroup::FindByLangFamily(StringView family, TInstallerScriptFile*& entry) const {
  for (const auto& item : items_) {
    if (item->MatchesLangFamily(family)) {
      entry = item.get();
      return true;
    }
  }
  entry = nullptr;
  return false;
}

void TInstallerScriptGroup::Load(const TDLXXMLNode& element) {
  for (int i = 0; i < element.Count(); ++i) LoadItem(*element.Items(i));
  if (element.Count() == 0 && !element.NodeValue.empty()) Add()->Name = element.NodeValue;
}

void TInstallerScriptGroup::LoadItem(const TDLXXMLNode& element) {
  // Exact spelling: a "file" element is not an entry.
  if (element.NodeName != "File") return;
  TInstallerScriptFile* entry = Add();
  entry->Text = element.NodeValue;
  entry->Name = element.Attributes().GetValue("name");
  entry->LangFamily = element.Attributes().GetValue("lang-family");
}

// ---- TInstallerScript ---------------------------------------------------------------------------

TInstallerScript::TInstallerScript()
    : actions_(std::make_unique<TInstallerScriptGroup>()),
      components_(std::make_unique<TInstallerScriptGroup>()),
      license_(std::make_unique<TInstallerScriptGroup>()),
      settings_(std::make_unique<TDLXStringList>()),
      shortcuts_(std::make_unique<TInstallerScriptGroup>()) {}

TInstallerScript::~TInstallerScript() = default;

void TInstallerScript::LoadFromStream(TDLXStream& stream) {
  TDLXXMLDocument document(stream);
  TDLXXMLNode* root = document.Items(0);
  if (!root) return;

  TDLXXMLNode* license;
  if (root->FindNode({"setup", "license"}, false, license)) license_->Load(*license);

  // The product part is matched by its exact spelling ("Product" is not it), as are its groups.
  const TDLXXMLNode* product = nullptr;
  for (int i = 0; i < root->Count() && !product; ++i) {
    if (root->Items(i)->NodeName == "product") product = root->Items(i);
  }
  if (!product) return;
  for (int i = 0; i < product->Count(); ++i) {
    const TDLXXMLNode& child = *product->Items(i);
    if (child.NodeName == "Components") {
      components_->Load(child);
    } else if (child.NodeName == "Actions") {
      actions_->Load(child);
    } else if (child.NodeName == "Settings") {
      LoadSettings(child);
    } else if (child.NodeName == "Shortcuts") {
      shortcuts_->Load(child);
    }
  }
}

void TInstallerScript::LoadSettings(const TDLXXMLNode& element) {
  for (int i = 0; i < element.Count(); ++i) {
    const TDLXXMLAttributes& attributes = element.Items(i)->Attributes();
    settings_->Add(attributes.GetValue("name") + u"=" + attributes.GetValue("value"));
  }
}

String TInstallerScript::GetValue(StringView name) const {
  for (int i = settings_->Count(); i-- > 0;) {
    if (SameText(settings_->Names(i), name)) return settings_->ValueFromIndex(i);
  }
  return String();
}
