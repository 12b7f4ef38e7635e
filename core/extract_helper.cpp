#include "core/extract_helper.h"

#include <vector>

#include "core/errors.h"
#include "core/installer.h"
#include "core/package/hashes.h"
#include "core/pending_restart.h"
#include "core/resources.h"
#include "core/script/install_script.h"
#include "lib/file_stream.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

using dlx::String;

namespace {

// Everything up to and including the last ':', '\' or '/'.
String FolderPart(const String& path) {
  const size_t at = path.find_last_of(u":\\/");
  return at == String::npos ? String() : path.substr(0, at + 1);
}

String HashText(const dlx::TDLXHashValue& value) {
  const String* text = std::get_if<String>(&value);
  return text ? *text : String();
}

// The MD5 of the file, or empty when it cannot be read (a file opened by its user without
// sharing reads is such a case).
String FileMD5(const String& path) {
  try {
    const auto& md5 = dlx::TDLXHashMD5::Class();
    dlx::TDLXHashState state;
    md5.Initialize(state);
    md5.UpdateFromFile(state, path);
    return HashText(md5.Finalize(state));
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"Cannot read \"" + path + u"\" to compare it: " + e.Message());
    return String();
  }
}

String StreamMD5(dlx::TDLXStream& stream) {
  const auto& md5 = dlx::TDLXHashMD5::Class();
  dlx::TDLXHashState state;
  md5.Initialize(state);
  stream.SetPosition(0);
  md5.UpdateFromStream(state, stream);
  return HashText(md5.Finalize(state));
}

// The entry is already whole in memory, so the file is written in one call, without a buffer of
// its own in between: a buffer per file costs more than it saves over thousands of small files.
// error receives the system's code of a failure (0 when the failure had none).
std::unique_ptr<dlx::TDLXStream> TryCreate(const String& path, uint32_t& error) {
  error = 0;
  try {
    return std::make_unique<dlx::TDLXFileStream>(path, dlx::fmCreateTarget);
  } catch (const dlx::EDLXOSError& e) {
    error = e.Code();
  } catch (const dlx::EDLXException&) {
  }
  return nullptr;
}

// Only these mean that someone holds the file (a running program, a library in use); any other
// failure (an invalid name, no access) cannot be cured by renaming the file or asking.
bool IsInUse(uint32_t error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

String TInstallerExtractHelper::FormatCommonText(const String& key,
                                                 std::initializer_list<dlx::StringView> args) {
  return FormatText(Installer->Resources().GetString(u"Common", key), args);
}

void TInstallerExtractHelper::ForceFolder(const String& folder) {
  if (folder.empty() || !dlx::ForceDirectories(folder)) {
    const String message = FormatCommonText(u"E3", {folder});
    dlx::Log(u"Cannot create folder \"" + folder + u"\"");
    throw EInstallerInstallError(message);
  }
}

void TInstallerExtractHelper::Extract(const TInstallerScriptFile& entry) {
  TInstallerResources& resources = Installer->Resources();
  const String target = resources.ExpandPath(entry.Name);
  ForceFolder(FolderPart(target));
  std::unique_ptr<dlx::TDLXMemoryStream> source = resources.GetFile(entry.GetSourceName());
  std::unique_ptr<dlx::TDLXStream> file;
  if (!CreateTargetStream(target, *source, file)) return;
  // A short write (a full disk) raises here, so the run ends instead of leaving a short file.
  file->WriteBuffer(source->Memory(), static_cast<size_t>(source->Size()));
  file.reset();
  dlx::Log(u"Written \"" + target + u"\" (" + dlx::IntToStr(source->Size()) + u" bytes)");
}

bool TInstallerExtractHelper::CreateTargetStream(const String& path, dlx::TDLXStream& source,
                                                 std::unique_ptr<dlx::TDLXStream>& target) {
  uint32_t createError = 0;
  target = TryCreate(path, createError);
  if (target) return true;
  if (!IsInUse(createError)) {
    dlx::Log(u"Cannot create \"" + path + u"\" (" + dlx::IntToStr(static_cast<int64_t>(createError)) + u")");
    const String reason = createError ? dlx::platform::ErrorMessage(createError) : String(u"Unknown error");
    throw EInstallerInstallError(FormatText(u"Cannot create file \"%s\". %s", {path, reason}));
  }

  const String existing = FileMD5(path);
  if (!existing.empty() && dlx::SameText(existing, StreamMD5(source))) {
    dlx::Log(u"Skipped \"" + path + u"\": in use and identical");
    return false;
  }
  const String backup = path + u".bak";
  if (dlx::MoveFile(path, backup)) {
    dlx::Log(u"Renamed \"" + path + u"\" to \"" + backup + u"\": in use (" +
             dlx::IntToStr(static_cast<int64_t>(createError)) + u")");
    // The program that holds the old file goes on with it until it ends.
    NoteRestartNeeded(path);
  } else
    dlx::Log(u"Cannot rename \"" + path + u"\" to \"" + backup + u"\" (" +
             dlx::platform::ErrorMessage(dlx::platform::LastError()) + u")");

  for (;;) {
    uint32_t error = 0;
    target = TryCreate(path, error);
    if (target) return true;
    if (!IsInUse(error)) {
      const String reason = error ? dlx::platform::ErrorMessage(error) : String(u"Unknown error");
      throw EInstallerInstallError(FormatText(u"Cannot create file \"%s\". %s", {path, reason}));
    }
    const int answer = AskLockedFile(path);
    if (answer == qaRetry) {
      dlx::Log(u"Locked file \"" + path + u"\": retry");
      continue;
    }
    if (answer == qaAbort) {
      dlx::Log(u"Locked file \"" + path + u"\": abort");
      throw EInstallerInstallError(FormatCommonText(u"E1", {path}));
    }
    dlx::Log(u"Skipped \"" + path + u"\": in use, kept by the user");
    return false;
  }
}

int TInstallerExtractHelper::AskLockedFile(const String& path) {
  const String text = FormatCommonText(u"QM2", {path});
  if (!OnLockedFileQuestion && dlx::MessageBoxesSuppressed()) {
    // Nobody can answer, and the question's default (Retry) would retry for ever: the run stops
    // safely instead, and its rollback puts the previous installation back.
    dlx::Log(u"Locked file \"" + path + u"\": nobody can be asked (message boxes are suppressed), abort");
    return qaAbort;
  }
  int answer = qaAbort;
  dlx::TDLXThread::Synchronize([&] {
    if (OnLockedFileQuestion) {
      answer = OnLockedFileQuestion(text);
      return;
    }
    const String caption = Installer->Resources().GetString(u"Common", u"Caption");
    // Owned by the wizard, so the question stays over it and the wizard waits for the answer.
    answer = dlx::ShowErrorBox(GetActiveWindow(), text, caption,
                               MB_ABORTRETRYIGNORE | MB_ICONWARNING | MB_DEFBUTTON2);
  });
  return answer;
}
