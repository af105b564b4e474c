// COsAbbreviaTool over libzip: per-entry deflate-or-store decision with zlib, safe extraction of
// archives that come from strangers, atomic archive building.
#include "package/os_abbrevia_tool.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "package/zip_records.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/free_with.h"
#include "rtl/identifiers.h"
#include "rtl/large_buffer.h"
#include "rtl/text.h"
#include "rtl/unique_fd.h"

namespace lyr::package {
namespace {

using rtl::NativePath;

using rtl::FreeWith;
using rtl::UniqueFd;
using ZipPtr = std::unique_ptr<zip_t, FreeWith<&::zip_discard>>;
using SourcePtr = std::unique_ptr<zip_source_t, FreeWith<&::zip_source_free>>;
using DirPtr = std::unique_ptr<DIR, FreeWith<&::closedir>>;
void CloseZipFile(zip_file_t* file) noexcept {
  ::zip_fclose(file);
}
using ZipFilePtr = std::unique_ptr<zip_file_t, FreeWith<&CloseZipFile>>;

constexpr size_t kCopyChunk = 256 * 1024;

// ---- Errors ---------------------------------------------------------------------------------

// The archive library's own text, with the archive's name when there is a file.
[[noreturn]] void RaiseZipError(zip_error_t* error, const std::string& archive) {
  std::string text = ::zip_error_strerror(error);
  if (!archive.empty()) {
    text += ": [" + archive + "]";
  }
  rtl::Raise(std::move(text));
}

[[noreturn]] void RaiseZipError(zip_t* zip, const std::string& archive) {
  RaiseZipError(::zip_get_error(zip), archive);
}

// ---- Entry names ----------------------------------------------------------------------------

// CP866 bytes 0x80..0xFF as Unicode code points; 0 where the character (box drawing, a few
// symbols) has no windows-1251 byte and becomes "?".
constexpr char32_t kCp866High[128] = {
    0x410, 0x411, 0x412, 0x413, 0x414, 0x415, 0x416, 0x417,  0x418, 0x419, 0x41A, 0x41B, 0x41C,
    0x41D, 0x41E, 0x41F, 0x420, 0x421, 0x422, 0x423, 0x424,  0x425, 0x426, 0x427, 0x428, 0x429,
    0x42A, 0x42B, 0x42C, 0x42D, 0x42E, 0x42F, 0x430, 0x431,  0x432, 0x433, 0x434, 0x435, 0x436,
    0x437, 0x438, 0x439, 0x43A, 0x43B, 0x43C, 0x43D, 0x43E,  0x43F, 0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0,     0,     0,      0,     0,     0,     0,     0,
    0,     0,     0,     0,     0,     0x440, 0x441, 0x442,  0x443, 0x444, 0x445, 0x446, 0x447,
    0x448, 0x449, 0x44A, 0x44B, 0x44C, 0x44D, 0x44E, 0x44F,  0x401, 0x451, 0x404, 0x454, 0x407,
    0x457, 0x40E, 0x45E, 0xB0,  0,     0xB7,  0,     0x2116, 0xA4,  0,     0xA0,
};

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Cp866ToAnsi(std::string_view raw) {
  std::string result;
  result.reserve(raw.size());
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      result += c;
      continue;
    }
    const char32_t code_point = kCp866High[byte - 0x80];
    const int ansi = code_point == 0 ? -1 : rtl::CodePointToAnsiChar(code_point);
    result += ansi < 0 ? '?' : static_cast<char>(ansi);
  }
  return result;
}

// The entry's name as library text. libzip gives the stored bytes (ENC_RAW) and, in strict mode,
// the name as UTF-8 converted from CP437 unless the UTF-8 flag (bit 11) or a Unicode path extra
// field says it is UTF-8 already. A non-ASCII name converted from CP437 always changes, so an
// unchanged strict name means UTF-8; otherwise the raw bytes are taken as CP866, which is what
// archivers on Russian systems write (the OEM code page), not CP437.
std::string EntryName(zip_t* zip, zip_uint64_t index, const std::string& archive) {
  const char* raw = ::zip_get_name(zip, index, ZIP_FL_ENC_RAW);
  const char* strict = ::zip_get_name(zip, index, ZIP_FL_ENC_STRICT);
  if (raw == nullptr || strict == nullptr) {
    RaiseZipError(zip, archive);
  }
  const std::string_view raw_name(raw);
  if (IsAscii(raw_name)) {
    return std::string(raw_name);
  }
  if (raw_name == strict) {
    return rtl::Utf8ToAnsi(raw_name);
  }
  return Cp866ToAnsi(raw_name);
}

// Splits a checked entry name into its segments; a name that could land outside the target
// (empty, absolute, drive letter, backslash, ".", ".." or empty segments) fails.
std::vector<std::string> SafeSegments(const std::string& name, bool is_directory) {
  std::string_view rest(name);
  if (is_directory) {
    rest.remove_suffix(1);
  }
  const bool bad_characters = rest.find_first_of("\\:") != std::string_view::npos ||
                              std::any_of(rest.begin(), rest.end(), [](char c) {
                                return static_cast<unsigned char>(c) < 0x20;
                              });
  std::vector<std::string> segments;
  bool bad_segment = rest.empty() || bad_characters;
  while (!bad_segment && !rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    bad_segment = segment.empty() || segment == "." || segment == "..";
    segments.emplace_back(segment);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    if (slash != std::string_view::npos && rest.empty()) {
      bad_segment = true;
    }
  }
  if (bad_segment) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в архиве: [%s]", name);
  }
  return segments;
}

