// The hash family: CRC-32 guards package payloads, MD5 compares files on disk with the data about
// to be written. The family is used through one constant object per class (TDLXHashCRC32::Class(),
// TDLXHashMD5::Class()), never through instances of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <variant>

#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "lib/text_encoding.h"

namespace dlx {

// One running computation. Initialize creates it, Update advances it, Finalize consumes it.
class TDLXHashStateData {
 public:
  virtual ~TDLXHashStateData() = default;
};
using TDLXHashState = std::unique_ptr<TDLXHashStateData>;

// CRC-32 gives uint32_t, the digest hashes give lowercase hexadecimal text.
using TDLXHashValue = std::variant<std::monostate, uint32_t, String>;

// Progress in percent; the hash helpers pass a null sender.
using TDLXHashProgressEvent = std::function<void(void* sender, float percent)>;

class TDLXHash {
 public:
  TDLXHash(const TDLXHash&) = delete;
  TDLXHash& operator=(const TDLXHash&) = delete;

  // Produces the value and releases the state (state is empty afterwards).
  virtual TDLXHashValue Finalize(TDLXHashState& state) const = 0;
  virtual void Initialize(TDLXHashState& state) const = 0;
  // Finalizes into a value that is thrown away and initializes the same state again.
  virtual void Reset(TDLXHashState& state) const;
  virtual void Update(TDLXHashState& state, const void* data, size_t count) const = 0;

  void Update(TDLXHashState& state, std::span<const uint8_t> bytes) const;
  // Without an encoding: the text's UTF-16LE code units, no terminator. With one: the bytes the
  // encoding produces for the text, without a byte-order mark.
  void Update(TDLXHashState& state, StringView text) const;
  void Update(TDLXHashState& state, StringView text, const TDLXEncoding& encoding) const;

  // Feeds the stream from its position to its end. A memory stream is fed straight from its
  // memory, without moving its position and without progress; any other stream is read in
  // 256-byte steps with progress after each.
  void UpdateFromStream(TDLXHashState& state, TDLXStream& stream,
                        const TDLXHashProgressEvent& progress = {}) const;
  // Opens the file for reading, sharing everything with others.
  void UpdateFromFile(TDLXHashState& state, const String& fileName,
                      const TDLXHashProgressEvent& progress = {}) const;

  TDLXHashValue Calculate(StringView text) const;
  TDLXHashValue Calculate(StringView text, const TDLXEncoding& encoding) const;

 protected:
  TDLXHash() = default;
  ~TDLXHash() = default;
};

// Width 32, polynomial 0x04C11DB7, initial value 0, no reflection, no final XOR. Not the zlib CRC.
class TDLXHashCRC32 final : public TDLXHash {
 public:
  static const TDLXHashCRC32& Class();

  TDLXHashValue Finalize(TDLXHashState& state) const override;
  void Initialize(TDLXHashState& state) const override;
  void Update(TDLXHashState& state, const void* data, size_t count) const override;
  using TDLXHash::Update;

  // The built-in most-significant-bit-first table (entry 1 is 0x04C11DB7).
  static const uint32_t* Table();

 private:
  TDLXHashCRC32() = default;
};

// Continues a CRC-32 of the family over more bytes; Crc32(data, n) is the CRC of data alone.
uint32_t Crc32(const void* data, size_t count, uint32_t value = 0);
// The plain byte-at-a-time form of the same CRC, kept as the reference the fast one must match.
uint32_t Crc32Bytewise(const void* data, size_t count, uint32_t value = 0);

// Digest hashes computed by the platform's cryptographic service (CryptoAPI on Windows,
// libcrypto elsewhere). Failures of that service raise EDLXOSError.
class TDLXHashCryptoApiBased : public TDLXHash {
 public:
  TDLXHashValue Finalize(TDLXHashState& state) const override;
  void Initialize(TDLXHashState& state) const override;
  void Update(TDLXHashState& state, const void* data, size_t count) const override;
  using TDLXHash::Update;

 protected:
  enum TDigestAlgorithm { daMD5 };
  explicit TDLXHashCryptoApiBased(TDigestAlgorithm algorithm) : algorithm_(algorithm) {}

 private:
  [[maybe_unused]] TDigestAlgorithm algorithm_;
};

// RFC 1321 MD5; Finalize gives 32 lowercase hexadecimal characters.
class TDLXHashMD5 final : public TDLXHashCryptoApiBased {
 public:
  static const TDLXHashMD5& Class();

 private:
  TDLXHashMD5() : TDLXHashCryptoApiBased(daMD5) {}
};

}  // namespace dlx
