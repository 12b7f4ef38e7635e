#include "product/journal_file.h"

#include <windows.h>

#include "lib/file_system.h"
#include "lib/log.h"
#include "product/product_names.h"

using dlx::String;

namespace {

constexpr char kHeader[] = "ZUVA Setup journal\t1";

}  // namespace

String TJournalFile::PathFor(const String& dest) {
  return dest + zuva_names::kBackupFolder + u"Setup.journal";
}

bool TJournalFile::Create(const String& path) {
  path_ = path;
  handle_.Reset(CreateFileW(dlx::W(dlx::ApplyLongPathRule(path)), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle_) {
    dlx::Log(u"Cannot create the journal \"" + path + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
    return false;
  }
  return WriteLine(std::string(kHeader) + "\n", true);
}

bool TJournalFile::Append(const TJournalRecord& record, bool flush) {
  return WriteLine(Encode(record) + "\n", flush);
}

bool TJournalFile::WriteLine(const std::string& line, bool flush) {
  if (!handle_) return false;
  // Records that need not be on the disk yet are written together with the next that must.
  pending_ += line;
  if (!flush) return true;
  DWORD written = 0;
  const bool ok =
      WriteFile(handle_.Get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr) &&
      written == pending_.size() && FlushFileBuffers(handle_.Get());
  pending_.clear();
  if (!ok)
    dlx::Log(u"Cannot write the journal \"" + path_ + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
  return ok;
}

void TJournalFile::Remove() {
  handle_.Reset();
  pending_.clear();
  if (!path_.empty() && !DeleteFileW(dlx::W(dlx::ApplyLongPathRule(path_))))
    dlx::Log(u"Cannot delete the journal \"" + path_ + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
}

std::string TJournalFile::Encode(const TJournalRecord& record) {
  std::string line;
  for (size_t i = 0; i < record.size(); ++i) {
    if (i) line += '\t';
    for (char c : dlx::ToUtf8(record[i])) {
      switch (c) {
        case '\\':
          line += "\\\\";
          break;
        case '\t':
          line += "\\t";
          break;
        case '\n':
          line += "\\n";
          break;
        case '\r':
          line += "\\r";
          break;
        default:
          line += c;
      }
    }
  }
  return line;
}

TJournalRecord TJournalFile::Decode(const std::string& line) {
  TJournalRecord record;
  std::string field;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      record.push_back(dlx::FromUtf8(field));
      field.clear();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      field += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      field += c;
    }
  }
  record.push_back(dlx::FromUtf8(field));
  return record;
}

bool TJournalFile::Read(const String& path, std::vector<TJournalRecord>& records) {
  records.clear();
  dlx::TScopedHandle file(CreateFileW(dlx::W(dlx::ApplyLongPathRule(path)), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  size_t start = 0;
  bool first = true;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    records.push_back(Decode(line));
  }
  return !first;
}

String HexOf(const std::vector<uint8_t>& bytes) {
  static const char16_t digits[] = u"0123456789abcdef";
  String text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

bool BytesOfHex(const String& text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 2) return false;
  auto nibble = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = nibble(text[i]), low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}
