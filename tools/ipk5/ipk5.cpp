#include "tools/ipk5/ipk5.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <system_error>

#include "core/package/package.h"
#include "core/script/install_script.h"
#include "lib/exceptions.h"
#include "lib/file_stream.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ipk5 {

namespace {

namespace fs = std::filesystem;
using dlx::String;
using dlx::StringView;

constexpr int32_t kDefaultLevel = 5;

// A failure to report: the message goes to stderr after "ipk5: ".
struct TToolError {
  String Message;
};

void Write(FILE* to, StringView text) {
  const std::string bytes = dlx::ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), to);
}

void PrintLine(StringView text) {
  Write(stdout, text);
  std::fputc('\n', stdout);
}

const char kUsage[] =
    "Usage:\n"
    "  ipk5 pack -o OUT [-l LEVEL] [-C DIR] PATH...\n"
    "      Packs files and folders (recursively) into the package OUT. Entry names are the\n"
    "      paths relative to DIR (default: the current folder), with backslashes, sorted.\n"
    "      PATHs are taken relative to DIR. LEVEL is the LZMA level 0-9 (default 5).\n"
    "      Empty folders, links to folders and special files are skipped and named on\n"
    "      stderr. Files and file table together hold at most 4294967295 bytes.\n"
    "  ipk5 list PKG\n"
    "      Prints one line per entry: name, size and offset, separated by tabs.\n"
    "  ipk5 extract PKG [-o DIR] [NAME...]\n"
    "      Extracts the named entries (default: all) into DIR (default: the current folder).\n"
    "      NAMEs are written as listed (with backslashes) or with slashes.\n"
    "  ipk5 verify PKG\n"
    "      Reads the whole package and checks every entry.\n"
    "  ipk5 settings SCRIPT [NAME...]\n"
    "      Prints the product settings of the install script SCRIPT (XML text or binary\n"
    "      XML) as the installer reads them, one NAME=value line each: the named ones\n"
    "      (empty when absent), or all of them.\n"
    "  ipk5 --help\n"
    "Exit status: 0 success, 1 failure, 2 bad command line.\n";

int Usage(const char* problem) {
  if (problem) {
    std::fprintf(stderr, "ipk5: %s\n%s", problem, kUsage);
    return kExitUsage;
  }
  std::fputs(kUsage, stdout);
  return kExitOk;
}

fs::path ToPath(const String& text) {
#ifdef _WIN32
  return fs::path(std::wstring(text.begin(), text.end()));
#else
  return fs::path(dlx::ToUtf8(text));
#endif
}

String FromPath(const fs::path& path) {
#ifdef _WIN32
  const std::wstring& native = path.native();
  return String(native.begin(), native.end());
#else
  return dlx::FromUtf8(path.native());
#endif
}

// A status line on stderr for operations that take longer than a second.
class TProgressLine {
 public:
  explicit TProgressLine(const char* label) : label_(label), start_(std::chrono::steady_clock::now()) {}
  ~TProgressLine() {
    if (shown_) std::fputc('\n', stderr);
  }
  void Update(int64_t done, int64_t total) {
    if (total <= 0) return;
    const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total));
    if (percent == lastPercent_) return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    shown_ = true;
    lastPercent_ = percent;
    std::fprintf(stderr, "\r%s %3d%%", label_, percent);
    std::fflush(stderr);
  }

 private:
  const char* label_;
  std::chrono::steady_clock::time_point start_;
  bool shown_ = false;
  int lastPercent_ = -1;
};

// Forwards to another stream and reports how far it has been read.
class TProgressStream final : public dlx::TDLXStream {
 public:
  TProgressStream(dlx::TDLXStream& inner, TProgressLine& line)
      : inner_(inner), line_(line), size_(inner.GetSize()) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = inner_.Read(buffer, count);
    line_.Update(inner_.GetPosition(), size_);
    return n;
  }
  size_t Write(const void* buffer, size_t count) override { return inner_.Write(buffer, count); }
  int64_t Seek(int64_t offset, dlx::TDLXSeekOrigin origin) override { return inner_.Seek(offset, origin); }
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t size) override { inner_.SetSize(size); }

 private:
  dlx::TDLXStream& inner_;
  TProgressLine& line_;
  int64_t size_;
};

