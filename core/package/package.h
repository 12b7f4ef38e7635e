// IPK5 setup packages: a 12-byte plain header ("IPK5", CRC-32 of the payload, payload size)
// followed by the payload compressed with the LZMA stream layer and enciphered with RC4 as it
// leaves the compressor. The payload holds the entries' bytes, then the file table and the
// table's length. A reader decodes everything when it is created and hands out entries by name;
// a builder gathers entries in memory and writes the package in one step.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"
#include "lib/stream.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dlx {

// The one key of every package the system reads or writes. Installed Uninstall.dat files are
// enciphered with it, so it can never change.
constexpr int32_t SetupPackageKey = 0x2B5A7E93;

// The level installers write their uninstall data with.
constexpr int32_t UninstallDataLevel = 4;

class ESetupPackageReadError : public EDLXException {
 public:
  ESetupPackageReadError() : EDLXException(u"Package was corrupted") {}
};

class TSetupPackageFileTableItem {
 public:
  int64_t Offset = 0;
  int64_t Size = 0;
  String Name;
};

// An owning list of items in table order.
class TSetupPackageFileTable {
 public:
  TSetupPackageFileTableItem& Add();
  int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  // Raises EDLXArgumentOutOfRange for an index outside the table.
  TSetupPackageFileTableItem& Items(int32_t index) const;
  // Same length and equal ignoring case under the user's locale; the first match wins.
  bool Find(StringView name, TSetupPackageFileTableItem*& item) const;
  // Appends the items of a table read from the stream's position (count, then records). Counts
  // and lengths are checked against what the stream still holds; a short stream raises
  // EDLXStreamReadError.
  void LoadFromStream(TDLXStream& stream);
  void SaveToStream(TDLXStream& stream) const;
  void Clear() {
    items_.clear();
    index_.clear();
  }

 private:
  std::vector<std::unique_ptr<TSetupPackageFileTableItem>> items_;
  // Upper-cased name -> the first item of that name, for the items read by LoadFromStream: an
  // installation looks up every one of thousands of entries. Items added or renamed later are
  // found by the scan that a miss falls back to.
  std::unordered_map<String, size_t> index_;
};

class TCustomSetupPackage {
 public:
  TCustomSetupPackage() = default;
  TCustomSetupPackage(const TCustomSetupPackage&) = delete;
  TCustomSetupPackage& operator=(const TCustomSetupPackage&) = delete;
  virtual ~TCustomSetupPackage() = default;

  bool Exists(StringView name) const;
  // On success, a new stream owned by the caller holding a copy of the entry, positioned at 0.
  // False (stream untouched) when there is no such entry; an entry whose range lies outside the
  // payload raises EDLXStreamReadError.
  bool Extract(StringView name, std::unique_ptr<TDLXMemoryStream>& stream) const;

  const TSetupPackageFileTable& FileTable() const noexcept { return fileTable_; }
  const TDLXMemoryStream& Payload() const noexcept { return payload_; }

 protected:
  TSetupPackageFileTable fileTable_;
  TDLXMemoryStream payload_;
};

class TSetupPackageReader : public TCustomSetupPackage {
 public:
  // Reads a package starting at the stream's position; the stream stays the caller's and is left
  // somewhere after the body. Bytes after the body are ignored.
  explicit TSetupPackageReader(TDLXStream& stream);
  // Opens the file for reading, sharing everything with others.
  explicit TSetupPackageReader(const String& fileName);
#ifdef _WIN32
  // A raw-data (RT_RCDATA) resource of the module; "Resource %s not found" when it is missing.
  TSetupPackageReader(HMODULE instance, const String& resourceName);
#endif

 private:
  void Read(TDLXStream& stream);
};

// Progress of a commit: payload bytes compressed so far and in all.
using TSetupPackageProgress = std::function<void(int64_t done, int64_t total)>;

class TSetupPackageBuilder : public TCustomSetupPackage {
 public:
  explicit TSetupPackageBuilder(int32_t key);

  // Records an entry and appends the stream's data from its position to its end; returns the
  // number of bytes copied. Names are limited to 65,535 UTF-16 code units. A failed copy leaves
  // the builder as it was.
  int64_t Add(TDLXStream& stream, StringView name);
  // Writes the finished package at the destination's position. The builder stays as it was, so
  // committing again writes the same package. Payloads of 4 GiB or more are refused.
  void Commit(TDLXStream& dest, int32_t level, const TSetupPackageProgress& progress = {});
  // Creates (or replaces) the file and commits into it; a failure removes the partial file.
  void SaveToFile(const String& fileName, int32_t level);

  std::array<uint8_t, 4> KeyBytes;
};

}  // namespace dlx