bool IsSymbolicLink(zip_t* zip, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (::zip_file_get_external_attributes(zip, index, 0, &opsys, &attributes) < 0) {
    return false;
  }
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// ---- Reading entries ------------------------------------------------------------------------

// One checked entry of an archive to be extracted.
struct PlannedEntry {
  zip_uint64_t index = 0;
  std::string name;
  std::vector<std::string> segments;
  bool is_directory = false;
  uint64_t size = 0;
};

zip_stat_t StatEntry(zip_t* zip, zip_uint64_t index, const std::string& archive) {
  zip_stat_t stat;
  ::zip_stat_init(&stat);
  if (::zip_stat_index(zip, index, 0, &stat) < 0) {
    RaiseZipError(zip, archive);
  }
  return stat;
}

// The size checks every entry passes before its data are read.
void CheckEntryStat(const zip_stat_t& stat, const std::string& name) {
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
    rtl::RaiseFmt(u8"Зашифрованные файлы в архиве не поддерживаются: [%s]", name);
  }
  if ((stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > COsAbbreviaTool::kMaxEntrySize) {
    rtl::RaiseFmt(u8"Слишком большой файл в архиве: [%s]", name);
  }
}

void CheckEntryCount(zip_t* zip, const std::string& archive) {
  const zip_int64_t count = ::zip_get_num_entries(zip, 0);
  if (count < 0) {
    RaiseZipError(zip, archive);
  }
  if (static_cast<uint64_t>(count) > COsAbbreviaTool::kMaxEntryCount) {
    rtl::RaiseFmt(u8"Слишком много файлов в архиве: [%d]", static_cast<int64_t>(count));
  }
}

std::vector<PlannedEntry> PlanExtraction(zip_t* zip, const std::string& archive,
                                         rtl::DecompressionBudget* budget) {
  CheckEntryCount(zip, archive);
  const auto count = static_cast<zip_uint64_t>(::zip_get_num_entries(zip, 0));
  std::vector<PlannedEntry> plan;
  std::set<std::string> names;
  uint64_t total = 0;
  for (zip_uint64_t index = 0; index < count; ++index) {
    PlannedEntry entry;
    entry.index = index;
    entry.name = EntryName(zip, index, archive);
    entry.is_directory = !entry.name.empty() && entry.name.back() == '/';
    entry.segments = SafeSegments(entry.name, entry.is_directory);
    if (IsSymbolicLink(zip, index)) {
      rtl::RaiseFmt(u8"Символическая ссылка в архиве недопустима: [%s]", entry.name);
    }
    std::string key = entry.name;
    if (entry.is_directory) {
      key.pop_back();
    }
    if (!names.insert(key).second) {
      rtl::RaiseFmt(u8"Файл встречается в архиве дважды: [%s]", entry.name);
    }
    const zip_stat_t stat = StatEntry(zip, index, archive);
    CheckEntryStat(stat, entry.name);
    entry.size = stat.size;
    total += entry.size;
    if (total > COsAbbreviaTool::kMaxTotalSize) {
      rtl::RaiseFmt(u8"Слишком большой объём файлов в архиве: [%s]", archive);
    }
    plan.push_back(std::move(entry));
  }
  if (budget != nullptr) {
    budget->Take(total);
  }
  return plan;
}

// Streams the data of entry index to sink in chunks, refusing more bytes than declared (a zip
// bomb lying about its size); libzip checks the CRC when the entry ends.
template <typename Sink>
void ReadEntry(zip_t* zip, zip_uint64_t index, uint64_t declared_size, const std::string& name,
               const std::string& archive, Sink&& sink) {
  ZipFilePtr file(::zip_fopen_index(zip, index, 0));
  if (!file) {
    RaiseZipError(zip, archive);
  }
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(declared_size + 1, kCopyChunk)));
  uint64_t total = 0;
  while (true) {
    const zip_int64_t got = ::zip_fread(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      RaiseZipError(::zip_file_get_error(file.get()), archive);
    }
    if (got == 0) {
      break;
    }
    total += static_cast<uint64_t>(got);
    if (total > declared_size) {
      rtl::RaiseFmt(u8"Размер файла в архиве больше заявленного: [%s]", name);
    }
    sink(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
  if (total != declared_size) {
    rtl::RaiseFmt(u8"Размер файла в архиве меньше заявленного: [%s]", name);
  }
}

// ---- Writing extracted files ----------------------------------------------------------------

// Writes the planned entries below one target folder. Every folder on the way is opened with
// O_NOFOLLOW relative to its parent and every file is created with O_NOFOLLOW, so nothing can be
// redirected outside the target even by links that were there before. Remembers what it created
// so that a failure removes it again.
class Extractor final {
 public:
  Extractor(zip_t* zip, std::string archive, const std::string& target)
      : zip_(zip),
        archive_(std::move(archive)),
        target_(rtl::IncludeTrailingBackslash(target)),
        root_(::open(NativePath(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (root_.Get() < 0) {
      rtl::RaiseLastOSError();
    }
  }

  void Extract(const PlannedEntry& entry) {
    std::vector<std::unique_ptr<UniqueFd>> folders;
    int parent = root_.Get();
    const size_t folder_count =
        entry.is_directory ? entry.segments.size() : entry.segments.size() - 1;
    std::string relative;
    for (size_t i = 0; i < folder_count; ++i) {
      relative += entry.segments[i] + "/";
      parent = OpenFolder(parent, entry.segments[i], relative, folders);
    }
    if (!entry.is_directory) {
      WriteFile(parent, entry, relative + entry.segments.back());
    }
  }

  // Removes, newest first, what was created (after a failure). Never throws.
  void Undo() noexcept {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      const std::string path = NativePath(target_ + it->first);
      if (it->second) {
        ::rmdir(path.c_str());
      } else {
        ::unlink(path.c_str());
      }
    }
  }

 private:
  int OpenFolder(int parent, const std::string& segment, const std::string& relative,
                 std::vector<std::unique_ptr<UniqueFd>>& folders) {
    const std::string native = NativePath(segment);
    if (::mkdirat(parent, native.c_str(), 0700) == 0) {
      created_.emplace_back(relative, true);
    } else if (errno != EEXIST) {
      rtl::RaiseLastOSError();
    }
    const int fd =
        ::openat(parent, native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      rtl::RaiseLastOSError();
    }
    folders.push_back(std::make_unique<UniqueFd>(fd));
    return fd;
  }

  void WriteFile(int parent, const PlannedEntry& entry, const std::string& relative) {
    const std::string native = NativePath(entry.segments.back());
    UniqueFd fd(::openat(parent, native.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.Get() < 0) {
      rtl::RaiseLastOSError();
    }
    created_.emplace_back(relative, false);
    ReadEntry(zip_, entry.index, entry.size, entry.name, archive_, [&](std::string_view chunk) {
      while (!chunk.empty()) {
        const ssize_t written = ::write(fd.Get(), chunk.data(), chunk.size());
        if (written < 0) {
          if (errno == EINTR) {
            continue;
          }
          rtl::RaiseLastOSError();
        }
        chunk.remove_prefix(static_cast<size_t>(written));
      }
    });
    if (::close(fd.Release()) != 0) {
      rtl::RaiseLastOSError();
    }
  }

  zip_t* zip_;
  std::string archive_;
  std::string target_;
  UniqueFd root_;
  // Relative path and whether it is a folder, in creation order.
  std::vector<std::pair<std::string, bool>> created_;
};

// ---- Writing entries ------------------------------------------------------------------------

// Bytes in one malloc'd block that grows with realloc: no zero filling when it is made, and a
// large block grows in place or by remapping its pages rather than by copying them.
class ByteBlock final {
 public:
  [[nodiscard]] std::string_view View() const noexcept { return {data_.get(), size_}; }
  [[nodiscard]] char* Data() const noexcept { return data_.get(); }
  [[nodiscard]] size_t Size() const noexcept { return size_; }
  [[nodiscard]] size_t Capacity() const noexcept { return capacity_; }

  // Makes room for capacity bytes; the first Size() bytes are kept.
  void Reserve(size_t capacity) {
    if (capacity <= capacity_) {
      return;
    }
    void* grown = std::realloc(data_.get(), capacity);
    if (grown == nullptr) {
      throw std::bad_alloc();
    }
    (void)data_.release();
    data_.reset(static_cast<char*>(grown));
    capacity_ = capacity;
  }
  void SetSize(size_t size) noexcept { size_ = size; }
  void Clear() noexcept {
    data_.reset();
    size_ = 0;
    capacity_ = 0;
  }

 private:
  std::unique_ptr<char, FreeWith<&std::free>> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

int OpenForReading(const std::string& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    rtl::RaiseLastOSError();
  }
  return fd;
}

// Reads up to size bytes at offset into buffer; fewer only at the end of the file.
size_t ReadAt(int fd, char* buffer, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      rtl::RaiseLastOSError();
    }
    if (got == 0) {
      break;
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

// Reads the whole file path into block (its size as fstat gives it; a file that grew or shrank
// meanwhile reads as it is now, and the caller compares sizes).
void ReadFileInto(const std::string& path, ByteBlock& block) {
  const UniqueFd fd(OpenForReading(path));
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    rtl::RaiseLastOSError();
  }
  if (static_cast<uint64_t>(st.st_size) >= uint64_t{1} << 32) {
    rtl::RaiseFmt(u8"Файл слишком велик!");  // as rtl::ReadFileToString says
  }
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  const auto size = static_cast<size_t>(st.st_size);
  block.Clear();
  block.Reserve(size + 1);
  // One byte more than expected tells a file that grew.
  block.SetSize(ReadAt(fd.Get(), block.Data(), size + 1, 0));
}

// One zlib deflate state (about 270 KiB) for every entry of one archive: each entry resets it
// rather than making a new one, whose memory the allocator would give back to the system and fault
// in (zeroed) again for the next entry.
class Deflater final {
 public:
  Deflater() = default;
  ~Deflater() {
    if (ready_) {
      ::deflateEnd(&stream_);
    }
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // The stream, ready for new data: raw Deflate (RFC 1951) at the normal level.
  z_stream& Fresh() {
    if (!ready_) {
      if (::deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
          Z_OK) {
        rtl::Raise("deflateInit2 failed");
      }
      ready_ = true;
    } else if (::deflateReset(&stream_) != Z_OK) {
      rtl::Raise("deflateReset failed");
    }
    return stream_;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// Deflate or store, decided per entry. libzip 1.7 deflates every entry it is given, even when the
// result is larger (random bytes grow by about 0.02%). So each entry is deflated once here with
// zlib (raw Deflate per RFC 1951, level 6, the normal level), stopping as soon as the stream
// reaches the size of the data: then deflating does not pay and the data are stored. The entry is
// handed to libzip through a source that reports the compression method, sizes and CRC itself,
// so libzip copies the prepared bytes without compressing again (APPNOTE 4.4.5: method 8
// deflated, 0 stored).
//
// Most of a package's bytes are incompressible (encrypted documents, a document's stored form
// that is itself deflated), and deflating 100 MB of them only to throw the result away costs
// seconds. So an entry of more than kSampleThreshold bytes is first judged by deflating three
// samples of kSampleSize bytes (its start, middle and end): when they do not shrink by at least
// 1/64, the entry is stored without deflating the rest. Whatever is decided, the archive is an
// ordinary ZIP; a mixed entry judged wrongly is only stored larger than it could be.
//
// The decision is needed when the entry is added (libzip takes the method then), so each entry is
// read and deflated while it is added. A deflated entry keeps only its compressed bytes until
// libzip has copied them; a stored file entry keeps nothing and is read again when libzip copies
// it (reading twice is cheap, deflating twice is not).
class EntrySource final {
 public:
  static constexpr size_t kSampleThreshold = size_t{1} << 20;
  static constexpr size_t kSampleSize = size_t{64} << 10;

  // An entry with data in memory (not copied: data must outlive the archive's close).
  explicit EntrySource(std::string_view data) : data_(data), mtime_(::time(nullptr)) {}
  // An entry read from a file.
  EntrySource(std::string path, time_t mtime) : path_(std::move(path)), mtime_(mtime) {}

  // Prepares the entry and adds it to zip under name; the archive owns the source afterwards.
  // deflater serves every deflating of the entry and must outlive the archive's close.
  // Returns the room the entry takes in the archive: its bytes, its local and central headers
  // with the name, and some more for extra fields.
  static uint64_t Add(zip_t* zip, std::unique_ptr<EntrySource> entry, const std::string& name,
                      const std::string& archive, Deflater& deflater) {
    entry->deflater_ = &deflater;
    entry->Prepare();
    const zip_int32_t method = entry->deflated_ ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
    const uint64_t bytes = entry->deflated_ ? entry->compressed_size_ : entry->size_;
    zip_source_t* source = ::zip_source_function(zip, &EntrySource::Callback, entry.get());
    if (source == nullptr) {
      RaiseZipError(zip, archive);
    }
    (void)entry.release();  // the source frees it through ZIP_SOURCE_FREE
    const bool ascii = IsAscii(name);
    const std::string stored = ascii ? name : rtl::AnsiToUtf8String(name);
    const zip_int64_t index =
        ::zip_file_add(zip, stored.c_str(), source,
                       (ascii ? ZIP_FL_ENC_GUESS : ZIP_FL_ENC_UTF_8) | ZIP_FL_OVERWRITE);
    if (index < 0) {
      ::zip_source_free(source);
      RaiseZipError(zip, archive);
    }
    if (::zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), method, 0) < 0) {
      RaiseZipError(zip, archive);
    }
    constexpr uint64_t kHeaderRoom = 128;
    return bytes + 2 * (stored.size() + kHeaderRoom);
  }

  // The first error raised inside a callback (libzip only sees a code).
  static std::exception_ptr& PendingError() {
    static thread_local std::exception_ptr error;
    return error;
  }

  // Whether deflating plain is worth trying in full (see the class comment).
  bool WorthDeflating(std::string_view plain) {
    if (plain.size() <= kSampleThreshold) {
      return !plain.empty();
    }
    const std::array<size_t, 3> at = SampleOffsets(plain.size());
    return SamplesShrink({plain.substr(at[0], kSampleSize), plain.substr(at[1], kSampleSize),
                          plain.substr(at[2], kSampleSize)});
  }

 private:
  static zip_int64_t Callback(void* user, void* data, zip_uint64_t length,
                              zip_source_cmd_t command) {
    auto* self = static_cast<EntrySource*>(user);
    try {
      return self->Handle(data, length, command);
    } catch (...) {
      if (!PendingError()) {
        PendingError() = std::current_exception();
      }
      ::zip_error_set(&self->error_, ZIP_ER_READ, 0);
      return -1;
    }
  }

  zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        Load();
        position_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        if (streamed_) {
          return ReadStreamed(static_cast<char*>(data), length);
        }
        const std::string_view bytes = Bytes();
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, bytes.size() - position_));
        std::copy_n(bytes.data() + position_, n, static_cast<char*>(data));
        position_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        fd_.reset();
        file_.Clear();
        compressed_.Clear();
        return 0;
      case ZIP_SOURCE_STAT:
        return Stat(data, length);
      case ZIP_SOURCE_ERROR:
        return ::zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return ::zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                -1);
      default:
        ::zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t Stat(void* data, zip_uint64_t length) {
    if (length < sizeof(zip_stat_t)) {
      ::zip_error_set(&error_, ZIP_ER_INVAL, 0);
      return -1;
    }
    auto* stat = static_cast<zip_stat_t*>(data);
    ::zip_stat_init(stat);
    stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                  ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_MTIME | (deflated_ ? ZIP_STAT_CRC : 0);
    stat->size = size_;
    stat->comp_size = deflated_ ? compressed_size_ : size_;
    stat->crc = crc_;
    stat->comp_method = deflated_ ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
    stat->encryption_method = ZIP_EM_NONE;
    stat->mtime = mtime_;
    return sizeof(zip_stat_t);
  }

  // Start, middle and end of data of size bytes (more than kSampleThreshold).
  static std::array<size_t, 3> SampleOffsets(size_t size) {
    return {0, (size - kSampleSize) / 2, size - kSampleSize};
  }

  bool SamplesShrink(const std::array<std::string_view, 3>& samples) {
    size_t packed = 0;
    ByteBlock out;
    for (const std::string_view sample : samples) {
      packed += Deflate(sample, out, *deflater_) ? out.Size() : sample.size();
    }
    return packed <= 3 * kSampleSize - 3 * kSampleSize / 64;
  }

  [[nodiscard]] std::string_view Plain() const { return path_.empty() ? data_ : file_.View(); }
  [[nodiscard]] std::string_view Bytes() const { return deflated_ ? compressed_.View() : Plain(); }

  // Reads the data, takes its size, decides the method and keeps the deflated bytes (and the
  // CRC of the data with them: libzip checks a deflated entry by it; a stored entry's CRC libzip
  // takes itself while it copies the data, so it is not taken here too).
  void Prepare() {
    streamed_ = false;
    if (!path_.empty()) {
      if (PrepareStreamedFile()) {
        return;
      }
      ReadFileInto(path_, file_);
    }
    const std::string_view plain = Plain();
    size_ = plain.size();
    deflated_ = WorthDeflating(plain) && Deflate(plain, compressed_, *deflater_);
    if (deflated_) {
      crc_ = static_cast<uint32_t>(
          ::crc32_z(0, reinterpret_cast<const Bytef*>(plain.data()), plain.size()));
    } else {
      compressed_.Clear();
    }
    compressed_size_ = compressed_.Size();
    file_.Clear();
  }

  // The bytes libzip copies now: a stored file is read again (and must not have changed size);
  // deflated bytes dropped by an earlier copy are made again.
  void Load() {
    if (streamed_) {
      fd_.emplace(OpenForReading(path_));
      struct stat st {};
      if (::fstat(fd_->Get(), &st) != 0 || static_cast<uint64_t>(st.st_size) != size_) {
        rtl::RaiseFmt(u8"Файл изменился во время упаковки: [%s]", path_);
      }
      return;
    }
    if (deflated_ && compressed_.Size() == 0) {
      Prepare();
    } else if (!deflated_ && !path_.empty()) {
      ReadFileInto(path_, file_);
    }
    if (Bytes().size() != (deflated_ ? compressed_size_ : size_)) {
      rtl::RaiseFmt(u8"Файл изменился во время упаковки: [%s]", path_);
    }
  }

  // A large file whose samples do not shrink is never held whole: it is stored, libzip's reads are
  // served from the file (Load opens it again), and libzip takes the CRC as it copies.
  // False, with nothing decided, for a small file or one judged worth deflating.
  bool PrepareStreamedFile() {
    const UniqueFd fd(OpenForReading(path_));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
      rtl::RaiseLastOSError();
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size >= uint64_t{1} << 32) {
      rtl::RaiseFmt(u8"Файл слишком велик!");  // as rtl::ReadFileToString says
    }
    if (size <= kSampleThreshold) {
      return false;
    }
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const std::array<size_t, 3> at = SampleOffsets(static_cast<size_t>(size));
    std::array<std::string, 3> samples;
    for (size_t i = 0; i < samples.size(); ++i) {
      samples[i].resize(kSampleSize);
      if (ReadAt(fd.Get(), samples[i].data(), kSampleSize, at[i]) != kSampleSize) {
        return false;  // shrank meanwhile: read whole
      }
    }
    if (SamplesShrink({samples[0], samples[1], samples[2]})) {
      return false;
    }
    size_ = size;
    deflated_ = false;
    compressed_.Clear();
    compressed_size_ = 0;
    streamed_ = true;
    return true;
  }

  // libzip's read of a streamed file: the next bytes, never more than were prepared.
  zip_int64_t ReadStreamed(char* data, uint64_t length) {
    const auto n = static_cast<size_t>(std::min<uint64_t>(length, size_ - position_));
    if (ReadAt(fd_->Get(), data, n, position_) != n) {
      rtl::RaiseFmt(u8"Файл изменился во время упаковки: [%s]", path_);
    }
    position_ += n;
    return static_cast<zip_int64_t>(n);
  }

  // Raw Deflate of plain into out; false when the stream is not smaller than plain. out starts
  // at a quarter of plain (text deflates to less) and grows as needed, never beyond plain.
  static bool Deflate(std::string_view plain, ByteBlock& out, Deflater& deflater) {
    if (plain.empty()) {
      return false;
    }
    z_stream& stream = deflater.Fresh();
    const size_t limit = plain.size() - 1;  // the stream must be smaller than the data
    out.SetSize(0);
    out.Reserve(std::min(limit, std::max(plain.size() / 4, size_t{64} << 10)));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    size_t in_left = plain.size();
    size_t done = 0;
    int status = Z_OK;
    constexpr size_t kStep = size_t{1} << 30;  // zlib counts in 32-bit units
    while (status == Z_OK) {
      if (done == out.Capacity()) {
        if (done == limit) {
          break;  // the output reached the size of the data: not smaller
        }
        out.Reserve(std::min(limit, done * 2));
      }
      const auto in_step = static_cast<uInt>(std::min(in_left, kStep));
      const auto out_step = static_cast<uInt>(std::min(out.Capacity() - done, kStep));
      stream.next_out = reinterpret_cast<Bytef*>(out.Data() + done);
      stream.avail_in = in_step;
      stream.avail_out = out_step;
      status = ::deflate(&stream, in_step == in_left ? Z_FINISH : Z_NO_FLUSH);
      in_left -= in_step - stream.avail_in;
      done += out_step - stream.avail_out;
      if (status == Z_BUF_ERROR) {
        status = Z_OK;  // no progress possible without more room: the loop makes room
      }
    }
    out.SetSize(done);
    return status == Z_STREAM_END;
  }

  std::string_view data_;
  std::string path_;
  time_t mtime_;
  Deflater* deflater_ = nullptr;
  ByteBlock file_;
  ByteBlock compressed_;
  std::optional<UniqueFd> fd_;  // a streamed file while libzip copies it
  zip_error_t error_{};
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  uint64_t compressed_size_ = 0;
  uint32_t crc_ = 0;
  bool deflated_ = false;
  bool streamed_ = false;
};