std::unique_ptr<dlx::TSetupPackageReader> OpenPackage(const String& name) {
  std::error_code error;
  const fs::file_status status = fs::status(ToPath(name), error);
  if (fs::is_directory(status)) throw TToolError{name + u": is a folder, not a package file"};
  if (!fs::is_regular_file(status)) throw TToolError{name + u": no such package file"};
  if (fs::file_size(ToPath(name), error) == 0 && !error)
    throw TToolError{name + u": is an empty file, not a package"};
  dlx::TDLXBufferedFileStream file(name, dlx::fmReadShared);
  TProgressLine line("Reading");
  TProgressStream source(file, line);
  try {
    return std::make_unique<dlx::TSetupPackageReader>(source);
  } catch (const dlx::EDLXException& e) {
    throw TToolError{name + u": " + e.Message()};
  }
}

bool ReplaceFile(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  std::error_code error;
  fs::rename(from, to, error);
  return !error;
#endif
}

// ---- pack ----

struct TInputFile {
  String EntryName;
  fs::path Path;
  int64_t Size = 0;
};

// The payload's size field has 32 bits: entries, file table and its length must fit in it.
constexpr int64_t kMaxPayloadSize = 0xFFFFFFFFll;

// What a package cannot hold is named on stderr, not dropped in silence.
void Skip(const fs::path& path, StringView reason) {
  Write(stderr, u"ipk5: skipped " + FromPath(path) + u": " + String(reason) + u"\n");
}

// Every regular file below folder goes to add; links to files are packed as the files they name.
template <typename AddFile>
void CollectFolder(const fs::path& folder, const AddFile& add) {
  std::error_code error;
  if (fs::is_empty(folder, error)) Skip(folder, u"an empty folder (a package holds files only)");
  for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
    const fs::path& path = it->path();
    const fs::file_status own = it->symlink_status();
    if (fs::is_symlink(own)) {
      const fs::file_status target = fs::status(path, error);
      if (fs::is_regular_file(target))
        add(path);
      else if (fs::is_directory(target))
        Skip(path, u"a link to a folder (links to folders are not followed)");
      else if (!fs::exists(target))
        Skip(path, u"a link to nothing");
      else
        Skip(path, u"a link to a special file");
    } else if (fs::is_regular_file(own)) {
      add(path);
    } else if (fs::is_directory(own)) {
      if (fs::is_empty(path, error)) Skip(path, u"an empty folder (a package holds files only)");
    } else {
      Skip(path, u"a special file (device, pipe or socket)");
    }
  }
}

// The entry name of a file below base: its relative path with backslashes.
String EntryNameOf(const fs::path& file, const fs::path& base) {
  const fs::path relative = file.lexically_relative(base);
  String name;
  for (const fs::path& part : relative) {
    const String text = FromPath(part);
    if (text == u".." || text.empty() || text == u".")
      throw TToolError{FromPath(file) + u": is not inside " + FromPath(base)};
    // On POSIX a backslash is an ordinary character; stored, it would read as a folder.
    if (text.find(u'\\') != String::npos)
      throw TToolError{FromPath(file) + u": a backslash in a file name cannot be stored"};
    if (!name.empty()) name += u'\\';
    name += text;
  }
  if (name.empty()) throw TToolError{FromPath(file) + u": is not inside " + FromPath(base)};
  if (name.size() > 0xFFFF) throw TToolError{FromPath(file) + u": name too long for a package entry"};
  return name;
}

String AsciiUpperCopy(StringView text) {
  String out(text);
  for (auto& c : out) c = dlx::AsciiUpper(c);
  return out;
}

