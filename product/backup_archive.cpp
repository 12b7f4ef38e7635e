#include "product/backup_archive.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/confined_folder.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/texts.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "product/zip_file_io.h"

extern "C" {
#include "unzip.h"
#include "zip.h"
}

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
String EntryNameText(const char* name, bool utf8) {
  return utf8 ? dlx::FromUtf8(name) : dlx::FromW(std::wstring(name, name + std::strlen(name)).c_str());
}

// An open archive for reading.
class TUnzip {
 public:
  explicit TUnzip(const String& fileName) {
    zlib_filefunc64_def functions;
    FillBufferedFileFunctions(functions);
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
  // The sizes first: a name or an extra field may be as long as the format allows (64 KiB).
  if (unzGetCurrentFileInfo64(file, &entry.Info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  std::vector<char> name(entry.Info.size_filename + 1, '\0');
  entry.Extra.assign(entry.Info.size_file_extra, 0);
  if (unzGetCurrentFileInfo64(file, &entry.Info, name.data(), static_cast<uLong>(name.size()),
                              entry.Extra.empty() ? nullptr : entry.Extra.data(),
                              static_cast<uLong>(entry.Extra.size()), nullptr, 0) != UNZ_OK)
    return false;
  entry.Name.assign(name.data(), entry.Info.size_filename);
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
  FillBufferedFileFunctions(functions);
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

namespace {

// A file read and deflated ahead of the writer, or the reason it could not be.
struct TPreparedEntry {
  bool Ready = false;
  bool Large = false;  // left to the writer, which streams it
  DWORD Error = 0;
  String ErrorText;
  BY_HANDLE_FILE_INFORMATION Info{};
  std::string Compressed;
  uint64_t Size = 0;
  uint32_t Crc = 0;
};

// Files up to this size are read whole and compressed ahead; larger ones are streamed.
constexpr uint64_t kPreparedLimit = 2u << 20;
// How far the compressing threads may run ahead of the writer (bounds the memory in flight).
constexpr size_t kPreparedWindow = 16;

bool OpenSource(const String& sourcePath, dlx::TScopedHandle& source, BY_HANDLE_FILE_INFORMATION& info,
                DWORD& error, String& errorText) {
  const String path = LongPath(sourcePath);
  // A link swapped in after the listing is read as itself (no data), never its target.
  source.Reset(CreateFileW(dlx::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!source) {
    error = GetLastError();
    errorText = u"Cannot open the file";
    return false;
  }
  if (!FileInformationOf(source.Get(), info)) {
    error = GetLastError();
    errorText = u"Cannot read the file's times";
    return false;
  }
  return true;
}

void Prepare(const TBackupItem& item, TPreparedEntry& entry) {
  dlx::TScopedHandle source;
  if (!OpenSource(item.SourcePath, source, entry.Info, entry.Error, entry.ErrorText)) return;
  const uint64_t size = (static_cast<uint64_t>(entry.Info.nFileSizeHigh) << 32) | entry.Info.nFileSizeLow;
  if (size > kPreparedLimit) {
    entry.Large = true;
    return;
  }
  std::string data(static_cast<size_t>(size) + 1, '\0');
  size_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (total == data.size()) data.resize(data.size() * 2);
    if (!ReadFile(source.Get(), data.data() + total, static_cast<DWORD>(data.size() - total), &read,
                  nullptr)) {
      entry.Error = GetLastError();
      entry.ErrorText = u"Cannot read the file";
      return;
    }
    if (read == 0) break;
    total += read;
  }
  entry.Size = total;
  entry.Crc = static_cast<uint32_t>(
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(total)));
  z_stream stream{};
  if (deflateInit2(&stream, kBackupCompressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    entry.Error = ERROR_NOT_ENOUGH_MEMORY;
    entry.ErrorText = u"Cannot compress the file";
    return;
  }
  entry.Compressed.resize(deflateBound(&stream, static_cast<uLong>(total)));
  stream.next_in = reinterpret_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(total);
  stream.next_out = reinterpret_cast<Bytef*>(entry.Compressed.data());
  stream.avail_out = static_cast<uInt>(entry.Compressed.size());
  const int result = deflate(&stream, Z_FINISH);
  entry.Compressed.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) {
    entry.Error = ERROR_NOT_ENOUGH_MEMORY;
    entry.ErrorText = u"Cannot compress the file";
  }
}

}  // namespace

bool TBackupArchiveWriter::OpenEntry(const String& entryName, const BY_HANDLE_FILE_INFORMATION& info,
                                     bool raw) {
  zip_fileinfo zipInfo{};
  zipInfo.dosDate = DosTime(info.ftLastWriteTime);
  zipInfo.external_fa = info.dwFileAttributes;
  uint8_t extra[kNtfsExtraSize];
  MakeNtfsExtra(extra, info.ftLastWriteTime, info.ftLastAccessTime, info.ftCreationTime);
  const std::string name = ZipEntryName(entryName);
  return zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), name.c_str(), &zipInfo, extra, kNtfsExtraSize,
                                 extra, kNtfsExtraSize, nullptr, Z_DEFLATED, kBackupCompressionLevel,
                                 raw ? 1 : 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                 kVersionMadeByDos, kUtf8NameFlag, 0) == ZIP_OK;
}

TBackupEntryRecord TBackupArchiveWriter::Add(const String& sourcePath, const String& entryName) {
  TBackupEntryRecord record;
  record.SourcePath = sourcePath;
  record.EntryName = entryName;
  dlx::TScopedHandle source;
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD error = 0;
  String errorText;
  if (!OpenSource(sourcePath, source, info, error, errorText)) throw AddError(error, errorText);
  auto* zip = static_cast<zipFile>(zip_);
  if (!OpenEntry(entryName, info, false))
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

std::vector<TBackupEntryRecord> TBackupArchiveWriter::AddAll(const std::vector<TBackupItem>& items,
                                                             const std::function<void(size_t)>& onAdded) {
  std::vector<TPreparedEntry> prepared(items.size());
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0, written = 0;
  bool stop = false;
  auto work = [&] {
    for (;;) {
      size_t index;
      {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return stop || next >= items.size() || next < written + kPreparedWindow; });
        if (stop || next >= items.size()) return;
        index = next++;
      }
      TPreparedEntry entry;
      try {
        Prepare(items[index], entry);
      } catch (const std::exception&) {
        // Nothing may leave a thread: the writer reports it for this file.
        entry = TPreparedEntry();
        entry.Error = ERROR_NOT_ENOUGH_MEMORY;
        entry.ErrorText = u"Cannot read the file into memory";
      }
      {
        std::lock_guard<std::mutex> guard(lock);
        entry.Ready = true;
        prepared[index] = std::move(entry);
      }
      changed.notify_all();
    }
  };
  const size_t workers = std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), 4));
  std::vector<std::thread> threads;
  struct TJoin {
    std::vector<std::thread>& Threads;
    std::mutex& Lock;
    std::condition_variable& Changed;
    bool& Stop;
    ~TJoin() {
      {
        std::lock_guard<std::mutex> guard(Lock);
        Stop = true;
      }
      Changed.notify_all();
      for (std::thread& thread : Threads) thread.join();
    }
  } join{threads, lock, changed, stop};
  for (size_t i = 0; i < workers; ++i) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer helpers; with none, the writer prepares each file itself
    }
  }

  std::vector<TBackupEntryRecord> records;
  records.reserve(items.size());
  auto* zip = static_cast<zipFile>(zip_);
  for (size_t index = 0; index < items.size(); ++index) {
    TPreparedEntry entry;
    {
      std::unique_lock<std::mutex> guard(lock);
      if (!threads.empty()) changed.wait(guard, [&] { return prepared[index].Ready; });
      entry = std::move(prepared[index]);
      prepared[index] = TPreparedEntry();
    }
    if (threads.empty()) Prepare(items[index], entry);
    const TBackupItem& item = items[index];
    try {
      if (entry.Error) throw AddError(entry.Error, entry.ErrorText);
      if (entry.Large) {
        records.push_back(Add(item.SourcePath, item.EntryName));
      } else {
        if (!OpenEntry(item.EntryName, entry.Info, true))
          throw AddError(GetLastError(), u"Cannot add the entry \"" + item.EntryName + u"\"");
        const bool ok = entry.Compressed.empty() ||
                        zipWriteInFileInZip(zip, entry.Compressed.data(),
                                            static_cast<unsigned>(entry.Compressed.size())) == ZIP_OK;
        const DWORD code = GetLastError();
        if (zipCloseFileInZipRaw64(zip, entry.Size, entry.Crc) != ZIP_OK || !ok)
          throw AddError(ok ? GetLastError() : code, u"Cannot write to the archive");
        records.push_back({item.SourcePath, item.EntryName, entry.Size, entry.Crc});
      }
    } catch (const dlx::EDLXOSError& e) {
      throw EBackupItemError(e, index);
    }
    {
      std::lock_guard<std::mutex> guard(lock);
      written = index + 1;
    }
    changed.notify_all();
    if (onAdded) onAdded(index);
  }
  return records;
}

