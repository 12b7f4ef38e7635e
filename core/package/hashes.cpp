#include "core/package/hashes.h"

#include <array>
#include <cstring>
#include <vector>

#include "lib/exceptions.h"
#include "lib/file_stream.h"

#ifdef _WIN32
#include <wincrypt.h>
#include <windows.h>
#else
#include <openssl/evp.h>
#endif

namespace dlx {

namespace {

// Table k holds the register after byte n followed by k zero bytes, which lets the fast loop
// take eight bytes per step. Table 0 is the classic table; all eight are compile-time data.
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr TCrcTables MakeCrcTables() {
  TCrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t r = n << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : (r << 1);
    t[0][n] = r;
  }
  for (size_t k = 1; k < 8; ++k)
    for (size_t n = 0; n < 256; ++n) t[k][n] = t[0][t[k - 1][n] >> 24] ^ (t[k - 1][n] << 8);
  return t;
}

constexpr TCrcTables kCrcTables = MakeCrcTables();
static_assert(kCrcTables[0][1] == 0x04C11DB7u && kCrcTables[0][2] == 0x09823B6Eu);

inline uint32_t LoadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

struct TCrc32State final : TDLXHashStateData {
  uint32_t Value = 0;
  const uint32_t* Table = kCrcTables[0].data();
};

TCrc32State& CrcState(TDLXHashState& state) {
  auto* s = dynamic_cast<TCrc32State*>(state.get());
  if (s == nullptr) throw EDLXArgumentOutOfRange();
  return *s;
}

}  // namespace

uint32_t Crc32Bytewise(const void* data, size_t count, uint32_t value) {
  const auto* p = static_cast<const uint8_t*>(data);
  const auto& t = kCrcTables[0];
  for (size_t i = 0; i < count; ++i) value = t[(value >> 24) ^ p[i]] ^ (value << 8);
  return value;
}

uint32_t Crc32(const void* data, size_t count, uint32_t value) {
  const auto* p = static_cast<const uint8_t*>(data);
  const auto& t = kCrcTables;
  while (count >= 8) {
    const uint32_t x = value ^ LoadBigEndian32(p);
    value = t[7][x >> 24] ^ t[6][(x >> 16) & 0xFF] ^ t[5][(x >> 8) & 0xFF] ^ t[4][x & 0xFF] ^ t[3][p[4]] ^
            t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    count -= 8;
  }
  return Crc32Bytewise(p, count, value);
}

// ---- TDLXHash ----

void TDLXHash::Reset(TDLXHashState& state) const {
  Finalize(state);
  Initialize(state);
}

void TDLXHash::Update(TDLXHashState& state, std::span<const uint8_t> bytes) const {
  Update(state, bytes.data(), bytes.size());
}

void TDLXHash::Update(TDLXHashState& state, StringView text, const TDLXEncoding& encoding) const {
  if (encoding.IsNone()) {
    Update(state, text);
    return;
  }
  const std::string bytes = EncodeTextBytes(text, encoding);
  Update(state, bytes.data(), bytes.size());
}

