#include "core/script/file_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lib/file_stream.h"
#include "lib/file_system.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace dlx;

namespace {

class FileListFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = GetTempPath() + u"zuva-filelist-" + IntToStr(std::random_device()() & 0xFFFFFF) + u"\\";
    ASSERT_TRUE(ForceDirectories(root_));
    // One file per folder: the order of files within a folder is the platform's listing order.
    for (const char16_t* name : {u"a.txt", u"sub10\\w.txt", u"Sub2\\z.txt", u"sub1\\y.txt",
                                 u"sub1\\deeper\\x.txt", u"excluded\\e.txt", u"excluded\\inner\\f.txt"}) {
      const String path = root_ + name;
      ASSERT_TRUE(ForceDirectories(ExtractFilePath(path)));
      TDLXFileStream file(path, fmCreate);
      file.WriteBuffer("x", 1);
    }
  }
  void TearDown() override { DeleteDirectory(root_, true); }

  String root_;
};

std::string Targets(const TInstallerFileList& list) {
  std::string all;
  for (int i = 0; i < list.Count(); ++i) all += ToUtf8(list.Items(i)->TargetName) + "|";
  return all;
}

}  // namespace

TEST_F(FileListFolder, AddFolderWalksSortedAndSkipsTheExcludedFolder) {
  TInstallerFileList list;
  list.AddFolder(root_, root_ + u"EXCLUDED\\", u"backup\\");
  // Subfolders in sorted order, numbers compared as numbers: sub1, Sub2, sub10.
  EXPECT_EQ(Targets(list),
            "backup\\a.txt|backup\\sub1\\y.txt|backup\\sub1\\deeper\\x.txt|backup\\Sub2\\z.txt|"
            "backup\\sub10\\w.txt|");
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Items(1)->FileName, root_ + u"sub1\\y.txt");
  EXPECT_EQ(list.Items(5), nullptr);
}

TEST_F(FileListFolder, EmptyPrefixExcludesNothingAndThePrefixMatchesAnyFolderBeginningWithIt) {
  TInstallerFileList all;
  all.AddFolder(root_, u"", u"");
  EXPECT_EQ(all.Count(), 7);
  EXPECT_EQ(all.Items(0)->TargetName, u"a.txt");

  TInstallerFileList noSub;
  noSub.AddFolder(root_, root_ + u"Sub", u"");
  EXPECT_EQ(Targets(noSub), "a.txt|excluded\\e.txt|excluded\\inner\\f.txt|");
}

TEST_F(FileListFolder, ExcludingTheFolderItselfListsNothing) {
  TInstallerFileList list;
  list.AddFolder(root_, root_, u"x\\");
  EXPECT_EQ(list.Count(), 0);
  TDLXStringList found;
  TInstallerFileList::FindFiles(root_, root_, found);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(FileListFolder, FindFilesAppendsFullPaths) {
  TDLXStringList found;
  found.Add(u"kept");
  TInstallerFileList::FindFiles(root_, root_ + u"excluded\\inner\\", found);
  ASSERT_EQ(found.Count(), 7);
  EXPECT_EQ(found.Strings(0), u"kept");
  EXPECT_EQ(found.Strings(1), root_ + u"a.txt");
  EXPECT_EQ(found.Strings(2), root_ + u"excluded\\e.txt");
  EXPECT_EQ(found.Strings(6), root_ + u"sub10\\w.txt");
}

#ifndef _WIN32
TEST_F(FileListFolder, LinkedFoldersAreNotFollowed) {
  const std::string link = ToUtf8(root_ + u"sub1/loop");
  std::string target = ToUtf8(root_);
  for (char& c : target) c = c == '\\' ? '/' : c;
  std::string linkPath = link;
  for (char& c : linkPath) c = c == '\\' ? '/' : c;
  ASSERT_EQ(symlink(target.c_str(), linkPath.c_str()), 0);
  TInstallerFileList list;
  list.AddFolder(root_, u"", u"");
  EXPECT_EQ(list.Count(), 7);
}
#endif

TEST(FileList, RemoveByFileNameComparesTheNamePartIgnoringCase) {
  TInstallerFileList list;
  list.Add(u"C:\\a\\X.TXT", u"1");
  list.Add(u"C:\\b\\x.txt", u"2");
  list.Add(u"C:\\c\\y.txt", u"3");
  list.Add(u"C:\\x.txt.bak", u"4");
  list.Add(u"C:\\x.txt\\other", u"5");
  list.RemoveByFileName(u"x.txt");
  EXPECT_EQ(Targets(list), "3|4|5|");
  list.RemoveByFileName(u"missing");
  EXPECT_EQ(list.Count(), 3);
}