// zip_close, turning a callback's error back into the error it was.
void CloseArchive(ZipPtr& zip, const std::string& archive) {
  EntrySource::PendingError() = nullptr;
  if (::zip_close(zip.get()) < 0) {
    const std::exception_ptr pending = std::exchange(EntrySource::PendingError(), nullptr);
    if (pending) {
      std::rethrow_exception(pending);
    }
    RaiseZipError(zip.get(), archive);
  }
  (void)zip.release();
}

ZipPtr OpenMemoryArchive(std::string_view bytes, int flags) {
  zip_error_t error;
  ::zip_error_init(&error);
  SourcePtr source(::zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error));
  if (!source) {
    RaiseZipError(&error, {});
  }
  ZipPtr zip(::zip_open_from_source(source.get(), flags, &error));
  if (!zip) {
    RaiseZipError(&error, {});
  }
  (void)source.release();
  return zip;
}

// Names of the regular files of directory matching mask, sorted, without the file archive itself
// (the archive being written is never one of its own entries).
std::vector<std::pair<std::string, time_t>> ListFiles(const std::string& directory,
                                                      const std::string& mask,
                                                      const std::string& archive) {
  const std::string pattern = mask == "*.*" ? "*" : NativePath(mask);
  struct stat self {};
  const bool archive_exists = ::stat(NativePath(archive).c_str(), &self) == 0;
  DirPtr dir(::opendir(NativePath(directory).c_str()));
  if (!dir) {
    rtl::RaiseLastOSError();
  }
  std::vector<std::pair<std::string, time_t>> files;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && ::fnmatch(pattern.c_str(), entry->d_name, FNM_PERIOD) == 0 &&
        !(archive_exists && st.st_dev == self.st_dev && st.st_ino == self.st_ino)) {
      files.emplace_back(rtl::LibraryPath(entry->d_name), st.st_mtime);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// An archive of no entries: libzip does not write one (it removes the file), so the end of
// central directory record (APPNOTE 4.3.16) is written by hand.
constexpr std::string_view kEmptyArchive("PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22);

// A new archive written by libzip through a writable source of our own (libzip writes archives
// only to a path or a source, and its own buffer source keeps the archive in fragments that would
// be copied out again): straight into a string reserved at the size the caller expects, or
// straight into an rtl::AtomicFile in steps of kFileStep bytes (libzip writes in small pieces and
// goes back to complete each local header).
class NewArchive final {
 public:
  // Into a string; expected_size: the archive's size as far as the caller can tell.
  explicit NewArchive(size_t expected_size) : expected_size_(expected_size) { Open(); }
  // Into file, which the caller commits after Finish.
  explicit NewArchive(rtl::AtomicFile& file) : file_(&file) { Open(); }

  [[nodiscard]] zip_t* Zip() const noexcept { return zip_.get(); }

  // The archive is expected to be bytes larger.
  void Expect(uint64_t bytes) { expected_size_ += static_cast<size_t>(bytes); }

  // Closes the archive (writing it) and returns its bytes (nothing when written into a file).
  std::string Finish(const std::string& archive) {
    CloseArchive(zip_, archive);
    return std::move(data_);
  }

 private:
  static constexpr size_t kFileStep = size_t{1} << 20;

  void Open() {
    zip_error_t error;
    ::zip_error_init(&error);
    SourcePtr source(::zip_source_function_create(&NewArchive::Callback, this, &error));
    if (!source) {
      RaiseZipError(&error, {});
    }
    zip_.reset(::zip_open_from_source(source.get(), ZIP_TRUNCATE, &error));
    if (!zip_) {
      RaiseZipError(&error, {});
    }
    (void)source.release();  // the archive owns it now
  }

  static zip_int64_t Callback(void* user, void* data, zip_uint64_t length,
                              zip_source_cmd_t command) {
    auto* self = static_cast<NewArchive*>(user);
    try {
      return self->Handle(data, length, command);
    } catch (...) {
      if (!EntrySource::PendingError()) {
        EntrySource::PendingError() = std::current_exception();
      }
      ::zip_error_set(&self->error_, ZIP_ER_WRITE, 0);
      return -1;
    }
  }

  zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        read_at_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const auto n = static_cast<size_t>(std::min<uint64_t>(length, data_.size() - read_at_));
        std::copy_n(data_.data() + read_at_, n, static_cast<char*>(data));
        read_at_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        return 0;
      case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) {
          ::zip_error_set(&error_, ZIP_ER_INVAL, 0);
          return -1;
        }
        auto* stat = static_cast<zip_stat_t*>(data);
        ::zip_stat_init(stat);
        stat->valid = ZIP_STAT_SIZE;
        stat->size = data_.size();
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_SEEK:
        return Seek(data, length, data_.size(), read_at_);
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(read_at_);
      case ZIP_SOURCE_BEGIN_WRITE:
        written_.clear();
        if (file_ == nullptr) {
          rtl::ReserveLarge(written_, expected_size_);
        }
        write_at_ = size_ = step_at_ = 0;
        return 0;
      case ZIP_SOURCE_WRITE:
        Write(std::string_view(static_cast<const char*>(data), static_cast<size_t>(length)));
        return static_cast<zip_int64_t>(length);
      case ZIP_SOURCE_SEEK_WRITE:
        return Seek(data, length, size_, write_at_);
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(write_at_);
      case ZIP_SOURCE_COMMIT_WRITE:
        if (file_ != nullptr) {
          WriteStep();
        } else {
          data_ = std::move(written_);
        }
        written_.clear();
        return 0;
      case ZIP_SOURCE_ROLLBACK_WRITE:
        written_.clear();
        return 0;
      case ZIP_SOURCE_REMOVE:
        data_.clear();
        return 0;
      case ZIP_SOURCE_ERROR:
        return ::zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE:
        return 0;  // the object belongs to its owner, not to the source
      case ZIP_SOURCE_SUPPORTS:
        return ::zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_SEEK,
            ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
            ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
            ZIP_SOURCE_REMOVE, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
      default:
        ::zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  // bytes at write_at_. Into a string: in place. Into a file: written_ holds the step of the file
  // from step_at_ on; bytes that do not continue it go out after the step.
  void Write(std::string_view bytes) {
    if (file_ == nullptr) {
      const size_t overwritten = std::min(bytes.size(), written_.size() - write_at_);
      written_.replace(write_at_, overwritten, bytes);
    } else if (write_at_ == step_at_ + written_.size()) {
      written_ += bytes;
      if (written_.size() >= kFileStep) {
        WriteStep();
      }
    } else {
      WriteStep();
      file_->WriteAt(write_at_, bytes);
      step_at_ = write_at_ + bytes.size();
    }
    write_at_ += bytes.size();
    size_ = std::max(size_, write_at_);
  }

  void WriteStep() {
    file_->WriteAt(step_at_, written_);
    step_at_ += written_.size();
    written_.clear();
  }

  // A read or write position moved as the seek arguments in data say, within size bytes.
  zip_int64_t Seek(void* data, zip_uint64_t length, size_t size, size_t& position) {
    const zip_int64_t to = ::zip_source_seek_compute_offset(position, size, data, length, &error_);
    if (to < 0) {
      return -1;
    }
    position = static_cast<size_t>(to);
    return 0;
  }

  rtl::AtomicFile* file_ = nullptr;
  size_t expected_size_ = 0;
  std::string data_;     // the archive as last committed (into a string)
  std::string written_;  // the archive being written, or the step of the file not yet written
  size_t read_at_ = 0;
  size_t write_at_ = 0;
  size_t size_ = 0;     // of the archive being written
  size_t step_at_ = 0;  // where written_ goes in the file
  zip_error_t error_{};
  ZipPtr zip_;  // last: closed or discarded before the rest goes
};

}  // namespace

