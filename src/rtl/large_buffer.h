// Room for large byte strings.
#pragma once

#include <cstddef>
#include <string>

namespace lyr::rtl {

// Reserves room for size bytes in bytes. From kLargeBuffer bytes on, the system is also asked to
// back the new room with large pages (advice only, ignored where unsupported): a string of a
// hundred megabytes then costs a page fault per 2 MiB rather than per 4 KiB when it is first
// written, which is most of the cost of filling it.
void ReserveLarge(std::string& bytes, size_t size);

inline constexpr size_t kLargeBuffer = size_t{4} << 20;

}  // namespace lyr::rtl
