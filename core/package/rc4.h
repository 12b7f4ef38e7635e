// The RC4 stream cipher that enciphers the compressed body of every setup package.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dlx {

// Generator state. It carries I, J and S from one Crypt call to the next, so enciphering
// consecutive chunks gives exactly the bytes of one call over the whole.
struct TRC4Context {
  uint8_t S[256];
  int32_t I;
  int32_t J;
};

class TRC4 {
 public:
  TRC4() = delete;

  // Runs the key schedule; an empty key raises EDLXArgumentOutOfRange (the schedule cycles
  // through the key bytes and has nothing to cycle through). Only the first 256 bytes count.
  static void Initialize(TRC4Context& context, std::span<const uint8_t> key);
  static void Initialize(TRC4Context& context, const void* key, size_t keyLength);

  // target[k] = source[k] xor the next keystream byte; source and target may be the same buffer.
  static void Crypt(TRC4Context& context, const void* source, void* target, size_t count);
};

}  // namespace dlx
