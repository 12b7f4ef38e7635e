// Starting programs after the installation in the desktop user's context.
//
// The installer runs elevated, but what it starts afterwards (the product, a readme) must not. A
// non-elevated start therefore relaunches itself elevated and stays behind as a partner: it
// passes the handle of a message-only window of its own in the switch SKIPUAC and serves that
// window while it waits. The elevated installer sends each command to that window with
// WM_COPYDATA, tagged with the registered message "SpawnToken", and the partner starts it in its
// own, unelevated context. Without a partner the command goes to Explorer, which runs as the
// desktop user too.
//
// Other programs of the desktop user could send to that window too. The launcher therefore makes
// a random token and passes it on the elevated process's command line (/SPAWNTOKEN), which no
// program of lower integrity can read; a request starts with the token and names a window of its
// sender in wParam, whose process must be the one the launcher started or a child of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "lib/dlx_string.h"

class TInstallerSpawnService {
 public:
  // Partner handle 0 creates this process's own spawn window (the launcher side); any other value
  // is the partner's window received through SKIPUAC. A second call raises "SpawnService is
  // already initialized". Must run on the main thread (the window belongs to it).
  // The partner side takes the request token it received; the own window makes a new one.
  static void Initialize(intptr_t partner, const dlx::String& requestToken = dlx::String());
  // Destroys a window this process owns and forgets the state; safe to call when not initialized.
  static void Finalize();

  // Starts the command (a single path, never split into program and arguments): through the
  // partner when there is one, else through Explorer. Failures are logged, never raised.
  static void Spawn(const dlx::String& command);

  // The token of the requests (the own window's, or the one received from the partner).
  static const dlx::String& RequestToken();
  // The process whose requests (and whose children's) the own window accepts.
  static void TrustProcess(unsigned long processId);

  static bool Initialized();
  static HWND Handle();
  static bool OwnsWindow();
  static UINT SpawnTokenMessage();

  // Sends one spawn request (the token, then the command) to a partner window, waiting at most
  // 30 seconds; false when it could not be delivered (the window no longer exists, or hangs).
  static bool SendSpawnRequest(HWND partner, const dlx::String& command);

  // What the spawn window does with a request: by default ShellExecuteW "open" of the command.
  // Tests put a recorder here; an empty function restores the default.
  using TStarter = std::function<void(const dlx::String& command)>;
  static void SetStarter(TStarter starter);
};
