#include "lib/binary_xml.h"

#include <limits>

#include "lib/stream_helpers.h"

namespace dlx {

namespace {

enum : uint8_t {
  kHasAttributes = 1,
  kHasChildren = 2,
  kHasValue = 4,
};

// Reads fixed and variable-length integers and checks every count against the bytes that are left,
// so corrupt data fails at once instead of allocating or looping for a count it cannot hold.
class BoundedReader {
 public:
  explicit BoundedReader(TDLXStream& stream)
      : stream_(stream), start_(stream.GetPosition()), position_(start_), end_(stream.GetSize()) {}

  int64_t Position() const { return position_; }
  int64_t Start() const { return start_; }
  uint64_t Remaining() const { return position_ < end_ ? static_cast<uint64_t>(end_ - position_) : 0; }
  void Require(uint64_t bytes) const {
    if (bytes > Remaining()) throw EDLXStreamReadError();
  }
  void SeekTo(int64_t position) {
    stream_.Seek(position, soBeginning);
    position_ = position;
  }

  void Read(void* buffer, size_t count) {
    stream_.ReadBuffer(buffer, count);
    position_ += static_cast<int64_t>(count);
  }
  uint64_t ReadLittleEndian(size_t size) {
    uint8_t bytes[8];
    Read(bytes, size);
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
  }
  uint8_t U8() { return static_cast<uint8_t>(ReadLittleEndian(1)); }
  uint16_t U16() {
    position_ += 2;
    return ReadUInt16(stream_);
  }
  int32_t I32() {
    position_ += 4;
    return ReadInt32(stream_);
  }
  int64_t I64() { return static_cast<int64_t>(ReadLittleEndian(8)); }

  // At most five bytes make the 32 bits; a longer integer is corrupt data.
  uint32_t VarUInt() {
    uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      const uint8_t b = U8();
      value |= static_cast<uint32_t>(b & 0x7F) << shift;
      if ((b & 0x80) == 0) return value;
    }
    throw EDLXBinaryXMLError();
  }

  // A count stored as a signed number: 0 or less means none. Each item needs at least minBytes.
  uint32_t Count(int32_t stored, uint64_t minBytes) const {
    if (stored <= 0) return 0;
    Require(static_cast<uint64_t>(stored) * minBytes);
    return static_cast<uint32_t>(stored);
  }