// Sorted ignoring ASCII case, then by code units: the same order on every platform and run.
bool LessByName(const TInputFile& a, const TInputFile& b) {
  const String ua = AsciiUpperCopy(a.EntryName), ub = AsciiUpperCopy(b.EntryName);
  return ua != ub ? ua < ub : a.EntryName < b.EntryName;
}

int Pack(const std::vector<String>& args) {
  String output, directory;
  int32_t level = kDefaultLevel;
  std::vector<String> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const String& a = args[i];
    if (a == u"-o" || a == u"-l" || a == u"-C") {
      if (i + 1 >= args.size()) return Usage("an option is missing its value");
      const String& value = args[++i];
      if (a == u"-o") output = value;
      if (a == u"-C") directory = value;
      if (a == u"-l") {
        int64_t n = 0;
        if (!dlx::TryStrToInt(value, n) || n < 0 || n > 9) return Usage("LEVEL must be a number from 0 to 9");
        level = static_cast<int32_t>(n);
      }
    } else if (a.size() > 1 && a[0] == u'-') {
      return Usage(("unknown option " + dlx::ToUtf8(a)).c_str());
    } else {
      paths.push_back(a);
    }
  }
  if (output.empty()) return Usage("pack needs -o OUT");
  if (paths.empty()) return Usage("pack needs at least one PATH");

  const fs::path base =
      fs::absolute(directory.empty() ? fs::current_path() : ToPath(directory)).lexically_normal();
  if (!fs::is_directory(base)) throw TToolError{FromPath(base) + u": no such folder"};
  const fs::path target = fs::absolute(ToPath(output)).lexically_normal();
  if (fs::is_directory(target)) throw TToolError{output + u": is a folder"};
  fs::path temporary = target;
  temporary += ".ipk5-partial";

  std::vector<TInputFile> files;
  auto addFile = [&](const fs::path& file) {
    const fs::path normal = file.lexically_normal();
    if (normal == target || normal == temporary) return;  // never pack the output into itself
    std::error_code error;
    const auto size = fs::file_size(normal, error);
    if (error) throw TToolError{FromPath(normal) + u": cannot read its size"};
    files.push_back({EntryNameOf(normal, base), normal, static_cast<int64_t>(size)});
  };
  for (const String& p : paths) {
    const fs::path full = (base / ToPath(p)).lexically_normal();
    std::error_code error;
    const fs::file_status status = fs::status(full, error);
    if (error || !fs::exists(status)) throw TToolError{p + u": no such file or folder"};
    if (fs::is_directory(status)) {
      CollectFolder(full, addFile);
    } else if (fs::is_regular_file(status)) {
      addFile(full);
    } else {
      throw TToolError{p + u": not a regular file or folder"};
    }
  }
  std::sort(files.begin(), files.end(), LessByName);
  // The same file named twice is packed once; two different files whose names differ only in
  // case would be unreachable in the package (lookup ignores case), so they are refused.
  files.erase(
      std::unique(files.begin(), files.end(),
                  [](const TInputFile& a, const TInputFile& b) { return a.EntryName == b.EntryName; }),
      files.end());
  for (size_t i = 1; i < files.size(); ++i)
    if (dlx::SameTextAscii(files[i - 1].EntryName, files[i].EntryName))
      throw TToolError{u"entries differ only in case: " + files[i - 1].EntryName + u" and " +
                       files[i].EntryName};

  // Refused before a byte is read: the builder holds the whole payload in memory.
  int64_t total = 0, payload = 8;  // table count and table length
  for (const auto& f : files) {
    total += f.Size;
    payload += f.Size + 2 + 2 * static_cast<int64_t>(f.EntryName.size()) + 16;
  }
  if (payload > kMaxPayloadSize)
    throw TToolError{
        u"the package would hold " + dlx::IntToStr(payload) +
        u" bytes (files and file table), more than an IPK5 package can: its size field has 32 bits, "
        u"so at most " +
        dlx::IntToStr(kMaxPayloadSize) + u" bytes"};

  dlx::TSetupPackageBuilder builder(dlx::SetupPackageKey);
  {
    TProgressLine line("Reading");
    int64_t done = 0;
    for (const auto& f : files) {
      try {
        dlx::TDLXBufferedFileStream in(FromPath(f.Path), dlx::fmReadShared);
        done += builder.Add(in, f.EntryName);
      } catch (const dlx::EDLXException& e) {
        throw TToolError{FromPath(f.Path) + u": " + e.Message()};
      }
      line.Update(done, total);
    }
  }

  try {
    {
      dlx::TDLXBufferedFileStream out(FromPath(temporary), dlx::fmCreateOutput);
      TProgressLine line("Compressing");
      builder.Commit(out, level, [&](int64_t done, int64_t all) { line.Update(done, all); });
      out.Flush();
    }
    if (!ReplaceFile(temporary, target)) throw TToolError{output + u": cannot be replaced"};
  } catch (...) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw;
  }
  std::fprintf(stdout, "%zu entries, %lld bytes packed into ", files.size(), static_cast<long long>(total));
  PrintLine(output);
  return kExitOk;
}

