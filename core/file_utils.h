// File and process helpers of the engine, shared by the actions: deleting a file that may be in
// use, and starting a helper program and waiting for it.
#pragma once

#include <cstdint>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"

// Deletes the file when it exists (read-only or not). A file in use is moved out of the way into
// the temporary folder under a fresh "delete..." name and scheduled for deletion at the next
// restart, so that its name is free at once. Never raises; what happened goes to the log.
void DeleteFileOrSchedule(const dlx::String& path);

// The folder below which the elevated run keeps its private folders: the system's temporary
// folder, which a standard user may add to but whose entries made by administrators no standard
// user may rename or replace (unlike the user's own temporary folder, whose parent the user
// controls); the common application-data folder when it is missing. With a trailing backslash.
dlx::String AdminTempFolder();

// A fresh name for a file moved out of the way until the next restart, in a private folder of this
// process below AdminTempFolder (made on first use). Raises the system's error when no folder can
// be made.
dlx::String ParkingName();
// Schedules a parked file, and after it its folder, for deletion at the next restart.
bool DeleteParkedAtRestart(const dlx::String& parked);

// Takes the path out of the system's list of deletions at the next restart (a file the run put
// back where it was); true when it was listed.
bool CancelDeleteAtRestart(const dlx::String& path);

// Starts the program (a full path) with the arguments as a new visible process, the program's path
// quoted on its command line and no handle inherited; waits up to five seconds for it to be ready
// for input and, unless that wait timed out, until it ends. False when the process could not be
// started. A wait on the main thread keeps delivering sent messages.
// A program still running after limitMs is ended and the wait raises EInstallerInstallError
// naming it: an unattended run must not wait for a program that waits for a person.
bool ExecuteAndWait(const dlx::String& program, const dlx::String& arguments, uint32_t limitMs);
// With the limit of the run: UnattendedWaitLimitMs when message boxes are suppressed, none
// otherwise (a person can see the program's window and answer it).
bool ExecuteAndWait(const dlx::String& program, const dlx::String& arguments);
uint32_t RunWaitLimitMs();
// How long an unattended run waits for a program it started or a library's registration call.
constexpr uint32_t kUnattendedWaitLimitMs = 120000;

// The error of a failed copy or move: "System Error.  Code: <code>.\r\n<system text>\r\n<source> ->
// <target>".
dlx::EDLXOSError OSErrorWithPaths(uint32_t code, const dlx::String& source, const dlx::String& target);
