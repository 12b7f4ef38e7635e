#include "core/texts.h"

#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"
#include "lib/log.h"

using dlx::String;

String CommonText(const char16_t* key, std::initializer_list<dlx::StringView> args) {
  String format;
  if (Installer) {
    TInstallerResources& resources = Installer->Resources();
    if (!resources.LanguageLoaded()) {
      try {
        resources.InitializeLanguages();
      } catch (const std::exception& e) {
        dlx::Log(u"No language for the message " + String(key) + u": " + dlx::FromUtf8(e.what()));
      }
    }
    format = resources.GetString(u"Common", key);
  }
  if (format.empty()) {
    format = key;
    for (size_t i = 0; i < args.size(); ++i) format += u" \"%s\"";
  }
  return FormatText(format, args);
}
