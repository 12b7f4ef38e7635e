#include "core/safe_delete.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/paths.h"
#include "core/pending_restart.h"
#include "core/resources.h"
#include "tests/core/extract_test_env.h"
#include "tests/core/folder_link.h"

using namespace extractenv;

namespace {

// scratch\root\ with files, a read-only file and nested folders; scratch\outside\keep.txt beside it.
class SafeDeleteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.Path() + u"root\\";
    outside_ = scratch_.Path() + u"outside\\";
    for (const String& folder : {root_ + u"sub\\deep\\", outside_})
      ASSERT_TRUE(dlx::ForceDirectories(folder));
    for (const String& file : {root_ + u"a.txt", root_ + u"sub\\b.txt", root_ + u"sub\\deep\\c.txt",
                               root_ + u"read-only.txt", outside_ + u"keep.txt"})
      ASSERT_TRUE(WriteAll(file, "x"));
    ASSERT_TRUE(dlx::SetFileAttributes(root_ + u"read-only.txt", dlx::faReadOnly));
  }

  TScratchFolder scratch_;
  String root_, outside_;
};

TEST_F(SafeDeleteTest, PathsLeavingTheRootAreRefusedAndNothingIsTouched) {
  const struct {
    String path;
    TSafeDeleteResult expected;
  } cases[] = {
      {u"..\\outside\\keep.txt", TSafeDeleteResult::sdRefused},
      {u"sub\\..\\..\\outside\\keep.txt", TSafeDeleteResult::sdRefused},
      {u"sub/../../outside", TSafeDeleteResult::sdRefused},
      {root_ + u"..\\outside\\keep.txt", TSafeDeleteResult::sdRefused},
      {outside_ + u"keep.txt", TSafeDeleteResult::sdRefused},
      {u"..", TSafeDeleteResult::sdRefused},
      {u"C:keep.txt", TSafeDeleteResult::sdRefused},
      {u"sub\\missing.txt", TSafeDeleteResult::sdNotFound},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeDelete(c.path, root_), c.expected) << dlx::ToUtf8(c.path);
  // A root that only shares a prefix with the path is no root of it.
  EXPECT_EQ(SafeDelete(outside_ + u"keep.txt", scratch_.Path() + u"out"), TSafeDeleteResult::sdRefused);
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "x");
  EXPECT_TRUE(Exists(root_ + u"a.txt"));
}

TEST_F(SafeDeleteTest, DeletesFilesByRelativeOrAbsolutePathAndWholeTreesIncludingTheRoot) {
  ClearRestartNeeded();
  EXPECT_EQ(SafeDelete(u"sub\\b.txt", root_), TSafeDeleteResult::sdDeleted);
  EXPECT_FALSE(Exists(root_ + u"sub\\b.txt"));
  EXPECT_EQ(SafeDelete(u"SUB/Deep/./C.TXT", root_), TSafeDeleteResult::sdDeleted);
  EXPECT_FALSE(Exists(root_ + u"sub\\deep\\c.txt"));
  EXPECT_EQ(SafeDelete(root_ + u"read-only.txt", root_), TSafeDeleteResult::sdDeleted);
  EXPECT_EQ(SafeDelete(root_, root_), TSafeDeleteResult::sdDeleted);
  EXPECT_FALSE(dlx::DirectoryExists(root_));
  EXPECT_EQ(SafeDelete(u"a.txt", root_), TSafeDeleteResult::sdNotFound) << "the root is gone";
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "x");
  EXPECT_FALSE(RestartNeeded()) << "files deleted at once leave nothing for a restart";
}

TEST_F(SafeDeleteTest, ALinkOutOfTheRootIsNeverFollowed) {
  TFolderLink link(root_, u"link", u"outside");
  if (!link.Made()) GTEST_SKIP() << "this system can make no folder link ";
  // Through the link: the file's real place is outside the root.
  EXPECT_EQ(SafeDelete(u"link\\keep.txt", root_), TSafeDeleteResult::sdRefused);
  const TSafeDeleteResult tree = SafeDelete(root_, root_);
  EXPECT_EQ(ReadAll(outside_ + u"keep.txt"), "x") << "the link's target is left alone";
  EXPECT_FALSE(Exists(root_ + u"a.txt"));
  // Windows deletes the junction itself. Wine opens no link itself (it follows it), so the link
  // is refused and stays, and with it the root folder.
  if (link.Present()) {
    EXPECT_EQ(tree, TSafeDeleteResult::sdFailed);
    EXPECT_TRUE(RunsUnderWine());
  } else {
    EXPECT_EQ(tree, TSafeDeleteResult::sdDeleted);
  }
}

