// The EINTR-safe transfer loops over read(2)/pread(2) and write(2)/pwrite(2), and the lock wait.
#include "base/io.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace lyr::base {
namespace {

// Repeats transfer(done) until size bytes have gone, the transfer returns 0 or fails; an
// interrupted transfer is repeated.
template <typename Transfer>
ReadResult Loop(size_t size, Transfer transfer) noexcept {
  ReadResult result;
  while (result.size < size) {
    const ssize_t n = transfer(result.size);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      result.error = errno;
      break;
    }
    if (n == 0) {
      break;
    }
    result.size += static_cast<size_t>(n);
  }
  return result;
}

int WriteError(const ReadResult& result, size_t size) noexcept {
  if (result.error != 0) {
    return result.error;
  }
  return result.size == size ? 0 : EIO;
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) noexcept {
  const ReadResult result = Loop(bytes.size(), [&](size_t done) {
    return ::write(fd, bytes.data() + done, bytes.size() - done);
  });
  return WriteError(result, bytes.size());
}

int WriteAllAt(int fd, std::string_view bytes, uint64_t offset) noexcept {
  const ReadResult result = Loop(bytes.size(), [&](size_t done) {
    return ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                    static_cast<off_t>(offset + done));
  });
  return WriteError(result, bytes.size());
}

ssize_t ReadSome(int fd, void* data, size_t size) noexcept {
  for (;;) {
    const ssize_t n = ::read(fd, data, size);
    if (n >= 0 || errno != EINTR) {
      return n;
    }
  }
}

ReadResult ReadUpTo(int fd, void* data, size_t size) noexcept {
  auto* bytes = static_cast<char*>(data);
  return Loop(size, [&](size_t done) { return ::read(fd, bytes + done, size - done); });
}

ReadResult ReadUpToAt(int fd, void* data, size_t size, uint64_t offset) noexcept {
  auto* bytes = static_cast<char*>(data);
  return Loop(size, [&](size_t done) {
    return ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
  });
}

int LockExclusive(int fd) noexcept {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

}  // namespace lyr::base
