// The legacy "BXML" reader on arbitrary data after the signature: it may fail only with the stream
// read error or the single-root rule, and what it reads must survive the current binary form.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lib/binary_xml.h"

using namespace dlx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes = {'B', 'X', 'M', 'L'};
  bytes.insert(bytes.end(), data, data + size);
  TDLXMemoryStream stream(bytes.data(), bytes.size());
  TDLXXMLDocument document;
  try {
    document.LoadFromStream(stream);
  } catch (const EDLXStreamReadError&) {
    return 0;
  } catch (const EDLXXMLDocument&) {
    return 0;
  }
  TDLXMemoryStream again;
  document.SaveToStream(again, TDLXXMLSaveSettings{0, 0, 0, 0});
  again.SetPosition(0);
  TDLXXMLDocument copy;
  copy.LoadFromStream(again);
  if (document.Count() > 0 && !copy.Equals(document)) std::abort();
  return 0;
}
