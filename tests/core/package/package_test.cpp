#include "core/package/package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/package/hashes.h"
#include "core/package/lzma_stream.h"
#include "core/package/rc4.h"
#include "tests/core/package/test_streams.h"

using namespace dlx;
using testing_streams::Bytes;
using testing_streams::SampleData;
using testing_streams::TChunkedStream;

namespace {

struct Entry {
  String name;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> Build(const std::vector<Entry>& entries, int32_t key = SetupPackageKey, int level = 4) {
  TSetupPackageBuilder builder(key);
  for (const auto& e : entries) {
    TDLXMemoryStream s(e.data.data(), e.data.size());
    s.SetPosition(0);
    EXPECT_EQ(builder.Add(s, e.name), static_cast<int64_t>(e.data.size()));
  }
  TDLXMemoryStream out;
  builder.Commit(out, level);
  return Bytes(out);
}

std::unique_ptr<TSetupPackageReader> Read(const std::vector<uint8_t>& package) {
  TDLXMemoryStream s(package.data(), package.size());
  s.SetPosition(0);
  return std::make_unique<TSetupPackageReader>(s);
}

std::vector<uint8_t> ExtractBytes(const TCustomSetupPackage& package, StringView name) {
  std::unique_ptr<TDLXMemoryStream> s;
  if (!package.Extract(name, s)) return {0xDE, 0xAD};
  EXPECT_EQ(s->GetPosition(), 0);
  return Bytes(*s);
}

std::vector<Entry> SampleEntries() {
  return {{u"Install.xml", SampleData(3000, 1)},
          {u"English.lng", SampleData(1500, 2)},
          {u"empty.txt", {}},
          {u"pictures\\header.png", SampleData(700, 3)}};
}

TEST(PackageFormat, EmptyPackageHasTheKnownHeaderAndPayload) {
  const auto package = Build({});
  ASSERT_GE(package.size(), 12u + 5u);
  EXPECT_EQ(std::vector<uint8_t>(package.begin(), package.begin() + 12),
            (std::vector<uint8_t>{'I', 'P', 'K', '5', 0x05, 0x4C, 0xF5, 0x7C, 8, 0, 0, 0}));
  const auto reader = Read(package);
  EXPECT_EQ(reader->FileTable().Count(), 0);
  EXPECT_EQ(Bytes(reader->Payload()), (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 0, 0}));
}

TEST(PackageFormat, PayloadLayoutIsDataThenTableThenLength) {
  const auto reader = Read(Build({{u"ab", {1, 2, 3}}, {u"", {9}}}));
  // 4 data bytes; table: count 2, "ab" record (2+4+8+8) and empty-name record (2+8+8); length.
  const std::vector<uint8_t> expected = {
      1,  2, 3,   9,                                                          // entry data
      2,  0, 0,   0,                                                          // count
      2,  0, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0,  // "ab" @0 size 3
      0,  0, 3,   0, 0,   0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,              // "" @3 size 1
      44, 0, 0,   0};                                                         // table length
  EXPECT_EQ(Bytes(reader->Payload()), expected);
  EXPECT_EQ(ExtractBytes(*reader, u""), (std::vector<uint8_t>{9}));
}

TEST(PackageRoundTrip, EntriesComeBackByNameIgnoringCase) {
  const auto entries = SampleEntries();
  const auto reader = Read(Build(entries));
  ASSERT_EQ(reader->FileTable().Count(), 4);
  for (const auto& e : entries) EXPECT_EQ(ExtractBytes(*reader, e.name), e.data);
  EXPECT_EQ(reader->FileTable().Items(2).Size, 0);
  EXPECT_TRUE(ExtractBytes(*reader, u"empty.txt").empty());

  EXPECT_TRUE(reader->Exists(u"install.xml"));
  EXPECT_TRUE(reader->Exists(u"INSTALL.XML"));
  EXPECT_EQ(ExtractBytes(*reader, u"install.XML"), entries[0].data);
  EXPECT_FALSE(reader->Exists(u"Install"));       // a prefix is not a match
  EXPECT_FALSE(reader->Exists(u"Install.xml "));  // nor a longer name
  std::unique_ptr<TDLXMemoryStream> untouched;
  EXPECT_FALSE(reader->Extract(u"missing", untouched));
  EXPECT_EQ(untouched, nullptr);
}

TEST(PackageRoundTrip, DuplicateNamesGiveTheFirstEntry) {
  const auto reader = Read(Build({{u"a.txt", {1}}, {u"A.TXT", {2}}, {u"a.txt", {3}}}));
  EXPECT_EQ(reader->FileTable().Count(), 3);
  EXPECT_EQ(ExtractBytes(*reader, u"a.txt"), (std::vector<uint8_t>{1}));
  EXPECT_EQ(ExtractBytes(*reader, u"A.Txt"), (std::vector<uint8_t>{1}));
}

TEST(PackageRoundTrip, TableChangedAfterLoadingIsSearchedAsItNowIs) {
  TDLXMemoryStream stored;
  {
    TSetupPackageFileTable table;
    table.Add().Name = u"\u00c9t\u00e9.txt";
    table.Add().Name = u"b.txt";
    table.SaveToStream(stored);
  }
  stored.SetPosition(0);
  TSetupPackageFileTable table;
  table.LoadFromStream(stored);
  TSetupPackageFileTableItem* item = nullptr;
  ASSERT_TRUE(table.Find(u"\u00e9T\u00c9.TXT", item));
  EXPECT_EQ(item, &table.Items(0));

  // Renamed and added items are found under their new names, the old name no more.
  table.Items(1).Name = u"renamed.txt";
  table.Add().Name = u"added.txt";
  EXPECT_FALSE(table.Find(u"b.txt", item));
  ASSERT_TRUE(table.Find(u"RENAMED.TXT", item));
  EXPECT_EQ(item, &table.Items(1));
  ASSERT_TRUE(table.Find(u"Added.txt", item));
  EXPECT_EQ(item, &table.Items(2));

  table.Clear();
  EXPECT_FALSE(table.Find(u"\u00c9t\u00e9.txt", item));
}

TEST(PackageRoundTrip, ExtractedStreamsAreIndependentCopies) {
  const auto reader = Read(Build(SampleEntries()));
  std::unique_ptr<TDLXMemoryStream> first;
  ASSERT_TRUE(reader->Extract(u"English.lng", first));
  first->Memory()[0] ^= 0xFF;
  first->WriteBuffer("changed", 7);
  EXPECT_EQ(ExtractBytes(*reader, u"English.lng"), SampleEntries()[1].data);
}

TEST(PackageRoundTrip, NonAsciiNamesAndLongestNameSurvive) {
  String longest(65535, u'x');
  const auto reader = Read(Build({{u"\u00c9t\u00e9.txt", {5}}, {longest, {6}}}));
  EXPECT_EQ(reader->FileTable().Items(0).Name, u"\u00c9t\u00e9.txt");
  EXPECT_EQ(reader->FileTable().Items(1).Name, longest);
  EXPECT_EQ(ExtractBytes(*reader, longest), (std::vector<uint8_t>{6}));

  TSetupPackageBuilder builder(SetupPackageKey);
  TDLXMemoryStream s;
  EXPECT_THROW(builder.Add(s, String(65536, u'x')), EDLXArgumentOutOfRange);
  EXPECT_EQ(builder.FileTable().Count(), 0);
}

TEST(PackageBuilder, AddTakesTheRestOfTheStreamAndCommitCanBeRepeated) {
  const auto data = SampleData(100);
  TDLXMemoryStream s(data.data(), data.size());
  s.SetPosition(40);
  TSetupPackageBuilder builder(SetupPackageKey);
  EXPECT_EQ(builder.Add(s, u"tail"), 60);
  TDLXMemoryStream a, b;
  builder.Commit(a, 4);
  builder.Commit(b, 4);
  EXPECT_EQ(Bytes(a), Bytes(b));
  const auto reader = Read(Bytes(a));
  EXPECT_EQ(ExtractBytes(*reader, u"tail"), std::vector<uint8_t>(data.begin() + 40, data.end()));
}

TEST(PackageBuilder, FailedAddLeavesTheBuilderAsItWas) {
  TSetupPackageBuilder builder(SetupPackageKey);
  TDLXMemoryStream good("abc", 3);
  good.SetPosition(0);
  builder.Add(good, u"good");
  TChunkedStream failing(SampleData(100), 10);
  failing.FailReads();
  EXPECT_THROW(builder.Add(failing, u"bad"), EDLXException);
  EXPECT_EQ(builder.FileTable().Count(), 1);
  EXPECT_EQ(builder.Payload().Size(), 3u);
}

TEST(PackageErrors, WrongKeyIsCorruption) {
  const auto package = Build(SampleEntries(), SetupPackageKey ^ 0x01000000);
  try {
    Read(package);
    FAIL() << "read a package with a foreign key";
  } catch (const ESetupPackageReadError& e) {
    EXPECT_STREQ(e.what(), "Package was corrupted");
  } catch (const ELzmaError&) {
    // Allowed: the wrongly deciphered property byte may be invalid.
  }
}

TEST(PackageErrors, HeaderDamage) {
  const auto good = Build(SampleEntries());
  auto bad = good;
  bad[2] = 'X';
  EXPECT_THROW(Read(bad), ESetupPackageReadError);
  bad = good;
  bad[5] ^= 0x10;  // CRC field
  EXPECT_THROW(Read(bad), ESetupPackageReadError);
  bad = good;
  bad[8] ^= 0x01;  // size field
  EXPECT_THROW(Read(bad), ESetupPackageReadError);
  // Shorter than a header: the stream layer's read error.
  EXPECT_THROW(Read(std::vector<uint8_t>(good.begin(), good.begin() + 11)), EDLXStreamReadError);
  EXPECT_THROW(Read({}), EDLXStreamReadError);
}

TEST(PackageErrors, TruncatedBodyAndForgedSize) {
  const auto good = Build(SampleEntries());
  for (size_t cut : {good.size() - 1, good.size() / 2, size_t{17}, size_t{12}}) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(Read(std::vector<uint8_t>(good.begin(), good.begin() + cut)), ESetupPackageReadError);
  }
  // A size the body cannot decode to is refused before anything is allocated for it.
  auto forged = good;
  forged[8] = forged[9] = forged[10] = forged[11] = 0xFF;
  EXPECT_THROW(Read(forged), ESetupPackageReadError);
}

