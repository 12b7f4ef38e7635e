#include "lib/ini_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "lib/file_stream.h"
#include "lib/platform/fs.h"

using namespace dlx;

namespace {

std::string Bytes(const TDLXMemoryStream& s) {
  return std::string(reinterpret_cast<const char*>(s.Memory()), s.Size());
}

std::string Utf16(StringView text) {
  std::string out;
  for (Char c : text) out += static_cast<char>(c & 0xFF), out += static_cast<char>(c >> 8);
  return out;
}

void LoadBytes(TDLXIniFile& ini, const std::string& bytes) {
  TDLXMemoryStream stream(bytes.data(), bytes.size());
  ini.LoadFromStream(stream);
}

std::string SaveBytes(TDLXIniFile& ini, const TDLXEncoding& encoding) {
  TDLXMemoryStream stream;
  ini.SaveToStream(stream, encoding);
  return Bytes(stream);
}

std::vector<String> Keys(TDLXIniFile& ini, StringView section) {
  TDLXStringList list;
  ini.ReadKeys(section, list);
  std::vector<String> keys;
  for (int i = 0; i < list.Count(); ++i) keys.push_back(list.Strings(i));
  return keys;
}

// A folder of its own under the temporary folder, removed with everything in it afterwards.
class IniFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::GetTempFolder(folder_));
    if (folder_.back() != u'/' && folder_.back() != u'\\') folder_ += u'\\';
    folder_ += u"zuva-ini-test-" + IntToStr(std::random_device()()) + u"\\";
    ASSERT_TRUE(platform::CreateDirectory(folder_));
  }
  void TearDown() override {
    for (const String& name : created_) {
      platform::SetAttributes(name, platform::kAttrNormal);
      platform::DeleteFile(name);
    }
    platform::RemoveDirectory(folder_);
  }
  String Path(StringView name) {
    created_.push_back(folder_ + String(name));
    return created_.back();
  }
  std::string ReadFile(const String& name) {
    TDLXFileStream file(name, fmReadShared);
    std::string bytes(static_cast<size_t>(file.GetSize()), '\0');
    file.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
  }
  void WriteFile(const String& name, const std::string& bytes) {
    TDLXFileStream file(name, fmCreate);
    file.WriteBuffer(bytes.data(), bytes.size());
  }

  String folder_;
  std::vector<String> created_;
};

}  // namespace

TEST(IniFile, LoadsRawLinesAndMatchesNamesIgnoringCase) {
  TDLXIniFile ini;
  ini.LoadFromText(
      u"orphan=lost\r\n[Main]\r\nName=Value\r\n\r\nkey = value\r\n; comment=yes\r\n[Main] \r\nx=1\r\n"
      u"[MAIN]\nsecond=2\r[\r\n=empty\r\n[x\r\nshort=1");
  EXPECT_EQ(ini.ReadString(u"main", u"NAME", u"?"), u"Value");
  EXPECT_EQ(ini.ReadString(u"Main", u"key", u"?"), u"?") << "nothing is trimmed";
  EXPECT_EQ(ini.ReadString(u"Main", u"key ", u"?"), u" value");
  EXPECT_EQ(ini.ReadString(u"Main", u"; comment", u"?"), u"yes") << "comments are ordinary lines";
  EXPECT_EQ(ini.ReadString(u"Main]", u"x", u"?"), u"1") << "the header loses its first and last character";
  EXPECT_EQ(ini.ReadString(u"Main", u"second", u"?"), u"2") << "a repeated header continues the section";
  EXPECT_FALSE(ini.ValueExists(u"Main", u"orphan")) << "lines before the first header are dropped";
  EXPECT_EQ(ini.ReadString(u"", u"", u"?"), u"empty") << "'[' and '[x' both name the empty section";
  EXPECT_EQ(ini.ReadString(u"", u"short", u"?"), u"1");
  ASSERT_EQ(ini.SectionCount(), 3);
  EXPECT_EQ(ini.Sections(0).Count(), 4) << "empty lines are dropped";
  EXPECT_THROW(ini.Sections(3), EDLXArgumentOutOfRange);
  EXPECT_THROW(ini.Sections(-1), EDLXArgumentOutOfRange);
  EXPECT_EQ(Keys(ini, u"Main"), (std::vector<String>{u"Name", u"key ", u"; comment", u"second"}));

  // An unclosed header ending in a surrogate pair loses the whole pair, not half of it.
  ini.LoadFromText(u"[ab\U00010000\r\nk=1\r\n[\U00010000\r\nk=2");
  EXPECT_EQ(ini.ReadString(u"ab", u"k", u""), u"1");
  EXPECT_EQ(ini.ReadString(u"", u"k", u""), u"2");

  // The same text given to a string list keeps its empty lines; the loader does not.
  TDLXStringList list;
  list.SetText(u"a\r\n\r\nb");
  EXPECT_EQ(list.Count(), 3);
  ini.LoadFromText(u"[S]\r\na\r\n\r\nb");
  EXPECT_EQ(ini.ReadSectionText(u"S"), u"a\r\nb\r\n");
}

