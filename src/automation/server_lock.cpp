// The server's atomic object and lock counts.
#include "automation/server_lock.h"

#include <atomic>

namespace lyr::automation {
namespace {

// The only global state of the server besides its class factories: what DllCanUnloadNow asks.
std::atomic<int64_t> live_objects{0};
std::atomic<int64_t> server_locks{0};

}  // namespace

void ObjectCreated() noexcept {
  live_objects.fetch_add(1, std::memory_order_relaxed);
}

void ObjectDestroyed() noexcept {
  live_objects.fetch_sub(1, std::memory_order_acq_rel);
}

void LockServer(bool lock) noexcept {
  if (lock) {
    server_locks.fetch_add(1, std::memory_order_relaxed);
  } else {
    server_locks.fetch_sub(1, std::memory_order_acq_rel);
  }
}

bool CanUnloadServer() noexcept {
  return live_objects.load(std::memory_order_acquire) == 0 &&
         server_locks.load(std::memory_order_acquire) <= 0;
}

int64_t LiveObjectCount() noexcept {
  return live_objects.load(std::memory_order_acquire);
}

}  // namespace lyr::automation