namespace {

ZipPtr OpenArchiveFile(const std::string& archive, int flags) {
  int error_code = 0;
  ZipPtr zip(::zip_open(NativePath(archive).c_str(), flags, &error_code));
  if (!zip) {
    zip_error_t error;
    ::zip_error_init_with_code(&error, error_code);
    RaiseZipError(&error, archive);
  }
  return zip;
}

// Extracts the archive into the folder target gives (which exists), asked for when the first
// entry is written; an entry for which keep_in_memory says yes goes to it instead. Files written
// before a failure are removed again.
template <typename Target, typename Keep>
void ExtractInto(Target&& target, const std::string& archive, rtl::DecompressionBudget* budget,
                 Keep&& keep_in_memory) {
  ZipPtr zip = OpenArchiveFile(archive, ZIP_RDONLY | ZIP_CHECKCONS);
  const std::vector<PlannedEntry> plan = PlanExtraction(zip.get(), archive, budget);
  std::optional<Extractor> extractor;
  try {
    for (const PlannedEntry& entry : plan) {
      if (!keep_in_memory(zip.get(), entry)) {
        if (!extractor) {
          extractor.emplace(zip.get(), archive, target());
        }
        extractor->Extract(entry);
      }
    }
  } catch (...) {
    if (extractor) {
      extractor->Undo();
    }
    throw;
  }
}

}  // namespace

