#include "lib/string_list.h"

#include <algorithm>

#include "lib/platform/text.h"

namespace dlx {

namespace {

const String kEmpty;

bool IsDigit(Char c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace

int CompareTextLogical(StringView a, StringView b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare the numbers by value: skip leading zeros, then the longer run is larger, and runs
      // of equal length compare digit by digit.
      size_t ei = i, ej = j;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == u'0') ++si;
      while (sj + 1 < ej && b[sj] == u'0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      if (const int r = a.substr(si, ei - si).compare(b.substr(sj, ej - sj))) return r < 0 ? -1 : 1;
      i = ei, j = ej;
      continue;
    }
    // Compare the runs up to the next digit (or a single character when only one side has a
    // digit here) with the locale's case-insensitive order.
    size_t ei = i, ej = j;
    while (ei < a.size() && !IsDigit(a[ei])) ++ei;
    while (ej < b.size() && !IsDigit(b[ej])) ++ej;
    if (ei == i) ++ei;
    if (ej == j) ++ej;
    if (const int r = CompareTextIgnoreCase(a.substr(i, ei - i), b.substr(j, ej - j))) return r;
    i = ei, j = ej;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

void TDLXStringList::Grow() {
  const size_t capacity = items_.capacity();
  size_t delta = 4;
  if (capacity > 64) {
    delta = capacity / 4;
  } else if (capacity > 8) {
    delta = 16;
  }
  items_.reserve(capacity + delta);
}

bool TDLXStringList::SameLine(StringView a, StringView b) const {
  return IgnoreCase ? SameText(a, b) : a == b;
}

void TDLXStringList::Put(int index, StringView text) {
  if (!ValidIndex(index)) return;
  Item(index).Text = String(text);
  Changed();
}

void TDLXStringList::SetText(StringView text) {
  BeginUpdate();
  Clear();
  ForEachTextLine(text, [this](StringView line) { Add(line); });
  EndUpdate();
}

void TDLXStringList::LoadFromStream(TDLXStream& stream, const TDLXEncoding& encoding) {
  if (stream.GetSize() == 0) {
    Clear();
    return;
  }
  SetText(DecodeTextStream(stream, encoding));
}

void TDLXStringList::SaveToStream(TDLXStream& stream, const TDLXEncoding& encoding) {
  WriteEncodedText(stream, GetText(), encoding);
}

void TDLXStringList::Insert(int index, StringView text, std::shared_ptr<void> intf, intptr_t data) {
  if (index < 0 || index > Count()) return;
  if (items_.size() == items_.capacity()) Grow();
  TDLXStringItem item;
  item.Interface = std::move(intf);
  item.Data = data;
  item.Text = String(text);
  items_.insert(items_.begin() + index, std::move(item));
  Changed();
}

int TDLXStringList::IndexOf(StringView text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameLine(Item(i).Text, text)) return i;
  return -1;
}

void TDLXStringList::Clear() {
  items_.clear();
  Changed();
}

int TDLXStringList::Add(StringView text, intptr_t data, std::shared_ptr<void> intf) {
  const int index = Count();
  Insert(index, text, std::move(intf), data);
  return index;
}

bool TDLXStringList::Delete(int index, int count) {
  if (!ValidIndex(index) || count <= 0 || count > Count() - index) return false;
  items_.erase(items_.begin() + index, items_.begin() + index + count);
  Changed();
  return true;
}

const String& TDLXStringList::Strings(int index) const {
  return ValidIndex(index) ? Item(index).Text : kEmpty;
}

intptr_t TDLXStringList::Objects(int index) const {
  return ValidIndex(index) ? Item(index).Data : 0;
}

std::shared_ptr<void> TDLXStringList::Interfaces(int index) const {
  return ValidIndex(index) ? Item(index).Interface : nullptr;
}

void TDLXStringList::SetObject(int index, intptr_t data) {
  if (ValidIndex(index)) Item(index).Data = data;
}

void TDLXStringList::SetInterface(int index, std::shared_ptr<void> intf) {
  if (ValidIndex(index)) Item(index).Interface = std::move(intf);
}

String TDLXStringList::Names(int index) const {
  const String& line = Strings(index);
  const size_t p = line.find(NameValueSeparator);
  return p == String::npos ? String() : line.substr(0, p);
}

String TDLXStringList::ValueFromIndex(int index) const {
  const String& line = Strings(index);
  const size_t p = line.find(NameValueSeparator);
  return p == String::npos ? line : line.substr(p + 1);
}

int TDLXStringList::IndexOfName(StringView name) const {
  for (int i = Count() - 1; i >= 0; --i) {
    const String& line = Item(i).Text;
    if (line.size() > name.size() && line[name.size()] == NameValueSeparator &&
        SameLine(StringView(line).substr(0, name.size()), name))
      return i;
  }
  return -1;
}

String TDLXStringList::GetValue(StringView name) const {
  const int index = IndexOfName(name);
  return index < 0 ? String() : Strings(index).substr(name.size() + 1);
}

void TDLXStringList::SetValue(StringView name, StringView value) {
  String line(name);
  line += NameValueSeparator;
  line += value;
  const int index = IndexOfName(name);
  if (index >= 0) {
    Put(index, line);
  } else {
    Add(line);
  }
}

int TDLXStringList::RemoveDuplicates() {
  int removed = 0;
  BeginUpdate();
  for (int i = Count() - 1; i > 0; --i) {
    const int first = IndexOf(Item(i).Text);
    if (first >= 0 && first < i) {
      Delete(i);
      ++removed;
    }
  }
  EndUpdate();
  return removed;
}

void TDLXStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const TDLXStringItem& a, const TDLXStringItem& b) {
    return CompareTextWithCase(a.Text, b.Text) < 0;
  });
  Changed();
}

void TDLXStringList::SortLogical() {
  std::stable_sort(items_.begin(), items_.end(), [](const TDLXStringItem& a, const TDLXStringItem& b) {
    return CompareTextLogical(a.Text, b.Text) < 0;
  });
  Changed();
}

String TDLXStringList::GetText() const {
  size_t length = 0;
  for (const auto& item : items_) length += item.Text.size() + 2;
  String text;
  text.reserve(length);
  for (const auto& item : items_) {
    text += item.Text;
    text += u"\r\n";
  }
  return text;
}

String TDLXStringList::GetDelimitedText(StringView separator, bool afterLast) const {
  String text;
  for (int i = 0; i < Count(); ++i) {
    text += Item(i).Text;
    if (afterLast || i + 1 < Count()) text += separator;
  }
  return text;
}

void TDLXStringList::Assign(const TDLXStringList& source) {
  if (&source == this) return;
  BeginUpdate();
  Clear();
  for (int i = 0; i < source.Count(); ++i) {
    const TDLXStringItem& item = source.Item(i);
    Insert(Count(), item.Text, item.Interface, item.Data);
  }
  EndUpdate();
}

}  // namespace dlx