TEST_F(SafeDeleteTest, ALockedFileStaysWithItsFolderAndTheRestIsDeleted) {
  {
    TFileLock lock(root_ + u"sub\\b.txt", 0);
    ASSERT_TRUE(lock.Held());
    EXPECT_EQ(SafeDelete(root_, root_), TSafeDeleteResult::sdFailed);
    EXPECT_TRUE(Exists(root_ + u"sub\\b.txt"));
    EXPECT_FALSE(Exists(root_ + u"a.txt"));
    EXPECT_FALSE(dlx::DirectoryExists(root_ + u"sub\\deep"));
  }
  EXPECT_EQ(ReadAll(root_ + u"sub\\b.txt"), "x");
  EXPECT_EQ(SafeDelete(root_, root_), TSafeDeleteResult::sdDeleted);
  EXPECT_FALSE(dlx::DirectoryExists(root_));
}

TEST_F(SafeDeleteTest, AFileInUseAsAProgramImageIsMovedAside) {
  const String path = root_ + u"running.exe";
  ASSERT_TRUE(dlx::CopyFile(dlx::GetExeName(), path, false));
  HMODULE image = LoadLibraryExW(dlx::W(path), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(SafeDelete(path, root_), TSafeDeleteResult::sdDeleted);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(WriteAll(path, "new")) << "the name is free for a new file";
  FreeLibrary(image);
}

TEST(Paths, WholeComponentsWithoutRegardToCase) {
  const struct {
    const char16_t* path;
    const char16_t* root;
    bool inside;
  } cases[] = {
      {u"C:\\App\\x", u"C:\\App", true},   {u"c:\\APP\\X", u"C:\\app", true},
      {u"C:\\App2\\x", u"C:\\App", false}, {u"C:\\App", u"C:\\App", true},
      {u"C:\\", u"C:\\App", false},        {u"\\\\srv\\share\\App\\x", u"\\\\srv\\share\\App", true},
      {u"D:\\App\\x", u"C:\\App", false},  {u"\\\\C:\\App\\x", u"C:\\App", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsPathInside(c.path, c.root, true), c.inside)
        << dlx::ToUtf8(c.path) << " in " << dlx::ToUtf8(c.root);
  EXPECT_FALSE(IsPathInside(u"C:\\App", u"C:\\App", false));
  EXPECT_EQ(CanonicalPath(u"C:/Apps/./x/../ZUVA/"), u"C:\\Apps\\ZUVA");
  EXPECT_EQ(CanonicalPath(u"\\\\?\\C:\\Apps\\ZUVA"), u"C:\\Apps\\ZUVA");
  EXPECT_EQ(CanonicalPath(u"C:\\"), u"C:\\");
}

TEST(Paths, FoldersOfTheSystemAndOfUsersAreProtected) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const String profile = GetSpecialFolder(CSIDL_PROFILE);
  const struct {
    String path;
    bool isProtected;
  } cases[] = {
      {u"C:\\", true},
      {u"D:", true},
      {u"\\\\server\\share\\", true},
      {dlx::FromW(windows), true},
      {dlx::FromW(windows) + u"\\System32", true},
      {GetSpecialFolder(CSIDL_PROGRAM_FILES), true},
      {u"C:/Program Files/", true},
      {GetSpecialFolder(CSIDL_PROGRAM_FILES) + u"ZUVA", false},
      {profile, true},
      {dlx::ExcludeTrailingPathDelimiter(dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(profile))),
       true},
      {GetSpecialFolder(CSIDL_DESKTOPDIRECTORY), true},
      {GetSpecialFolder(CSIDL_PERSONAL), true},
      {GetSpecialFolder(CSIDL_APPDATA), true},
      {GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), true},
      {dlx::GetTempPath(), true},
      {dlx::GetTempPath() + u"ZUVA", false},
      {profile + u"ZUVA", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsProtectedFolder(c.path), c.isProtected) << dlx::ToUtf8(c.path);
}

}  // namespace
