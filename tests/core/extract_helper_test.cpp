#include "core/extract_helper.h"

#include "core/errors.h"
#include "core/pending_restart.h"
#include "core/script/install_script.h"
#include "lib/win/system.h"
#include "tests/core/extract_test_env.h"

using namespace extractenv;

namespace {

class ExtractHelperTest : public ExtractTest {
 protected:
  // One component, $DEST\<name>, whose package entry holds content.
  void MakeOne(const String& name, const std::string& content) {
    Make({{u"$DEST\\" + name}}, {{dlx::ExtractFileName(name), content}});
    target_ = installer_->DestPath() + name;
  }
  const TInstallerScriptFile& Entry(int index = 0) {
    return *installer_->Resources().Script().Components().Items(index);
  }
  // Counts the questions and answers them from the list (the last answer repeats).
  void Answer(std::vector<int> answers, std::function<void()> onAsk = {}) {
    Helper().OnLockedFileQuestion = [this, answers, onAsk](const String& text) {
      questions_.push_back(text);
      if (onAsk) onAsk();
      return answers[std::min(questions_.size(), answers.size()) - 1];
    };
  }
  String target_;
  std::vector<String> questions_;
};

TEST_F(ExtractHelperTest, WritesTheEntryIntoFoldersItCreatesOnTheWay) {
  Make({{u"$DEST\\System\\Data\\Formats.ini"}}, {{u"Formats.ini", "[Formats]\r\nmp3=1\r\n"}});
  const String target = installer_->DestPath() + u"System\\Data\\Formats.ini";
  ASSERT_FALSE(dlx::DirectoryExists(installer_->DestPath() + u"System\\"));
  Helper().Extract(Entry());
  EXPECT_EQ(ReadAll(target), "[Formats]\r\nmp3=1\r\n");
}

TEST_F(ExtractHelperTest, TakesTheSourceFromTheEntryTextWhenThereIsOne) {
  Make({{u"$DEST\\Readme.txt", u"Readme_EN.txt"}}, {{u"Readme.txt", "decoy"}, {u"Readme_EN.txt", "english"}});
  Helper().Extract(Entry());
  EXPECT_EQ(ReadAll(installer_->DestPath() + u"Readme.txt"), "english");
}

TEST_F(ExtractHelperTest, ReplacesAnUnlockedFileWholeAndKeepsNoBackup) {
  MakeOne(u"a.txt", "new");
  ASSERT_TRUE(WriteAll(target_, "a much longer old content"));
  Answer({TInstallerExtractHelper::qaAbort});
  Helper().Extract(Entry());
  EXPECT_EQ(ReadAll(target_), "new") << "the old file must be truncated, not overwritten in place";
  EXPECT_FALSE(Exists(target_ + u".bak"));
  EXPECT_TRUE(questions_.empty());
}

TEST_F(ExtractHelperTest, WritesEntriesLargerThanTheCopyBuffer) {
  std::string big(1048576 * 2 + 12345, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7 + i / 1000) & 0xFF);
  MakeOne(u"big.dat", big);
  Helper().Extract(Entry());
  EXPECT_TRUE(ReadAll(target_) == big);
}

TEST_F(ExtractHelperTest, FailuresCarryTheUsersMessages) {
  Make({{u"$DEST\\gone.dll"}}, {{u"other.dll", "x"}});
  try {
    Helper().Extract(Entry());
    ADD_FAILURE() << "a missing package entry must fail";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(), u"Cannot locate \"gone.dll\" file in setup archive");
  }
  EXPECT_FALSE(Exists(installer_->DestPath() + u"gone.dll"));

  ASSERT_TRUE(WriteAll(installer_->DestPath() + u"blocker", "a file where a folder should be"));
  const String folder = installer_->DestPath() + u"blocker\\sub\\";
  try {
    Helper().ForceFolder(folder);
    ADD_FAILURE() << "a folder under a file cannot be created";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(), u"No folder \"" + folder + u"\"");
  }
  try {
    Helper().ForceFolder(u"");
    ADD_FAILURE() << "an empty folder text must fail";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(), u"No folder \"\"");
  }
}

