// The messages the user reads, from the language files' [Common] section, so that every one of
// them is in the run's language.
#pragma once

#include <initializer_list>

#include "lib/dlx_string.h"

// The text of the key with each "%s" replaced by the next argument. A message needed before a
// language is chosen (a refused /AUTO folder) uses the system's. Without an installer or language
// material (tests of single steps) it is the key followed by the arguments.
dlx::String CommonText(const char16_t* key, std::initializer_list<dlx::StringView> args = {});
