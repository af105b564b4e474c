// The class registry file: which library serves which CLSID, under which ProgID
// (docs/com-registry.md).
#pragma once

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "error_info.h"
#include "lyr/com/types.h"

namespace lyr::com {

// One registered class.
struct ClassEntry {
  GUID clsid{};
  std::string threadingModel;
  std::string progId;  // empty when the class has none
  GUID typeLibId{};    // GUID_NULL when the class has no type library
  uint16_t typeLibMajor = 0;
  uint16_t typeLibMinor = 0;
  std::string libraryPath;
};

// A registry failure with the HRESULT the public functions return and a UTF-8 message.
class RegistryError final : public std::runtime_error {
 public:
  RegistryError(HRESULT code, const std::string& message)
      : std::runtime_error(message), code_(code) {}
  [[nodiscard]] HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// Runs the body of a public function (returning its HRESULT) at the library's boundary: a
// RegistryError gives its code, any other standard exception E_FAIL, both with the thread's error
// object describing them; memory exhaustion gives E_OUTOFMEMORY and anything else E_UNEXPECTED.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const RegistryError& error) {
    ReportError(error.what());
    return error.Code();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& error) {
    ReportError(error.what());
    return E_FAIL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Checks one entry before it is written; the message names the offending field.
// Throws RegistryError(E_INVALIDARG).
void ValidateEntry(const ClassEntry& entry);

// ASCII case-insensitive comparison, as ProgIDs are compared.
bool SameProgId(std::string_view a, std::string_view b);

// The registry file's text for these entries, and back. Parse throws RegistryError
// (REGDB_E_READREGDB) with "<origin>:<line>: <reason>" for any malformed content.
std::string FormatRegistry(const std::vector<ClassEntry>& entries);
std::vector<ClassEntry> ParseRegistry(std::string_view text, const std::string& origin);

// The registry file in use: $LYRCOM_REGISTRY, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/lyrcom/registry. Throws RegistryError(REGDB_E_READREGDB) when
// neither HOME nor XDG_CONFIG_HOME is set.
std::string RegistryPath();

// The machine-wide registry file: $LYRCOM_MACHINE_REGISTRY, else /etc/lyrcom/registry. Its folder
// is created readable by every user (0755) on the first write.
std::string MachineRegistryPath();

// Reads the registry file; a missing file is an empty registry. Refuses anything but a regular
// file of reasonable size.
std::vector<ClassEntry> LoadRegistry(const std::string& path);

// LoadRegistry for look-ups: the parsed entries of a file that had not changed for two seconds
// when it was read are kept per process, and read again once the file at path is another file or
// was changed (device, inode, size or modification time differ). Thread-safe.
std::shared_ptr<const std::vector<ClassEntry>> CachedRegistry(const std::string& path);

// The classes in force for look-ups: the user's registry (when a user location is known), then
// the machine registry's classes the user's file does not list. A machine class whose ProgID the
// user's file gives to another class keeps its CLSID but loses the ProgID there. Each file is
// cached as CachedRegistry caches it. Throws RegistryError when either file is unreadable.
std::shared_ptr<const std::vector<ClassEntry>> ClassesInForce();

// Under an exclusive lock on the registry's folder: loads the entries, lets change edit them and,
// when it returns true, writes them back atomically (temporary file in the same folder, fsync,
// rename, fsync of the folder). Throws RegistryError.
void UpdateRegistry(const std::string& path,
                    const std::function<bool(std::vector<ClassEntry>&)>& change);

}  // namespace lyr::com
