#include "rtl/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace lyr::rtl {

void ReserveLarge(std::string& bytes, size_t size) {
  bytes.reserve(size);
  if (bytes.capacity() < kLargeBuffer) {
    return;
  }
  // Only the whole large pages inside the buffer: advice must not reach memory of others.
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(bytes.data());
  const uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes.capacity()) & ~(kHugePage - 1);
  if (begin < end) {
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
}

}  // namespace lyr::rtl
