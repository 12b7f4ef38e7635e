// The library's list of text lines. Each line carries an integer (or pointer) value and an optional
// shared object that the list keeps alive; lines of the form name=value have helpers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "lib/text_encoding.h"

namespace dlx {

// Calls emit(line) for each line of text. A line ends at LF, CR, CR LF or U+2028 (U+2028 followed
// by CR LF or CR is one break); empty lines are reported, and a last line without a break only
// when it is not empty.
template <typename Emit>
void ForEachTextLine(StringView text, Emit&& emit) {
  size_t start = 0, i = 0;
  const size_t n = text.size();
  while (i < n) {
    const Char c = text[i];
    if (c != u'\r' && c != u'\n' && c != 0x2028) {
      ++i;
      continue;
    }
    emit(text.substr(start, i - start));
    ++i;
    if (c == 0x2028 && i < n && text[i] == u'\r') {
      ++i;
      if (i < n && text[i] == u'\n') ++i;
    } else if (c == u'\r' && i < n && text[i] == u'\n') {
      ++i;
    }
    start = i;
  }
  if (start < n) emit(text.substr(start));
}

struct TDLXStringItem {
  std::shared_ptr<void> Interface;
  intptr_t Data = 0;
  String Text;
};

class TDLXStringList {
 public:
  TDLXStringList() = default;
  TDLXStringList(const TDLXStringList&) = delete;
  TDLXStringList& operator=(const TDLXStringList&) = delete;
  virtual ~TDLXStringList() = default;

  // Called after every change; the list itself does nothing with it.
  virtual void Changed() {}
  // Replaces a line's text; an index out of range is ignored.
  virtual void Put(int index, StringView text);
  // Clear, then one line per line break (empty lines kept).
  virtual void SetText(StringView text);
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  // A stream of size 0 clears the list; otherwise the text from the stream's position is decoded
  // (byte-order mark, else the given encoding, teNone meaning ANSI) and becomes the lines.
  virtual void LoadFromStream(TDLXStream& stream, const TDLXEncoding& encoding = {});
  // The encoding's byte-order mark (UTF-16LE for teNone) and then GetText in that encoding.
  virtual void SaveToStream(TDLXStream& stream, const TDLXEncoding& encoding = {});
  // 0 <= index <= Count; any other index is ignored.
  virtual void Insert(int index, StringView text, std::shared_ptr<void> intf = nullptr, intptr_t data = 0);
  // First line equal to text (ignoring case when IgnoreCase is on), or -1.
  virtual int IndexOf(StringView text) const;
  virtual void Clear();

  int Add(StringView text, intptr_t data = 0, std::shared_ptr<void> intf = nullptr);
  // Removes count lines from index; false, with nothing done, unless the whole range is valid.
  bool Delete(int index, int count = 1);

  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  // Out of range: the empty string, 0 and an empty interface.
  const String& Strings(int index) const;
  intptr_t Objects(int index) const;
  std::shared_ptr<void> Interfaces(int index) const;
  void SetObject(int index, intptr_t data);
  void SetInterface(int index, std::shared_ptr<void> intf);

  // Text before the first separator (empty without one); text after it (the whole line without).
  String Names(int index) const;
  String ValueFromIndex(int index) const;
  // The last line that starts with name and the separator, or -1.
  int IndexOfName(StringView name) const;
  String GetValue(StringView name) const;
  void SetValue(StringView name, StringView value);

  // Deletes every line equal to an earlier one; returns the number deleted.
  int RemoveDuplicates();
  // By the user locale's order with case counting.
  void Sort();
  // Ignoring case, runs of digits compared as numbers (file2 before file10).
  void SortLogical();

  // Each line followed by CR LF.
  String GetText() const;
  String GetDelimitedText(StringView separator, bool afterLast) const;

  // Copies lines, values and interfaces.
  void Assign(const TDLXStringList& source);

  Char NameValueSeparator = u'=';
  bool IgnoreCase = true;

 protected:
  bool SameLine(StringView a, StringView b) const;
  TDLXStringItem& Item(int index) { return items_[static_cast<size_t>(index)]; }
  const TDLXStringItem& Item(int index) const { return items_[static_cast<size_t>(index)]; }
  bool ValidIndex(int index) const { return index >= 0 && index < Count(); }

 private:
  void Grow();

  std::vector<TDLXStringItem> items_;
};

// Comparison of the logical sort: < 0, 0 or > 0.
int CompareTextLogical(StringView a, StringView b);

}  // namespace dlx
