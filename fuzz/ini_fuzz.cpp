// INI and string-list loading from arbitrary bytes through every decoding path. A loaded document
// saved in its own encoding and loaded again must be the same document, and every section and key
// it holds must be found again by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "lib/ini_file.h"
#include "lib/platform/text.h"
#include "lib/string_list.h"

using namespace dlx;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const TDLXEncoding kListEncodings[] = {
    {},
    TDLXEncoding::Ansi(),
    TDLXEncoding::Utf8(),
    TDLXEncoding::Utf16LE(),
    TDLXEncoding::Utf16BE(),
    TDLXEncoding::FromCodePage(1251),
    TDLXEncoding::FromCodePage(866),
    TDLXEncoding::FromCodePage(932),
    TDLXEncoding::FromCodePage(65001),
};

void CheckIni(const uint8_t* data, size_t size) {
  TDLXMemoryStream input(data, size);
  TDLXIniFile first;
  first.LoadFromStream(input);

  for (int s = 0; s < first.SectionCount(); ++s) {
    TDLXIniFileSection& section = first.Sections(s);
    Check(first.FindSection(section.Name()) == &section);
    Check(first.FindSection(UpperCaseText(section.Name())) == &section);
    for (int i = 0; i < section.Count(); ++i) {
      const String key = section.Names(i);
      const int found = section.FindKey(key);
      Check(found >= 0 && found <= i && SameText(section.Names(found), key));
    }
  }

  TDLXMemoryStream saved;
  first.SaveToStream(saved, first.Encoding);
  saved.SetPosition(0);
  TDLXIniFile second;
  second.LoadFromStream(saved);
  Check(second.Encoding == first.Encoding);
  Check(first.Equals(second));

  TDLXIniFile copy;
  copy.Assign(first);
  Check(copy.Equals(first));
  TDLXIniFile merged;
  merged.Merge(first, true);
  Check(merged.Equals(first));
}

void CheckList(const uint8_t* data, size_t size, const TDLXEncoding& encoding) {
  TDLXMemoryStream input(data, size);
  TDLXStringList list;
  list.LoadFromStream(input, encoding);
  TDLXMemoryStream saved;
  list.SaveToStream(saved, TDLXEncoding::Utf16LE());
  saved.SetPosition(0);
  TDLXStringList again;
  again.LoadFromStream(saved, {});
  Check(again.Count() == list.Count());
  for (int i = 0; i < list.Count(); ++i) Check(again.Strings(i) == list.Strings(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  ++data, --size;
  CheckIni(data, size);
  CheckList(data, size, kListEncodings[selector % (sizeof kListEncodings / sizeof kListEncodings[0])]);
  return 0;
}
