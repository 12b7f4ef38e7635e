#include "lib/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "lib/file_enum.h"
#include "lib/file_stream.h"

using namespace dlx;
namespace fs = std::filesystem;

// --- Path strings -----------------------------------------------------------------------------

TEST(PathStrings, TrailingDelimiterAndPathAndNameSplitAtTheLastDelimiter) {
  EXPECT_EQ(IncludeTrailingPathDelimiter(u""), u"");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"C:\\a"), u"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"C:\\a\\"), u"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/tmp/"), u"/tmp/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"C:\\a\\\\"), u"C:\\a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"/");

  EXPECT_EQ(ExtractFilePath(u"C:\\a\\b.txt"), u"C:\\a\\");
  EXPECT_EQ(ExtractFilePath(u"C:b.txt"), u"C:");
  EXPECT_EQ(ExtractFilePath(u"dir/b.txt"), u"dir/");
  EXPECT_EQ(ExtractFilePath(u"b.txt"), u"");
  EXPECT_EQ(ExtractFileName(u"C:\\a\\b.txt"), u"b.txt");
  EXPECT_EQ(ExtractFileName(u"C:b.txt"), u"b.txt");
  EXPECT_EQ(ExtractFileName(u"C:\\a\\"), u"");
  EXPECT_EQ(ExtractFileName(u"plain"), u"plain");
}

TEST(PathStrings, ExtensionsSingleDoubleAndAfterAScheme) {
  EXPECT_EQ(ExtractFileExt(u"archive.tar.gz"), u".gz");
  EXPECT_EQ(ExtractFileExt(u"archive.tar.gz", true), u".tar.gz");
  EXPECT_EQ(ExtractFileExt(u"C:\\my.dir\\file.gz", true), u".gz");
  EXPECT_EQ(ExtractFileExt(u"C:\\my.dir\\file"), u"");
  EXPECT_EQ(ExtractFileExt(u"my file.name with space"), u"");
  EXPECT_EQ(ExtractFileExt(u".profile"), u".profile");
  EXPECT_EQ(ExtractFileExt(u"C:x.y"), u".y");
  // The query of a URL is not searched, but a plain name's '?' is just a character.
  EXPECT_EQ(ExtractFileExt(u"https://host/get/setup.exe?v=1.2"), u".exe");
  EXPECT_EQ(ExtractFileExt(u"https://host/get/pkg.tar.xz?v=1.2", true), u".tar.xz");
  EXPECT_EQ(ExtractFileExt(u"file.txt?x"), u".txt?x");

  EXPECT_EQ(ChangeFileExt(u"Uninstall.exe", u".dat"), u"Uninstall.dat");
  EXPECT_EQ(ChangeFileExt(u"C:\\a.b\\Uninstall", u".dat"), u"C:\\a.b\\Uninstall.dat");
  EXPECT_EQ(ChangeFileExt(u"x.tar.gz", u".zip", true), u"x.zip");
  EXPECT_EQ(ChangeFileExt(u"x.tar.gz", u".zip"), u"x.tar.zip");
  EXPECT_EQ(ChangeFileExt(u"http://h/f.zip?q=1.0", u".7z"), u"http://h/f.7z?q=1.0");
  EXPECT_EQ(ChangeFileExt(u"http://h/f?q=1.0", u".dat"), u"http://h/f.dat?q=1.0");
  EXPECT_EQ(ChangeFileExt(u"a.txt", u""), u"a");

  EXPECT_EQ(ExtractFileNameWithoutExt(u"C:\\a\\b.tar.gz"), u"b.tar");
  EXPECT_EQ(ExtractFileNameWithoutExt(u"C:\\a.b\\c"), u"c");
}

TEST(PathStrings, DrivesAndLastParts) {
  EXPECT_EQ(ExtractFileDrive(u"C:\\x\\y"), u"C:");
  EXPECT_EQ(ExtractFileDrive(u"d:rel"), u"d:");
  EXPECT_EQ(ExtractFileDrive(u"\\\\server\\share\\x"), u"\\\\server");
  EXPECT_EQ(ExtractFileDrive(u"\\\\?\\D:\\long\\path"), u"D:");
  EXPECT_EQ(ExtractFileDrive(u"\\rooted\\x"), u"");
  EXPECT_EQ(ExtractFileDrive(u"rel\\x"), u"");
  EXPECT_EQ(ExtractFileDrive(u"1:\\x"), u"");

  EXPECT_EQ(ExtractLastPathParts(u"C:\\a\\b\\c\\", 2), u"b\\c");
  EXPECT_EQ(ExtractLastPathParts(u"C:\\a\\b\\c", 1), u"c");
  EXPECT_EQ(ExtractLastPathParts(u"C:\\a\\b\\c", 0), u"");
  EXPECT_EQ(ExtractLastPathParts(u"C:\\a\\b\\c", 9), u"C:\\a\\b\\c");
  EXPECT_EQ(ExtractLastPathParts(u"\\\\srv\\share\\x\\", 5), u"srv\\share\\x");
  EXPECT_EQ(ExtractLastPathParts(u"a\\\\b\\", 2), u"a\\\\b");
}

