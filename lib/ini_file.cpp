#include "lib/ini_file.h"

#include <limits>

#include "lib/exceptions.h"
#include "lib/file_stream.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"

namespace dlx {

namespace {

constexpr size_t kHashedLength = 64;

// The key part of a line: the text before its first '=' (empty without one).
StringView KeyOf(StringView line) {
  const size_t p = line.find(u'=');
  return p == StringView::npos ? StringView() : line.substr(0, p);
}

int HexDigit(Char c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Scope of an update of the document, so that an exception cannot leave it counting.
class FileUpdate {
 public:
  explicit FileUpdate(TDLXIniFile& file) : file_(file) { file_.BeginUpdate(); }
  ~FileUpdate() { file_.EndUpdate(); }
  FileUpdate(const FileUpdate&) = delete;
  FileUpdate& operator=(const FileUpdate&) = delete;

 private:
  TDLXIniFile& file_;
};

}  // namespace

uint32_t IniNameHash(StringView name) {
  const String upper = UpperCaseText(name.substr(0, std::min(name.size(), kHashedLength)));
  uint32_t h = 0;
  for (const Char c : upper) {
    h = (h << 4) + c;
    const uint32_t g = h & 0xF0000000u;
    h = (h ^ (g >> 24)) & ~g;
  }
  return h;
}

// ---- TDLXIniFileSection ----

TDLXIniFileSection::TDLXIniFileSection(TDLXIniFile* owner, StringView name) : name_(name), owner_(owner) {}

uint32_t TDLXIniFileSection::NameHash() {
  if (nameHash_ == 0) nameHash_ = IniNameHash(name_);
  return nameHash_;
}

void TDLXIniFileSection::Changed() {
  if (updateCount_ == 0 && owner_) owner_->Changed();
}

void TDLXIniFileSection::Put(int index, StringView text) {
  if (ValidIndex(index)) Item(index).Data = 0;
  TDLXStringList::Put(index, text);
}

void TDLXIniFileSection::BeginUpdate() {
  ++updateCount_;
}

void TDLXIniFileSection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TDLXIniFileSection::Insert(int index, StringView text, std::shared_ptr<void> intf, intptr_t data) {
  TDLXStringList::Insert(index, text, std::move(intf), 0);
}

uint32_t TDLXIniFileSection::LineHash(int index) {
  TDLXStringItem& item = Item(index);
  if (item.Data == 0) item.Data = static_cast<intptr_t>(IniNameHash(KeyOf(item.Text)));
  return static_cast<uint32_t>(item.Data);
}

int TDLXIniFileSection::FindKey(StringView key) {
  const uint32_t hash = IniNameHash(key);
  for (int i = 0; i < Count(); ++i) {
    if (LineHash(i) != hash) continue;
    const String& line = Item(i).Text;
    // The key must be followed by the separator, so a line without one matches no key but "".
    if (line.size() > key.size() && line[key.size()] == u'=' && line.find(u'=') == key.size() &&
        SameText(StringView(line).substr(0, key.size()), key))
      return i;
    if (key.empty() && line.find(u'=') == String::npos) return i;
  }
  return -1;
}

bool TDLXIniFileSection::ReadString(StringView key, String& value) {
  const int index = FindKey(key);
  if (index < 0) {
    value.clear();
    return false;
  }
  value = ValueFromIndex(index);
  return true;
}

int TDLXIniFileSection::ReadInteger(StringView key, int defaultValue) {
  String text;
  int64_t number;
  if (!ReadString(key, text) || !TryStrToInt(text, number) || number < std::numeric_limits<int>::min() ||
      number > std::numeric_limits<int>::max())
    return defaultValue;
  return static_cast<int>(number);
}

bool TDLXIniFileSection::ReadBool(StringView key, bool defaultValue) {
  return ReadInteger(key, defaultValue ? 1 : 0) != 0;
}

void TDLXIniFileSection::WriteString(StringView key, StringView value) {
  String line(key);
  line += u'=';
  line += value;
  const int index = FindKey(key);
  if (index >= 0) {
    Put(index, line);
  } else {
    Add(line);
  }
}

bool TDLXIniFileSection::DeleteKey(StringView key) {
  const int index = FindKey(key);
  return index >= 0 && Delete(index);
}

// ---- TDLXIniFile ----

TDLXIniFile::TDLXIniFile() = default;

TDLXIniFile::TDLXIniFile(StringView fileName, bool autoSave) : AutoSave(autoSave) {
  if (!fileName.empty()) {
    LoadFromFile(fileName);
  } else {
    fileName_ = String(fileName);
  }
}

TDLXIniFile::~TDLXIniFile() {
  if (!AutoSave) return;
  try {
    UpdateFile();
  } catch (...) {
    // A destructor cannot report the failure; the file simply keeps its previous content.
  }
}

void TDLXIniFile::Changed() {
  modified_ = true;
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TDLXIniFile::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

TDLXIniFileSection& TDLXIniFile::Sections(int index) {
  if (index < 0 || index >= SectionCount()) throw EDLXArgumentOutOfRange();
  return *sections_[static_cast<size_t>(index)];
}

TDLXIniFileSection* TDLXIniFile::FindSection(StringView name) {
  if (lastSection_ && SameText(lastSection_->Name(), name)) return lastSection_;
  const uint32_t hash = IniNameHash(name);
  for (const auto& section : sections_) {
    if (section->NameHash() == hash && SameText(section->Name(), name)) {
      lastSection_ = section.get();
      return lastSection_;
    }
  }
  return nullptr;
}

TDLXIniFileSection& TDLXIniFile::GetOrCreateSection(StringView name) {
  if (TDLXIniFileSection* section = FindSection(name)) return *section;
  sections_.push_back(std::make_unique<TDLXIniFileSection>(this, name));
  lastSection_ = sections_.back().get();
  return *lastSection_;
}

bool TDLXIniFile::ValueExists(StringView section, StringView key) {
  TDLXIniFileSection* s = FindSection(section);
  return s && s->FindKey(key) >= 0;
}

bool TDLXIniFile::SectionExists(StringView section) {
  return FindSection(section) != nullptr;
}

bool TDLXIniFile::IsEmpty() const {
  for (const auto& section : sections_)
    if (section->Count() > 0) return false;
  return true;
}

int TDLXIniFile::ReadInteger(StringView section, StringView key, int defaultValue) {
  TDLXIniFileSection* s = FindSection(section);
  return s ? s->ReadInteger(key, defaultValue) : defaultValue;
}

bool TDLXIniFile::ReadString(StringView section, StringView key, String& value) {
  TDLXIniFileSection* s = FindSection(section);
  if (!s) {
    value.clear();
    return false;
  }
  return s->ReadString(key, value);
}

String TDLXIniFile::ReadString(StringView section, StringView key, StringView defaultValue) {
  String value;
  return ReadString(section, key, value) ? value : String(defaultValue);
}

void TDLXIniFile::WriteString(StringView section, StringView key, StringView value) {
  FileUpdate update(*this);
  GetOrCreateSection(section).WriteString(key, value);
}

bool TDLXIniFile::ReadBool(StringView section, StringView key, bool defaultValue) {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TDLXIniFile::WriteBool(StringView section, StringView key, bool value) {
  WriteString(section, key, value ? u"1" : u"0");
}

void TDLXIniFile::WriteInteger(StringView section, StringView key, int64_t value) {
  WriteString(section, key, IntToStr(value));
}

bool TDLXIniFile::ReadStream(StringView section, StringView key, TDLXStream& stream) {
  String text;
  if (!ReadString(section, key, text) || text.size() % 2 != 0) return false;
  // Decode everything before writing, so that bad text leaves the caller's stream untouched.
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.SetPosition(0);
  return true;
}

void TDLXIniFile::WriteStream(StringView section, StringView key, TDLXStream& stream) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  String text;
  uint8_t buffer[4096];
  for (size_t got; (got = stream.Read(buffer, sizeof buffer)) > 0;) {
    for (size_t i = 0; i < got; ++i) {
      text += kHex[buffer[i] >> 4];
      text += kHex[buffer[i] & 15];
    }
  }
  if (text.empty()) {
    DeleteKey(section, key);
  } else {
    WriteString(section, key, text);
  }
}

bool TDLXIniFile::DeleteKey(StringView section, StringView key) {
  TDLXIniFileSection* s = FindSection(section);
  return s && s->DeleteKey(key);
}

bool TDLXIniFile::EraseSection(StringView section) {
  TDLXIniFileSection* s = FindSection(section);
  if (!s) return false;
  if (lastSection_ == s) lastSection_ = nullptr;
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (it->get() == s) {
      sections_.erase(it);
      break;
    }
  }
  Changed();
  return true;
}

void TDLXIniFile::Clear() {
  FileUpdate update(*this);
  lastSection_ = nullptr;
  sections_.clear();
}

void TDLXIniFile::ReadKeys(StringView section, TDLXStringList& list) {
  TDLXIniFileSection* s = FindSection(section);
  if (!s) return;
  for (int i = 0; i < s->Count(); ++i) {
    const StringView key = KeyOf(s->Strings(i));
    if (!key.empty()) list.Add(key);
  }
}

void TDLXIniFile::ReadSections(TDLXStringList& list) const {
  for (const auto& section : sections_) list.Add(section->Name());
}

String TDLXIniFile::ReadSectionText(StringView section) {
  TDLXIniFileSection* s = FindSection(section);
  return s ? s->GetText() : String();
}

void TDLXIniFile::WriteSectionText(StringView section, StringView text) {
  FileUpdate update(*this);
  GetOrCreateSection(section).SetText(text);
}

String TDLXIniFile::GetText() const {
  String text;
  for (const auto& section : sections_) {
    if (section->Count() == 0) continue;
    // A line break inside a value would end the line early and make the rest a line of its own:
    // a different key, or a broken one, when the text is read back.
    for (int i = 0; i < section->Count(); ++i) {
      const String& line = section->Strings(i);
      if (line.find_first_of(u"\r\n") != String::npos)
        throw EDLXException(u"Cannot write \"" + String(KeyOf(line)) + u"\" of section [" + section->Name() +
                            u"]: its value holds a line break");
    }
    text += u'[';
    text += section->Name();
    text += u"]\r\n";
    text += section->GetText();
    text += u"\r\n";
  }
  return text;
}

void TDLXIniFile::LoadFromText(const Char* text, size_t length) {
  FileUpdate update(*this);
  Clear();
  TDLXIniFileSection* current = nullptr;
  ForEachTextLine(StringView(text, length), [&](StringView line) {
    if (line.empty()) return;
    if (line[0] == u'[') {
      // The last character is dropped whatever it is; a surrogate pair is one character, so the
      // name never ends in half of one (which no encoding but UTF-16 could store).
      size_t last = line.size() - 1;
      if (last > 1 && line[last] >= 0xDC00 && line[last] <= 0xDFFF && line[last - 1] >= 0xD800 &&
          line[last - 1] <= 0xDBFF)
        --last;
      current = &GetOrCreateSection(line.size() < 3 ? StringView() : line.substr(1, last - 1));
    } else if (current) {
      current->Add(line);
    }
  });
}

void TDLXIniFile::LoadFromStream(TDLXStream& stream) {
  TDLXEncoding detected;
  const String text = DecodeTextStream(stream, TDLXEncoding::Ansi(), &detected);
  Encoding = detected;
  LoadFromText(text);
}

void TDLXIniFile::LoadFromFile(StringView fileName) {
  Clear();
  fileName_ = String(fileName);
  std::unique_ptr<TDLXBufferedFileStream> stream;
  try {
    stream = std::make_unique<TDLXBufferedFileStream>(fileName_, fmReadShared);
  } catch (const EDLXOSError&) {
    // A missing or locked file reads as an empty document.
  }
  if (stream) LoadFromStream(*stream);
  modified_ = false;
}

void TDLXIniFile::SaveToStream(TDLXStream& stream, const TDLXEncoding& encoding) {
  WriteEncodedText(stream, GetText(), encoding);
}

bool TDLXIniFile::SaveToFile(StringView fileName, const TDLXEncoding& encoding) {
  const String name(fileName);
  // A read-only or hidden file could not be replaced otherwise.
  platform::SetAttributes(name, platform::kAttrNormal);
  std::unique_ptr<TDLXBufferedFileStream> stream;
  try {
    stream = std::make_unique<TDLXBufferedFileStream>(name, fmCreate | fmShareDenyNone);
  } catch (const EDLXOSError&) {
    return false;
  }
  SaveToStream(*stream, encoding);
  stream->Flush();
  return true;
}

void TDLXIniFile::UpdateFile() {
  if (fileName_.empty() || !modified_) return;
  if (SaveToFile(fileName_, Encoding)) modified_ = false;
}

void TDLXIniFile::Assign(const TDLXIniFile& source) {
  if (&source == this) return;
  LoadFromText(source.GetText());
}

void TDLXIniFile::Merge(const TDLXIniFile& source, bool overwrite) {
  if (&source == this) return;
  FileUpdate update(*this);
  for (const auto& from : source.sections_) {
    TDLXIniFileSection* to = FindSection(from->Name());
    if (!to) {
      WriteSectionText(from->Name(), from->GetText());
      continue;
    }
    for (int i = 0; i < from->Count(); ++i) {
      const String& line = from->Strings(i);
      const StringView key = KeyOf(line);
      // Lines without a key carry no value to merge into an existing section.
      if (key.empty()) continue;
      if (overwrite || to->FindKey(key) < 0) to->WriteString(key, StringView(line).substr(key.size() + 1));
    }
  }
}

void TDLXIniFile::Merge(StringView fileName, bool overwrite) {
  TDLXIniFile source(fileName);
  Merge(source, overwrite);
}

bool TDLXIniFile::Equals(const TDLXIniFile& other) const {
  return GetText() == other.GetText();
}

}  // namespace dlx