TEST(IniFile, WritesTheDocumentInItsPlainForm) {
  TDLXIniFile ini;
  ini.WriteString(u"Empty", u"k", u"v");
  ini.DeleteKey(u"Empty", u"k");
  ini.WriteString(u"One", u"a", u"1");
  ini.WriteString(u"Two", u"b", u"");
  const String expected = u"[One]\r\na=1\r\n\r\n[Two]\r\nb=\r\n\r\n";
  EXPECT_EQ(ini.GetText(), expected) << "sections without lines are not written";
  EXPECT_TRUE(ini.SectionExists(u"empty"));
  EXPECT_EQ(SaveBytes(ini, ini.Encoding), "\xFF\xFE" + Utf16(expected)) << "new documents are UTF-16LE";
  TDLXMemoryStream shortForm;
  ini.SaveToStream(shortForm);
  EXPECT_EQ(Bytes(shortForm), "\xFF\xFE" + Utf16(expected));
  EXPECT_EQ(SaveBytes(ini, TDLXEncoding::Utf8()), "\xEF\xBB\xBF" + ToUtf8(expected));

  TDLXIniFile empty;
  EXPECT_TRUE(empty.IsEmpty());
  empty.WriteString(u"S", u"k", u"v");
  empty.DeleteKey(u"S", u"k");
  EXPECT_TRUE(empty.IsEmpty()) << "a section without lines is nothing to save";
  EXPECT_EQ(SaveBytes(empty, TDLXEncoding::Ansi()), "");
}

TEST(IniFile, SavesBackInTheEncodingItWasLoadedIn) {
  const std::string ansi = "[S]\r\nk=caf\xe9\r\n\r\n";
  TDLXIniFile ini;
  LoadBytes(ini, ansi);
  EXPECT_EQ(ini.Encoding, TDLXEncoding::Ansi());
#ifndef _WIN32
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"caf\u00e9");
  EXPECT_EQ(SaveBytes(ini, ini.Encoding), ansi) << "no mark, same bytes";
#endif
  LoadBytes(ini, "\xEF\xBB\xBF[S]\r\nk=\xD0\x96\r\n");
  EXPECT_EQ(ini.Encoding, TDLXEncoding::Utf8());
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"\u0416");
  EXPECT_EQ(SaveBytes(ini, ini.Encoding), "\xEF\xBB\xBF[S]\r\nk=\xD0\x96\r\n\r\n");
  LoadBytes(ini, std::string("\xFE\xFF\0[\0S\0]\0\n\0k\0=\x04\x16", 16));
  EXPECT_EQ(ini.Encoding, TDLXEncoding::Utf16BE());
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"\u0416");
  // A mark promising UTF-8 over bytes that are not UTF-8 still loads, as ANSI.
  LoadBytes(ini, "\xEF\xBB\xBF[S]\r\nk=\xFF\xFE\x41");
  EXPECT_EQ(ini.ReadString(u"S", u"k", u"").size(), 3u);
}

TEST(IniFile, TypedReadsAndWrites) {
  TDLXIniFile ini;
  ini.LoadFromText(u"[S]\r\ntwo=2\r\nabc=abc\r\nzero=0\r\nneg=-17\r\nhuge=99999999999\r\nKey=\r\nsp= 1");
  EXPECT_TRUE(ini.ReadBool(u"S", u"two", false));
  EXPECT_TRUE(ini.ReadBool(u"S", u"abc", true));
  EXPECT_FALSE(ini.ReadBool(u"S", u"abc", false));
  EXPECT_FALSE(ini.ReadBool(u"S", u"zero", true));
  EXPECT_TRUE(ini.ReadBool(u"S", u"missing", true));
  EXPECT_EQ(ini.ReadInteger(u"S", u"neg", 5), -17);
  EXPECT_EQ(ini.ReadInteger(u"S", u"huge", 5), 5) << "out of the integer's range";
  EXPECT_EQ(ini.ReadInteger(u"S", u"sp", 5), 5);
  EXPECT_EQ(ini.ReadInteger(u"Nope", u"two", 5), 5);
  EXPECT_EQ(ini.ReadString(u"S", u"Key", u"default"), u"") << "an existing empty value is not missing";
  String value = u"stale";
  EXPECT_FALSE(ini.ReadString(u"S", u"missing", value));
  EXPECT_EQ(value, u"");
  ini.WriteBool(u"S", u"flag", true);
  ini.WriteInteger(u"S", u"n", -5000000000);
  EXPECT_EQ(ini.ReadString(u"S", u"flag", u""), u"1");
  EXPECT_EQ(ini.ReadString(u"S", u"n", u""), u"-5000000000");
  TDLXIniFileSection& section = *ini.FindSection(u"s");
  EXPECT_EQ(section.ReadInteger(u"TWO", 0), 2);
  EXPECT_TRUE(section.ReadBool(u"flag", false));
}

