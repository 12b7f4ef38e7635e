#include "core/package/rc4.h"

#include "lib/exceptions.h"

namespace dlx {

void TRC4::Initialize(TRC4Context& context, std::span<const uint8_t> key) {
  Initialize(context, key.data(), key.size());
}

void TRC4::Initialize(TRC4Context& context, const void* key, size_t keyLength) {
  if (key == nullptr || keyLength == 0) throw EDLXArgumentOutOfRange();
  const auto* k = static_cast<const uint8_t*>(key);
  for (int i = 0; i < 256; ++i) context.S[i] = static_cast<uint8_t>(i);
  unsigned j = 0;
  for (unsigned i = 0; i < 256; ++i) {
    j = (j + context.S[i] + k[i % keyLength]) & 0xFF;
    const uint8_t t = context.S[i];
    context.S[i] = context.S[j];
    context.S[j] = t;
  }
  context.I = 0;
  context.J = 0;
}

void TRC4::Crypt(TRC4Context& context, const void* source, void* target, size_t count) {
  const auto* in = static_cast<const uint8_t*>(source);
  auto* out = static_cast<uint8_t*>(target);
  uint8_t* s = context.S;
  // Work on locals; the context may hold any values if a caller filled it by hand, so keep the
  // indexes in range.
  unsigned i = static_cast<unsigned>(context.I) & 0xFF;
  unsigned j = static_cast<unsigned>(context.J) & 0xFF;
  for (size_t k = 0; k < count; ++k) {
    i = (i + 1) & 0xFF;
    const uint8_t si = s[i];
    j = (j + si) & 0xFF;
    const uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    out[k] = static_cast<uint8_t>(in[k] ^ s[(si + sj) & 0xFF]);
  }
  context.I = static_cast<int32_t>(i);
  context.J = static_cast<int32_t>(j);
}

}  // namespace dlx