std::string COsAbbreviaTool::ExtractArchive(const std::string& directory,
                                            const std::string& archive, bool make_unique,
                                            rtl::DecompressionBudget* budget) {
  std::string target = directory;
  if (make_unique) {
    do {
      target = rtl::CombinePath(directory, rtl::NewGuidString());
    } while (rtl::DirectoryExists(target));
  }
  if (!rtl::ForceDirectories(target)) {
    rtl::RaiseLastOSError();
  }
  ExtractInto([&] { return target; }, archive, budget,
              [](zip_t*, const PlannedEntry&) { return false; });
  return rtl::IncludeTrailingBackslash(target);
}

void COsAbbreviaTool::ExtractArchiveKeeping(
    const std::function<std::string()>& directory, const std::string& archive,
    rtl::DecompressionBudget* budget, uint64_t memory_limit,
    const std::function<void(const std::string&, std::string)>& keep) {
  uint64_t kept = 0;
  ExtractInto(directory, archive, budget, [&](zip_t* zip, const PlannedEntry& entry) {
    if (entry.is_directory || entry.segments.size() != 1 || entry.size > memory_limit - kept) {
      return false;
    }
    kept += entry.size;
    std::string bytes;
    rtl::ReserveLarge(bytes, static_cast<size_t>(entry.size));
    ReadEntry(zip, entry.index, entry.size, entry.name, archive,
              [&](std::string_view chunk) { bytes += chunk; });
    keep(entry.name, std::move(bytes));
    return true;
  });
}