TEST(IniFile, WriteStringKeepsPositionsAndKeySpelling) {
  TDLXIniFile ini;
  ini.LoadFromText(u"[S]\r\na=1\r\nB=2\r\nc=3\r\nb=dup");
  ini.WriteString(u"s", u"b", u"new");
  ini.WriteString(u"S", u"d", u"4");
  EXPECT_EQ(ini.ReadSectionText(u"S"), u"a=1\r\nb=new\r\nc=3\r\nb=dup\r\nd=4\r\n")
      << "the first matching line is replaced in place; new keys are appended";
  EXPECT_TRUE(ini.DeleteKey(u"S", u"B"));
  EXPECT_EQ(ini.ReadString(u"S", u"b", u""), u"dup");
  EXPECT_FALSE(ini.DeleteKey(u"S", u"zz"));
  EXPECT_FALSE(ini.DeleteKey(u"Nope", u"a"));

  // A replaced line's cached hash follows its new key.
  TDLXIniFileSection& section = *ini.FindSection(u"S");
  section.Put(0, u"renamed=1");
  EXPECT_FALSE(ini.ValueExists(u"S", u"a"));
  EXPECT_TRUE(ini.ValueExists(u"S", u"RENAMED"));
  // Values passed for section lines cannot poison the hash cache.
  section.Add(u"added=5", 12345);
  EXPECT_EQ(ini.ReadString(u"S", u"added", u""), u"5");

  ini.WriteSectionText(u"New", u"x=1\r\ny=2");
  EXPECT_EQ(ini.ReadString(u"new", u"y", u""), u"2");
  ini.WriteSectionText(u"New", u"z=3");
  EXPECT_FALSE(ini.ValueExists(u"New", u"x")) << "the section's lines are replaced";
  EXPECT_EQ(ini.ReadSectionText(u"Missing"), u"");
}

TEST(IniFile, HashesAndTheSectionCacheNeverMixUpNames) {
  EXPECT_EQ(IniNameHash(u""), 0u);
  EXPECT_EQ(IniNameHash(u"A"), 0x41u);
  EXPECT_EQ(IniNameHash(u"ab"), (0x41u << 4) + 0x42u);
  EXPECT_EQ(IniNameHash(u"Section"), IniNameHash(u"SECTION"));
  EXPECT_EQ(IniNameHash(u"\u043a\u043b\u044e\u0447"), IniNameHash(u"\u041a\u041b\u042e\u0427"));
  const String prefix(64, u'x');
  EXPECT_EQ(IniNameHash(prefix + u"1"), IniNameHash(prefix + u"2")) << "only 64 characters are hashed";
  EXPECT_EQ(IniNameHash(String(1000, u'\uffff')) & 0xF0000000u, 0u);

  TDLXIniFile ini;
  ini.WriteString(prefix + u"1", prefix + u"k1", u"one");
  ini.WriteString(prefix + u"2", prefix + u"k2", u"two");
  ini.WriteString(prefix + u"1", prefix + u"k2", u"three");
  EXPECT_EQ(ini.ReadString(prefix + u"1", prefix + u"k1", u""), u"one");
  EXPECT_EQ(ini.ReadString(prefix + u"2", prefix + u"k2", u""), u"two");
  EXPECT_EQ(ini.ReadString(prefix + u"1", prefix + u"k2", u""), u"three");
  EXPECT_FALSE(ini.ValueExists(prefix + u"2", prefix + u"k1"));

  // Erasing the cached section must not leave the cache pointing at it.
  ini.WriteString(u"A", u"k", u"v");
  EXPECT_TRUE(ini.SectionExists(u"a"));
  EXPECT_TRUE(ini.EraseSection(u"A"));
  EXPECT_FALSE(ini.EraseSection(u"A"));
  EXPECT_FALSE(ini.SectionExists(u"A"));
  EXPECT_EQ(ini.ReadString(u"A", u"k", u"gone"), u"gone");
  ini.WriteString(u"a", u"k", u"back");
  EXPECT_EQ(ini.ReadString(u"A", u"k", u""), u"back");
  ini.Clear();
  EXPECT_FALSE(ini.SectionExists(u"a"));
  EXPECT_EQ(ini.SectionCount(), 0);
}