TEST(PathStrings, ValidatedNamesLoseInvalidCharactersAndEdges) {
  EXPECT_EQ(ValidateFileName(u" a:b?.", u'_'), u"a_b_");
  EXPECT_EQ(ValidateFileName(u"say \"hi\""), u"say 'hi'");
  EXPECT_EQ(ValidateFileName(u"a<b>c|d*e/f\\g"), u"abcdefg");
  EXPECT_EQ(ValidateFileName(u"  ...  "), u".");
  EXPECT_EQ(ValidateFileName(u"name. . "), u"name");
  EXPECT_EQ(ValidateFileName(u"\r\nnews\t.txt\x1f"), u"news.txt") << "control characters are dropped";
  EXPECT_EQ(ValidateFileName(String(300, u'a')).size(), 255u);
  // Cutting to 255 must not leave a trailing dot behind.
  const String cut = ValidateFileName(String(254, u'a') + u". b");
  EXPECT_EQ(cut, String(254, u'a'));

  EXPECT_EQ(ValidateFilePath(u"C:\\a:b\\\\c?\\"), u"C:\\ab\\c\\");
  EXPECT_EQ(ValidateFilePath(u"C:\\x\\y"), u"C:\\x\\y");
  EXPECT_EQ(ValidateFilePath(u"C:\\\r\n\\ewdemo\\a"), u"C:\\ewdemo\\a")
      << "a part of control characters only goes";
  EXPECT_EQ(ValidateFilePath(u"C:"), u"C:");
  EXPECT_EQ(ValidateFilePath(u"\\\\srv\\share\\a*"), u"\\\\srv\\share\\a");
  EXPECT_EQ(ValidateFilePath(u"\\\\?\\C:\\x<\\"), u"\\\\?\\C:\\x\\");
  EXPECT_EQ(ValidateFilePath(u"\\rooted\\ x."), u"\\rooted\\x");
  EXPECT_EQ(ValidateFilePath(u"rel/x/"), u"rel\\x\\");
  EXPECT_EQ(ValidateFilePath(u"a\\ \\b"), u"a\\b");
  // A drive part that ends in a delimiter already satisfies a trailing delimiter.
  EXPECT_EQ(ValidateFilePath(u"\\\\"), u"\\\\");
  EXPECT_EQ(ValidateFilePath(u"//\\ "), u"//");
}

TEST(PathStrings, ExtensionListsMatchWholeItemsIgnoringCase) {
  const String list = u"*.exe;*.dll;";
  EXPECT_TRUE(IsExtensionInList(list, u".exe"));
  EXPECT_TRUE(IsExtensionInList(list, u".DLL"));
  EXPECT_FALSE(IsExtensionInList(list, u".ex"));
  EXPECT_FALSE(IsExtensionInList(list, u".dl"));
  EXPECT_FALSE(IsExtensionInList(list, u""));
  EXPECT_FALSE(IsExtensionInList(u"", u".exe"));
  EXPECT_TRUE(IsExtensionInList(u"*.txt", u".TXT")) << "a last item without ';'";
}

TEST(PathStrings, LongPathsGetTheNamespacePrefix) {
  const String local = u"C:\\" + String(296, u'x');
  ASSERT_EQ(local.size(), 299u);
  EXPECT_EQ(ApplyLongPathRule(local), u"\\\\?\\" + local);
  const String network = u"\\\\server\\share\\" + String(290, u'y');
  EXPECT_EQ(ApplyLongPathRule(network), u"\\\\?\\UNC\\server\\share\\" + String(290, u'y'));
  const String edge = u"C:\\" + String(256, u'z');
  ASSERT_EQ(edge.size(), 259u);
  EXPECT_EQ(ApplyLongPathRule(edge), edge);
  EXPECT_EQ(ApplyLongPathRule(edge + u"z"), u"\\\\?\\" + edge + u"z");
  const String prefixed = u"\\\\?\\" + local;
  EXPECT_EQ(ApplyLongPathRule(prefixed), prefixed);
  EXPECT_EQ(ApplyLongPathRule(u"C:/" + String(296, u'x')), u"\\\\?\\" + local);
}

