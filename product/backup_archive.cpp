#include "product/backup_archive.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <memory>

#include "core/errors.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"

// The Win32 file functions need the declarations of zip.h first.
// clang-format off
extern "C" {
#include "zip.h"
#include "unzip.h"
#include "iowin32.h"
}
// clang-format on

using dlx::String;

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr uLong kUtf8NameFlag = 0x800;
// "Made by" MS-DOS: the external attributes are the Windows file attributes.
constexpr uLong kVersionMadeByDos = 0;
constexpr uint16_t kNtfsExtraId = 0x000a;
constexpr size_t kNtfsExtraSize = 36;

String LongPath(const String& path) {
  return dlx::ApplyLongPathRule(path);
}

dlx::EDLXOSError OSError(DWORD code, const String& what) {
  return dlx::EDLXOSError(code,
                          what + u" (" + dlx::IntToStr(code) + u"): " + dlx::platform::ErrorMessage(code));
}

// For the backup's own message, which adds the system's text itself.
dlx::EDLXOSError AddError(DWORD code, const String& what) {
  return dlx::EDLXOSError(code, what + u" (" + dlx::IntToStr(code) + u")");
}

void PutLE(uint8_t* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLE(const uint8_t* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

// The NTFS extra field: modification, access and creation time in 100 ns units (UTC).
void MakeNtfsExtra(uint8_t* out, const FILETIME& write, const FILETIME& access, const FILETIME& creation) {
  PutLE(out, kNtfsExtraId, 2);
  PutLE(out + 2, 32, 2);
  PutLE(out + 4, 0, 4);
  PutLE(out + 8, 1, 2);
  PutLE(out + 10, 24, 2);
  PutLE(out + 12, ToUint64(write), 8);
  PutLE(out + 20, ToUint64(access), 8);
  PutLE(out + 28, ToUint64(creation), 8);
}

// The modification and creation times from an NTFS extra field of a central-directory record.
bool ReadNtfsExtra(const uint8_t* extra, size_t size, FILETIME& write, FILETIME& creation) {
  size_t i = 0;
  while (i + 4 <= size) {
    const uint16_t id = static_cast<uint16_t>(GetLE(extra + i, 2));
    const size_t length = static_cast<size_t>(GetLE(extra + i + 2, 2));
    if (i + 4 + length > size) return false;
    if (id == kNtfsExtraId && length >= 32 && GetLE(extra + i + 8, 2) == 1 &&
        GetLE(extra + i + 10, 2) >= 24) {
      write = ToFileTime(GetLE(extra + i + 12, 8));
      creation = ToFileTime(GetLE(extra + i + 28, 8));
      return true;
    }
    i += 4 + length;
  }
  return false;
}

uLong DosTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return 0;
  return (static_cast<uLong>(date) << 16) | time;
}

FILETIME FromDosTime(uLong dos) {
  FILETIME local{}, utc{};
  if (DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos & 0xFFFF), &local))
    LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

// The file holds exactly the data of the size and CRC-32 (then it needs no restoring, even when
// another program keeps it open).
bool FileHasContent(const String& path, uint64_t size, uint32_t crc, uint8_t* buffer) {
  dlx::TScopedHandle file(CreateFileW(dlx::W(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER actual{};
  if (!file || !GetFileSizeEx(file.Get(), &actual) || static_cast<uint64_t>(actual.QuadPart) != size)
    return false;
  uLong sum = crc32(0, nullptr, 0);
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, static_cast<DWORD>(kBufferSize), &read, nullptr) && read > 0)
    sum = crc32(sum, buffer, read);
  return sum == crc;
}

String EntryNameText(const char* name, bool utf8) {
  return utf8 ? dlx::FromUtf8(name) : dlx::FromW(std::wstring(name, name + std::strlen(name)).c_str());
}

// An open archive for reading.
class TUnzip {
 public:
  explicit TUnzip(const String& fileName) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    const String path = LongPath(fileName);
    file_ = unzOpen2_64(dlx::W(path), &functions);
  }
  ~TUnzip() {
    if (file_) unzClose(file_);
  }
  TUnzip(const TUnzip&) = delete;
  TUnzip& operator=(const TUnzip&) = delete;
  unzFile Get() const { return file_; }

 private:
  unzFile file_ = nullptr;
};

struct TEntryInfo {
  unz_file_info64 Info{};
  std::string Name;
  std::vector<uint8_t> Extra;
};