TEST(PackageErrors, BytesAfterTheBodyAreIgnored) {
  auto package = Build(SampleEntries());
  const auto extra = SampleData(100000, 77);
  package.insert(package.end(), extra.begin(), extra.end());
  const auto reader = Read(package);
  EXPECT_EQ(ExtractBytes(*reader, u"Install.xml"), SampleEntries()[0].data);
}

// A package whose header is right for a payload we make up, so the table itself can be damaged.
std::vector<uint8_t> PackageOfPayload(const std::vector<uint8_t>& payload) {
  TDLXMemoryStream source(payload.data(), payload.size());
  source.SetPosition(0);
  TDLXMemoryStream out;
  uint8_t header[12] = {'I', 'P', 'K', '5'};
  const uint32_t crc = Crc32(payload.data(), payload.size());
  const auto size = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    header[8 + i] = static_cast<uint8_t>(size >> (8 * i));
  }
  out.WriteBuffer(header, 12);
  TSetupPackageBuilder keyHolder(SetupPackageKey);
  auto context = std::make_shared<TRC4Context>();
  TRC4::Initialize(*context, keyHolder.KeyBytes);
  LzmaCompress(source, out, 0,
               MakePreprocessor([context](uint8_t* p, size_t n) { TRC4::Crypt(*context, p, p, n); }));
  return Bytes(out);
}