// ---- list, verify ----

int List(const std::vector<String>& args) {
  if (args.size() != 1) return Usage("list needs exactly one PKG");
  const auto package = OpenPackage(args[0]);
  const auto& table = package->FileTable();
  for (int32_t i = 0; i < table.Count(); ++i) {
    const auto& item = table.Items(i);
    PrintLine(item.Name + u"\t" + dlx::IntToStr(item.Size) + u"\t" + dlx::IntToStr(item.Offset));
  }
  return kExitOk;
}

int Verify(const std::vector<String>& args) {
  if (args.size() != 1) return Usage("verify needs exactly one PKG");
  const auto package = OpenPackage(args[0]);
  const auto& table = package->FileTable();
  int64_t bytes = 0;
  for (int32_t i = 0; i < table.Count(); ++i) {
    const auto& item = table.Items(i);
    if (item.Offset < 0 || item.Size < 0 ||
        item.Offset + item.Size > static_cast<int64_t>(package->Payload().Size()))
      throw TToolError{args[0] + u": entry " + item.Name + u" lies outside the package"};
    bytes += item.Size;
  }
  Write(stdout, args[0]);
  std::fprintf(stdout, ": OK, %d entries, %lld bytes\n", table.Count(), static_cast<long long>(bytes));
  return kExitOk;
}

// ---- extract ----

// The folder-relative path an entry is written to; names that could reach outside the target
// folder (absolute, drive, "..", empty parts) are refused.
fs::path SafeRelativePath(const String& entry) {
  fs::path relative;
  size_t start = 0;
  if (entry.empty()) throw TToolError{u"an entry with an empty name cannot be extracted"};
  for (;;) {
    const size_t end = entry.find_first_of(u"\\/", start);
    const String part = entry.substr(start, end == String::npos ? String::npos : end - start);
    if (part.empty() || part == u"." || part == u".." || part.find(u':') != String::npos)
      throw TToolError{u"unsafe entry name refused: " + entry};
    relative /= ToPath(part);
    if (end == String::npos) break;
    start = end + 1;
  }
  return relative;
}

