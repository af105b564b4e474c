// Test archives of long zero runs ("zip bombs"), made in memory in a moment however large they
// inflate.
#pragma once

#include <cstdint>
#include <string>

namespace lyr::package::test {

// A ZIP archive with one deflated entry "file" that inflates to size zero bytes (size a multiple
// of 1 MiB, below 4 GiB). Its headers declare declared_size (size when 0), so a declared size
// below size makes a bomb that lies about its size.
std::string ZeroRunZip(uint64_t size, uint64_t declared_size = 0);

}  // namespace lyr::package::test
