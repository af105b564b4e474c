// Building new archives: from a folder or from entries in memory, written through rtl::AtomicFile,
// or a packed document into a string.
#include "package/archive_internal.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <exception>
#include <utility>
#include <vector>

#include "rtl/atomic_file.h"
#include "rtl/file_utils.h"
#include "rtl/large_buffer.h"

namespace lyr::package::archive {

using rtl::NativePath;

namespace {

// zip_close, turning a callback's error back into the error it was.
void CloseArchive(ZipPtr& zip, const std::string& archive) {
  PendingSourceError() = nullptr;
  if (::zip_close(zip.get()) < 0) {
    const std::exception_ptr pending = std::exchange(PendingSourceError(), nullptr);
    if (pending) {
      std::rethrow_exception(pending);
    }
    RaiseZipError(zip.get(), archive);
  }
  (void)zip.release();
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
      if (!PendingSourceError()) {
        PendingSourceError() = std::current_exception();
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

}  // namespace lyr::package::archive

namespace lyr::package {

using archive::AddEntry;
using archive::AddFileEntry;
using archive::Deflater;
using archive::kEmptyArchive;
using archive::ListFiles;
using archive::NewArchive;
using archive::WriteArchive;
using archive::ZipPtr;

bool COsAbbreviaTool::BuildArchiveFromDirectory(const std::string& directory,
                                                const std::string& mask,
                                                const std::string& archive) {
  if (!rtl::DirectoryExists(directory)) {
    return false;
  }
  const std::vector<std::pair<std::string, time_t>> files = ListFiles(directory, mask, archive);
  WriteArchive(archive, files.empty(), [&](zip_t* zip, Deflater& deflater) {
    for (const auto& [name, mtime] : files) {
      AddFileEntry(zip, rtl::CombinePath(directory, name), mtime, name, archive, deflater);
    }
  });
  return true;
}

void COsAbbreviaTool::BuildArchive(
    const std::vector<std::pair<std::string, std::string_view>>& entries,
    const std::string& archive) {
  WriteArchive(archive, entries.empty(), [&](zip_t* zip, Deflater& deflater) {
    for (const auto& [name, bytes] : entries) {
      AddEntry(zip, bytes, name, archive, deflater);
    }
  });
}

std::string COsAbbreviaTool::PackDocument(const std::string& entry_name, std::string_view data) {
  Deflater deflater;
  NewArchive built(kEmptyArchive.size());
  built.Expect(AddEntry(built.Zip(), data, entry_name, {}, deflater));
  return built.Finish({});
}

}  // namespace lyr::package
