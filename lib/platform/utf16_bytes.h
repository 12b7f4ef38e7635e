// UTF-16 text to and from raw bytes of either byte order; the same on every platform.
#pragma once

#include <string>

#include "lib/dlx_string.h"

namespace dlx {

// False when an odd last byte had to be dropped.
bool DecodeUtf16(const char* data, size_t size, bool bigEndian, String& out);
void EncodeUtf16(StringView text, bool bigEndian, std::string& out);

}  // namespace dlx
