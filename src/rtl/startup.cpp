// Reference-counted start-up of global services.
#include "rtl/startup.h"

#include <map>
#include <mutex>

#include "rtl/trace.h"

namespace lyr::rtl {
namespace {

// The lease counts of all services and the lock that orders their starts and stops. This is the
// library's one piece of process-wide state for third-party libraries.
struct Registry {
  std::mutex lock;
  std::map<const StartupService*, int32_t> counts;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

void Acquire(const StartupService& service) {
  Registry& registry = TheRegistry();
  const std::lock_guard guard(registry.lock);
  int32_t& count = registry.counts[&service];
  if (count == 0) {
    DebugLog("Starting %s", service.Name);
    try {
      service.Start();
    } catch (...) {
      registry.counts.erase(&service);
      throw;
    }
  }
  ++count;
}

}  // namespace

StartupLease::StartupLease(const StartupService& service) : service_(&service) {
  Acquire(service);
}

StartupLease::StartupLease(const StartupLease& other) : service_(other.service_) {
  Acquire(*service_);
}

StartupLease::~StartupLease() {
  Registry& registry = TheRegistry();
  const std::lock_guard guard(registry.lock);
  const auto found = registry.counts.find(service_);
  if (found == registry.counts.end()) {
    return;
  }
  if (--found->second == 0) {
    registry.counts.erase(found);
    DebugLog("Stopping %s", service_->Name);
    service_->Stop();
  }
}

int32_t StartupLeaseCount(const StartupService& service) {
  Registry& registry = TheRegistry();
  const std::lock_guard guard(registry.lock);
  const auto found = registry.counts.find(&service);
  return found == registry.counts.end() ? 0 : found->second;
}

}  // namespace lyr::rtl
