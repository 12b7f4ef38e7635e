#include <vector>

#include "tools/ipk5/ipk5.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<dlx::String> args;
  for (int i = 1; i < argc; ++i) args.push_back(dlx::FromW(argv[i]));
  return ipk5::Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<dlx::String> args;
  for (int i = 1; i < argc; ++i) args.push_back(dlx::FromUtf8(argv[i]));
  return ipk5::Run(args);
}
#endif