TEST(IniFile, ChangesAreTrackedAndSignalledOncePerOperation) {
  TDLXIniFile ini;
  int events = 0;
  ini.OnChange = [&](TDLXIniFile&) { ++events; };
  ini.LoadFromText(u"[S]\r\na=1\r\nb=2\r\nc=3");
  EXPECT_EQ(events, 1) << "loading signals one change";
  EXPECT_TRUE(ini.Modified());
  ini.SetModified(false);
  ini.WriteString(u"New", u"k", u"v");
  EXPECT_EQ(events, 2) << "creating the section and the line is one change";
  ini.EraseSection(u"New");
  EXPECT_EQ(events, 3);
  ini.DeleteKey(u"S", u"a");
  EXPECT_EQ(events, 4);
  TDLXIniFileSection& section = *ini.FindSection(u"S");
  section.BeginUpdate();
  section.Add(u"x=1");
  section.Add(u"y=2");
  EXPECT_EQ(events, 4);
  section.EndUpdate();
  EXPECT_EQ(events, 5);
  ini.BeginUpdate();
  ini.WriteString(u"S", u"p", u"1");
  ini.WriteString(u"S", u"q", u"2");
  ini.EndUpdate();
  EXPECT_EQ(events, 6);
  EXPECT_TRUE(ini.Modified());
  ini.ReadString(u"S", u"p", u"");
  ini.EraseSection(u"Missing");
  EXPECT_EQ(events, 6) << "reads and failed erasures change nothing";
}

TEST(IniFile, StreamValuesAreHexadecimal) {
  TDLXIniFile ini;
  TDLXMemoryStream source;
  source.WriteBuffer("skip\x00\xff\x10z", 8);
  source.SetPosition(4);
  ini.WriteStream(u"S", u"blob", source);
  EXPECT_EQ(ini.ReadString(u"S", u"blob", u""), u"00FF107A") << "the bytes from the stream's position";

  TDLXMemoryStream target;
  target.WriteBuffer("ab", 2);
  ASSERT_TRUE(ini.ReadStream(u"S", u"blob", target));
  EXPECT_EQ(Bytes(target), std::string("ab\x00\xff\x10z", 6));
  EXPECT_EQ(target.GetPosition(), 0);

  ini.WriteString(u"S", u"lower", u"0aFf");
  TDLXMemoryStream lower;
  ASSERT_TRUE(ini.ReadStream(u"S", u"lower", lower));
  EXPECT_EQ(Bytes(lower), "\x0a\xff");

  for (const char16_t* bad : {u"0G", u"ABC", u"12 4", u"-1"}) {
    ini.WriteString(u"S", u"bad", bad);
    TDLXMemoryStream keep;
    keep.WriteBuffer("keep", 4);
    keep.SetPosition(2);
    EXPECT_FALSE(ini.ReadStream(u"S", u"bad", keep)) << ToUtf8(bad);
    EXPECT_EQ(Bytes(keep), "keep") << "the stream is left as it was";
    EXPECT_EQ(keep.GetPosition(), 2);
  }
  TDLXMemoryStream none;
  EXPECT_FALSE(ini.ReadStream(u"S", u"missing", none));

  TDLXMemoryStream empty;
  ini.WriteStream(u"S", u"blob", empty);
  EXPECT_FALSE(ini.ValueExists(u"S", u"blob")) << "no bytes delete the key";
}

