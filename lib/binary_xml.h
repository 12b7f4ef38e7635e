// The two compact binary forms of an XML document. "SXML" (current) keeps names in one string table
// after the tree and writes counts and lengths as 7-bit variable-length integers; "BXML" (legacy,
// read only) writes every name in place with fixed-size counts. TDLXXMLDocument::LoadFromStream
// picks the reader by the signature.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lib/xml_document.h"

namespace dlx {

// The binary data contradicts itself (a name index outside the string table, a variable-length
// integer longer than 32 bits). Data that simply ends early raises EDLXStreamReadError instead.
class EDLXBinaryXMLError : public EDLXXMLDocument {
 public:
  EDLXBinaryXMLError() : EDLXXMLDocument(u"Binary XML data is corrupt") {}
};

// Variable-length integer: seven bits per byte, lowest group first, top bit set when another byte
// follows.
void WriteVarUInt(TDLXStream& stream, uint32_t value);

// Reads the "SXML" form from the stream's position, which is just after the signature. Every count
// and length is checked against the bytes left before anything is allocated for it.
class TDLXBinaryXMLParser {
 public:
  explicit TDLXBinaryXMLParser(TDLXStream& stream) : stream_(stream) {}
  // Fills the (cleared) document; leaves the stream after the tree section.
  void Parse(TDLXXMLDocument& document);

 private:
  TDLXStream& stream_;
};

// Reads the legacy "BXML" form from the stream's position, just after the signature.
class TDLXLegacyBinaryXMLParser {
 public:
  explicit TDLXLegacyBinaryXMLParser(TDLXStream& stream) : stream_(stream) {}
  void Parse(TDLXXMLDocument& document);

 private:
  TDLXStream& stream_;
};

// Writes the "SXML" form (signature included) at the stream's position.
class TDLXBinaryXMLBuilder {
 public:
  explicit TDLXBinaryXMLBuilder(TDLXStream& stream) : stream_(stream) {}
  void Build(const TDLXXMLDocument& document);

 private:
  uint32_t NameIndex(const AnsiString& name);
  void WriteNode(const TDLXXMLNode& node);
  void WriteStringTable();

  TDLXStream& stream_;
  // Name bytes (exact, case-sensitive) to string-table index, assigned on first use.
  std::map<AnsiString, uint32_t> indices_;
  std::vector<const AnsiString*> names_;
  // The tree section, collected first so its length can precede it.
  std::string tree_;
};

}  // namespace dlx
