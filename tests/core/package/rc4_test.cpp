#include "core/package/rc4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "tests/core/package/test_streams.h"

using namespace dlx;

namespace {

std::vector<uint8_t> Encipher(const std::string& key, const std::string& text) {
  TRC4Context context;
  TRC4::Initialize(context, key.data(), key.size());
  std::vector<uint8_t> out(text.size());
  TRC4::Crypt(context, text.data(), out.data(), text.size());
  return out;
}

TEST(RC4, MatchesPublishedVectors) {
  EXPECT_EQ(Encipher("Key", "Plaintext"),
            (std::vector<uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));
  EXPECT_EQ(Encipher("Wiki", "pedia"), (std::vector<uint8_t>{0x10, 0x21, 0xBF, 0x04, 0x20}));
  EXPECT_EQ(Encipher("Secret", "Attack at dawn"),
            (std::vector<uint8_t>{0x45, 0xA0, 0x1F, 0x64, 0x5F, 0xC3, 0x5B, 0x38, 0x35, 0x52, 0x54, 0x4B,
                                  0x9B, 0xF5}));
}

TEST(RC4, ChunkedEqualsWholeAndRoundTripsInPlace) {
  const std::vector<uint8_t> key{0x93, 0x7E, 0x5A, 0x2B};
  std::vector<uint8_t> data = testing_streams::SampleData(65536);
  const std::vector<uint8_t> original = data;

  TRC4Context whole, split;
  TRC4::Initialize(whole, key);
  TRC4::Initialize(split, key);
  std::vector<uint8_t> a(data.size()), b(data.size());
  TRC4::Crypt(whole, data.data(), a.data(), data.size());
  TRC4::Crypt(split, data.data(), b.data(), 1);
  TRC4::Crypt(split, data.data() + 1, b.data() + 1, data.size() - 1);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, original);

  // In place, with a fresh context from the same key: back to the original.
  TRC4Context back;
  TRC4::Initialize(back, key);
  TRC4::Crypt(back, a.data(), a.data(), a.size());
  EXPECT_EQ(a, original);
}

TEST(RC4, InitializeResetsIndexesAndOnlyFirst256KeyBytesCount) {
  std::vector<uint8_t> longKey(300);
  for (size_t i = 0; i < longKey.size(); ++i) longKey[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> otherTail = longKey;
  otherTail[299] ^= 0xFF;
  TRC4Context a, b;
  TRC4::Initialize(a, longKey);
  TRC4::Initialize(b, otherTail);
  EXPECT_EQ(a.I, 0);
  EXPECT_EQ(a.J, 0);
  EXPECT_EQ(0, std::memcmp(a.S, b.S, 256));
}

TEST(RC4, EmptyKeyIsRefused) {
  TRC4Context context;
  EXPECT_THROW(TRC4::Initialize(context, nullptr, 0), EDLXArgumentOutOfRange);
  EXPECT_THROW(TRC4::Initialize(context, std::span<const uint8_t>()), EDLXArgumentOutOfRange);
}

}  // namespace