namespace {

// Writes the archive of the entries add_entries adds through rtl::AtomicFile; nothing added
// makes an empty archive. A package that is replaced keeps its permission bits; a new one gets
// those of a new file.
template <typename AddEntries>
void WriteArchive(const std::string& archive, bool empty, AddEntries&& add_entries) {
  struct stat old {};
  const bool replaces = ::stat(NativePath(archive).c_str(), &old) == 0 && S_ISREG(old.st_mode);
  rtl::AtomicFile file(archive, replaces ? (old.st_mode & 07777) : rtl::AtomicFile::kCreationMode);
  if (empty) {
    file.Write(kEmptyArchive);
  } else {
    Deflater deflater;  // outlives the archive's close, which may deflate again
    NewArchive built(file);
    add_entries(built.Zip(), deflater);
    built.Finish(archive);
  }
  // The data are flushed before the rename, so a crash never leaves a partial archive under the
  // target's name; the folder is not flushed (see docs/package.md, "Saving").
  file.Commit(rtl::AtomicFile::Durability::kData);
}

}  // namespace

bool COsAbbreviaTool::BuildArchiveFromDirectory(const std::string& directory,
                                                const std::string& mask,
                                                const std::string& archive) {
  if (!rtl::DirectoryExists(directory)) {
    return false;
  }
  const std::vector<std::pair<std::string, time_t>> files = ListFiles(directory, mask, archive);
  WriteArchive(archive, files.empty(), [&](zip_t* zip, Deflater& deflater) {
    for (const auto& [name, mtime] : files) {
      EntrySource::Add(zip, std::make_unique<EntrySource>(rtl::CombinePath(directory, name), mtime),
                       name, archive, deflater);
    }
  });
  return true;
}

