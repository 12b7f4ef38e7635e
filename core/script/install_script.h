// The install script (Install.xml): what the product consists of, which files go where for which
// language family, which programs may be started afterwards, the shortcuts, the license texts and
// the product's identity settings. Parsed once at start-up and read-only afterwards.
#pragma once

#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "lib/string_list.h"
#include "lib/xml_document.h"

// One File entry of a group: Name is the name attribute, Text the element's text, LangFamily the
// lang-family attribute; each is empty when absent.
class TInstallerScriptFile {
 public:
  virtual ~TInstallerScriptFile() = default;

  // Text, or when it is empty the part of Name after its last ':', '\' or '/'.
  dlx::String GetSourceName() const;
  // True when the entry is for every family (LangFamily empty) or for this one, ignoring case.
  bool MatchesLangFamily(dlx::StringView family) const;

  dlx::String Name;
  dlx::String Text;
  dlx::String LangFamily;
};

// The entries of one kind (components, actions, shortcuts, license documents), in document order.
class TInstallerScriptGroup {
 public:
  TInstallerScriptGroup() = default;
  TInstallerScriptGroup(const TInstallerScriptGroup&) = delete;
  TInstallerScriptGroup& operator=(const TInstallerScriptGroup&) = delete;
  virtual ~TInstallerScriptGroup() = default;

  // Reads the element's File children; an element without children whose text is not empty yields
  // one entry named by that text.
  virtual void Load(const dlx::TDLXXMLNode& element);
  // Only an element named File yields an entry.
  virtual void LoadItem(const dlx::TDLXXMLNode& element);

  TInstallerScriptFile* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // The entry at that index, or null when the index is out of range.
  TInstallerScriptFile* Items(int index) const;
  // The first entry that matches the language family.
  bool FindByLangFamily(dlx::StringView family, TInstallerScriptFile*& entry) const;

 private:
  std::vector<std::unique_ptr<TInstallerScriptFile>> items_;
};

class TInstallerScript {
 public:
  TInstallerScript();
  TInstallerScript(const TInstallerScript&) = delete;
  TInstallerScript& operator=(const TInstallerScript&) = delete;
  virtual ~TInstallerScript();

  // Parses the script (XML text or binary XML) from the stream's position and fills the groups and
  // settings. A document without nodes, or without a product element, leaves them empty.
  void LoadFromStream(dlx::TDLXStream& stream);
  // The value of the settings line with that name (ignoring case); the last such line wins; empty
  // when there is none.
  dlx::String GetValue(dlx::StringView name) const;

  TInstallerScriptGroup& Actions() { return *actions_; }
  TInstallerScriptGroup& Components() { return *components_; }
  TInstallerScriptGroup& License() { return *license_; }
  // Lines of the form name=value.
  dlx::TDLXStringList& Settings() { return *settings_; }
  TInstallerScriptGroup& Shortcuts() { return *shortcuts_; }
  const TInstallerScriptGroup& Actions() const { return *actions_; }
  const TInstallerScriptGroup& Components() const { return *components_; }
  const TInstallerScriptGroup& License() const { return *license_; }
  const dlx::TDLXStringList& Settings() const { return *settings_; }
  const TInstallerScriptGroup& Shortcuts() const { return *shortcuts_; }

 private:
  void LoadSettings(const dlx::TDLXXMLNode& element);

  std::unique_ptr<TInstallerScriptGroup> actions_;
  std::unique_ptr<TInstallerScriptGroup> components_;
  std::unique_ptr<TInstallerScriptGroup> license_;
  std::unique_ptr<dlx::TDLXStringList> settings_;
  std::unique_ptr<TInstallerScriptGroup> shortcuts_;
};
