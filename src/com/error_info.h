// The calling thread's error object, as liblyrcom itself reports failures through it.
#pragma once

#include <string_view>

namespace lyr::com {

// Publishes an error object with source "lyrcom" and the given UTF-8 description on the calling
// thread (as SetErrorInfo does). Never throws.
void ReportError(std::string_view description) noexcept;

// Releases the calling thread's error object (CoUninitialize's last call).
void ClearThreadErrorInfo() noexcept;

}  // namespace lyr::com
