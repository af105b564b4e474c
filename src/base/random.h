// Random bytes from the kernel.
#pragma once

#include <cstddef>

namespace lyr::base {

// Fills size bytes at data from getrandom(2), or from /dev/urandom where the call is missing or
// fails. False when neither gave all the bytes.
[[nodiscard]] bool RandomBytes(void* data, size_t size) noexcept;

}  // namespace lyr::base
