#include "lib/string_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/platform/text.h"

using namespace dlx;

namespace {

std::vector<String> Lines(const TDLXStringList& list) {
  std::vector<String> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

void Fill(TDLXStringList& list, std::initializer_list<const char16_t*> lines) {
  for (const char16_t* line : lines) list.Add(line);
}

// Counts Changed calls, to check that every mutation reports itself.
class CountingList : public TDLXStringList {
 public:
  void Changed() override { ++changes; }
  int changes = 0;
};

}  // namespace

TEST(StringList, IndexedAccessIgnoresOutOfRangeIndexes) {
  TDLXStringList list;
  EXPECT_EQ(list.Add(u"a", 7), 0);
  EXPECT_EQ(list.Add(u"c"), 1);
  list.Insert(1, u"b", nullptr, 9);
  list.Insert(-1, u"x");
  list.Insert(4, u"x");
  EXPECT_EQ(Lines(list), (std::vector<String>{u"a", u"b", u"c"}));
  EXPECT_EQ(list.Objects(0), 7);
  EXPECT_EQ(list.Objects(1), 9);
  EXPECT_EQ(list.Strings(3), u"");
  EXPECT_EQ(list.Strings(-1), u"");
  EXPECT_EQ(list.Objects(5), 0);
  list.Put(1, u"B");
  list.Put(3, u"nope");
  EXPECT_EQ(list.Strings(1), u"B");
  EXPECT_EQ(list.Count(), 3);

  EXPECT_FALSE(list.Delete(1, 3)) << "range does not fit";
  EXPECT_FALSE(list.Delete(0, 0));
  EXPECT_FALSE(list.Delete(3));
  EXPECT_FALSE(list.Delete(-1));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.Delete(0, 2));
  EXPECT_EQ(Lines(list), (std::vector<String>{u"c"}));
}

TEST(StringList, CapacityGrowsInSmallThenProportionalSteps) {
  TDLXStringList list;
  std::vector<int> seen;
  for (int i = 0; i < 200; ++i) {
    list.Add(u"x");
    if (seen.empty() || seen.back() != list.Capacity()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228}));
}

TEST(StringList, InterfacesAreKeptAliveAndCopiedByAssign) {
  auto object = std::make_shared<int>(42);
  std::weak_ptr<int> watch = object;
  TDLXStringList copy;
  {
    TDLXStringList list;
    list.Add(u"a", 5, object);
    object.reset();
    EXPECT_FALSE(watch.expired()) << "the list holds the object";
    copy.Add(u"old");
    copy.Assign(list);
  }
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Strings(0), u"a");
  EXPECT_EQ(copy.Objects(0), 5);
  EXPECT_EQ(*std::static_pointer_cast<int>(copy.Interfaces(0)), 42);
  copy.Clear();
  EXPECT_TRUE(watch.expired());
}

TEST(StringList, NameValueHelpers) {
  TDLXStringList list;
  Fill(list, {u"a=1", u"plain", u"A=2", u"b=x=y", u"=empty"});
  EXPECT_EQ(list.Names(0), u"a");
  EXPECT_EQ(list.ValueFromIndex(0), u"1");
  EXPECT_EQ(list.Names(1), u"");
  EXPECT_EQ(list.ValueFromIndex(1), u"plain");
  EXPECT_EQ(list.ValueFromIndex(3), u"x=y");
  EXPECT_EQ(list.Names(4), u"");
  EXPECT_EQ(list.IndexOfName(u"a"), 2) << "the later of two equal names wins";
  EXPECT_EQ(list.GetValue(u"a"), u"2");
  EXPECT_EQ(list.IndexOfName(u"plain"), -1) << "a line without separator has no name";
  EXPECT_EQ(list.IndexOfName(u"b=x"), 3);
  EXPECT_EQ(list.GetValue(u"missing"), u"");
  list.SetValue(u"B", u"new");
  EXPECT_EQ(list.Strings(3), u"B=new") << "replaced in place";
  list.SetValue(u"c", u"3");
  EXPECT_EQ(list.Strings(5), u"c=3");

  list.IgnoreCase = false;
  EXPECT_EQ(list.IndexOfName(u"a"), 0);
  list.NameValueSeparator = u':';
  list.Add(u"k:v");
  EXPECT_EQ(list.GetValue(u"k"), u"v");
}

TEST(StringList, IndexOfAndRemoveDuplicatesFollowTheCaseFlag) {
  TDLXStringList list;
  Fill(list, {u"x", u"X", u"y"});
  EXPECT_EQ(list.IndexOf(u"Y"), 2);
  EXPECT_EQ(list.RemoveDuplicates(), 1);
  EXPECT_EQ(Lines(list), (std::vector<String>{u"x", u"y"}));

  TDLXStringList exact;
  exact.IgnoreCase = false;
  Fill(exact, {u"x", u"X", u"x", u"y", u"X"});
  EXPECT_EQ(exact.IndexOf(u"Y"), -1);
  EXPECT_EQ(exact.RemoveDuplicates(), 2);
  EXPECT_EQ(Lines(exact), (std::vector<String>{u"x", u"X", u"y"}));
}

