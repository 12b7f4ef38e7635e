// The XML text writer: UTF-8 with a declaration, values escaped, and elements whose value has
// leading, trailing or line-breaking white space marked xml:space="preserve" so the reader keeps it.
#include "lib/xml_document.h"

namespace dlx {

namespace {

bool IsSpaceChar(Char c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

bool NeedsPreserving(const TDLXXMLNode& node) {
  const String& value = node.NodeValue;
  if (value.empty()) return false;
  if (IsSpaceChar(value.front()) || IsSpaceChar(value.back())) return true;
  return value.find_first_of(u"\r\n") != String::npos;
}

class TextWriter {
 public:
  TextWriter(TDLXStream& stream, TDLXXMLSaveSettings settings) : stream_(stream), settings_(settings) {}

  void WriteDocument(const TDLXXMLDocument& document) {
    Put("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n");
    for (int i = 0; i < document.Count(); ++i) WriteElement(*document.Items(i), 0, false);
    stream_.WriteBuffer(buffer_.data(), buffer_.size());
  }

 private:
  void Put(std::string_view bytes) { buffer_.append(bytes); }
  void Tabs(int count) { buffer_.append(static_cast<size_t>(count), '\t'); }
  void PutValue(StringView value) { buffer_ += ToUtf8(TDLXXMLHelper::EncodeString(value)); }

  void PutAttribute(std::string_view name, StringView value, int level) {
    if (settings_.AttributesOnNewLines) {
      Put("\r\n");
      Tabs(level + 1);
    } else {
      Put(" ");
    }
    Put(name);
    Put("=\"");
    PutValue(value);
    Put("\"");
  }

  void WriteElement(const TDLXXMLNode& node, int level, bool insidePreserved) {
    if (settings_.Indent && !insidePreserved) Tabs(level);
    Put("<");
    Put(node.NodeName);
    const bool hasContent = !node.NodeValue.empty() || node.Count() > 0;
    const bool preserve = hasContent && NeedsPreserving(node);
    const TDLXXMLAttributes& attributes = node.Attributes();
    if (attributes.Count() > 0 || preserve) {
      for (int i = 0; i < attributes.Count(); ++i) {
        const TDLXXMLAttribute* attribute = attributes.Items(i);
        PutAttribute(attribute->Name, attribute->Value, level);
      }
      if (preserve) PutAttribute("xml:space", u"preserve", level);
      if (settings_.Indent && settings_.AttributesOnNewLines) {
        Put("\r\n");
        Tabs(level);
      }
    }
    if (!hasContent) {
      Put("/>");
    } else {
      Put(">");
      PutValue(node.NodeValue);
      if (node.Count() > 0) {
        // The reader keeps white space from a preserved element's start tag until the next end
        // tag, so everything nested in it is written without added line breaks or indents.
        const bool childrenPreserved = preserve || insidePreserved;
        if (settings_.NewLines && !childrenPreserved) Put("\r\n");
        for (int i = 0; i < node.Count(); ++i) WriteElement(*node.Items(i), level + 1, childrenPreserved);
        if (settings_.Indent) Tabs(level);
      }
      Put("</");
      Put(node.NodeName);
      Put(">");
    }
    if (settings_.NewLines) Put("\r\n");
  }

  TDLXStream& stream_;
  TDLXXMLSaveSettings settings_;
  std::string buffer_;
};

}  // namespace

void WriteXMLText(const TDLXXMLDocument& document, TDLXStream& stream, TDLXXMLSaveSettings settings) {
  TextWriter(stream, settings).WriteDocument(document);
}

}  // namespace dlx
