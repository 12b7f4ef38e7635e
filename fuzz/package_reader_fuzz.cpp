// Feeds arbitrary bytes to the package reader, in two ways chosen by the first byte:
// - even: the rest is taken as a package file. Seeds are real packages; because the body is an
//   RC4 stream, a mutated body byte is the same mutation of the LZMA data behind it, so this
//   exercises the header checks and the decoder.
// - odd: the rest is taken as a payload and wrapped in a valid package (right CRC and size), so
//   the file table parser sees arbitrary tables, which the CRC would otherwise keep from it. The
//   payload is coded as LZMA literals by a small range coder here: the real encoder allocates
//   megabytes per call, which under ASan costs more than everything else in a run.
// Every failure must be one of the reader's documented errors, and whatever it accepts must
// extract within bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/package/hashes.h"
#include "core/package/lzma_stream.h"
#include "core/package/package.h"
#include "core/package/rc4.h"

using namespace dlx;

namespace {

// LZMA with lc = lp = pb = 0, every byte a literal: one "is match" probability and one literal
// tree, coded by the standard range encoder.
class TLiteralLzma {
 public:
  std::vector<uint8_t> Encode(const uint8_t* data, size_t size) {
    out_ = {0x00, 0x00, 0x00, 0x01, 0x00};  // lc/lp/pb 0, 64 KiB dictionary
    uint16_t isMatch = 1024;
    std::vector<uint16_t> literal(0x300, 1024);
    for (size_t i = 0; i < size; ++i) {
      EncodeBit(isMatch, 0);
      unsigned symbol = 1;
      for (int bit = 7; bit >= 0; --bit) {
        const unsigned b = (data[i] >> bit) & 1;
        EncodeBit(literal[symbol], b);
        symbol = (symbol << 1) | b;
      }
    }
    for (int i = 0; i < 5; ++i) ShiftLow();
    return out_;
  }

 private:
  void EncodeBit(uint16_t& prob, unsigned bit) {
    const uint32_t bound = (range_ >> 11) * prob;
    if (bit == 0) {
      range_ = bound;
      prob = static_cast<uint16_t>(prob + ((2048 - prob) >> 5));
    } else {
      low_ += bound;
      range_ -= bound;
      prob = static_cast<uint16_t>(prob - (prob >> 5));
    }
    while (range_ < (1u << 24)) {
      range_ <<= 8;
      ShiftLow();
    }
  }
  void ShiftLow() {
    if (static_cast<uint32_t>(low_) < 0xFF000000u || (low_ >> 32) != 0) {
      uint8_t temp = cache_;
      do {
        out_.push_back(static_cast<uint8_t>(temp + static_cast<uint8_t>(low_ >> 32)));
        temp = 0xFF;
      } while (--cacheSize_ != 0);
      cache_ = static_cast<uint8_t>(static_cast<uint32_t>(low_) >> 24);
    }
    ++cacheSize_;
    low_ = static_cast<uint32_t>(low_) << 8;
  }

  std::vector<uint8_t> out_;
  uint64_t low_ = 0;
  uint32_t range_ = 0xFFFFFFFFu;
  uint8_t cache_ = 0;
  uint64_t cacheSize_ = 1;
};

std::array<uint8_t, 4> PackageKey() {
  return TSetupPackageBuilder(SetupPackageKey).KeyBytes;
}

void WrapPayload(const uint8_t* payload, size_t size, TDLXMemoryStream& out) {
  uint8_t header[12] = {'I', 'P', 'K', '5'};
  const uint32_t crc = Crc32(payload, size);
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    header[8 + i] = static_cast<uint8_t>(size >> (8 * i));
  }
  out.WriteBuffer(header, sizeof header);
  std::vector<uint8_t> body = TLiteralLzma().Encode(payload, size);
  TRC4Context context;
  TRC4::Initialize(context, PackageKey());
  TRC4::Crypt(context, body.data(), body.data(), body.size());
  out.WriteBuffer(body.data(), body.size());
  out.SetPosition(0);
}

// Decoding cost follows the properties and the size the header claims; the reader allows
// thousands of times the input and probability tables of megabytes, which would make each run
// slow without reaching new code. Large claims are left to the unit tests.
bool Affordable(const uint8_t* package, size_t size) {
  if (size < 13) return true;
  const uint32_t claimed =
      package[8] | (package[9] << 8) | (package[10] << 16) | (uint32_t{package[11]} << 24);
  if (claimed > (1u << 16)) return false;
  static const uint8_t firstKeystreamByte = [] {
    TRC4Context context;
    TRC4::Initialize(context, PackageKey());
    uint8_t zero = 0;
    TRC4::Crypt(context, &zero, &zero, 1);
    return zero;
  }();
  const unsigned properties = package[12] ^ firstKeystreamByte;
  if (properties >= 225) return true;  // rejected before any allocation
  const unsigned lc = properties % 9, lp = (properties / 9) % 5;
  return lc + lp <= 6;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TDLXMemoryStream source;
  if (data[0] & 1) {
    WrapPayload(data + 1, size - 1, source);
  } else {
    if (!Affordable(data + 1, size - 1)) return 0;
    source.WriteBuffer(data + 1, size - 1);
    source.SetPosition(0);
  }
  try {
    TSetupPackageReader reader(source);
    const auto& table = reader.FileTable();
    const int64_t payloadSize = static_cast<int64_t>(reader.Payload().Size());
    for (int32_t i = 0; i < table.Count(); ++i) {
      const auto& item = table.Items(i);
      if (item.Offset < 0 || item.Size < 0 || item.Offset + item.Size > payloadSize) __builtin_trap();
      std::unique_ptr<TDLXMemoryStream> entry;
      if (!reader.Extract(item.Name, entry)) __builtin_trap();
      if (entry->GetPosition() != 0) __builtin_trap();
    }
  } catch (const ESetupPackageReadError&) {
    // A wrapped payload has the right CRC and size: only its table can be refused, and that is
    // the stream read error.
    if (data[0] & 1) __builtin_trap();
  } catch (const ELzmaError&) {
    if (data[0] & 1) __builtin_trap();
  } catch (const EDLXStreamReadError&) {
  }
  return 0;
}