namespace {

// Checks the entries whose index leaves the remainder part when divided by parts, through an
// archive handle of its own; the first difference found, or empty.
String VerifyEntries(const String& fileName, const std::vector<TBackupEntryRecord>& records, size_t part,
                     size_t parts) {
  TUnzip archive(fileName);
  if (!archive.Get()) return u"it cannot be opened";
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive.Get(), &global) != UNZ_OK || global.number_entry != records.size())
    return u"it holds " + dlx::IntToStr(static_cast<int64_t>(global.number_entry)) + u" entries instead of " +
           dlx::IntToStr(static_cast<int64_t>(records.size()));
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  int result = unzGoToFirstFile(archive.Get());
  for (size_t index = 0; index < records.size(); ++index, result = unzGoToNextFile(archive.Get())) {
    const TBackupEntryRecord& record = records[index];
    const String where = u"\"" + record.SourcePath + u"\"";
    if (result != UNZ_OK) return u"the entry of " + where + u" is missing";
    if (index % parts != part) continue;
    TEntryInfo entry;
    if (!CurrentEntry(archive.Get(), entry)) return u"the entry of " + where + u" cannot be read";
    if (entry.Name != ZipEntryName(record.EntryName) || !(entry.Info.flag & kUtf8NameFlag))
      return u"the entry of " + where + u" has the name \"" + dlx::FromUtf8(entry.Name) + u"\"";
    if (entry.Info.compression_method != Z_DEFLATED) return u"the entry of " + where + u" is not deflated";
    if (entry.Info.uncompressed_size != record.Size || entry.Info.crc != record.Crc)
      return u"the entry of " + where + u" does not match the file's size and CRC-32";
    if (unzOpenCurrentFile(archive.Get()) != UNZ_OK) return u"the entry of " + where + u" cannot be read";
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    int read;
    while ((read = unzReadCurrentFile(archive.Get(), buffer.get(), static_cast<unsigned>(kBufferSize))) > 0) {
      crc = crc32(crc, buffer.get(), static_cast<uInt>(read));
      size += static_cast<uint64_t>(read);
    }
    const int closed = unzCloseCurrentFile(archive.Get());
    if (read < 0 || closed != UNZ_OK || size != record.Size || crc != record.Crc)
      return u"the data of " + where + u" does not read back as the file";
  }
  return String();
}

}  // namespace