TEST(StringList, SortsByLocaleAndLogically) {
  TDLXStringList list;
  Fill(list, {u"banana", u"Cherry", u"apple", u"Apple"});
  list.SetObject(0, 1);
  list.Sort();
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Strings(3), u"Cherry");
  EXPECT_EQ(list.Strings(2), u"banana");
  EXPECT_EQ(list.Objects(2), 1) << "values travel with their lines";
  EXPECT_TRUE(SameText(list.Strings(0), u"apple") && SameText(list.Strings(1), u"apple"));

  TDLXStringList files;
  Fill(files, {u"file10.txt", u"File2.txt", u"file1.txt", u"file02b", u"a", u"file"});
  files.SortLogical();
  EXPECT_EQ(Lines(files),
            (std::vector<String>{u"a", u"file", u"file1.txt", u"File2.txt", u"file02b", u"file10.txt"}));

  EXPECT_LT(CompareTextLogical(u"x9", u"x10"), 0);
  EXPECT_GT(CompareTextLogical(u"x100", u"x99"), 0);
  EXPECT_EQ(CompareTextLogical(u"ABC7", u"abc7"), 0);
  EXPECT_LT(CompareTextLogical(u"a1", u"ab1"), 0);
  // Runs longer than any integer type still compare by value.
  EXPECT_LT(CompareTextLogical(u"n99999999999999999999999", u"n100000000000000000000000"), 0);
}

TEST(StringList, SetTextSplitsAtEveryKindOfLineBreak) {
  TDLXStringList list;
  list.SetText(u"a\r\n\r\nb");
  EXPECT_EQ(Lines(list), (std::vector<String>{u"a", u"", u"b"}));
  list.SetText(u"1\n2\r3\u20284\u2028\r\n5\u2028\r6\r\n");
  EXPECT_EQ(Lines(list), (std::vector<String>{u"1", u"2", u"3", u"4", u"5", u"6"}));
  list.SetText(u"x\r\n\r\n");
  EXPECT_EQ(Lines(list), (std::vector<String>{u"x", u""})) << "only the final empty line is dropped";
  list.SetText(u"\n\r");
  EXPECT_EQ(Lines(list), (std::vector<String>{u"", u""}));
  list.SetText(u"");
  EXPECT_EQ(list.Count(), 0);

  list.SetText(u"a\r\nb");
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\n");
  EXPECT_EQ(list.GetDelimitedText(u";", false), u"a;b");
  EXPECT_EQ(list.GetDelimitedText(u", ", true), u"a, b, ");
}

TEST(StringList, StreamsRoundTripInEveryEncoding) {
  const std::vector<String> lines{u"plain", u"", u"\u00e9t\u00e9 \u041f\u0440\u0438", u"last"};
  const TDLXEncoding encodings[] = {
      {}, TDLXEncoding::Utf8(), TDLXEncoding::Utf16LE(), TDLXEncoding::Utf16BE()};
  for (const TDLXEncoding& encoding : encodings) {
    TDLXStringList source;
    for (const String& line : lines) source.Add(line);
    TDLXMemoryStream stream;
    stream.WriteBuffer("head", 4);
    source.SaveToStream(stream, encoding);
    stream.SetPosition(4);
    TDLXStringList loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(Lines(loaded), lines) << "encoding " << encoding.Kind;
  }
  TDLXStringList cyrillic;
  cyrillic.Add(u"\u041f\u0440\u0438");
  TDLXMemoryStream stream;
  cyrillic.SaveToStream(stream, TDLXEncoding::FromCodePage(1251));
  EXPECT_EQ(stream.Size(), 5u) << "three letters, CR LF, no mark";
  stream.SetPosition(0);
  TDLXStringList loaded;
  loaded.LoadFromStream(stream, TDLXEncoding::FromCodePage(1251));
  EXPECT_EQ(Lines(loaded), std::vector<String>{u"\u041f\u0440\u0438"});

  TDLXMemoryStream empty;
  loaded.LoadFromStream(empty);
  EXPECT_EQ(loaded.Count(), 0) << "an empty stream clears the list";
}

TEST(StringList, EveryMutationReportsAChange) {
  CountingList list;
  list.Add(u"a");
  list.Insert(0, u"b");
  list.Put(0, u"c");
  list.Delete(0);
  list.Sort();
  list.Clear();
  EXPECT_EQ(list.changes, 6);
  list.Put(5, u"ignored");
  list.Delete(5);
  EXPECT_EQ(list.changes, 6) << "ignored operations change nothing";
}
