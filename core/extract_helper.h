// Writes the script's files to their targets. A target that is in use (a running program) is not
// simply overwritten: when it already has the wanted content it is left alone; otherwise it is
// renamed out of the way, and if even that does not free the name the user decides whether to
// abort, retry or keep the old file.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>

#include "lib/dlx_string.h"
#include "lib/stream.h"

class TInstallerScriptFile;

class TInstallerExtractHelper {
 public:
  // The answers of the locked-file question (the message box's codes).
  static constexpr int qaAbort = IDABORT;    // 3
  static constexpr int qaRetry = IDRETRY;    // 4
  static constexpr int qaIgnore = IDIGNORE;  // 5

  // Asked with the question's text; answers one of the codes above. Runs on the main thread.
  using TLockedFileQuestion = std::function<int(const dlx::String& text)>;

  TInstallerExtractHelper() = default;
  virtual ~TInstallerExtractHelper() = default;
  TInstallerExtractHelper(const TInstallerExtractHelper&) = delete;
  TInstallerExtractHelper& operator=(const TInstallerExtractHelper&) = delete;

  // Writes the entry's package file to its expanded target, creating the folders on the way.
  void Extract(const TInstallerScriptFile& entry);
  // Creates the folder and its missing parents; EInstallerInstallError (Common/E3) when that fails.
  void ForceFolder(const dlx::String& folder);
  // Opens the target for writing. False when the file is to be left as it is (it is in use and
  // already holds the source's content, or the user chose to keep it). EInstallerInstallError
  // (Common/E1) when the user chose to abort.
  bool CreateTargetStream(const dlx::String& path, dlx::TDLXStream& source,
                          std::unique_ptr<dlx::TDLXStream>& target);
  // The language text Common/<key> used as a format with the arguments.
  dlx::String FormatCommonText(const dlx::String& key, std::initializer_list<dlx::StringView> args);

  // Replaces the message box of the locked-file question (tests, other front ends). Unset, the
  // box is shown on the main thread through the thread class's synchronize call; with message
  // boxes suppressed it answers Abort, the answer that stops safely.
  TLockedFileQuestion OnLockedFileQuestion;

 protected:
  // Shows the question on the main thread while the calling thread waits.
  virtual int AskLockedFile(const dlx::String& path);
};