bool CurrentEntry(unzFile file, TEntryInfo& entry) {
  char name[4096];
  uint8_t extra[1024];
  if (unzGetCurrentFileInfo64(file, &entry.Info, name, sizeof name, extra, sizeof extra, nullptr, 0) !=
      UNZ_OK)
    return false;
  entry.Name = name;
  entry.Extra.assign(extra, extra + std::min<size_t>(entry.Info.size_file_extra, sizeof extra));
  return true;
}

}  // namespace

std::string ZipEntryName(dlx::StringView name) {
  while (!name.empty() && dlx::IsPathDelimiter(name.front())) name.remove_prefix(1);
  std::string utf8 = dlx::ToUtf8(name);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

TBackupArchiveWriter::TBackupArchiveWriter(const String& fileName) : fileName_(fileName) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  const String path = LongPath(fileName);
  zip_ = zipOpen2_64(dlx::W(path), APPEND_STATUS_CREATE, nullptr, &functions);
  if (!zip_) throw OSError(GetLastError(), u"Cannot create \"" + fileName + u"\"");
}

TBackupArchiveWriter::~TBackupArchiveWriter() {
  if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

void TBackupArchiveWriter::Close() {
  if (!zip_) return;
  const int result = zipClose(static_cast<zipFile>(zip_), nullptr);
  zip_ = nullptr;
  if (result != ZIP_OK) throw OSError(GetLastError(), u"Cannot complete \"" + fileName_ + u"\"");
}

TBackupEntryRecord TBackupArchiveWriter::Add(const String& sourcePath, const String& entryName) {
  TBackupEntryRecord record;
  record.SourcePath = sourcePath;
  record.EntryName = entryName;
  const String path = LongPath(sourcePath);
  dlx::TScopedHandle source(CreateFileW(dlx::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source) throw AddError(GetLastError(), u"Cannot open the file");
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(source.Get(), &info))
    throw AddError(GetLastError(), u"Cannot read the file's times");

  zip_fileinfo zipInfo{};
  zipInfo.dosDate = DosTime(info.ftLastWriteTime);
  zipInfo.external_fa = info.dwFileAttributes;
  uint8_t extra[kNtfsExtraSize];
  MakeNtfsExtra(extra, info.ftLastWriteTime, info.ftLastAccessTime, info.ftCreationTime);
  const std::string name = ZipEntryName(entryName);
  auto* zip = static_cast<zipFile>(zip_);
  if (zipOpenNewFileInZip4_64(zip, name.c_str(), &zipInfo, extra, kNtfsExtraSize, extra, kNtfsExtraSize,
                              nullptr, Z_DEFLATED, kBackupCompressionLevel, 0, -MAX_WBITS, 8,
                              Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeByDos, kUtf8NameFlag, 0) != ZIP_OK)
    throw AddError(GetLastError(), u"Cannot add the entry \"" + entryName + u"\"");

  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  uLong crc = crc32(0, nullptr, 0);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(source.Get(), buffer.get(), static_cast<DWORD>(kBufferSize), &read, nullptr)) {
      const DWORD code = GetLastError();
      zipCloseFileInZip(zip);
      throw AddError(code, u"Cannot read the file");
    }
    if (read == 0) break;
    crc = crc32(crc, buffer.get(), read);
    record.Size += read;
    if (zipWriteInFileInZip(zip, buffer.get(), read) != ZIP_OK) {
      const DWORD code = GetLastError();
      zipCloseFileInZip(zip);
      throw AddError(code, u"Cannot write to the archive");
    }
  }
  if (zipCloseFileInZip(zip) != ZIP_OK) throw AddError(GetLastError(), u"Cannot write to the archive");
  record.Crc = static_cast<uint32_t>(crc);
  return record;
}

