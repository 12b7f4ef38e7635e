#include "lib/xml_document.h"

#include <algorithm>
#include <typeinfo>
#include <utility>

#include "lib/binary_xml.h"

namespace dlx {

namespace {

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

}  // namespace

bool SameXMLName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// ---- TDLXXMLAttributes ------------------------------------------------------------------------

TDLXXMLAttribute* TDLXXMLAttributes::Add() {
  items_.push_back(std::make_unique<TDLXXMLAttribute>());
  return items_.back().get();
}

TDLXXMLAttribute* TDLXXMLAttributes::Add(std::string_view name, StringView value) {
  items_.push_back(std::make_unique<TDLXXMLAttribute>(AnsiString(name), String(value)));
  return items_.back().get();
}

bool TDLXXMLAttributes::Find(std::string_view name, TDLXXMLAttribute*& attribute) const {
  for (const auto& item : items_) {
    if (SameXMLName(item->Name, name)) {
      attribute = item.get();
      return true;
    }
  }
  attribute = nullptr;
  return false;
}

String TDLXXMLAttributes::GetValue(std::string_view name) const {
  String value;
  TryGetValue(name, value);
  return value;
}

bool TDLXXMLAttributes::TryGetValue(std::string_view name, String& value) const {
  TDLXXMLAttribute* attribute;
  if (!Find(name, attribute)) return false;
  value = attribute->Value;
  return true;
}

bool TDLXXMLAttributes::Remove(std::string_view name) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (SameXMLName((*it)->Name, name)) {
      items_.erase(it);
      return true;
    }
  }
  return false;
}

void TDLXXMLAttributes::Assign(const TDLXXMLAttributes& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TDLXXMLAttribute>> copies;
  copies.reserve(source.items_.size());
  for (const auto& item : source.items_) copies.push_back(std::make_unique<TDLXXMLAttribute>(*item));
  items_ = std::move(copies);
}

bool TDLXXMLAttributes::Equals(const TDLXXMLAttributes& other) const {
  if (typeid(*this) != typeid(other) || items_.size() != other.items_.size()) return false;
  // Names may repeat, so each attribute pairs with its own counterpart: matching every one against
  // the first of its name would call a list with two "x" of different values unequal to itself.
  std::vector<bool> used(other.items_.size(), false);
  for (const auto& item : items_) {
    bool matched = false;
    for (size_t i = 0; i < other.items_.size() && !matched; ++i) {
      const TDLXXMLAttribute& candidate = *other.items_[i];
      if (!used[i] && SameXMLName(candidate.Name, item->Name) && candidate.Value == item->Value) {
        used[i] = matched = true;
      }
    }
    if (!matched) return false;
  }
  return true;
}

TDLXXMLAttribute* TDLXXMLAttributes::Items(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

// ---- TDLXXMLNode ------------------------------------------------------------------------------

TDLXXMLNode::TDLXXMLNode(TDLXXMLNode* parent) {
  if (parent) parent->AppendChild(this);
}

TDLXXMLNode::~TDLXXMLNode() {
  if (parent_) parent_->DetachChild(this);
  Clear();
}

// Iterative, so that a deeply nested tree (say, from hostile input) cannot exhaust the stack.
void TDLXXMLNode::DestroyTree(std::vector<TDLXXMLNode*>& roots) {
  std::vector<TDLXXMLNode*> work = std::move(roots);
  while (!work.empty()) {
    TDLXXMLNode* node = work.back();
    work.pop_back();
    node->parent_ = nullptr;
    if (node->children_) {
      work.insert(work.end(), node->children_->begin(), node->children_->end());
      node->children_.reset();
    }
    delete node;
  }
}

void TDLXXMLNode::Clear() {
  if (!children_) return;
  std::vector<TDLXXMLNode*> children = std::move(*children_);
  children_.reset();
  DestroyTree(children);
}

void TDLXXMLNode::AppendChild(TDLXXMLNode* child) {
  if (!children_) children_ = std::make_unique<std::vector<TDLXXMLNode*>>();
  children_->push_back(child);
  child->parent_ = this;
}

void TDLXXMLNode::DetachChild(TDLXXMLNode* child) {
  if (!children_) return;
  auto& list = *children_;
  // Searching from the end: the most recently added child is the one usually removed.
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i] == child) {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  child->parent_ = nullptr;
}

TDLXXMLNode* TDLXXMLNode::Add(std::string_view name) {
  auto* child = new TDLXXMLNode(this);
  child->NodeName.assign(name);
  return child;
}

void TDLXXMLNode::Assign(const TDLXXMLNode& source) {
  if (&source == this) return;
  // Clearing would destroy a source that lies below this node: copy it out first.
  std::unique_ptr<TDLXXMLNode> detachedCopy;
  const TDLXXMLNode* from = &source;
  if (IsChild(&source)) {
    detachedCopy = std::make_unique<TDLXXMLNode>();
    detachedCopy->Assign(source);
    from = detachedCopy.get();
  }
  Clear();
  attributes_.Assign(from->attributes_);
  std::vector<std::pair<const TDLXXMLNode*, TDLXXMLNode*>> work{{from, this}};
  while (!work.empty()) {
    auto [src, dst] = work.back();
    work.pop_back();
    for (int i = 0; i < src->Count(); ++i) {
      const TDLXXMLNode* srcChild = (*src->children_)[static_cast<size_t>(i)];
      TDLXXMLNode* dstChild = dst->Add(srcChild->NodeName);
      dstChild->attributes_.Assign(srcChild->attributes_);
      dstChild->NodeValue = srcChild->NodeValue;
      work.emplace_back(srcChild, dstChild);
    }
  }
  NodeName = from->NodeName;
  NodeValue = from->NodeValue;
}

