#include "product/shell_cache_action.h"

#include <shlobj.h>
#include <windows.h>

#include "lib/log.h"

void TInstallerActionUpdateShellCache::Execute() {
  dlx::Log(u"Notifying the shell that file associations changed");
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
  // The shell rebuilds its icon cache asynchronously; give it a moment before the run ends.
  Sleep(1000);
}
