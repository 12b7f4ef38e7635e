#include "core/confined_folder.h"

#include <functional>

#include "core/paths.h"
#include "core/safe_delete.h"
#include "tests/core/extract_test_env.h"
#include "tests/core/folder_link.h"

using namespace extractenv;

namespace {

// scratch\root\sub\ (with empty\ and file.txt) and scratch\outside\ (with empty\ and keep.txt).
class ConfinedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.Path() + u"root\\";
    outside_ = scratch_.Path() + u"outside\\";
    for (const String& folder : {root_ + u"sub\\empty\\", outside_ + u"empty\\"})
      ASSERT_TRUE(dlx::ForceDirectories(folder));
    ASSERT_TRUE(WriteAll(root_ + u"sub\\file.txt", "mine"));
    ASSERT_TRUE(WriteAll(outside_ + u"keep.txt", "keep"));
  }

  TScratchFolder scratch_;
  String root_, outside_;
};

TEST_F(ConfinedFolderTest, MakesWritesMovesAndRemovesOnlyInsideItsRoot) {
  TConfinedFolder folder;
  ASSERT_TRUE(folder.Open(root_, TConfinedFolder::TRootRule::rrExact));
  EXPECT_TRUE(folder.ForceFolder(root_ + u"a\\b\\c\\"));
  EXPECT_TRUE(dlx::DirectoryExists(root_ + u"a\\b\\c"));

  // An existing read-only file is emptied and written.
  ASSERT_TRUE(dlx::SetFileAttributes(root_ + u"sub\\file.txt", dlx::faReadOnly));
  {
    const dlx::TScopedHandle file = folder.CreateFileForWrite(root_ + u"sub\\file.txt");
    ASSERT_TRUE(file.Valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "new", 3, &written, nullptr));
  }
  EXPECT_EQ(ReadAll(root_ + u"sub\\file.txt"), "new");

  // Moved by handle into a folder that is made on the way.
  const String loose = root_ + u"loose.txt";
  ASSERT_TRUE(WriteAll(loose, "moved"));
  {
    const dlx::TScopedHandle file = folder.OpenFile(loose, DELETE);
    ASSERT_TRUE(file.Valid());
    EXPECT_TRUE(folder.MoveInto(file.Get(), root_ + u"x\\y\\moved.txt"));
  }
  EXPECT_EQ(ReadAll(root_ + u"x\\y\\moved.txt"), "moved");
  EXPECT_FALSE(Exists(loose));

  EXPECT_FALSE(folder.RemoveEmptyFolder(root_ + u"sub\\")) << "it is not empty";
  EXPECT_TRUE(dlx::DirectoryExists(root_ + u"sub"));
  EXPECT_TRUE(folder.RemoveEmptyFolder(root_ + u"sub\\empty\\"));
  EXPECT_FALSE(dlx::DirectoryExists(root_ + u"sub\\empty"));

  // Nothing outside the root, however the path is written.
  const struct {
    const char* what;
    std::function<bool()> attempt;
  } outside[] = {
      {"folder", [&] { return folder.ForceFolder(root_ + u"..\\outside\\made\\"); }},
      {"file", [&] { return folder.CreateFileForWrite(root_ + u"..\\outside\\keep.txt").Valid(); }},
      {"open", [&] { return folder.OpenFile(outside_ + u"keep.txt", GENERIC_READ).Valid(); }},
      {"remove", [&] { return folder.RemoveEmptyFolder(outside_ + u"empty\\"); }},
      {"root as a file", [&] { return folder.CreateFileForWrite(root_).Valid(); }},
  };
  for (const auto& c : outside) EXPECT_FALSE(c.attempt()) << c.what;
  EXPECT_FALSE(dlx::DirectoryExists(outside_ + u"made"));
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "keep");
  EXPECT_TRUE(dlx::DirectoryExists(outside_ + u"empty"));
}

TEST_F(ConfinedFolderTest, ALinkSwappedInForAFolderIsNeverFollowed) {
  TConfinedFolder folder;
  ASSERT_TRUE(folder.Open(root_, TConfinedFolder::TRootRule::rrExact));
  // Opened first, then "sub" is replaced by a link to the outside folder.
  ASSERT_TRUE(MoveFileW(dlx::W(root_ + u"sub"), dlx::W(root_ + u"sub.real")));
  TFolderLink link(root_, u"sub", u"outside");
  if (!link.Made()) GTEST_SKIP() << "this system can make no folder link";
  ASSERT_TRUE(Exists(root_ + u"sub\\keep.txt")) << "the link leads outside";

  const String moving = root_ + u"moving.txt";
  ASSERT_TRUE(WriteAll(moving, "moving"));
  const dlx::TScopedHandle movingFile = folder.OpenFile(moving, DELETE);
  ASSERT_TRUE(movingFile.Valid());
  const struct {
    const char* what;
    std::function<bool()> attempt;
  } throughLink[] = {
      {"folder made below the link", [&] { return folder.ForceFolder(root_ + u"sub\\made\\"); }},
      {"file written through the link",
       [&] { return folder.CreateFileForWrite(root_ + u"sub\\keep.txt").Valid(); }},
      {"file created through the link",
       [&] { return folder.CreateFileForWrite(root_ + u"sub\\new.txt").Valid(); }},
      {"file opened through the link",
       [&] { return folder.OpenFile(root_ + u"sub\\keep.txt", DELETE).Valid(); }},
      {"file moved through the link",
       [&] { return folder.MoveInto(movingFile.Get(), root_ + u"sub\\moved.txt"); }},
      {"empty folder removed through the link",
       [&] { return folder.RemoveEmptyFolder(root_ + u"sub\\empty\\"); }},
      {"the link removed as a folder", [&] { return folder.RemoveEmptyFolder(root_ + u"sub\\"); }},
  };
  for (const auto& c : throughLink) EXPECT_FALSE(c.attempt()) << c.what;
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "keep");
  EXPECT_TRUE(dlx::DirectoryExists(outside_ + u"empty"));
  for (const char16_t* name : {u"made", u"new.txt", u"moved.txt"})
    EXPECT_FALSE(Exists(outside_ + name)) << dlx::ToUtf8(name);
  EXPECT_TRUE(Exists(moving));

  // Roots: the link itself is no root; below it only the loose rule (links on the way) accepts.
  EXPECT_FALSE(TConfinedFolder().Open(root_ + u"sub\\", TConfinedFolder::TRootRule::rrNoLink));
  EXPECT_FALSE(TConfinedFolder().Open(root_ + u"sub\\empty\\", TConfinedFolder::TRootRule::rrExact));
  EXPECT_TRUE(TConfinedFolder().Open(root_ + u"sub\\empty\\", TConfinedFolder::TRootRule::rrNoLink));
  EXPECT_FALSE(IsFolderReachedWithoutLinks(root_ + u"sub\\empty\\"));
  EXPECT_TRUE(IsFolderReachedWithoutLinks(root_ + u"sub.real\\"));
  EXPECT_TRUE(IsReparsePoint(root_ + u"sub"));

  // A deletion whose root is the link deletes nothing.
  EXPECT_EQ(SafeDelete(root_ + u"sub\\keep.txt", root_ + u"sub\\"), TSafeDeleteResult::sdRefused);
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "keep");
}

}  // namespace
