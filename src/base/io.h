// Reads and writes on a file descriptor that carry on after an interrupted call (EINTR) and after
// a short transfer, so callers see one result per request.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lyr::base {

// Writes all of bytes at the descriptor's position. Returns 0, or the errno of the write that
// failed (EIO for a write that made no progress); part of bytes may have been written then.
[[nodiscard]] int WriteAll(int fd, std::string_view bytes) noexcept;
// Writes all of bytes at offset (pwrite), leaving the descriptor's position alone. Returns as
// WriteAll does.
[[nodiscard]] int WriteAllAt(int fd, std::string_view bytes, uint64_t offset) noexcept;

// One read of at most size bytes: the count (0 at the end of the file), or -1 with errno set.
// An interrupted read is repeated.
[[nodiscard]] ssize_t ReadSome(int fd, void* data, size_t size) noexcept;

// What ReadUpTo(At) did: the bytes read, and 0 or the errno of the read that failed.
struct ReadResult {
  size_t size = 0;
  int error = 0;
};
// Reads until size bytes are in data, the end of the file, or an error.
[[nodiscard]] ReadResult ReadUpTo(int fd, void* data, size_t size) noexcept;
// The same from offset (pread), leaving the descriptor's position alone.
[[nodiscard]] ReadResult ReadUpToAt(int fd, void* data, size_t size, uint64_t offset) noexcept;

// Waits for an exclusive flock on fd, repeating an interrupted wait. Returns 0, or the errno of
// the flock that failed.
[[nodiscard]] int LockExclusive(int fd) noexcept;

}  // namespace lyr::base
