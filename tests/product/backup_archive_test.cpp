#include "product/backup_archive.h"

#include <windows.h>

#include "core/errors.h"
#include "lib/file_system.h"
#include "tests/product/product_test_support.h"

namespace producttest {
namespace {

struct Source {
  String name;  // entry name, with backslashes as the backup builds them
  std::string bytes;
};

std::vector<TBackupEntryRecord> WriteArchive(const TempFolder& folder, const String& archive,
                                             const std::vector<Source>& sources) {
  std::vector<TBackupItem> items;
  for (const Source& source : sources) {
    const String path = folder.Path() + u"src\\" + source.name;
    EXPECT_TRUE(dlx::ForceDirectories(dlx::ExtractFilePath(path)));
    WriteFile(path, source.bytes);
    items.push_back({path, source.name});
  }
  TBackupArchiveWriter writer(archive);
  size_t added = 0;
  auto records = writer.AddAll(items, [&](size_t index) { EXPECT_EQ(index, added++); });
  writer.Close();
  return records;
}

const std::vector<Source> kSources = {
    {u"Program\\ZUVA.exe", std::string(300000, 'x') + "end"},
    {u"Profiles\\Ünal\\Playlists\\Ölçü.zpl", "playlist"},
    {u"Program\\empty.txt", ""},
    // Larger than what is compressed ahead: streamed by the writer itself.
    {u"Program\\System\\Data\\media.dat", std::string(3 << 20, 'm')},
};

TEST(BackupArchive, WrittenArchiveVerifiesAndRestoresWithTimesAndAttributes) {
  TempFolder folder(u"zip");
  const String archive = folder.Path() + u"backup.zip";
  const String readOnly = folder.Path() + u"src\\Program\\ZUVA.exe";
  auto records = WriteArchive(folder, archive, kSources);
  EXPECT_EQ(ZipEntryName(u"\\Program\\System\\a.dll"), "Program/System/a.dll");
  ASSERT_NO_THROW(VerifyBackupArchive(archive, records));

  // Put back over changed and missing files: content, time and read-only attribute return.
  FILETIME written{};
  {
    HANDLE file =
        CreateFileW(dlx::W(readOnly), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
  }
  WriteFile(readOnly, "changed");
  dlx::SetFileAttributes(readOnly, dlx::faReadOnly);
  dlx::DeleteDirectory(folder.Path() + u"src\\Profiles\\", true);
  dlx::TDLXStringList failures;
  const int restored = RestoreBackupArchive(
      archive, [&](const String& name) { return folder.Path() + u"src\\" + name; }, failures);
  EXPECT_EQ(restored, 4);
  EXPECT_EQ(failures.Count(), 0);
  for (const Source& source : kSources) {
    String path = folder.Path() + u"src\\" + source.name;
    std::replace(path.begin(), path.end(), u'/', u'\\');
    EXPECT_EQ(ReadFile(path), source.bytes) << dlx::ToUtf8(source.name);
  }
  HANDLE file =
      CreateFileW(dlx::W(readOnly), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME restoredTime{};
  GetFileTime(file, nullptr, nullptr, &restoredTime);
  CloseHandle(file);
  EXPECT_EQ(CompareFileTime(&written, &restoredTime), 0);
}

// A name longer than any fixed buffer (a deep tree of a user's data folder) reads back whole.
TEST(BackupArchive, EntryNamesOfAnyLengthReadBackWhole) {
  TempFolder folder(u"ziplong");
  const String archive = folder.Path() + u"long.zip";
  const String source = folder.Path() + u"a.txt";
  WriteFile(source, "deep");
  String name = u"Profiles\\user";
  while (name.size() < 9000) name += u"\\" + String(200, u'd');
  name += u"\\a.txt";
  std::vector<TBackupEntryRecord> records;
  {
    TBackupArchiveWriter writer(archive);
    records = writer.AddAll({{source, name}}, nullptr);
    writer.Close();
  }
  EXPECT_NO_THROW(VerifyBackupArchive(archive, records));
  String seen;
  dlx::TDLXStringList failures;
  const String restored = folder.Path() + u"restored.txt";
  EXPECT_EQ(RestoreBackupArchive(
                archive,
                [&](const String& entry) {
                  seen = entry;
                  return restored;
                },
                failures),
            1);
  std::replace(seen.begin(), seen.end(), u'/', u'\\');
  EXPECT_EQ(seen, name);
  EXPECT_EQ(ReadFile(restored), "deep");
}

// What the check must notice before anything is deleted.
TEST(BackupArchive, VerificationRefusesAnArchiveThatDiffersFromItsSources) {
  TempFolder folder(u"zipbad");
  const String archive = folder.Path() + u"backup.zip";
  const auto records = WriteArchive(folder, archive, kSources);
  const std::string good = ReadFile(archive);

  auto expectRefused = [&](const char* what, const std::vector<TBackupEntryRecord>& expected) {
    SCOPED_TRACE(what);
    try {
      VerifyBackupArchive(archive, expected);
      ADD_FAILURE() << "accepted";
    } catch (const EInstallerBackupError& e) {
      EXPECT_NE(e.Message().find(archive), String::npos) << "the refusal names the archive";
    }
  };
  auto otherSize = records;
  otherSize[1].Size += 1;
  expectRefused("a size that differs", otherSize);
  auto otherCrc = records;
  otherCrc[0].Crc ^= 1;
  expectRefused("a CRC-32 that differs", otherCrc);
  auto missing = records;
  missing.push_back(records[0]);
  expectRefused("an entry missing", missing);

  // A damaged byte in the compressed data of the first entry (after its 30-byte header, name and
  // 36-byte time field).
  std::string damaged = good;
  damaged[30 + 16 + 36 + 100] ^= 0x55;
  WriteFile(archive, damaged);
  expectRefused("damaged data", records);
  WriteFile(archive, good.substr(0, good.size() / 2));
  expectRefused("a truncated archive", records);
}

// A file another program keeps from being read: the error names that item.
TEST(BackupArchive, UnreadableFileIsReportedWithItsIndex) {
  TempFolder folder(u"ziplocked");
  const String locked = folder.Path() + u"b.txt";
  WriteFile(folder.Path() + u"a.txt", "a");
  WriteFile(locked, "b");
  HANDLE holder =
      CreateFileW(dlx::W(locked), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  TBackupArchiveWriter writer(folder.Path() + u"backup.zip");
  try {
    writer.AddAll({{folder.Path() + u"a.txt", u"a.txt"}, {locked, u"b.txt"}}, nullptr);
    ADD_FAILURE() << "a locked file was archived";
  } catch (const EBackupItemError& e) {
    EXPECT_EQ(e.Index, 1u);
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  }
  CloseHandle(holder);
}

}  // namespace
}  // namespace producttest