void COsAbbreviaTool::BuildArchive(
    const std::vector<std::pair<std::string, std::string_view>>& entries,
    const std::string& archive) {
  WriteArchive(archive, entries.empty(), [&](zip_t* zip, Deflater& deflater) {
    for (const auto& [name, bytes] : entries) {
      EntrySource::Add(zip, std::make_unique<EntrySource>(bytes), name, archive, deflater);
    }
  });
}

std::string COsAbbreviaTool::PackDocument(const std::string& entry_name, std::string_view data) {
  Deflater deflater;
  NewArchive built(kEmptyArchive.size());
  built.Expect(
      EntrySource::Add(built.Zip(), std::make_unique<EntrySource>(data), entry_name, {}, deflater));
  return built.Finish({});
}

namespace {

// A packed document: an archive of exactly one entry, checked as every entry read is.
struct SingleEntry {
  ZipPtr zip;
  std::string name;
  zip_stat_t stat;
};

SingleEntry OpenSingleEntry(std::string_view archive_bytes) {
  ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY | ZIP_CHECKCONS);
  const zip_int64_t count = ::zip_get_num_entries(zip.get(), 0);
  if (count != 1) {
    rtl::RaiseFmt(u8"Неверное число файлов в архиве: [%d]", static_cast<int64_t>(count));
  }
  std::string name = EntryName(zip.get(), 0, {});
  const zip_stat_t stat = StatEntry(zip.get(), 0, {});
  CheckEntryStat(stat, name);
  return {std::move(zip), std::move(name), stat};
}

}  // namespace