void VerifyBackupArchive(const String& fileName, const std::vector<TBackupEntryRecord>& records) {
  auto fail = [&](const String& what) {
    throw EInstallerBackupError(u"The backup \"" + fileName + u"\" could not be verified: " + what +
                                u". Nothing has been deleted.");
  };
  TUnzip archive(fileName);
  if (!archive.Get()) fail(u"it cannot be opened");
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive.Get(), &global) != UNZ_OK || global.number_entry != records.size())
    fail(u"it holds " + dlx::IntToStr(static_cast<int64_t>(global.number_entry)) + u" entries instead of " +
         dlx::IntToStr(static_cast<int64_t>(records.size())));
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  int result = unzGoToFirstFile(archive.Get());
  for (const TBackupEntryRecord& record : records) {
    TEntryInfo entry;
    if (result != UNZ_OK || !CurrentEntry(archive.Get(), entry))
      fail(u"the entry of \"" + record.SourcePath + u"\" is missing");
    const String where = u"\"" + record.SourcePath + u"\"";
    if (entry.Name != ZipEntryName(record.EntryName) || !(entry.Info.flag & kUtf8NameFlag))
      fail(u"the entry of " + where + u" has the name \"" + dlx::FromUtf8(entry.Name) + u"\"");
    if (entry.Info.compression_method != Z_DEFLATED) fail(u"the entry of " + where + u" is not deflated");
    if (entry.Info.uncompressed_size != record.Size || entry.Info.crc != record.Crc)
      fail(u"the entry of " + where + u" does not match the file's size and CRC-32");
    if (unzOpenCurrentFile(archive.Get()) != UNZ_OK) fail(u"the entry of " + where + u" cannot be read");
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    int read;
    while ((read = unzReadCurrentFile(archive.Get(), buffer.get(), static_cast<unsigned>(kBufferSize))) > 0) {
      crc = crc32(crc, buffer.get(), static_cast<uInt>(read));
      size += static_cast<uint64_t>(read);
    }
    const int closed = unzCloseCurrentFile(archive.Get());
    if (read < 0 || closed != UNZ_OK || size != record.Size || crc != record.Crc)
      fail(u"the data of " + where + u" does not read back as the file");
    result = unzGoToNextFile(archive.Get());
  }
  dlx::Log(u"Backup verified: " + fileName + u" (" + dlx::IntToStr(static_cast<int64_t>(records.size())) +
           u" entries)");
}

int RestoreBackupArchive(const String& fileName, const std::function<String(const String&)>& target,
                         dlx::TDLXStringList& failures) {
  TUnzip archive(fileName);
  if (!archive.Get()) {
    failures.Add(u"Cannot open the backup \"" + fileName + u"\"");
    return 0;
  }
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  int restored = 0;
  for (int result = unzGoToFirstFile(archive.Get()); result == UNZ_OK;
       result = unzGoToNextFile(archive.Get())) {
    TEntryInfo entry;
    if (!CurrentEntry(archive.Get(), entry)) {
      failures.Add(u"Cannot read an entry of \"" + fileName + u"\"");
      continue;
    }
    const String name = EntryNameText(entry.Name.c_str(), entry.Info.flag & kUtf8NameFlag);
    const String path = target(name);
    if (path.empty()) continue;
    dlx::ForceDirectories(dlx::ExtractFilePath(path));
    const String longPath = LongPath(path);
    if (FileHasContent(longPath, entry.Info.uncompressed_size, static_cast<uint32_t>(entry.Info.crc),
                       buffer.get())) {
      ++restored;
      continue;
    }
    // Attributes such as read-only are put back after the data.
    SetFileAttributesW(dlx::W(longPath), FILE_ATTRIBUTE_NORMAL);
    bool ok = false;
    {
      dlx::TScopedHandle file(CreateFileW(dlx::W(longPath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file && unzOpenCurrentFile(archive.Get()) == UNZ_OK) {
        ok = true;
        int read;
        while ((read = unzReadCurrentFile(archive.Get(), buffer.get(), static_cast<unsigned>(kBufferSize))) >
               0) {
          DWORD written = 0;
          if (!WriteFile(file.Get(), buffer.get(), static_cast<DWORD>(read), &written, nullptr) ||
              written != static_cast<DWORD>(read))
            ok = false;
        }
        if (unzCloseCurrentFile(archive.Get()) != UNZ_OK || read < 0) ok = false;
        FILETIME write = FromDosTime(entry.Info.dosDate), creation = write;
        ReadNtfsExtra(entry.Extra.data(), entry.Extra.size(), write, creation);
        if (ok) SetFileTime(file.Get(), &creation, nullptr, &write);
      }
    }
    if (!ok) {
      failures.Add(u"Cannot restore \"" + path + u"\" (" + dlx::IntToStr(GetLastError()) + u")");
      continue;
    }
    if (entry.Info.external_fa & 0xFFFF)
      SetFileAttributesW(dlx::W(longPath), entry.Info.external_fa & 0xFFFF);
    ++restored;
  }
  return restored;
}
