#include "lib/file_enum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "lib/file_system.h"

using namespace dlx;
namespace fs = std::filesystem;

namespace {

class FileEnumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / (std::string("dlx-enum-") + info->name());
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  String P(const std::u16string& relative = u"") const { return root_.u16string() + u"\\" + relative; }
  void Make(const std::string& relative) const {
    const fs::path p = root_ / fs::path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }
  // Paths relative to the root, for comparisons.
  String Rel(const String& full) const { return full.substr(P().size()); }

  fs::path root_;
};

std::vector<String> Sorted(std::vector<String> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST_F(FileEnumTest, FindFirstOnEmptyOrMissingFoldersFindsNothing) {
  TDLXFindFileInfo info;
  EXPECT_FALSE(FindFirst(P(), u"", tmAll, info));
  EXPECT_FALSE(info.Handle.Valid());
  EXPECT_TRUE(info.Name.empty());
  EXPECT_FALSE(FindFirst(P(u"missing"), u"", tmAll, info));
  Make("only.txt");
  EXPECT_FALSE(FindFirst(P(), u"", tmFolders, info)) << "nothing passes the type mask";
  EXPECT_FALSE(FindFirst(P(), u"*.exe;", tmAll, info)) << "nothing passes the extension list";
  EXPECT_FALSE(FindNext(info)) << "a closed listing has no next entry";
}

TEST_F(FileEnumTest, FindListsByTypeMaskAndExtensionList) {
  Make("a.exe");
  Make("b.DLL");
  Make("c.txt");
  Make("sub.exe/inner.txt");  // a folder whose name matches the list is still a folder
  auto list = [&](StringView extensions, uint32_t mask) {
    std::vector<String> names;
    TDLXFindFileInfo info;
    if (FindFirst(P(), extensions, mask, info)) {
      do {
        EXPECT_EQ(info.Folder, P());
        EXPECT_EQ(info.Type, info.Name == u"sub.exe" ? ftFolder : ftFile);
        names.push_back(info.Name);
      } while (FindNext(info));
    }
    EXPECT_FALSE(info.Handle.Valid()) << "the end of the listing closes it";
    return Sorted(names);
  };
  EXPECT_EQ(list(u"", tmAll), (std::vector<String>{u"a.exe", u"b.DLL", u"c.txt", u"sub.exe"}));
  EXPECT_EQ(list(u"", tmFiles), (std::vector<String>{u"a.exe", u"b.DLL", u"c.txt"}));
  EXPECT_EQ(list(u"", tmFolders), (std::vector<String>{u"sub.exe"}));
  EXPECT_EQ(list(u"*.exe;*.dll;", tmAll), (std::vector<String>{u"a.exe", u"b.DLL", u"sub.exe"}));
  EXPECT_EQ(list(u"*.exe;*.dll;", tmFiles), (std::vector<String>{u"a.exe", u"b.DLL"}));
}

TEST_F(FileEnumTest, FindCloseEndsAListingEarly) {
  Make("1.txt");
  Make("2.txt");
  TDLXFindFileInfo info;
  ASSERT_TRUE(FindFirst(P(), u"", tmAll, info));
  FindClose(info);
  EXPECT_FALSE(info.Handle.Valid());
  EXPECT_FALSE(FindNext(info));
}

TEST_F(FileEnumTest, EnumFilesVisitsSubfoldersBeforeTheFoldersOwnEntries) {
  Make("top.txt");
  Make("top.bin");
  Make("s1/one.txt");
  Make("s1/deep/two.txt");
  Make("s2/three.txt");
  std::vector<String> seen;
  EnumFiles(P(), u"*.txt;", tmAll, true, [&](const String& path) { seen.push_back(Rel(path)); });
  const std::vector<String> expected = {
      u"s1\\deep\\", u"s1\\deep\\two.txt", u"s1\\one.txt", u"s2\\three.txt", u"s1\\", u"s2\\", u"top.txt"};
  EXPECT_EQ(Sorted(seen), Sorted(expected));
  auto at = [&](const String& rel) { return std::find(seen.begin(), seen.end(), rel) - seen.begin(); };
  EXPECT_LT(at(u"s1\\deep\\two.txt"), at(u"s1\\one.txt"));
  EXPECT_LT(at(u"s1\\one.txt"), at(u"top.txt"));
  EXPECT_LT(at(u"s2\\three.txt"), at(u"top.txt"));
  EXPECT_LT(at(u"s1\\deep\\"), at(u"s1\\"));

  seen.clear();
  EnumFiles(P(), u"", tmFiles, false, [&](const String& path) { seen.push_back(Rel(path)); });
  EXPECT_EQ(Sorted(seen), (std::vector<String>{u"top.bin", u"top.txt"}));

  TDLXStringList list;
  list.Add(u"kept");
  EnumFiles(P(), u"*.bin;", list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(0), u"kept");
  EXPECT_EQ(list.Strings(1), P(u"top.bin"));
}

TEST_F(FileEnumTest, SearchDeliversFilesThenSubfoldersInLogicalOrder) {
  Make("f.txt");
  Make("sub10/a.txt");
  Make("sub2/b.txt");
  Make("Sub3/c.txt");
  Make("sub2/x/d.txt");
  Make("sub2/skip.bin");
  std::vector<String> files;
  std::vector<String> folders;
  TDLXSearch search(root_.u16string(), u"*.txt;", [&](const String& path) { files.push_back(Rel(path)); });
  EXPECT_EQ(search.Folder(), P());
  search.OnFolder = [&](const String& folder, bool& allow) {
    EXPECT_TRUE(allow) << "folders are allowed unless refused";
    folders.push_back(Rel(folder));
  };
  search.Start();
  EXPECT_FALSE(search.Running());
  EXPECT_EQ(files, (std::vector<String>{u"f.txt", u"sub2\\b.txt", u"sub2\\x\\d.txt", u"Sub3\\c.txt",
                                        u"sub10\\a.txt"}));
  EXPECT_EQ(folders, (std::vector<String>{u"", u"sub2\\", u"sub2\\x\\", u"Sub3\\", u"sub10\\"}));

  files.clear();
  search.OnFolder = [](const String& folder, bool& allow) {
    allow = ExtractLastPathParts(folder, 1) != u"sub2";
  };
  search.Start();
  EXPECT_EQ(files, (std::vector<String>{u"f.txt", u"Sub3\\c.txt", u"sub10\\a.txt"}));

  files.clear();
  search.OnFolder = nullptr;
  search.Start(false);
  EXPECT_EQ(files, (std::vector<String>{u"f.txt"}));
}

TEST_F(FileEnumTest, SearchStopsQuietlyOnStopAndSilentAbortButPassesOtherErrors) {
  Make("a/1.txt");
  Make("b/2.txt");
  Make("c/3.txt");
  std::vector<String> files;
  TDLXSearch* self = nullptr;
  TDLXSearch search(P(), u"", [&](const String& path) {
    files.push_back(Rel(path));
    if (files.size() == 2) self->Stop();
  });
  self = &search;
  search.Start();
  EXPECT_EQ(files, (std::vector<String>{u"a\\1.txt", u"b\\2.txt"}));

  files.clear();
  TDLXSearch aborting(P(), u"", [&](const String& path) {
    files.push_back(Rel(path));
    throw EDLXAbort();
  });
  EXPECT_NO_THROW(aborting.Start());
  EXPECT_EQ(files.size(), 1u);
  EXPECT_FALSE(aborting.Running());

  TDLXSearch failing(P(), u"", [](const String&) { throw std::runtime_error("disk gone"); });
  EXPECT_THROW(failing.Start(), std::runtime_error);
  EXPECT_FALSE(failing.Running());

  TDLXSearch refusedByAbort(P(), u"", [&](const String&) { FAIL() << "no file expected"; });
  refusedByAbort.OnFolder = [](const String&, bool&) { throw EDLXAbort(); };
  EXPECT_NO_THROW(refusedByAbort.Start());
}

#ifndef _WIN32
TEST_F(FileEnumTest, DotNamesAreHiddenAndFolderLinksAreNotFollowed) {
  Make(".hidden");
  Make("real/file.txt");
  fs::create_directory_symlink(root_ / "real", root_ / "real" / "loop");
  TDLXFindFileInfo info;
  ASSERT_TRUE(FindFirst(P(), u"", tmFiles, info));
  EXPECT_EQ(info.Name, u".hidden");
  EXPECT_NE(info.FindData.attributes & faHidden, 0u);
  FindClose(info);

  std::vector<String> seen;
  EnumFiles(P(), u"", tmFiles, true, [&](const String& path) { seen.push_back(Rel(path)); });
  EXPECT_EQ(Sorted(seen), (std::vector<String>{u".hidden", u"real\\file.txt"}));
  std::vector<String> found;
  TDLXSearch search(P(), u"", [&](const String& path) { found.push_back(Rel(path)); });
  search.Start();
  EXPECT_EQ(Sorted(found), (std::vector<String>{u".hidden", u"real\\file.txt"}));
}
#endif