void VerifyBackupArchive(const String& fileName, const std::vector<TBackupEntryRecord>& records) {
  // Inflating is the slow part: every processor takes its share of the entries.
  const size_t parts = std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), 4));
  std::vector<String> problems(parts);
  // Nothing may leave a thread, and the calling thread must get to the joins.
  auto verify = [&](size_t part) {
    try {
      problems[part] = VerifyEntries(fileName, records, part, parts);
    } catch (const std::exception&) {
      problems[part] = u"it cannot be read into memory";
    }
  };
  std::vector<std::thread> threads;
  for (size_t part = 1; part < parts; ++part) {
    try {
      threads.emplace_back(verify, part);
    } catch (const std::system_error&) {
      verify(part);  // no thread to be had: this one does that share too
    }
  }
  verify(0);
  for (std::thread& thread : threads) thread.join();
  for (const String& problem : problems)
    if (!problem.empty()) throw EInstallerBackupError(CommonText(u"E6", {fileName, problem}));
  dlx::Log(u"Backup verified: " + fileName + u" (" + dlx::IntToStr(static_cast<int64_t>(records.size())) +
           u" entries)");
}

namespace {

// The folders the restore writes into, each opened once.
class TRestoreFolders {
 public:
  explicit TRestoreFolders(const TRestoreRootOf& rootOf) : rootOf_(rootOf) {}

