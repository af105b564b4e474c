// Private to the archive adaptor: what the files behind COsAbbreviaTool share (libzip handles,
// the archive library's errors, checked entry names and sizes, the deflater of new entries).
#pragma once

#include <dirent.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/os_abbrevia_tool.h"
#include "rtl/errors.h"
#include "rtl/free_with.h"

namespace lyr::package::archive {

using ZipPtr = std::unique_ptr<zip_t, rtl::FreeWith<&::zip_discard>>;
using SourcePtr = std::unique_ptr<zip_source_t, rtl::FreeWith<&::zip_source_free>>;
using DirPtr = std::unique_ptr<DIR, rtl::FreeWith<&::closedir>>;
inline void CloseZipFile(zip_file_t* file) noexcept {
  ::zip_fclose(file);
}
using ZipFilePtr = std::unique_ptr<zip_file_t, rtl::FreeWith<&CloseZipFile>>;

inline constexpr size_t kCopyChunk = 256 * 1024;

// ---- Errors (archive_reading.cpp) -----------------------------------------------------------

// The archive library's own text, with the archive's name when there is a file.
[[noreturn]] void RaiseZipError(zip_error_t* error, const std::string& archive);
[[noreturn]] void RaiseZipError(zip_t* zip, const std::string& archive);

inline bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ---- Entry names (archive_names.cpp) --------------------------------------------------------

// The entry's name as library text (CP866 when the archive does not mark it as UTF-8).
std::string EntryName(zip_t* zip, zip_uint64_t index, const std::string& archive);
// Splits a checked entry name into its segments; a name that could land outside the target
// (empty, absolute, drive letter, backslash, ".", ".." or empty segments) fails.
std::vector<std::string> SafeSegments(const std::string& name, bool is_directory);
bool IsSymbolicLink(zip_t* zip, zip_uint64_t index);

// ---- Reading entries (archive_reading.cpp) --------------------------------------------------

// One checked entry of an archive to be extracted.
struct PlannedEntry {
  zip_uint64_t index = 0;
  std::string name;
  std::vector<std::string> segments;
  bool is_directory = false;
  uint64_t size = 0;
};

zip_stat_t StatEntry(zip_t* zip, zip_uint64_t index, const std::string& archive);
// The size checks every entry passes before its data are read.
void CheckEntryStat(const zip_stat_t& stat, const std::string& name);
void CheckEntryCount(zip_t* zip, const std::string& archive);
std::vector<PlannedEntry> PlanExtraction(zip_t* zip, const std::string& archive,
                                         rtl::DecompressionBudget* budget);
ZipPtr OpenMemoryArchive(std::string_view bytes, int flags);
ZipPtr OpenArchiveFile(const std::string& archive, int flags);

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

// ---- Writing entries (entry_source.cpp) -----------------------------------------------------

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

// Adds an entry under name to zip, deflated or stored as pays (see EntrySource); the archive
// owns the entry afterwards. deflater serves every deflating of the entry and must outlive the
// archive's close. Returns the room the entry takes in the archive. An entry with data in memory
// (not copied: data must outlive the archive's close):
uint64_t AddEntry(zip_t* zip, std::string_view data, const std::string& name,
                  const std::string& archive, Deflater& deflater);
// An entry read from the file path, dated mtime.
uint64_t AddFileEntry(zip_t* zip, std::string path, time_t mtime, const std::string& name,
                      const std::string& archive, Deflater& deflater);
// The first error raised inside a libzip callback of this thread (libzip only sees a code).
std::exception_ptr& PendingSourceError();

}  // namespace lyr::package::archive
