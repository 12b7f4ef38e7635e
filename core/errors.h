// The engine's exceptions. Each carries only a message, and the message is what the user sees:
// start-up failures end in one error box, failures of a run become lines of the error list.
#pragma once

#include <initializer_list>

#include "lib/exceptions.h"

class EInstallerGeneralError : public dlx::EDLXException {
 public:
  using dlx::EDLXException::EDLXException;
};

class EInstallerBackupError : public EInstallerGeneralError {
 public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

class EInstallerInstallError : public EInstallerGeneralError {
 public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

// An installation that cannot be an update of what is at the destination.
class EInstallerUpdateError : public EInstallerInstallError {
 public:
  using EInstallerInstallError::EInstallerInstallError;
};

// Conditions that should not happen in a correct program (a forbidden option change, an
// uninstaller that cannot find where it belongs).
class EInstallerMysteryError : public EInstallerGeneralError {
 public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

class EInstallerNoAdminRightsError : public EInstallerGeneralError {
 public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

// Formats a message with "%s" placeholders, filled in order. Used for the engine's fixed messages
// and for language texts with arguments; a text with fewer placeholders than arguments drops the
// rest, one with more leaves them empty, so a translated text can never read past its arguments.
dlx::String FormatText(dlx::StringView format, std::initializer_list<dlx::StringView> args);
