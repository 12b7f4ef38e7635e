// Writes a shell link (.lnk) to a target, as an older installation left them:
// zuva_make_link.exe <link> <target>. Exits 1 when the link cannot be written.
#include "lib/dlx_string.h"
#include "product/shell_link.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  return WriteShellLink(dlx::FromW(argv[1]), dlx::FromW(argv[2])) ? 0 : 1;
}