TEST(PackageErrors, TableThatPointsOutsideThePayloadIsAReadError) {
  // Table length larger than the payload.
  EXPECT_THROW(Read(PackageOfPayload({0, 0, 0, 0, 100, 0, 0, 0})), EDLXStreamReadError);
  // Negative table length.
  EXPECT_THROW(Read(PackageOfPayload({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})), EDLXStreamReadError);
  // A count far beyond what the table can hold.
  EXPECT_THROW(Read(PackageOfPayload({0xFF, 0xFF, 0xFF, 0x7F, 4, 0, 0, 0})), EDLXStreamReadError);
  // A record whose range lies beyond the payload.
  std::vector<uint8_t> p = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 22, 0, 0, 0};
  EXPECT_THROW(Read(PackageOfPayload(p)), EDLXStreamReadError);
  // A payload too small to hold a table length.
  EXPECT_THROW(Read(PackageOfPayload({1, 2})), EDLXStreamReadError);
  // A count of zero or less is an empty table.
  EXPECT_EQ(Read(PackageOfPayload({0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0}))->FileTable().Count(), 0);
}

TEST(PackageErrors, EverySingleBitFlipIsCaughtOrHarmless) {
  std::vector<Entry> entries = {{u"a.txt", SampleData(1800, 4)}, {u"B.bin", SampleData(900, 8)}};
  const auto good = Build(entries);
  ASSERT_GT(good.size(), 1000u);
  size_t rejected = 0, intact = 0;
  for (size_t offset = 0; offset < good.size(); ++offset) {
    for (int bit = 0; bit < 8; ++bit) {
      auto bad = good;
      bad[offset] ^= static_cast<uint8_t>(1u << bit);
      std::unique_ptr<TSetupPackageReader> reader;
      try {
        reader = Read(bad);
      } catch (const ESetupPackageReadError&) {
        ++rejected;
        continue;
      } catch (const ELzmaError&) {
        ++rejected;
        continue;
      } catch (const EDLXStreamReadError&) {
        ++rejected;
        continue;
      }
      // Accepted: it must be exactly the original.
      ASSERT_EQ(reader->FileTable().Count(), 2) << offset << ":" << bit;
      for (const auto& e : entries) ASSERT_EQ(ExtractBytes(*reader, e.name), e.data) << offset << ":" << bit;
      ++intact;
    }
  }
  EXPECT_EQ(rejected + intact, good.size() * 8);
  EXPECT_GT(rejected, good.size() * 7);
}

