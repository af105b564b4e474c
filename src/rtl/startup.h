// The library's one start-up for global state of third-party libraries (libcurl, the GOST engine,
// GMime): a service starts when its first user appears and stops when its last user goes.
#pragma once

#include <cstdint>

namespace lyr::rtl {

// One global service. Define it once, as a constant with static storage duration, in the module
// that owns it; its address identifies it.
struct StartupService {
  const char* Name;         // used in trace lines
  void (*Start)();          // starts the service; throws (an Exception) when it cannot
  void (*Stop)() noexcept;  // undoes Start
};

// Holds one reference to a service for its own lifetime. The first lease of a service runs Start
// (a failing Start throws out of the constructor and counts nothing); the last lease to go runs
// Stop. Leases of all services are counted under one lock, so Start and Stop of different services
// never overlap, and services stop in the reverse order of the leases that started them when those
// leases are nested (as members and locals are). Thread-safe.
class StartupLease final {
 public:
  explicit StartupLease(const StartupService& service);
  ~StartupLease();

  StartupLease(const StartupLease& other);
  StartupLease& operator=(const StartupLease&) = delete;

  [[nodiscard]] const StartupService& Service() const noexcept { return *service_; }

 private:
  const StartupService* service_;
};

// The number of leases a service has now (for tests and diagnostics).
[[nodiscard]] int32_t StartupLeaseCount(const StartupService& service);

}  // namespace lyr::rtl
