// The calling thread's COM initialisation state.
#pragma once

namespace lyr::com {

// True between a successful CoInitialize(Ex) on this thread and its balancing CoUninitialize.
bool IsThreadInitialized() noexcept;

}  // namespace lyr::com
