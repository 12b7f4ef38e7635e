#include "core/run_log.h"

#include "core/elevation.h"
#include "core/errors.h"
#include "core/installer.h"
#include "lib/command_line.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"

using dlx::String;
using dlx::TDLXCommandLineProcessor;

namespace {

struct TKnownSwitch {
  const char16_t* Name;
  bool TakesValue;
};

// Every switch some part of the program reads, and whether it reads a value.
// clang-format off
const TKnownSwitch kKnownSwitches[] = {
    {u"AUTO", true},
    {u"DIR", true},
    {u"LOG", true},
    {u"PATH", true},
    {u"SKIPUAC", true},
    {u"SPAWNTOKEN", true},
    {u"SILENT", false},
    {u"UPDATE", false},
    {u"PORTABLE", false},
    {u"NOBACKUP", false},
    {u"RUN", false},
    {u"SUPPRESSMSGBOXES", false},
    {u"?", false},
};
// clang-format on

const TKnownSwitch* FindKnown(const String& name) {
  for (const TKnownSwitch& known : kKnownSwitches)
    if (dlx::SameText(name, known.Name)) return &known;
  return nullptr;
}

String SwitchText(const TDLXCommandLineProcessor::TCommand& command) {
  String text = u"/" + command.Name;
  if (command.Count() > 0) text += u"=" + command.GetDelimitedText(u";", false);
  return text;
}

}  // namespace

bool OpenLogFromCommandLine(const String& args) {
  String fileName;
  if (!TDLXCommandLineProcessor::FindSwitch(args, u"LOG", fileName) || fileName.empty()) return false;
  // The log may lie in the folder the run is about to create; the folders are made first.
  const String folder = dlx::ExtractFilePath(fileName);
  const bool folderReady = folder.empty() || dlx::ForceDirectories(folder);
  const uint32_t folderError = folderReady ? 0 : dlx::platform::LastError();
  if (folderReady && dlx::TDLXLog::Open(fileName)) {
    dlx::Log(u"Log opened; arguments: " + ArgumentsForLog(args));
    return true;
  }
  String reason;
  if (dlx::DirectoryExists(fileName))
    reason = u"a folder of that name exists.";
  else if (!folderReady)
    reason = u"its folder cannot be created.\r\n" + SystemErrorMessage(folderError, String());
  else
    reason = SystemErrorMessage(dlx::platform::LastError(), String());
  throw EInstallerGeneralError(FormatText(u"Setup cannot write the log \"%s\": %s", {fileName, reason}));
}

std::vector<String> IgnoredArguments(const String& args) {
  std::vector<String> lines;
  std::vector<String> seen;
  for (const auto& command : TDLXCommandLineProcessor::Parse(args)) {
    if (command->Name.empty()) {
      for (int i = 0; i < command->Count(); ++i)
        lines.push_back(u"Ignored \"" + command->Strings(i) +
                        u"\": it belongs to no switch (a value holding blanks must be quoted)");
      continue;
    }
    const TKnownSwitch* known = FindKnown(command->Name);
    bool repeated = false;
    for (const String& name : seen) repeated = repeated || dlx::SameText(name, command->Name);
    seen.push_back(command->Name);
    if (!known)
      lines.push_back(u"Ignored " + SwitchText(*command) + u": unknown switch");
    else if (repeated)
      lines.push_back(u"Ignored " + SwitchText(*command) + u": only the first /" + command->Name +
                      u" counts");
    else if (!known->TakesValue && command->Count() > 0)
      lines.push_back(u"Ignored \"" + command->GetDelimitedText(u";", false) + u"\": /" + command->Name +
                      u" takes no value");
  }
  return lines;
}

void LogIgnoredArguments(const String& args) {
  for (const String& line : IgnoredArguments(args)) dlx::Log(line);
}