TEST_F(ExtractHelperTest, ALockedFileWithTheWantedContentIsLeftAloneWithoutQuestion) {
  MakeOne(u"ZUVA.exe", "same bytes");
  ASSERT_TRUE(WriteAll(target_, "same bytes"));
  TFileLock lock(target_, FILE_SHARE_READ);  // readable, but not writable by others
  ASSERT_TRUE(lock.Held());
  Answer({TInstallerExtractHelper::qaAbort});
  EXPECT_NO_THROW(Helper().Extract(Entry()));
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(Exists(target_ + u".bak"));
  EXPECT_EQ(ReadAll(target_), "same bytes");
  EXPECT_FALSE(RestartNeeded()) << "nothing was left for a restart";
}

TEST_F(ExtractHelperTest, ALockedDifferentFileIsRenamedToBakAndReplacedWithoutQuestion) {
  MakeOne(u"ZUVA.exe", "version 2");
  ASSERT_TRUE(WriteAll(target_, "version 1"));
  // A running program's file: it may be read and renamed, but not overwritten.
  TFileLock lock(target_, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(lock.Held());
  Answer({TInstallerExtractHelper::qaAbort});
  Helper().Extract(Entry());
  EXPECT_TRUE(questions_.empty());
  EXPECT_EQ(ReadAll(target_ + u".bak"), "version 1");
  EXPECT_EQ(ReadAll(target_), "version 2");
  EXPECT_TRUE(RestartNeeded()) << "the program that holds the old file needs a restart to let it go";
}

TEST_F(ExtractHelperTest, AFileThatStaysLockedIsDecidedByTheUser) {
  MakeOne(u"ZUVA.exe", "version 2");
  ASSERT_TRUE(WriteAll(target_, "version 1"));
  {  // Abort ends the extraction with the language text
    TFileLock lock(target_, 0);
    ASSERT_TRUE(lock.Held());
    Answer({TInstallerExtractHelper::qaAbort});
    try {
      Helper().Extract(Entry());
      ADD_FAILURE() << "Abort must stop the extraction";
    } catch (const EInstallerInstallError& e) {
      EXPECT_EQ(e.Message(), u"Stopped at \"" + target_ + u"\"");
    }
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0], u"In use: \"" + target_ + u"\"");
  }
  EXPECT_EQ(ReadAll(target_), "version 1");
  EXPECT_FALSE(Exists(target_ + u".bak")) << "the rename of a file held without sharing fails";

  questions_.clear();
  {  // Ignore keeps the old file
    TFileLock lock(target_, 0);
    Answer({TInstallerExtractHelper::qaIgnore});
    EXPECT_NO_THROW(Helper().Extract(Entry()));
    EXPECT_EQ(questions_.size(), 1u);
  }
  EXPECT_EQ(ReadAll(target_), "version 1");

  questions_.clear();
  {  // Retry tries again (without a second rename) until the file is free
    TFileLock lock(target_, 0);
    Answer({TInstallerExtractHelper::qaRetry, TInstallerExtractHelper::qaRetry}, [&] {
      if (questions_.size() == 2) lock.Release();
    });
    EXPECT_NO_THROW(Helper().Extract(Entry()));
    EXPECT_EQ(questions_.size(), 2u);
  }
  EXPECT_EQ(ReadAll(target_), "version 2");
  EXPECT_FALSE(Exists(target_ + u".bak"));
}

TEST_F(ExtractHelperTest, AnIdenticalFileThatCannotBeReadIsAskedAboutInsteadOfFailing) {
  MakeOne(u"ZUVA.exe", "same bytes");
  ASSERT_TRUE(WriteAll(target_, "same bytes"));
  TFileLock lock(target_, 0);
  Answer({TInstallerExtractHelper::qaIgnore});
  EXPECT_NO_THROW(Helper().Extract(Entry()));
  EXPECT_EQ(questions_.size(), 1u);
}

TEST_F(ExtractHelperTest, WithMessageBoxesSuppressedTheQuestionAnswersAbort) {
  MakeOne(u"ZUVA.exe", "version 2");
  ASSERT_TRUE(WriteAll(target_, "version 1"));
  TFileLock lock(target_, 0);
  dlx::SetSuppressMessageBoxes(true);
  EXPECT_THROW(Helper().Extract(Entry()), EInstallerInstallError);
  dlx::SetSuppressMessageBoxes(false);
  lock.Release();
  EXPECT_EQ(ReadAll(target_), "version 1");
}

}  // namespace