std::string COsAbbreviaTool::UnpackDocument(std::string_view archive_bytes,
                                            rtl::DecompressionBudget& budget) {
  const auto [zip, name, stat] = OpenSingleEntry(archive_bytes);
  // Taken before the buffer is reserved: a bomb that says how large it is costs nothing.
  budget.Take(stat.size);
  std::string result;
  rtl::ReserveLarge(result, static_cast<size_t>(stat.size));
  ReadEntry(zip.get(), 0, stat.size, name, {}, [&](std::string_view chunk) { result += chunk; });
  return result;
}

namespace {

using zip_records::Le16;
using zip_records::Le32;

// The archive ends with an end record without comment naming one central record, which lies
// straight before it and points at a local header at offset 0.
bool CentralRecordPointsAtStart(std::string_view bytes) {
  constexpr size_t kEndRecord = 22;
  constexpr size_t kCentralRecord = 46;
  if (bytes.size() < kEndRecord + kCentralRecord) {
    return false;
  }
  const size_t end = bytes.size() - kEndRecord;
  if (Le32(bytes, end) != zip_records::kEndRecordSignature || Le16(bytes, end + 8) != 1 ||
      Le16(bytes, end + 10) != 1 || Le16(bytes, end + 20) != 0) {
    return false;
  }
  const uint64_t central_size = Le32(bytes, end + 12);
  const uint64_t central_offset = Le32(bytes, end + 16);
  return central_offset + central_size == end && central_size >= kCentralRecord &&
         Le32(bytes, central_offset) == zip_records::kCentralRecordSignature &&
         Le32(bytes, central_offset + 42) == 0;
}

}  // namespace

bool COsAbbreviaTool::TakeLeadingEntry(std::string_view archive_bytes,
                                       rtl::DecompressionBudget& budget,
                                       const LeadingEntry& entry) {
  const zip_stat_t stat = OpenSingleEntry(archive_bytes).stat;
  constexpr zip_uint64_t kNeeded =
      ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
  if ((stat.valid & kNeeded) != kNeeded || stat.size != entry.size ||
      stat.comp_size != entry.compressed_size || stat.crc != entry.crc ||
      stat.comp_method != static_cast<zip_uint16_t>(entry.method) ||
      !CentralRecordPointsAtStart(archive_bytes)) {
    return false;
  }
  budget.Take(stat.size);
  return true;
}

namespace {

uint64_t DeclaredSizes(zip_t* zip) {
  const zip_int64_t count = ::zip_get_num_entries(zip, 0);
  uint64_t total = 0;
  for (zip_int64_t index = 0; index < count; ++index) {
    zip_stat_t stat;
    ::zip_stat_init(&stat);
    if (::zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE) != 0) {
      total += std::min<uint64_t>(stat.size, COsAbbreviaTool::kMaxEntrySize + 1);
    }
  }
  return total;
}

}  // namespace

uint64_t COsAbbreviaTool::DeclaredPlainSize(const std::string& archive) {
  int error_code = 0;
  const ZipPtr zip(::zip_open(NativePath(archive).c_str(), ZIP_RDONLY, &error_code));
  return zip ? DeclaredSizes(zip.get()) : 0;
}

uint64_t COsAbbreviaTool::DeclaredPlainSizeOf(std::string_view archive_bytes) {
  try {
    const ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY);
    return DeclaredSizes(zip.get());
  } catch (const rtl::Exception&) {
    return 0;  // not readable as an archive: whoever inflates it reports that
  }
}

uint64_t COsAbbreviaTool::EntryCount(std::string_view archive_bytes) {
  ZipPtr zip = OpenMemoryArchive(archive_bytes, ZIP_RDONLY | ZIP_CHECKCONS);
  const zip_int64_t count = ::zip_get_num_entries(zip.get(), 0);
  if (count < 0) {
    RaiseZipError(zip.get(), {});
  }
  return static_cast<uint64_t>(count);
}

}  // namespace lyr::package
