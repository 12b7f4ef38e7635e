// The package tool's commands, callable with ready-made arguments so the entry points stay thin.
#pragma once

#include <vector>

#include "lib/dlx_string.h"

namespace ipk5 {

// Exit statuses: success, a failed operation, a malformed command line.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// args excludes the program name.
int Run(const std::vector<dlx::String>& args);

}  // namespace ipk5