void TDLXHash::Update(TDLXHashState& state, StringView text) const {
  // Little-endian regardless of the machine, so values agree across platforms.
  std::vector<uint8_t> bytes(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  Update(state, bytes.data(), bytes.size());
}

void TDLXHash::UpdateFromStream(TDLXHashState& state, TDLXStream& stream,
                                const TDLXHashProgressEvent& progress) const {
  if (auto* memory = dynamic_cast<TDLXMemoryStream*>(&stream)) {
    const auto position = static_cast<size_t>(memory->GetPosition());
    if (position < memory->Size()) Update(state, memory->Memory() + position, memory->Size() - position);
    return;
  }
  const int64_t size = stream.GetSize();
  uint8_t buffer[256];
  for (;;) {
    int64_t position = stream.GetPosition();
    if (position >= size) break;
    const size_t got = stream.Read(buffer, sizeof buffer);
    // A stream that stops short of its reported size ends the computation rather than looping.
    if (got == 0) break;
    Update(state, buffer, got);
    position = stream.GetPosition();
    if (progress)
      progress(nullptr,
               static_cast<float>(static_cast<double>(position) / static_cast<double>(size) * 100.0));
  }
}

void TDLXHash::UpdateFromFile(TDLXHashState& state, const String& fileName,
                              const TDLXHashProgressEvent& progress) const {
  TDLXBufferedFileStream stream(fileName, fmReadShared);
  UpdateFromStream(state, stream, progress);
}

TDLXHashValue TDLXHash::Calculate(StringView text) const {
  return Calculate(text, TDLXEncoding{});
}

TDLXHashValue TDLXHash::Calculate(StringView text, const TDLXEncoding& encoding) const {
  TDLXHashState state;
  Initialize(state);
  Update(state, text, encoding);
  return Finalize(state);
}

// ---- TDLXHashCRC32 ----

const TDLXHashCRC32& TDLXHashCRC32::Class() {
  static const TDLXHashCRC32 instance;
  return instance;
}

const uint32_t* TDLXHashCRC32::Table() {
  return kCrcTables[0].data();
}

void TDLXHashCRC32::Initialize(TDLXHashState& state) const {
  state = std::make_unique<TCrc32State>();
}

void TDLXHashCRC32::Update(TDLXHashState& state, const void* data, size_t count) const {
  TCrc32State& s = CrcState(state);
  s.Value = Crc32(data, count, s.Value);
}

TDLXHashValue TDLXHashCRC32::Finalize(TDLXHashState& state) const {
  const uint32_t value = CrcState(state).Value;
  state.reset();
  return value;
}

// ---- digest hashes ----

namespace {

String HexLower(const uint8_t* digest, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  String text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(static_cast<Char>(kDigits[digest[i] >> 4]));
    text.push_back(static_cast<Char>(kDigits[digest[i] & 0x0F]));
  }
  return text;
}

#ifdef _WIN32

[[noreturn]] void RaiseLastCryptoError() {
  const DWORD code = GetLastError();
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  String message = length ? FromW(buffer, length) : u"System error " + IntToStr(code);
  if (buffer) LocalFree(buffer);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
    message.pop_back();
  throw EDLXOSError(code, message);
}

struct TDigestState final : TDLXHashStateData {
  HCRYPTPROV Provider = 0;
  HCRYPTHASH Hash = 0;
  ~TDigestState() override {
    if (Hash) CryptDestroyHash(Hash);
    if (Provider) CryptReleaseContext(Provider, 0);
  }
};

TDigestState& DigestState(TDLXHashState& state) {
  auto* s = dynamic_cast<TDigestState*>(state.get());
  if (s == nullptr) throw EDLXArgumentOutOfRange();
  return *s;
}

void CreateDigest(TDLXHashState& state) {
  auto s = std::make_unique<TDigestState>();
  if (!CryptAcquireContextW(&s->Provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    RaiseLastCryptoError();
  if (!CryptCreateHash(s->Provider, CALG_MD5, 0, 0, &s->Hash)) RaiseLastCryptoError();
  state = std::move(s);
}

void FeedDigest(TDLXHashState& state, const void* data, size_t count) {
  TDigestState& s = DigestState(state);
  const auto* p = static_cast<const BYTE*>(data);
  // CryptHashData takes a 32-bit length.
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(count > 0x40000000u ? 0x40000000u : count);
    if (!CryptHashData(s.Hash, p, chunk, 0)) RaiseLastCryptoError();
    p += chunk;
    count -= chunk;
  }
}

String FinishDigest(TDLXHashState& state) {
  TDigestState& s = DigestState(state);
  DWORD hashSize = 0;
  DWORD length = sizeof hashSize;
  if (!CryptGetHashParam(s.Hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize), &length, 0))
    RaiseLastCryptoError();
  std::vector<uint8_t> digest(hashSize);
  length = hashSize;
  if (!CryptGetHashParam(s.Hash, HP_HASHVAL, digest.data(), &length, 0)) RaiseLastCryptoError();
  const String text = HexLower(digest.data(), length);
  if (!CryptDestroyHash(s.Hash)) {
    s.Hash = 0;
    RaiseLastCryptoError();
  }
  s.Hash = 0;
  state.reset();
  return text;
}

#else

[[noreturn]] void RaiseCryptoError(const char* what) {
  throw EDLXOSError(0, u"Cryptographic service failed: " + FromUtf8(what));
}

struct TDigestState final : TDLXHashStateData {
  EVP_MD_CTX* Context = nullptr;
  ~TDigestState() override { EVP_MD_CTX_free(Context); }
};

TDigestState& DigestState(TDLXHashState& state) {
  auto* s = dynamic_cast<TDigestState*>(state.get());
  if (s == nullptr) throw EDLXArgumentOutOfRange();
  return *s;
}

void CreateDigest(TDLXHashState& state) {
  auto s = std::make_unique<TDigestState>();
  s->Context = EVP_MD_CTX_new();
  if (s->Context == nullptr) RaiseCryptoError("EVP_MD_CTX_new");
  if (EVP_DigestInit_ex(s->Context, EVP_md5(), nullptr) != 1) RaiseCryptoError("EVP_DigestInit_ex");
  state = std::move(s);
}

void FeedDigest(TDLXHashState& state, const void* data, size_t count) {
  TDigestState& s = DigestState(state);
  if (count && EVP_DigestUpdate(s.Context, data, count) != 1) RaiseCryptoError("EVP_DigestUpdate");
}

String FinishDigest(TDLXHashState& state) {
  TDigestState& s = DigestState(state);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(s.Context, digest, &length) != 1) RaiseCryptoError("EVP_DigestFinal_ex");
  state.reset();
  return HexLower(digest, length);
}

#endif

}  // namespace

void TDLXHashCryptoApiBased::Initialize(TDLXHashState& state) const {
  CreateDigest(state);
}

void TDLXHashCryptoApiBased::Update(TDLXHashState& state, const void* data, size_t count) const {
  FeedDigest(state, data, count);
}

TDLXHashValue TDLXHashCryptoApiBased::Finalize(TDLXHashState& state) const {
  return FinishDigest(state);
}

const TDLXHashMD5& TDLXHashMD5::Class() {
  static const TDLXHashMD5 instance;
  return instance;
}

}  // namespace dlx
