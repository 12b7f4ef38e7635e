// Whether code in a folder may run with administrator rights, and the access rule that makes a new
// installation folder outside the program-files folders as trustworthy as one inside them.
//
// The elevated run loads the product's shell-menu libraries and starts its integration program
// from the installation folder. When a standard user can change such a file, or its folder (add a
// library it imports, replace it), that user's code would run with administrator rights.
#pragma once

#include "lib/dlx_string.h"

// The access rule of the program-files folders: administrators and SYSTEM full control, users read
// and execute, nothing inherited from the parent: "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)
// (A;OICI;0x1200a9;;;BU)".
dlx::String ProgramFilesSecurityText();

// Gives the folder (which exists) the program-files access rule, for itself and what is made in it
// later. False, logged, when the system refuses.
bool ApplyProgramFilesSecurity(const dlx::String& folder);

// True when neither the object nor the folder it lies in is owned by, or grants a right to change
// it (write, append, add or delete entries, change its rules or owner) to, anyone but the
// administrators, SYSTEM, TrustedInstaller and the user the installer runs as. Otherwise false,
// with the reason in why. Rules that cannot be read count as not trusted.
bool IsChangeableOnlyByAdministrators(const dlx::String& path, dlx::String& why);

// IsChangeableOnlyByAdministrators for a library about to be loaded or a program about to be
// started by the elevated run; logs the refusal ("what" names the use).
bool MayRunElevated(const dlx::String& path, const dlx::String& what);
