// In-process server libraries, loaded with dlopen once per path and cached for the process.
#include "server_library.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "class_registry.h"

namespace lyr::com {
namespace {

struct Cache {
  // Recursive: a server's constructors may themselves create objects while it is being loaded.
  std::recursive_mutex mutex;
  std::map<std::string, LPFNGETCLASSOBJECT> entries;
};

Cache& TheCache() {
  static Cache* cache = new Cache();  // never destroyed: servers stay loaded until exit
  return *cache;
}

}  // namespace

LPFNGETCLASSOBJECT ClassObjectEntry(const std::string& path) {
  Cache& cache = TheCache();
  const std::lock_guard<std::recursive_mutex> guard(cache.mutex);
  if (const auto found = cache.entries.find(path); found != cache.entries.end()) {
    return found->second;
  }
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = ::dlerror();
    throw RegistryError(CO_E_DLLNOTFOUND, "cannot load server library " + path + ": " +
                                              (why != nullptr ? why : "unknown error"));
  }
  void* symbol = ::dlsym(library, "DllGetClassObject");
  if (symbol == nullptr) {
    ::dlclose(library);
    throw RegistryError(CO_E_ERRORINDLL,
                        "server library " + path + " exports no DllGetClassObject");
  }
  auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(symbol);
  cache.entries.emplace(path, entry);
  return entry;
}

}  // namespace lyr::com
