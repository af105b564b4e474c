// The server's counts of live objects and of class-factory locks, behind DllCanUnloadNow.
#pragma once

#include <cstdint>

namespace lyr::automation {

// Atomic: objects may be made and freed on any apartment's thread.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;
// True when no object and no lock is alive.
[[nodiscard]] bool CanUnloadServer() noexcept;
[[nodiscard]] int64_t LiveObjectCount() noexcept;

}  // namespace lyr::automation
