// Entity rules of XML values: what the text reader resolves and what the text writer escapes.
#include <vector>

#include "lib/xml_document.h"

namespace dlx {

namespace {

bool IsReferenceChar(Char c) {
  return c == u'#' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsEscapable(Char c) {
  return c == u'&' || c == u'>' || c == u'<' || c == u'"' || c == u'\'';
}

// Length of the reference name after an '&' at text[start - 1] when a ';' ends it, else 0.
size_t ReferenceNameLength(StringView text, size_t start) {
  size_t end = start;
  while (end < text.size() && IsReferenceChar(text[end])) ++end;
  if (end == start || end >= text.size() || text[end] != u';') return 0;
  return end - start;
}

int DigitValue(Char c, int base) {
  int value;
  if (c >= u'0' && c <= u'9') {
    value = c - u'0';
  } else if (c >= u'a' && c <= u'f') {
    value = c - u'a' + 10;
  } else if (c >= u'A' && c <= u'F') {
    value = c - u'A' + 10;
  } else {
    return -1;
  }
  return value < base ? value : -1;
}

// "#65" or "#x41": the character number truncated to 16 bits; U+0000 when it is no number (or one
// too large for 32 bits).
Char CharacterReference(StringView digits) {
  int base = 10;
  if (!digits.empty() && (digits[0] == u'x' || digits[0] == u'X')) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty()) return 0;
  uint64_t number = 0;
  for (Char c : digits) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return 0;
    number = number * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (number > 0xFFFFFFFFu) return 0;
  }
  return static_cast<Char>(number & 0xFFFF);
}

String ResolveReference(StringView name) {
  if (name == u"amp") return u"&";
  if (name == u"gt") return u">";
  if (name == u"lt") return u"<";
  if (name == u"quot") return u"\"";
  if (name == u"apos") return u"'";
  if (name[0] == u'#') return String(1, CharacterReference(name.substr(1)));
  return String(name);
}

}  // namespace

String TDLXXMLHelper::DecodeString(StringView text) {
  String out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const Char c = text[i];
    if (c == u'\\' && i + 1 < text.size() && IsEscapable(text[i + 1])) {
      out.push_back(text[i + 1]);
      i += 2;
    } else if (c == u'&') {
      const size_t length = ReferenceNameLength(text, i + 1);
      if (length == 0) {
        out.push_back(c);
        ++i;
      } else {
        out += ResolveReference(text.substr(i + 1, length));
        i += length + 2;
      }
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

String TDLXXMLHelper::EncodeString(StringView text) {
  // The reader takes a backslash before an '&' (and the other escapable characters) as an escape
  // and drops it. Every output for those characters begins with '&', so a backslash in front of one
  // is written as a reference too, and so is a backslash in front of such a backslash.
  std::vector<bool> backslashAsReference(text.size(), false);
  for (size_t k = text.size(); k-- > 0;) {
    backslashAsReference[k] =
        text[k] == u'\\' && k + 1 < text.size() && (IsEscapable(text[k + 1]) || backslashAsReference[k + 1]);
  }
  String out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const Char c = text[i];
    if (c == u'&') {
      if (const size_t length = ReferenceNameLength(text, i + 1); length != 0) {
        out.append(text.substr(i, length + 2));
        i += length + 2;
        continue;
      }
    }
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\'':
        out += u"&apos;";
        break;
      case u'\\':
        if (backslashAsReference[i]) {
          out += u"&#92;";
        } else {
          out.push_back(c);
        }
        break;
      default:
        out.push_back(c);
    }
    ++i;
  }
  return out;
}

}  // namespace dlx
