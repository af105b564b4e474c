// Random bytes from getrandom(2), falling back to /dev/urandom where the call is missing.
#include "base/random.h"

#include <fcntl.h>
#include <sys/random.h>

#include <cerrno>

#include "base/io.h"
#include "base/unique_fd.h"

namespace lyr::base {
namespace {

bool ReadFromUrandom(void* data, size_t size) noexcept {
  const UniqueFd fd(::open("/dev/urandom", O_RDONLY | O_CLOEXEC));
  return fd.Get() >= 0 && ReadUpTo(fd.Get(), data, size).size == size;
}

}  // namespace

bool RandomBytes(void* data, size_t size) noexcept {
  auto* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::getrandom(bytes + done, size - done, 0);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return ReadFromUrandom(data, size);
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace lyr::base