// --- File system ------------------------------------------------------------------------------

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / (std::string("dlx-fs-") + info->name());
    Cleanup();
    fs::create_directories(root_);
  }
  void TearDown() override { Cleanup(); }
  void Cleanup() {
    std::error_code ec;
    if (!fs::exists(root_, ec)) return;
    // Tests leave read-only files behind on purpose.
    for (auto& entry : fs::recursive_directory_iterator(root_, ec))
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  // Paths as the portable code builds them: '\' separators below the root.
  String P(const std::u16string& relative = u"") const { return root_.u16string() + u"\\" + relative; }
  fs::path N(const std::string& relative) const { return root_ / fs::path(relative); }
  void Make(const std::string& relative, const std::string& content = "data") const {
    fs::create_directories(N(relative).parent_path());
    std::ofstream(N(relative), std::ios::binary) << content;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(N(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path root_;
};

TEST_F(FileSystemTest, ExistenceAttributesAndSizes) {
  Make("f.txt", "12345");
  fs::create_directories(N("d"));
  EXPECT_TRUE(FileExists(P(u"f.txt")));
  EXPECT_FALSE(DirectoryExists(P(u"f.txt")));
  EXPECT_TRUE(DirectoryExists(P(u"d")));
  EXPECT_TRUE(DirectoryExists(P(u"d\\")));
  EXPECT_FALSE(FileExists(P(u"d")));
  EXPECT_FALSE(FileExists(P(u"none")));
  EXPECT_FALSE(DirectoryExists(P(u"none")));
  EXPECT_EQ(GetFileAttributes(P(u"none")), -1);
  EXPECT_NE(GetFileAttributes(P(u"d")) & faDirectory, 0);
  EXPECT_EQ(FileSize(P(u"f.txt")), 5);
  EXPECT_EQ(FileSize(P(u"none")), 0);
  // A failed query leaves the platform's own error code.
  EXPECT_FALSE(FileExists(P(u"none\\deeper")));
#ifdef _WIN32
  EXPECT_EQ(platform::LastError(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
#else
  EXPECT_EQ(platform::LastError(), static_cast<uint32_t>(ENOENT));
#endif

  ASSERT_TRUE(SetFileAttributes(P(u"f.txt"), faReadOnly));
  EXPECT_NE(GetFileAttributes(P(u"f.txt")) & faReadOnly, 0);
  EXPECT_FALSE(DeleteFile(P(u"f.txt"))) << "a read-only file is not deleted";
  ASSERT_TRUE(SetFileAttributes(P(u"f.txt"), faNormal));
  EXPECT_EQ(GetFileAttributes(P(u"f.txt")) & faReadOnly, 0);
  EXPECT_TRUE(DeleteFile(P(u"f.txt")));
  EXPECT_FALSE(fs::exists(N("f.txt")));
  EXPECT_FALSE(DeleteFile(P(u"d"))) << "folders are not files";
  EXPECT_TRUE(RemoveDirectory(P(u"d")));
}

TEST_F(FileSystemTest, CopyAndMoveRespectExistingTargets) {
  Make("a.txt", "alpha");
  Make("b.txt", "beta");
  EXPECT_FALSE(CopyFile(P(u"a.txt"), P(u"b.txt"), true));
  EXPECT_EQ(Read("b.txt"), "beta");
  EXPECT_TRUE(CopyFile(P(u"a.txt"), P(u"b.txt"), false));
  EXPECT_EQ(Read("b.txt"), "alpha");
  EXPECT_TRUE(CopyFile(P(u"a.txt"), P(u"c.txt"), true));
  EXPECT_EQ(Read("c.txt"), "alpha");
  EXPECT_FALSE(CopyFile(P(u"a.txt"), P(u"a.txt"), false)) << "never truncates the source";
  EXPECT_EQ(Read("a.txt"), "alpha");
  EXPECT_FALSE(CopyFile(P(u"none"), P(u"x.txt"), false));

  Make("b.txt", "beta");
  EXPECT_FALSE(MoveFile(P(u"a.txt"), P(u"b.txt")));
  EXPECT_EQ(Read("b.txt"), "beta");
  EXPECT_TRUE(MoveFile(P(u"a.txt"), P(u"moved.txt")));
  EXPECT_FALSE(fs::exists(N("a.txt")));
  EXPECT_EQ(Read("moved.txt"), "alpha");
  fs::create_directories(N("dir1/sub"));
  EXPECT_TRUE(MoveFile(P(u"dir1"), P(u"dir2")));
  EXPECT_TRUE(fs::is_directory(N("dir2/sub")));
}

TEST_F(FileSystemTest, ForceDirectoriesCreatesEveryMissingLevel) {
  EXPECT_TRUE(ForceDirectories(P(u"a\\b\\c\\")));
  EXPECT_TRUE(fs::is_directory(N("a/b/c")));
  EXPECT_TRUE(ForceDirectories(P(u"a\\b\\c"))) << "existing folders are success";
  EXPECT_TRUE(ForceDirectories(P(u"a/x//y")));
  EXPECT_TRUE(fs::is_directory(N("a/x/y")));
  Make("file");
  EXPECT_FALSE(ForceDirectories(P(u"file\\sub")));
  EXPECT_FALSE(ForceDirectories(u""));
}

TEST_F(FileSystemTest, DeleteDirectoryStopsAtWhatItMayNotDelete) {
  Make("t/a.txt");
  Make("t/sub/b.txt");
  Make("t/sub/deeper/c.txt");
  EXPECT_FALSE(DeleteDirectory(P(u"t"), false)) << "the subfolder is skipped and stays";
  EXPECT_FALSE(fs::exists(N("t/a.txt")));
  EXPECT_TRUE(fs::exists(N("t/sub/deeper/c.txt")));
  EXPECT_TRUE(DeleteDirectory(P(u"t\\"), true));
  EXPECT_FALSE(fs::exists(N("t")));
  EXPECT_FALSE(DeleteDirectory(P(u"t"), true));

  Make("r/ro.txt");
  Make("r/other.txt");
  ASSERT_TRUE(SetFileAttributes(P(u"r\\ro.txt"), faReadOnly));
  EXPECT_FALSE(DeleteDirectory(P(u"r"), true));
  EXPECT_TRUE(fs::exists(N("r/ro.txt")));
}

#ifdef _WIN32
TEST_F(FileSystemTest, SystemFilesAreNeverListedCopiedOrDeleted) {
  Make("s/sys.dat");
  Make("s/normal.txt");
  ASSERT_TRUE(SetFileAttributes(P(u"s\\sys.dat"), faSystem));
  EXPECT_TRUE(CopyDirectory(P(u"s"), P(u"copy"), u"", false));
  EXPECT_TRUE(fs::exists(N("copy/normal.txt")));
  EXPECT_FALSE(fs::exists(N("copy/sys.dat")));
  EXPECT_FALSE(DeleteDirectory(P(u"s"), true));
  EXPECT_TRUE(fs::exists(N("s/sys.dat")));
  EXPECT_FALSE(fs::exists(N("s/normal.txt")));
  ASSERT_TRUE(SetFileAttributes(P(u"s\\sys.dat"), faNormal));
}

TEST_F(FileSystemTest, ShortNamesExpandToLongOnes) {
  Make("Long Folder Name/long file name.text");
  wchar_t shortName[MAX_PATH];
  const String longName = P(u"Long Folder Name\\long file name.text");
  const DWORD n = ::GetShortPathNameW(W(longName), shortName, MAX_PATH);
  ASSERT_GT(n, 0u);
  const String shortPath = FromW(shortName, n);
  if (shortPath.find(u'~') == String::npos) GTEST_SKIP() << "no 8.3 names on this volume";
  EXPECT_EQ(ExpandFileName(shortPath), longName);
}

TEST_F(FileSystemTest, CriticalErrorModeIsRestoredAfterEachCall) {
  const UINT before = ::SetErrorMode(SEM_NOOPENFILEERRORBOX);
  FileExists(P(u"none"));
  EXPECT_EQ(::SetErrorMode(before), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}
#else
TEST_F(FileSystemTest, LinkedFoldersAreUnlinkedNeverEmptied) {
  Make("target/keep.txt");
  Make("tree/file.txt");
  fs::create_directory_symlink(N("target"), N("tree/link"));
  EXPECT_TRUE(DeleteDirectory(P(u"tree"), true));
  EXPECT_FALSE(fs::exists(N("tree")));
  EXPECT_TRUE(fs::exists(N("target/keep.txt")));
  fs::create_directory_symlink(N("target"), N("alias"));
  EXPECT_TRUE(DeleteDirectory(P(u"alias"), true));
  EXPECT_FALSE(fs::exists(fs::symlink_status(N("alias"))));
  EXPECT_TRUE(fs::exists(N("target/keep.txt")));
}
#endif

TEST_F(FileSystemTest, CopyDirectoryFiltersRecursesAndRefusesItself) {
  Make("src/a.exe", "A");
  Make("src/b.txt", "B");
  Make("src/sub/c.exe", "C");
  Make("src/sub/d.txt", "D");
  EXPECT_TRUE(CopyDirectory(P(u"src"), P(u"flat"), u"*.exe;", false));
  EXPECT_EQ(Read("flat/a.exe"), "A");
  EXPECT_FALSE(fs::exists(N("flat/b.txt")));
  EXPECT_FALSE(fs::exists(N("flat/sub")));

  Make("deep/a.exe", "old");
  EXPECT_TRUE(CopyDirectory(P(u"src\\"), P(u"deep\\"), u"", true));
  EXPECT_EQ(Read("deep/a.exe"), "A") << "existing files are overwritten";
  EXPECT_EQ(Read("deep/sub/d.txt"), "D");

  fs::create_directories(N("empty"));
  EXPECT_TRUE(CopyDirectory(P(u"empty"), P(u"e2"), u"", true));
  EXPECT_FALSE(CopyDirectory(P(u"missing"), P(u"m2"), u"", true));
  EXPECT_FALSE(CopyDirectory(P(u"src"), P(u"src\\sub\\again"), u"", true));
  EXPECT_FALSE(fs::exists(N("src/sub/again")));
}

TEST_F(FileSystemTest, PathsOfMoreThan260CharactersWork) {
  String deep = P();
  std::string native;
  while (deep.size() < 320) {
    deep += String(40, u'd') + u"\\";
    native += std::string(40, 'd') + "/";
  }
  ASSERT_TRUE(ForceDirectories(deep));
  const String file = deep + u"file.bin";
  {
    TDLXFileStream s(file, fmCreateTarget);
    s.WriteBuffer("long", 4);
  }
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(FileSize(file), 4);
  EXPECT_TRUE(CopyFile(file, deep + u"copy.bin", true));
  EXPECT_EQ(Read(native + "copy.bin"), "long");
  // Only the namespace form keeps a trailing dot (the plain form strips it), which shows that the
  // prefixed path is what reached the system.
  { TDLXFileStream s(deep + u"dot.", fmCreate); }
  TDLXFindFileInfo info;
  std::vector<String> names;
  if (FindFirst(deep, u"", tmFiles, info)) {
    do names.push_back(info.Name);
    while (FindNext(info));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{u"copy.bin", u"dot.", u"file.bin"}));
  EXPECT_TRUE(DeleteDirectory(P(String(40, u'd')), true));
  EXPECT_FALSE(fs::exists(N(std::string(40, 'd'))));
}

TEST_F(FileSystemTest, ExpandFileNameMakesDotPathsAbsolute) {
  const String saved = GetCurrentDir();
  ASSERT_FALSE(saved.empty());
  ASSERT_TRUE(SetCurrentDir(P()));
  Make("x/y.txt");
  const String expanded = ExpandFileName(u".\\x\\..\\x\\y.txt");
  EXPECT_TRUE(SetCurrentDir(saved));
  EXPECT_EQ(GetCurrentDir(), saved);
  EXPECT_TRUE(FileExists(expanded));
  EXPECT_EQ(ExtractFileName(expanded), u"y.txt");
  EXPECT_EQ(expanded.find(u".."), String::npos);
  EXPECT_EQ(ExpandFileName(u"C:plain"), u"C:plain") << "names without .\\ or ~ are kept";
}

TEST_F(FileSystemTest, TempNamesAndTheRunningProgram) {
  const String temp = GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(IsPathDelimiter(temp.back()));
  EXPECT_TRUE(DirectoryExists(temp));
  const String a = GetTempFileName(u"zuv");
  const String b = GetTempFileName(u"zuv");
  EXPECT_NE(a, b);
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(FileSize(a), 0);
  EXPECT_EQ(ExtractFileName(a).substr(0, 3), u"zuv");
  EXPECT_EQ(ExtractFilePath(a), temp);
  EXPECT_TRUE(DeleteFile(a));
  EXPECT_TRUE(DeleteFile(b));

  const String exe = GetExeName();
  EXPECT_TRUE(FileExists(exe));
  EXPECT_EQ(GetExePath() + ExtractFileName(exe), exe);
  EXPECT_NE(ExtractFileName(exe).find(u"dlx_tests"), String::npos);
}