bool TDLXXMLNode::Equals(const TDLXXMLNode& other) const {
  std::vector<std::pair<const TDLXXMLNode*, const TDLXXMLNode*>> work{{this, &other}};
  while (!work.empty()) {
    auto [a, b] = work.back();
    work.pop_back();
    if (typeid(*a) != typeid(*b) || !a->attributes_.Equals(b->attributes_) || a->NodeName != b->NodeName ||
        a->NodeValue != b->NodeValue || a->Count() != b->Count()) {
      return false;
    }
    for (int i = 0; i < a->Count(); ++i) work.emplace_back(a->Items(i), b->Items(i));
  }
  return true;
}

TDLXXMLNode* TDLXXMLNode::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return (*children_)[static_cast<size_t>(index)];
}

bool TDLXXMLNode::FindNode(std::string_view name, TDLXXMLNode*& node) const {
  node = FindNode(name);
  return node != nullptr;
}

TDLXXMLNode* TDLXXMLNode::FindNode(std::string_view name) const {
  if (!children_) return nullptr;
  for (TDLXXMLNode* child : *children_) {
    if (SameXMLName(child->NodeName, name)) return child;
  }
  return nullptr;
}

bool TDLXXMLNode::FindNode(std::span<const std::string_view> path, bool create, TDLXXMLNode*& node) {
  node = nullptr;
  if (path.empty()) return false;
  TDLXXMLNode* current = this;
  for (std::string_view name : path) {
    TDLXXMLNode* next = current->FindNode(name);
    if (!next) {
      if (!create) return false;
      next = current->Add(name);
    }
    current = next;
  }
  node = current;
  return true;
}

bool TDLXXMLNode::IsChild(const TDLXXMLNode* node) const {
  // Walking up from the node costs its depth, not the size of this subtree.
  for (const TDLXXMLNode* p = node ? node->parent_ : nullptr; p; p = p->parent_) {
    if (p == this) return true;
  }
  return false;
}

void TDLXXMLNode::SetParent(TDLXXMLNode* parent) {
  if (parent == this || parent == parent_ || (parent && IsChild(parent))) return;
  if (auto* document = dynamic_cast<TDLXXMLDocument*>(parent);
      document && document->SingleRoot && document->Count() > 0) {
    throw EDLXXMLDocument(u"Only one Root available");
  }
  if (parent_) parent_->DetachChild(this);
  if (parent) parent->AppendChild(this);
}

// ---- TDLXXMLDocument --------------------------------------------------------------------------

TDLXXMLDocument::TDLXXMLDocument() = default;

TDLXXMLDocument::TDLXXMLDocument(TDLXStream& stream) {
  LoadFromStream(stream, TDLXXMLEncoding{0, ekAnsi});
}

TDLXXMLNode* TDLXXMLDocument::Add(std::string_view name) {
  if (SingleRoot && Count() > 0) throw EDLXXMLDocument(u"Only one Root available");
  return TDLXXMLNode::Add(name);
}

void TDLXXMLDocument::LoadFromStream(TDLXStream& stream, TDLXXMLEncoding encoding) {
  Clear();
  const int64_t position = stream.GetPosition();
  const int64_t remaining = stream.GetSize() - position;
  if (remaining < 5) return;
  char signature[4];
  stream.ReadBuffer(signature, sizeof signature);
  const std::string_view tag(signature, sizeof signature);
  if (tag == "SXML") {
    TDLXBinaryXMLParser(stream).Parse(*this);
  } else if (tag == "BXML") {
    TDLXLegacyBinaryXMLParser(stream).Parse(*this);
  } else {
    stream.Seek(position, soBeginning);
    std::vector<uint8_t> buffer(static_cast<size_t>(remaining));
    stream.ReadBuffer(buffer.data(), buffer.size());
    ReadXMLText(*this, buffer.data(), buffer.size(), encoding);
  }
}

void TDLXXMLDocument::LoadFromString(std::string_view text) {
  Clear();
  ReadXMLText(*this, reinterpret_cast<const uint8_t*>(text.data()), text.size(), TDLXXMLEncoding{0, ekUtf8});
}

void TDLXXMLDocument::SaveToStream(TDLXStream& stream, TDLXXMLSaveSettings settings) {
  switch (settings.Writer) {
    case 0:
      TDLXBinaryXMLBuilder(stream).Build(*this);
      break;
    case 1:
      WriteXMLText(*this, stream, settings);
      break;
    default:
      throw EDLXArgumentOutOfRange();
  }
}

}  // namespace dlx