TEST(IniFile, MergeAssignAndEquals) {
  TDLXIniFile target, source;
  target.LoadFromText(u"[Common]\r\nkeep=old\r\nboth=old\r\n[Only]\r\nx=1");
  source.LoadFromText(u"[COMMON]\r\nboth=new\r\nadded=yes\r\nno separator\r\n[Extra]\r\nline\r\ne=1");
  target.Merge(source, false);
  EXPECT_EQ(target.ReadString(u"Common", u"both", u""), u"old");
  EXPECT_EQ(target.ReadString(u"Common", u"added", u""), u"yes");
  EXPECT_EQ(target.ReadSectionText(u"Extra"), u"line\r\ne=1\r\n") << "a missing section is copied whole";
  EXPECT_EQ(target.ReadSectionText(u"Common"), u"keep=old\r\nboth=old\r\nadded=yes\r\n");
  target.Merge(source, true);
  EXPECT_EQ(target.ReadString(u"Common", u"both", u""), u"new");
  EXPECT_EQ(target.ReadString(u"Only", u"x", u""), u"1");

  TDLXIniFile copy;
  copy.WriteString(u"Old", u"gone", u"1");
  copy.Assign(target);
  EXPECT_TRUE(copy.Equals(target));
  EXPECT_FALSE(copy.SectionExists(u"Old"));
  copy.WriteString(u"Only", u"x", u"2");
  EXPECT_FALSE(copy.Equals(target));
  // Sections without lines do not count.
  TDLXIniFile a, b;
  a.WriteString(u"S", u"k", u"v");
  b.WriteString(u"S", u"k", u"v");
  b.WriteSectionText(u"Blank", u"");
  EXPECT_TRUE(a.Equals(b));
}

TEST_F(IniFileOnDisk, MissingFilesLoadEmptyAndSavingReportsFailure) {
  TDLXIniFile ini(Path(u"missing.ini"));
  EXPECT_TRUE(ini.IsEmpty());
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(u"S", u"k", u"v");
  EXPECT_FALSE(ini.SaveToFile(folder_ + u"no-such-folder\\x.ini", {}));
  const String name = Path(u"saved.ini");
  ASSERT_TRUE(ini.SaveToFile(name, TDLXEncoding::Utf8()));
  EXPECT_EQ(ReadFile(name), "\xEF\xBB\xBF[S]\r\nk=v\r\n\r\n");
}

TEST_F(IniFileOnDisk, LoadsAndReplacesReadOnlyFiles) {
  const String name = Path(u"ro.ini");
  WriteFile(name, "[S]\r\nk=v\r\n");
  ASSERT_TRUE(platform::SetAttributes(name, platform::kAttrReadOnly));
  TDLXIniFile ini(name);
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"v");
  EXPECT_EQ(ini.Encoding, TDLXEncoding::Ansi());
  EXPECT_FALSE(ini.Modified()) << "loading is not a change";
  ini.WriteString(u"S", u"k", u"w");
  ASSERT_TRUE(ini.SaveToFile(name, ini.Encoding));
  EXPECT_EQ(ReadFile(name), "[S]\r\nk=w\r\n\r\n");

  TDLXIniFile merged;
  merged.WriteString(u"S", u"k", u"mine");
  merged.Merge(name, false);
  merged.Merge(Path(u"absent.ini"), true);
  EXPECT_EQ(merged.ReadString(u"S", u"k", u""), u"mine");
}

TEST_F(IniFileOnDisk, AutoSaveWritesChangesOnRelease) {
  const String name = Path(u"auto.ini");
  WriteFile(name, "[S]\r\nk=1\r\n");
  { TDLXIniFile unchanged(name, true); }
  EXPECT_EQ(ReadFile(name), "[S]\r\nk=1\r\n") << "nothing changed, nothing written";
  {
    TDLXIniFile ini(name, true);
    ini.WriteInteger(u"S", u"k", 2);
  }
  EXPECT_EQ(ReadFile(name), "[S]\r\nk=2\r\n\r\n");
  {
    TDLXIniFile manual(name, false);
    manual.WriteInteger(u"S", u"k", 3);
  }
  EXPECT_EQ(ReadFile(name), "[S]\r\nk=2\r\n\r\n") << "without auto-save the file stays";
  TDLXIniFile ini(name);
  ini.WriteInteger(u"S", u"k", 4);
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  TDLXIniFile reread(name);
  EXPECT_EQ(reread.ReadInteger(u"S", u"k", 0), 4);
}

TEST(IniFile, AValueWithALineBreakIsRefusedInsteadOfWrittenAsTwoLines) {
  for (const char16_t* value : {u"C:\\\r\newdemo\\", u"a\nb", u"a\rb"}) {
    TDLXIniFile ini;
    ini.WriteString(u"Uninstall", u"0", value);
    TDLXMemoryStream stream;
    try {
      ini.SaveToStream(stream);
      ADD_FAILURE() << "written: " << ToUtf8(value);
    } catch (const EDLXException& e) {
      EXPECT_NE(e.Message().find(u"\"0\" of section [Uninstall]"), String::npos) << ToUtf8(e.Message());
    }
    EXPECT_EQ(stream.Size(), 0) << "nothing written";
  }
}