TEST(PackageFiles, SaveToFileAndReadTheFileBack) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "zuva_c_package_test";
  fs::create_directories(dir);
  const String name = FromUtf8((dir / "Uninstall.dat").string());
  TSetupPackageBuilder builder(SetupPackageKey);
  TDLXMemoryStream ini("[General]\r\n", 11);
  ini.SetPosition(0);
  builder.Add(ini, u"Uninstall.ini");
  builder.SaveToFile(name, UninstallDataLevel);
  TSetupPackageReader reader(name);
  EXPECT_EQ(ExtractBytes(reader, u"uninstall.ini"), std::vector<uint8_t>(ini.Memory(), ini.Memory() + 11));

  try {
    TSetupPackageReader missing(FromUtf8((dir / "missing.dat").string()));
    FAIL() << "opened a missing file";
  } catch (const EDLXException& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"", 0), 0u) << e.what();
  }
  fs::remove_all(dir);
}

}  // namespace

#ifdef _WIN32
namespace {

// The resource form: a copy of this test program gets the package as an RT_RCDATA resource and is
// loaded as a data file, the way the installer finds SETUP and PRODUCT in itself.
TEST(PackageResources, ReadsARawDataResourceAndReportsAMissingOne) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring copy = std::wstring(temp) + L"zuva_c_resource_test.exe";
  ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));

  const auto package = Build(SampleEntries());
  HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), L"SETUP",
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<uint8_t*>(package.data()),
                              static_cast<DWORD>(package.size())));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

  HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  {
    TSetupPackageReader reader(module, u"SETUP");
    EXPECT_EQ(ExtractBytes(reader, u"install.xml"), SampleEntries()[0].data);
    try {
      TSetupPackageReader missing(module, u"PRODUCT");
      FAIL() << "found a resource that does not exist";
    } catch (const EDLXException& e) {
      EXPECT_STREQ(e.what(), "Resource PRODUCT not found");
    }
  }
  FreeLibrary(module);
  DeleteFileW(copy.c_str());
}

}  // namespace
#endif
