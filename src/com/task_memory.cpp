// Task memory: the allocator for strings and blocks that cross between a server and its host.
#include <cstdlib>

#include "lyr/com/com.h"

extern "C" {

LPVOID CoTaskMemAlloc(SIZE_T cb) {
  // A zero-byte request still yields a distinct block that CoTaskMemFree accepts.
  return std::malloc(cb == 0 ? 1 : cb);
}

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  return std::realloc(pv, cb == 0 ? 1 : cb);
}

void CoTaskMemFree(LPVOID pv) {
  std::free(pv);
}

}  // extern "C"