  // The opened folder that the path must be written through; null (logged) when it cannot be.
  const TConfinedFolder* For(const String& path) {
    TRestoreRoot root;
    if (rootOf_) {
      root = rootOf_(path);
    } else {
      // Without a root, no link may lie anywhere on the way from the drive's root.
      const std::vector<String> parts = PathComponents(CanonicalPath(path));
      if (!parts.empty()) root = {parts.front() + u"\\", true};
    }
    if (root.Folder.empty()) return nullptr;
    const String key = dlx::UpperCaseText(CanonicalPath(root.Folder));
    for (const auto& known : folders_)
      if (known.first == key) return known.second.get();
    auto folder = std::make_unique<TConfinedFolder>();
    // A data folder that the run removed is made again, in its parent as it is.
    const bool missing = !dlx::DirectoryExists(root.Folder) && !IsReparsePoint(root.Folder);
    if (!folder->Open(root.Folder,
                      root.Exact ? TConfinedFolder::TRootRule::rrExact : TConfinedFolder::TRootRule::rrNoLink,
                      missing))
      folder.reset();
    folders_.emplace_back(key, std::move(folder));
    return folders_.back().second.get();
  }

 private:
  TRestoreRootOf rootOf_;
  std::vector<std::pair<String, std::unique_ptr<TConfinedFolder>>> folders_;
};

bool HandleHasContent(HANDLE file, uint64_t size, uint32_t crc, uint8_t* buffer) {
  LARGE_INTEGER actual{};
  if (!GetFileSizeEx(file, &actual) || static_cast<uint64_t>(actual.QuadPart) != size) return false;
  uLong sum = crc32(0, nullptr, 0);
  DWORD read = 0;
  while (ReadFile(file, buffer, static_cast<DWORD>(kBufferSize), &read, nullptr) && read > 0)
    sum = crc32(sum, buffer, read);
  return sum == crc;
}

}  // namespace

int RestoreBackupArchive(const String& fileName, const std::function<String(const String&)>& target,
                         dlx::TDLXStringList& failures, const TRestoreRootOf& rootOf) {
  TUnzip archive(fileName);
  if (!archive.Get()) {
    failures.Add(u"Cannot open the backup \"" + fileName + u"\"");
    return 0;
  }
  TRestoreFolders folders(rootOf);
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
    // Written only through handles confirmed to be the folders and the file meant: a link planted
    // in a folder that is put back is never followed.
    const TConfinedFolder* folder = folders.For(path);
    if (!folder || !folder->ForceFolder(dlx::ExtractFilePath(path))) {
      failures.Add(u"Cannot restore \"" + path + u"\": its folder is missing or is a link");
      continue;
    }
    {
      const dlx::TScopedHandle existing = folder->OpenFile(path, GENERIC_READ);
      if (existing && HandleHasContent(existing.Get(), entry.Info.uncompressed_size,
                                       static_cast<uint32_t>(entry.Info.crc), buffer.get())) {
        ++restored;
        continue;
      }
    }
    bool ok = false;
    DWORD error = ERROR_SUCCESS;
    {
      const dlx::TScopedHandle file = folder->CreateFileForWrite(path);
      if (!file) error = GetLastError();
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
        // Attributes such as read-only go on after the data, through the same handle.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes =
            entry.Info.external_fa & 0xFFFF & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
        if (ok && basic.FileAttributes)
          SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic);
        if (!ok) error = GetLastError();
      }
    }
    if (!ok) {
      failures.Add(u"Cannot restore \"" + path + u"\" (" + dlx::IntToStr(static_cast<int64_t>(error)) + u")");
      continue;
    }
    ++restored;
  }
  return restored;
}
