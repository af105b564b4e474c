// Whole-file helpers over POSIX reads, AtomicFile and CMapedFile.
#include "rtl/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/io.h"
#include "base/unique_fd.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/large_buffer.h"
#include "rtl/maped_file.h"

namespace lyr::rtl {
namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;

// The name is opened without blocking, so a FIFO without a writer answers at once and is refused
// by the caller's fstat.
base::UniqueFd OpenForRead(const std::string& file_name) {
  base::UniqueFd fd(
      ::open(NativePath(file_name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    RaiseLastOSError();
  }
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

// Reads up to size bytes into data; 0 at the end of the file.
size_t ReadSome(int fd, char* data, size_t size) {
  const ssize_t n = base::ReadSome(fd, data, size);
  if (n < 0) {
    RaiseLastOSError();
  }
  return static_cast<size_t>(n);
}

}  // namespace

std::string ReadFileToString(const std::string& file_name, uint64_t limit) {
  const base::UniqueFd file = OpenForRead(file_name);
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) {
    RaiseLastOSError();
  }
  if (!S_ISREG(st.st_mode)) {
    RaiseFmt(u8"Не обычный файл: [%s]", file_name);
  }
  if (static_cast<uint64_t>(st.st_size) >= k4GiB) {
    RaiseFmt(u8"Файл слишком велик!");
  }
  limit = std::min(limit, k4GiB - 1);
  const auto raise_above_limit = [&] {
    RaiseFmt(u8"Файл больше допустимого размера (%d байт): [%s]", static_cast<int64_t>(limit),
             file_name);
  };
  if (static_cast<uint64_t>(st.st_size) > limit) {
    raise_above_limit();
  }
  // Read to the end rather than trusting the size: a file that grows meanwhile or reports no
  // size (a pipe) is still read whole. The end is probed with a small read first, so a file of
  // the size fstat reported (the usual case) is never copied into a larger buffer.
  std::string bytes;
  ReserveLarge(bytes, static_cast<size_t>(st.st_size));
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      char probe[4096];
      const size_t n = ReadSome(file.Get(), probe, sizeof probe);
      if (n == 0) {
        break;
      }
      bytes.append(probe, n);
      done = bytes.size();
      if (done > limit) {
        raise_above_limit();
      }
      bytes.resize(bytes.size() + (bytes.size() < 65536 ? 65536 : bytes.size() / 2));
      continue;
    }
    const size_t n = ReadSome(file.Get(), bytes.data() + done, bytes.size() - done);
    if (n == 0) {
      break;
    }
    done += n;
    if (done > limit) {
      raise_above_limit();
    }
  }
  bytes.resize(done);
  return bytes;
}

RegularFileRead ReadRegularFile(const std::string& file_name, uint64_t limit, bool follow_link) {
  RegularFileRead result;
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow_link ? 0 : O_NOFOLLOW);
  const base::UniqueFd file(::open(NativePath(file_name).c_str(), flags));
  const int fd = file.Get();
  if (fd < 0) {
    result.missing = errno == ENOENT;
    result.reason = errno == ELOOP && !follow_link ? "a symbolic link" : std::strerror(errno);
    return result;
  }
  struct stat st {};
  std::string too_large = "larger than " + std::to_string(limit) + " bytes";
  if (::fstat(fd, &st) != 0) {
    result.reason = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    result.reason = S_ISDIR(st.st_mode) ? "a folder" : "not a regular file";
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    result.reason = std::move(too_large);
  } else {
    // One byte more than the limit tells a file that grew meanwhile.
    result.bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t done = 0;
    while (done < result.bytes.size()) {
      const ssize_t n = base::ReadSome(fd, result.bytes.data() + done, result.bytes.size() - done);
      if (n <= 0) {
        if (n < 0) {
          result.reason = std::strerror(errno);
        }
        break;
      }
      done += static_cast<size_t>(n);
      if (done == result.bytes.size() && done <= limit) {
        result.bytes.resize(std::min<uint64_t>(std::min(limit, k4GiB) + 1, done + done / 2 + 4096));
      }
    }
    if (result.reason.empty() && done > limit) {
      result.reason = std::move(too_large);
    }
    result.ok = result.reason.empty();
    result.bytes.resize(result.ok ? done : 0);
  }
  return result;
}

std::string LoadFileToString(const std::string& file_name, uint64_t limit) {
  if (!FileExists(file_name)) {
    RaiseFmt(u8"Файл не найден: [%s]", file_name);
  }
  return ReadFileToString(file_name, limit);
}

void WriteStringToFile(const std::string& file_name, std::string_view bytes) {
  if (file_name.empty()) {
    RaiseFmt(u8"Передано пустое имя файла");
  }
  struct stat st {};
  const bool replaces = ::stat(NativePath(file_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  AtomicFile file(file_name, replaces ? (st.st_mode & 07777) : 0600);
  if (!bytes.empty()) {
    file.Write(bytes);
  }
  file.Commit();
}

void WriteBufferToFile(const std::string& file_name, const void* buffer, uint32_t length) {
  CMapedFile file(file_name);
  file.Open(length);
  file.Write(buffer, length);
  file.Close(true);
}

}  // namespace lyr::rtl