  std::string Bytes(uint64_t count) {
    Require(count);
    std::string bytes(static_cast<size_t>(count), '\0');
    Read(bytes.data(), bytes.size());
    return bytes;
  }
  String Utf16(int32_t units) {
    if (units <= 0) return String();
    Require(static_cast<uint64_t>(units) * 2);
    std::string bytes(static_cast<size_t>(units) * 2, '\0');
    Read(bytes.data(), bytes.size());
    String text(static_cast<size_t>(units), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<Char>(static_cast<uint8_t>(bytes[2 * i]) |
                                  (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    return text;
  }

 private:
  TDLXStream& stream_;
  int64_t start_;
  int64_t position_;
  int64_t end_;
};

// A parent whose children are still being read, and how many are left.
struct PendingList {
  TDLXXMLNode* parent;
  uint32_t left;
};

void PutVarUInt(std::string& out, uint32_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

uint32_t CheckedLength(size_t length) {
  // Readers take lengths as signed 32-bit numbers.
  if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw EDLXArgumentOutOfRange();
  return static_cast<uint32_t>(length);
}

void PutUtf16(std::string& out, const String& text) {
  PutVarUInt(out, CheckedLength(text.size()));
  for (Char c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
}

}  // namespace

void WriteVarUInt(TDLXStream& stream, uint32_t value) {
  std::string bytes;
  PutVarUInt(bytes, value);
  stream.WriteBuffer(bytes.data(), bytes.size());
}

// ---- "SXML" ------------------------------------------------------------------------------------

void TDLXBinaryXMLParser::Parse(TDLXXMLDocument& document) {
  BoundedReader in(stream_);
  const int64_t treeLength = in.I64();
  const int64_t treeStart = in.Position();
  if (treeLength < 0) throw EDLXStreamReadError();
  in.Require(static_cast<uint64_t>(treeLength));

  in.SeekTo(treeStart + treeLength);
  const uint32_t nameCount = in.Count(static_cast<int32_t>(in.VarUInt()), 1);
  std::vector<AnsiString> names;
  names.reserve(nameCount);
  for (uint32_t i = 0; i < nameCount; ++i) {
    const auto length = static_cast<int32_t>(in.VarUInt());
    names.push_back(length > 0 ? in.Bytes(static_cast<uint64_t>(length)) : AnsiString());
  }

  // Every node copies its name from the table, so a long name referenced by many small nodes could
  // make a short stream expand without bound. Real documents stay far below this budget.
  const uint64_t dataSize = static_cast<uint64_t>(in.Position() - in.Start());
  uint64_t nameBudget = 64 * dataSize + (1u << 20);
  auto takeName = [&](uint32_t index) -> const AnsiString& {
    if (index >= names.size()) throw EDLXBinaryXMLError();
    const AnsiString& name = names[index];
    if (name.size() > nameBudget) throw EDLXBinaryXMLError();
    nameBudget -= name.size();
    return name;
  };

  in.SeekTo(treeStart);
  // Each node needs at least a name index and a flags byte; each attribute a name index and a length.
  std::vector<PendingList> pending{{&document, in.Count(static_cast<int32_t>(in.VarUInt()), 2)}};
  while (!pending.empty()) {
    if (pending.back().left == 0) {
      pending.pop_back();
      continue;
    }
    --pending.back().left;
    TDLXXMLNode* node = pending.back().parent->Add(takeName(in.VarUInt()));
    const uint8_t flags = in.U8();
    if (flags & kHasValue) node->NodeValue = in.Utf16(static_cast<int32_t>(in.VarUInt()));
    if (flags & kHasAttributes) {
      const uint32_t count = in.Count(static_cast<int32_t>(in.VarUInt()), 2);
      for (uint32_t i = 0; i < count; ++i) {
        const AnsiString& name = takeName(in.VarUInt());
        node->Attributes().Add(name, in.Utf16(static_cast<int32_t>(in.VarUInt())));
      }
    }
    if (flags & kHasChildren) {
      const uint32_t count = in.Count(static_cast<int32_t>(in.VarUInt()), 2);
      if (count > 0) pending.push_back({node, count});
    }
  }
}

void TDLXBinaryXMLBuilder::Build(const TDLXXMLDocument& document) {
  indices_.clear();
  names_.clear();
  tree_.clear();
  PutVarUInt(tree_, CheckedLength(static_cast<size_t>(document.Count())));
  // Depth first without recursion: a parent and the index of its next child to write.
  std::vector<std::pair<const TDLXXMLNode*, int>> stack{{&document, 0}};
  while (!stack.empty()) {
    auto& [parent, next] = stack.back();
    if (next >= parent->Count()) {
      stack.pop_back();
      continue;
    }
    const TDLXXMLNode* child = parent->Items(next++);
    WriteNode(*child);
    if (child->Count() > 0) stack.emplace_back(child, 0);
  }

  std::string header("SXML");
  const auto treeLength = static_cast<uint64_t>(tree_.size());
  for (int i = 0; i < 8; ++i) header.push_back(static_cast<char>((treeLength >> (8 * i)) & 0xFF));
  stream_.WriteBuffer(header.data(), header.size());
  stream_.WriteBuffer(tree_.data(), tree_.size());
  WriteStringTable();
}

uint32_t TDLXBinaryXMLBuilder::NameIndex(const AnsiString& name) {
  const auto [it, added] = indices_.try_emplace(name, static_cast<uint32_t>(names_.size()));
  if (added) names_.push_back(&it->first);
  return it->second;
}

void TDLXBinaryXMLBuilder::WriteNode(const TDLXXMLNode& node) {
  PutVarUInt(tree_, NameIndex(node.NodeName));
  const TDLXXMLAttributes& attributes = node.Attributes();
  uint8_t flags = 0;
  if (attributes.Count() > 0) flags |= kHasAttributes;
  if (node.Count() > 0) flags |= kHasChildren;
  if (!node.NodeValue.empty()) flags |= kHasValue;
  tree_.push_back(static_cast<char>(flags));
  if (flags & kHasValue) PutUtf16(tree_, node.NodeValue);
  if (flags & kHasAttributes) {
    PutVarUInt(tree_, static_cast<uint32_t>(attributes.Count()));
    for (int i = 0; i < attributes.Count(); ++i) {
      const TDLXXMLAttribute* attribute = attributes.Items(i);
      PutVarUInt(tree_, NameIndex(attribute->Name));
      PutUtf16(tree_, attribute->Value);
    }
  }
  if (flags & kHasChildren) PutVarUInt(tree_, static_cast<uint32_t>(node.Count()));
}

void TDLXBinaryXMLBuilder::WriteStringTable() {
  std::string table;
  PutVarUInt(table, CheckedLength(names_.size()));
  for (const AnsiString* name : names_) {
    PutVarUInt(table, CheckedLength(name->size()));
    table += *name;
  }
  stream_.WriteBuffer(table.data(), table.size());
}

// ---- "BXML" ------------------------------------------------------------------------------------

void TDLXLegacyBinaryXMLParser::Parse(TDLXXMLDocument& document) {
  BoundedReader in(stream_);
  // Each node needs at least its name length and flags; each attribute two lengths.
  std::vector<PendingList> pending{{&document, in.Count(in.I32(), 3)}};
  while (!pending.empty()) {
    if (pending.back().left == 0) {
      pending.pop_back();
      continue;
    }
    --pending.back().left;
    TDLXXMLNode* node = pending.back().parent->Add(in.Bytes(in.U16()));
    const uint8_t flags = in.U8();
    if (flags & kHasValue) node->NodeValue = in.Utf16(in.I32());
    if (flags & kHasAttributes) {
      const uint32_t count = in.Count(in.I32(), 4);
      for (uint32_t i = 0; i < count; ++i) {
        AnsiString name = in.Bytes(in.U16());
        node->Attributes().Add(name, in.Utf16(in.U16()));
      }
    }
    if (flags & kHasChildren) {
      const uint32_t count = in.Count(in.I32(), 3);
      if (count > 0) pending.push_back({node, count});
    }
  }
}

}  // namespace dlx
