// In-process server libraries: each loaded once per process and kept loaded.
#pragma once

#include <string>

#include "lyr/com/types.h"

namespace lyr::com {

// The DllGetClassObject of the library at path, loading it (RTLD_NOW | RTLD_LOCAL) the first
// time. Thread-safe. Throws RegistryError with CO_E_DLLNOTFOUND (the library does not load) or
// CO_E_ERRORINDLL (it exports no DllGetClassObject).
LPFNGETCLASSOBJECT ClassObjectEntry(const std::string& path);

}  // namespace lyr::com
