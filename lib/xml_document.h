// The library's small XML object model: a tree of nodes under a document, read from forgiving XML
// text or from the binary forms (see binary_xml.h), and written back as either. Element and
// attribute names are kept as the bytes found in the file; values are UTF-16.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"
#include "lib/stream.h"

namespace dlx {

// Names are 8-bit strings exactly as they appear in the file (no character-set conversion).
using AnsiString = std::string;

class EDLXXMLDocument : public EDLXException {
 public:
  using EDLXException::EDLXException;
};

// Names match when they have the same length and the same bytes after folding a-z to A-Z.
bool SameXMLName(std::string_view a, std::string_view b);

class TDLXXMLAttribute {
 public:
  TDLXXMLAttribute() = default;
  TDLXXMLAttribute(AnsiString name, String value) : Name(std::move(name)), Value(std::move(value)) {}

  AnsiString Name;
  String Value;
};

// An element's attributes in document order. Names are not unique: adding never checks for a
// duplicate and every lookup returns the first match.
class TDLXXMLAttributes {
 public:
  TDLXXMLAttributes() = default;
  TDLXXMLAttributes(const TDLXXMLAttributes&) = delete;
  TDLXXMLAttributes& operator=(const TDLXXMLAttributes&) = delete;

  TDLXXMLAttribute* Add();
  TDLXXMLAttribute* Add(std::string_view name, StringView value);
  bool Find(std::string_view name, TDLXXMLAttribute*& attribute) const;
  // The value of the first attribute of that name, or the empty string.
  String GetValue(std::string_view name) const;
  bool TryGetValue(std::string_view name, String& value) const;
  // Removes and destroys the first attribute of that name.
  bool Remove(std::string_view name);
  void Assign(const TDLXXMLAttributes& source);
  void Clear() { items_.clear(); }
  // Same count, and every attribute found by name in the other with an exactly equal value.
  virtual bool Equals(const TDLXXMLAttributes& other) const;
  virtual ~TDLXXMLAttributes() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  // The attribute at that index, or null when the index is out of range.
  TDLXXMLAttribute* Items(int index) const;

 private:
  std::vector<std::unique_ptr<TDLXXMLAttribute>> items_;
};

// One element. A node owns its children; destroying a node detaches it from its parent first.
class TDLXXMLNode {
 public:
  explicit TDLXXMLNode(TDLXXMLNode* parent = nullptr);
  virtual ~TDLXXMLNode();
  TDLXXMLNode(const TDLXXMLNode&) = delete;
  TDLXXMLNode& operator=(const TDLXXMLNode&) = delete;

  // Appends a new child with that name; this node owns it.
  virtual TDLXXMLNode* Add(std::string_view name);
  // Deep copy of the source's attributes, children, name and value.
  virtual void Assign(const TDLXXMLNode& source);
  // Destroys the children; attributes, name and value stay.
  virtual void Clear();
  virtual bool Equals(const TDLXXMLNode& other) const;

  int Count() const { return children_ ? static_cast<int>(children_->size()) : 0; }
  // The child at that index, or null when the index is out of range.
  TDLXXMLNode* Items(int index) const;

  // The first child whose name matches.
  bool FindNode(std::string_view name, TDLXXMLNode*& node) const;
  TDLXXMLNode* FindNode(std::string_view name) const;
  // Walks a path of names from this node, one per level. A missing level fails, or is added when
  // create is set. An empty path fails.
  bool FindNode(std::span<const std::string_view> path, bool create, TDLXXMLNode*& node);
  bool FindNode(std::initializer_list<std::string_view> path, bool create, TDLXXMLNode*& node) {
    return FindNode(std::span<const std::string_view>(path.begin(), path.size()), create, node);
  }

  // Whether the node lies anywhere below this one.
  bool IsChild(const TDLXXMLNode* node) const;
  // Moves this node to the end of another node's children, or detaches it (null). Does nothing
  // when the new parent is this node, its current parent or one of its descendants.
  void SetParent(TDLXXMLNode* parent);

  TDLXXMLNode* Parent() const { return parent_; }
  TDLXXMLAttributes& Attributes() { return attributes_; }
  const TDLXXMLAttributes& Attributes() const { return attributes_; }

  AnsiString NodeName;
  String NodeValue;

 protected:
  // Appends an existing, parentless node as the last child.
  void AppendChild(TDLXXMLNode* child);

 private:
  void DetachChild(TDLXXMLNode* child);
  static void DestroyTree(std::vector<TDLXXMLNode*>& roots);

  TDLXXMLNode* parent_ = nullptr;
  TDLXXMLAttributes attributes_;
  // Owned; created on first use.
  std::unique_ptr<std::vector<TDLXXMLNode*>> children_;
};

// How the text reader turns the bytes of values into UTF-16.
enum TDLXXMLEncodingKind : uint8_t {
  ekAnsi = 0,      // the process-wide ANSI code page
  ekUtf8 = 1,      // the library's UTF-8 decoder
  ekCodePage = 2,  // the given Windows code page
};

struct TDLXXMLEncoding {
  int32_t CodePage = 0;
  TDLXXMLEncodingKind Kind = ekAnsi;
};

// Which writer SaveToStream uses, and the text writer's layout options.
struct TDLXXMLSaveSettings {
  uint8_t Writer = 1;                // 0 = binary ("SXML"), 1 = text
  uint8_t AttributesOnNewLines = 0;  // each attribute on a line of its own
  uint8_t Indent = 0;                // one tab per nesting level
  uint8_t NewLines = 0;              // a line break after each element
};

// The document: no name or value of its own; its children hold the root element. With the single
// root flag set (the default) a second top-level element raises "Only one Root available".
class TDLXXMLDocument : public TDLXXMLNode {
 public:
  TDLXXMLDocument();
  // Loads the stream as ANSI text (or binary XML), the way the installer reads its script.
  explicit TDLXXMLDocument(TDLXStream& stream);

  TDLXXMLNode* Add(std::string_view name) override;

  // Reads from the stream's position: binary XML when it starts with "SXML" or "BXML", text
  // otherwise. Fewer than 5 bytes leave the document empty.
  void LoadFromStream(TDLXStream& stream, TDLXXMLEncoding encoding = {});
  // Parses 8-bit text, starting in UTF-8.
  void LoadFromString(std::string_view text);
  void SaveToStream(TDLXStream& stream, TDLXXMLSaveSettings settings = {});

  bool SingleRoot = true;
};

// Entity rules of values.
class TDLXXMLHelper {
 public:
  // Resolves backslash escapes and character and entity references.
  static String DecodeString(StringView text);
  // Writes &, <, >, " and ' as references; well-formed references already in the text stay.
  static String EncodeString(StringView text);
};

// The code page that ANSI text is read with, process-wide (the language file can name one); 0, the
// default, means the system's ANSI code page.
void SetXMLAnsiCodePage(uint32_t codePage);
uint32_t XMLAnsiCodePage();

// Converts the raw bytes of a value to UTF-16 (entities are not resolved here). Invalid UTF-8 gives
// the empty string, as do bytes that the named code page cannot convert.
String DecodeXMLBytes(const uint8_t* data, size_t size, TDLXXMLEncoding encoding);

// The text reader and writer; LoadFromStream and SaveToStream dispatch to them.
void ReadXMLText(TDLXXMLDocument& document, const uint8_t* data, size_t size, TDLXXMLEncoding encoding);
void WriteXMLText(const TDLXXMLDocument& document, TDLXStream& stream, TDLXXMLSaveSettings settings);

}  // namespace dlx
