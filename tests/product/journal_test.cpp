// The journal on disk and what a later run makes of it: records survive any text, a line cut off
// by a crash is no record, registry copies come back whole, and a journal planted in a folder a
// standard user can write never reaches outside what the killed run could have changed.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/errors.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "lib/win/system_library.h"
#include "product/backup_archive.h"
#include "product/journal_file.h"
#include "product/prepare_rollback.h"
#include "product/registry_snapshot.h"
#include "tests/core/extract_test_env.h"

using dlx::String;
using extractenv::Exists;
using extractenv::ReadAll;
using extractenv::TScratchFolder;
using extractenv::WriteAll;

namespace {

TEST(JournalFile, RecordsComeBackAsWrittenAndACutOffLineIsNoRecord) {
  TScratchFolder folder;
  const String path = folder.Path() + u"Setup.journal";
  const std::vector<TJournalRecord> records = {
      {u"held", u"C:\\a\\tab\there.txt", u"C:\\b\\new\r\nline\\"},
      {u"known", u"C:\\ПРОГРАММЫ\\ZUVA\\"},
      {u"empty", u""},
  };
  {
    TJournalFile journal;
    ASSERT_TRUE(journal.Create(path));
    for (const auto& record : records) ASSERT_TRUE(journal.Append(record, false));
    ASSERT_TRUE(journal.Append({u"ready"}));
  }
  std::vector<TJournalRecord> read;
  ASSERT_TRUE(TJournalFile::Read(path, read));
  std::vector<TJournalRecord> expected = records;
  expected.push_back({u"ready"});
  EXPECT_EQ(read, expected);

  // A power loss in the middle of a line.
  ASSERT_TRUE(WriteAll(path, ReadAll(path) + "changed\tpart"));
  ASSERT_TRUE(TJournalFile::Read(path, read));
  EXPECT_EQ(read, expected);

  ASSERT_TRUE(WriteAll(path, "not a journal\nchanged\n"));
  EXPECT_FALSE(TJournalFile::Read(path, read));
  EXPECT_FALSE(TJournalFile::Read(folder.Path() + u"missing.journal", read));
}

class SnapshotTest : public ::testing::Test {
 protected:
  void TearDown() override { dlx::TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kKey); }
  static constexpr const char16_t* kKey = u"Software\\ZUVA Test Snapshot";
};

TEST_F(SnapshotTest, OnlyAMissingKeyCountsAsNotThereAndDamagedRecordsAreRefused) {
  EXPECT_FALSE(TRegistrySnapshot::Capture(HKEY_CURRENT_USER, u"Software\\ZUVA Test Missing").Exists());
  // Any other failure (here a handle that is no key) must stop the run, not pass for "missing".
  EXPECT_THROW(TRegistrySnapshot::Capture(reinterpret_cast<HKEY>(static_cast<intptr_t>(0x1234)), kKey),
               EInstallerInstallError);

  using Records = std::vector<std::vector<String>>;
  const Records damaged[] = {
      {{u"regvalue", u"", u"a", u"1", u"00"}},                       // a value before its key
      {{u"regkey", u""}, {u"regvalue", u"", u"a", u"1", u"0g"}},     // not hexadecimal
      {{u"regkey", u""}, {u"regkey", u"Missing\\Child"}},            // a child of no key
      {{u"regkey", u""}, {u"regvalue", u"", u"a", u"type", u"00"}},  // no type number
      {{u"regkey", u""}, {u"other"}},
  };
  for (const Records& records : damaged) {
    TRegistrySnapshot snapshot;
    EXPECT_FALSE(TRegistrySnapshot::FromRecords(HKEY_CURRENT_USER, kKey, records, snapshot))
        << dlx::ToUtf8(records.back()[0]);
  }
}

// A standard user may write into a portable copy's folder and so plant a journal there; the
// elevated run that finds it acts only on what a killed run into that folder could have changed.
TEST(JournalRecovery, APlantedJournalNeverReachesOutsideTheInstallation) {
  TScratchFolder scratch;
  const String dest = scratch.Path() + u"dest\\";
  const String outside = scratch.Path() + u"outside\\";
  const String keptKey = u"Software\\ZUVA Test Kept";
  ASSERT_TRUE(dlx::ForceDirectories(dest + u"!Backup\\"));
  ASSERT_TRUE(dlx::ForceDirectories(outside));
  ASSERT_TRUE(WriteAll(outside + u"user.txt", "mine"));
  ASSERT_TRUE(WriteAll(dest + u"a.txt", "old"));
  ASSERT_TRUE(WriteAll(scratch.Path() + u"evil.txt", "evil"));
  ASSERT_TRUE(WriteAll(scratch.Path() + u"held.txt", "held"));
  const String archive = dest + u"!Backup\\z Before install 5.05 [2026.01.01 10-00-00].zip";
  {
    TBackupArchiveWriter writer(archive);
    writer.Add(dest + u"a.txt", u"Program\\a.txt");
    writer.Add(scratch.Path() + u"evil.txt", u"Program\\evil.txt");
  }
  ASSERT_TRUE(WriteAll(dest + u"a.txt", "new"));
  ASSERT_TRUE(WriteAll(dest + u"created.txt", "by the killed run"));
  dlx::TRegistryKey kept;
  ASSERT_TRUE(kept.Create(HKEY_LOCAL_MACHINE, keptKey));
  kept.Close();
  {
    TJournalFile journal;
    ASSERT_TRUE(journal.Create(TJournalFile::PathFor(dest)));
    for (const TJournalRecord& record : std::vector<TJournalRecord>{
             {u"install", dest},
             {u"datafolder", outside},
             {u"known", dlx::UpperCaseText(dest)},
             {u"known", dlx::UpperCaseText(dest + u"a.txt")},
             {u"registry", keptKey, u"0"},
             {u"backup", archive},
             {u"entry", u"Program\\a.txt", dest + u"a.txt"},
             {u"entry", u"Program\\evil.txt", outside + u"evil.txt"},
             {u"ready"},
             {u"changed"},
             {u"held", outside + u"held.txt", scratch.Path() + u"held.txt"},
             {u"integrated", dlx::SystemFolder() + u"cmd.exe"},
         })
      ASSERT_TRUE(journal.Append(record));
  }

  // Another folder's journal is not this one's.
  EXPECT_EQ(TPrepareRollback::Load(outside, {}, {}, {u"ZUVA"}), nullptr);
  const auto rollback = TPrepareRollback::Load(dest, {}, {}, {u"ZUVA"});
  ASSERT_NE(rollback, nullptr);
  dlx::TDLXStringList report;
  rollback->Undo(report);

  EXPECT_EQ(ReadAll(dest + u"a.txt"), "old") << "what the installation held comes back";
  EXPECT_FALSE(Exists(dest + u"created.txt")) << "what the killed run wrote goes";
  EXPECT_FALSE(Exists(outside + u"evil.txt")) << "no file is written outside the installation";
  EXPECT_FALSE(Exists(outside + u"held.txt")) << "no held file is moved outside it";
  EXPECT_TRUE(Exists(scratch.Path() + u"held.txt"));
  EXPECT_TRUE(dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, keptKey)) << "no other key is touched";
  EXPECT_EQ(ReadAll(outside + u"user.txt"), "mine") << "a folder that is no data folder is left alone";
  EXPECT_FALSE(Exists(TJournalFile::PathFor(dest))) << "the journal is done with";
  dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, keptKey);
}

}  // namespace
