// The library's INI document: sections of raw key=value lines, looked up by hashed, case-insensitive
// names. The format is deliberately plain: nothing is trimmed, quoted, escaped or treated as a
// comment, so a file survives loading and saving line for line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "lib/string_list.h"
#include "lib/text_encoding.h"

namespace dlx {

class TDLXIniFile;

// The ELF hash over the UTF-16 units of the upper-cased first 64 characters of a name.
uint32_t IniNameHash(StringView name);

// One section: its lines are key=value texts. A line's value field caches the hash of its key
// (0 meaning not yet computed).
class TDLXIniFileSection : public TDLXStringList {
 public:
  TDLXIniFileSection(TDLXIniFile* owner, StringView name);

  const String& Name() const { return name_; }
  uint32_t NameHash();
  TDLXIniFile* Owner() const { return owner_; }

  void Changed() override;
  void Put(int index, StringView text) override;
  void BeginUpdate() override;
  void EndUpdate() override;
  // The value field of a section line is its key's hash, so whatever the caller passes is
  // replaced by "not yet computed".
  void Insert(int index, StringView text, std::shared_ptr<void> intf = nullptr, intptr_t data = 0) override;

  // The first line whose key equals key ignoring case, or -1.
  int FindKey(StringView key);

  virtual int ReadInteger(StringView key, int defaultValue);
  virtual bool ReadString(StringView key, String& value);
  virtual void WriteString(StringView key, StringView value);
  bool ReadBool(StringView key, bool defaultValue);
  bool DeleteKey(StringView key);

 private:
  uint32_t LineHash(int index);

  String name_;
  uint32_t nameHash_ = 0;
  int updateCount_ = 0;
  TDLXIniFile* owner_;
};

class TDLXIniFile {
 public:
  TDLXIniFile();
  // Loads the file when a name is given; with autoSave the destructor saves changes back.
  explicit TDLXIniFile(StringView fileName, bool autoSave = false);
  virtual ~TDLXIniFile();
  TDLXIniFile(const TDLXIniFile&) = delete;
  TDLXIniFile& operator=(const TDLXIniFile&) = delete;

  // Sets the modified flag and, outside an update, fires OnChange.
  virtual void Changed();
  virtual bool ValueExists(StringView section, StringView key);
  virtual bool SectionExists(StringView section);
  // True when no section holds a line (nothing would be written).
  virtual bool IsEmpty() const;
  virtual int ReadInteger(StringView section, StringView key, int defaultValue);
  virtual bool ReadString(StringView section, StringView key, String& value);
  virtual void WriteString(StringView section, StringView key, StringView value);
  // Missing or unreadable files give an empty document; the modified flag is cleared.
  virtual void LoadFromFile(StringView fileName);
  // Decodes from the stream's position; the detected encoding becomes the saving encoding.
  virtual void LoadFromStream(TDLXStream& stream);
  virtual void LoadFromText(const Char* text, size_t length);
  // The encoding's byte-order mark, then the document (teNone meaning UTF-16LE).
  virtual void SaveToStream(TDLXStream& stream, const TDLXEncoding& encoding);
  // Saves to the file name with the saving encoding when there are unsaved changes.
  virtual void UpdateFile();

  void LoadFromText(StringView text) { LoadFromText(text.data(), text.size()); }
  // Always UTF-16LE with its byte-order mark.
  void SaveToStream(TDLXMemoryStream& stream) { SaveToStream(stream, TDLXEncoding::Utf16LE()); }
  // False, without raising, when the file cannot be created.
  bool SaveToFile(StringView fileName, const TDLXEncoding& encoding);

  String ReadString(StringView section, StringView key, StringView defaultValue);
  bool ReadBool(StringView section, StringView key, bool defaultValue);
  void WriteBool(StringView section, StringView key, bool value);
  void WriteInteger(StringView section, StringView key, int64_t value);
  // The value as hexadecimal bytes, written at the stream's position; the stream is then at 0.
  // False for a missing key or a value that is not hexadecimal (the stream is left unchanged).
  bool ReadStream(StringView section, StringView key, TDLXStream& stream);
  // The stream's bytes from its position as uppercase hexadecimal; no bytes delete the key.
  void WriteStream(StringView section, StringView key, TDLXStream& stream);
  bool DeleteKey(StringView section, StringView key);
  bool EraseSection(StringView section);
  void Clear();
  // Appends the non-empty key names of the section's lines.
  void ReadKeys(StringView section, TDLXStringList& list);
  // Appends the section names.
  void ReadSections(TDLXStringList& list) const;
  String ReadSectionText(StringView section);
  void WriteSectionText(StringView section, StringView text);
  void Assign(const TDLXIniFile& source);
  // Copies the source's values: into existing sections key by key (existing keys only with
  // overwrite), missing sections whole.
  void Merge(const TDLXIniFile& source, bool overwrite);
  void Merge(StringView fileName, bool overwrite);
  // Both documents serialize to the same text.
  bool Equals(const TDLXIniFile& other) const;
  // The document as written, without a byte-order mark. Raises EDLXException when a value holds
  // a CR or LF, which would turn it into more than one line (SaveToStream and SaveToFile too).
  String GetText() const;

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  int SectionCount() const { return static_cast<int>(sections_.size()); }
  // Raises EDLXArgumentOutOfRange for an invalid index.
  TDLXIniFileSection& Sections(int index);
  TDLXIniFileSection* FindSection(StringView name);
  TDLXIniFileSection& GetOrCreateSection(StringView name);

  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  const String& FileName() const { return fileName_; }
  void SetFileName(StringView name) { fileName_ = String(name); }

  bool AutoSave = false;
  TDLXEncoding Encoding = TDLXEncoding::Utf16LE();
  std::function<void(TDLXIniFile&)> OnChange;

 private:
  int updateCount_ = 0;
  bool modified_ = false;
  String fileName_;
  TDLXIniFileSection* lastSection_ = nullptr;
  std::vector<std::unique_ptr<TDLXIniFileSection>> sections_;
};

}  // namespace dlx