int Extract(const std::vector<String>& args) {
  String package, directory;
  std::vector<String> names;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == u"-o") {
      if (i + 1 >= args.size()) return Usage("-o is missing its value");
      directory = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == u'-') {
      return Usage(("unknown option " + dlx::ToUtf8(args[i])).c_str());
    } else if (package.empty()) {
      package = args[i];
    } else {
      names.push_back(args[i]);
    }
  }
  if (package.empty()) return Usage("extract needs a PKG");
  const auto reader = OpenPackage(package);

  // Resolve everything before writing anything: a missing or unsafe name writes no file.
  std::vector<String> wanted;
  if (names.empty()) {
    for (int32_t i = 0; i < reader->FileTable().Count(); ++i) {
      const String& name = reader->FileTable().Items(i).Name;
      // Lookup gives the first of equal names; later duplicates would only overwrite it.
      bool seen = false;
      for (const String& w : wanted) seen = seen || dlx::SameText(w, name);
      if (!seen) wanted.push_back(name);
    }
  } else {
    for (const String& name : names) {
      dlx::TSetupPackageFileTableItem* item = nullptr;
      // Stored names use backslashes; "/" is how a Linux shell user writes them.
      String stored = name;
      std::replace(stored.begin(), stored.end(), u'/', u'\\');
      if (!reader->FileTable().Find(name, item) && !reader->FileTable().Find(stored, item))
        throw TToolError{package + u": entry not found: " + name};
      // Written under the stored spelling, whatever case the caller typed.
      wanted.push_back(item->Name);
    }
  }
  std::vector<fs::path> targets;
  const fs::path base = directory.empty() ? fs::current_path() : ToPath(directory);
  for (const String& name : wanted) targets.push_back(base / SafeRelativePath(name));

  int64_t total = 0;
  for (const String& name : wanted) {
    dlx::TSetupPackageFileTableItem* item = nullptr;
    reader->FileTable().Find(name, item);
    total += item->Size;
  }
  TProgressLine line("Extracting");
  int64_t done = 0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    std::unique_ptr<dlx::TDLXMemoryStream> data;
    reader->Extract(wanted[i], data);
    std::error_code error;
    fs::create_directories(targets[i].parent_path(), error);
    if (error) throw TToolError{FromPath(targets[i].parent_path()) + u": cannot create folder"};
    const String file = FromPath(targets[i]);
    try {
      // The entry is whole in memory: one write, no buffer in between.
      dlx::TDLXFileStream out(file, dlx::fmCreateOutput);
      data->SaveToStream(out);
    } catch (const dlx::EDLXException& e) {
      dlx::DeleteFile(file);
      throw TToolError{file + u": " + e.Message()};
    }
    done += static_cast<int64_t>(data->Size());
    line.Update(done, total);
  }
  std::fprintf(stdout, "%zu entries extracted\n", wanted.size());
  return kExitOk;
}

// ---- settings ----

int Settings(const std::vector<String>& args) {
  if (args.empty()) return Usage("settings needs a SCRIPT");
  std::error_code error;
  if (!fs::is_regular_file(ToPath(args[0]), error)) throw TToolError{args[0] + u": no such install script"};
  dlx::TDLXBufferedFileStream file(args[0], dlx::fmReadShared);
  TInstallerScript script;
  script.LoadFromStream(file);
  std::vector<String> names(args.begin() + 1, args.end());
  if (names.empty()) {
    // Each name once, where it first appears, with the value that counts (the last).
    const dlx::TDLXStringList& lines = script.Settings();
    for (int i = 0; i < lines.Count(); ++i) {
      const String name = lines.Names(i);
      bool seen = false;
      for (const String& other : names) seen = seen || dlx::SameText(other, name);
      if (!seen) names.push_back(name);
    }
  }
  for (const String& name : names) PrintLine(name + u"=" + script.GetValue(name));
  return kExitOk;
}

}  // namespace

int Run(const std::vector<String>& args) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
  if (args.empty()) return Usage("no command given");
  const String& command = args[0];
  const std::vector<String> rest(args.begin() + 1, args.end());
  try {
    if (command == u"--help" || command == u"-h" || command == u"help") return Usage(nullptr);
    if (command == u"pack") return Pack(rest);
    if (command == u"list") return List(rest);
    if (command == u"extract") return Extract(rest);
    if (command == u"verify") return Verify(rest);
    if (command == u"settings") return Settings(rest);
    return Usage(("unknown command " + dlx::ToUtf8(command)).c_str());
  } catch (const TToolError& e) {
    Write(stderr, u"ipk5: " + e.Message + u"\n");
  } catch (const dlx::EDLXException& e) {
    Write(stderr, u"ipk5: " + e.Message() + u"\n");
  } catch (const std::bad_alloc&) {
    std::fputs("ipk5: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ipk5: %s\n", e.what());
  }
  return kExitFailure;
}

}  // namespace ipk5
