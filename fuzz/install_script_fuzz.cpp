// The install script loader on arbitrary bytes (text, "SXML" or "BXML", chosen by the signature),
// then every query the engine makes of a loaded script.
#include <cstdint>

#include "core/script/install_script.h"
#include "lib/binary_xml.h"

using namespace dlx;

namespace {

void Query(const TInstallerScriptGroup& group) {
  TInstallerScriptFile* entry;
  group.FindByLangFamily(u"en", entry);
  for (int i = 0; i < group.Count(); ++i) {
    const TInstallerScriptFile* file = group.Items(i);
    (void)file->GetSourceName();
    (void)file->MatchesLangFamily(u"RU");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDLXMemoryStream stream(data, size);
  TInstallerScript script;
  try {
    script.LoadFromStream(stream);
  } catch (const EDLXStreamReadError&) {
    return 0;
  } catch (const EDLXXMLDocument&) {
    return 0;  // a second root, or corrupt binary data
  }
  Query(script.Actions());
  Query(script.Components());
  Query(script.License());
  Query(script.Shortcuts());
  for (const char16_t* name : {u"ProductName", u"ProductVersionId", u"HomePage", u""})
    (void)script.GetValue(name);
  return 0;
}
