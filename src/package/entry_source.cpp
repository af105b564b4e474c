// Entries of new archives: per-entry deflate-or-store decision with zlib, the data handed to
// libzip through a source of our own.
#include "package/archive_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "base/io.h"
#include "base/unique_fd.h"
#include "rtl/file_utils.h"
#include "rtl/large_buffer.h"

namespace lyr::package::archive {

using base::UniqueFd;
using rtl::FreeWith;
using rtl::NativePath;

namespace {

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
  const base::ReadResult read = base::ReadUpToAt(fd, buffer, size, offset);
  rtl::RaiseIfOSError(read.error);
  return read.size;
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

}  // namespace

uint64_t AddEntry(zip_t* zip, std::string_view data, const std::string& name,
                  const std::string& archive, Deflater& deflater) {
  return EntrySource::Add(zip, std::make_unique<EntrySource>(data), name, archive, deflater);
}

uint64_t AddFileEntry(zip_t* zip, std::string path, time_t mtime, const std::string& name,
                      const std::string& archive, Deflater& deflater) {
  return EntrySource::Add(zip, std::make_unique<EntrySource>(std::move(path), mtime), name, archive,
                          deflater);
}

std::exception_ptr& PendingSourceError() {
  return EntrySource::PendingError();
}

}  // namespace lyr::package::archive
