#include "core/product_package.h"

#include <gtest/gtest.h>

#include "core/package/package.h"
#include "tests/core/extract_test_env.h"
#include "tests/core/resource_carrier.h"

using dlx::String;
using extractenv::TScratchFolder;

namespace {

// The index as the build writes it ("ipk5 list"): the table's names, sizes and offsets.
std::string IndexOf(const std::string& package) {
  dlx::TDLXMemoryStream stream(package.data(), package.size());
  stream.SetPosition(0);
  dlx::TSetupPackageReader reader(stream);
  std::string text;
  for (int32_t i = 0; i < reader.FileTable().Count(); ++i) {
    const auto& item = reader.FileTable().Items(i);
    text +=
        dlx::ToUtf8(item.Name) + "\t" + std::to_string(item.Size) + "\t" + std::to_string(item.Offset) + "\n";
  }
  return text;
}

TEST(ProductPackage, IndexLines) {
  struct {
    const char* text;
    bool valid;
    size_t count;
  } const cases[] = {
      {"a.txt\t5\t0\nMedia\\b.dat\t10\t5\n", true, 2},
      {"a.txt\t5\t0\r\nb\t1\t5", true, 2},  // CRLF, no break after the last line
      {"", true, 0},
      {"a.txt\t5\n", false, 0},        // no offset
      {"\t5\t0\n", false, 0},          // no name
      {"a.txt\t-5\t0\n", false, 0},    // no number
      {"a.txt\t5\t0x10\n", false, 0},  // no decimal number
      {"a.txt\t99999999999999999999\t0\n", false, 0},
      {"\xff\xfe\t5\t0\n", false, 0},  // no UTF-8
  };
  for (const auto& c : cases) {
    std::vector<TProductPackage::TIndexEntry> entries;
    EXPECT_EQ(TProductPackage::ParseIndex(c.text, entries), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(entries.size(), c.count) << c.text;
    }
  }
}

// A setup's PRODUCT resource with its index: the index answers at once, the decoded package must
// match it, and a damaged or mismatched one fails on every use of the files, never on a question.
TEST(ProductPackage, TheIndexAnswersAndTheDecodedPackageMustMatchIt) {
  TScratchFolder scratch;
  const std::string package =
      PackageBytes({{u"Install.xml", "<installer/>"}, {u"Media\\a.dat", std::string(5000, 'a')}});
  const std::string index = IndexOf(package);
  std::string damaged = package;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
  std::string otherSize = index;
  otherSize.replace(otherSize.find("5000"), 4, "5001");
  struct {
    const char* name;
    std::string product, index;
    bool sound;
  } const cases[] = {
      {"matching", package, index, true},
      {"damaged package", damaged, index, false},
      {"index with another size", package, otherSize, false},
      {"index that lacks an entry", package, index.substr(0, index.find('\n') + 1), false},
  };
  int number = 0;
  for (const auto& c : cases) {
    TCarrier carrier(scratch.Path() + u"carrier" + dlx::IntToStr(++number) + u".exe",
                     {{u"PRODUCT", c.product}, {u"PRODUCTINDEX", c.index}});
    ASSERT_NE(carrier.Module(), nullptr) << c.name;
    TProductPackage product(carrier.Module());
    EXPECT_TRUE(product.Has(u"install.XML")) << c.name;
    EXPECT_FALSE(product.Has(u"Install")) << c.name;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (c.sound) {
        std::unique_ptr<dlx::TDLXMemoryStream> stream;
        ASSERT_TRUE(product.Get().Extract(u"Media\\a.dat", stream)) << c.name;
        EXPECT_EQ(stream->Size(), 5000) << c.name;
      } else {
        EXPECT_THROW(product.Get(), dlx::ESetupPackageReadError) << c.name << ", attempt " << attempt;
      }
    }
  }

  // Without a usable index the package is decoded at once, and its damage shows there.
  TCarrier plain(scratch.Path() + u"plain.exe", {{u"PRODUCT", package}, {u"PRODUCTINDEX", "not an index"}});
  ASSERT_NE(plain.Module(), nullptr);
  TProductPackage product(plain.Module());
  EXPECT_TRUE(product.Has(u"Media\\a.dat"));
  TCarrier broken(scratch.Path() + u"broken.exe", {{u"PRODUCT", damaged}});
  ASSERT_NE(broken.Module(), nullptr);
  EXPECT_THROW(TProductPackage{broken.Module()}, dlx::ESetupPackageReadError);
}

}  // namespace
