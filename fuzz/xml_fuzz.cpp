// The forgiving XML text reader on arbitrary bytes: it may only raise "Only one Root available", and
// whatever tree it builds must survive the binary form unchanged.
#include <cstdint>
#include <cstdlib>

#include "lib/xml_document.h"

using namespace dlx;

namespace {

void CheckBinaryRoundTrip(TDLXXMLDocument& document) {
  TDLXMemoryStream binary;
  document.SaveToStream(binary, TDLXXMLSaveSettings{0, 0, 0, 0});
  binary.SetPosition(0);
  TDLXXMLDocument copy;
  copy.LoadFromStream(binary);
  if (document.Count() > 0 && !copy.Equals(document)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t mode = size > 0 ? data[0] % 3 : 0;
  TDLXXMLDocument document;
  try {
    if (mode == 0) {
      document.LoadFromString(std::string_view(reinterpret_cast<const char*>(data), size));
    } else {
      TDLXMemoryStream stream(data, size);
      const TDLXXMLEncoding encoding =
          mode == 1 ? TDLXXMLEncoding{0, ekAnsi} : TDLXXMLEncoding{1251, ekCodePage};
      document.LoadFromStream(stream, encoding);
    }
  } catch (const EDLXXMLDocument&) {
    // The single-root rule (or corrupt binary data behind a signature); the tree built so far stays
    // usable.
  } catch (const EDLXStreamReadError&) {
    // A stream that starts with a binary signature and ends early.
  }
  CheckBinaryRoundTrip(document);
  TDLXMemoryStream text;
  document.SaveToStream(text, TDLXXMLSaveSettings{1, 1, 1, 1});
  return 0;
}
